#include "build_info.h"

#include <QtGlobal>
#include <cstddef>

namespace {

constexpr unsigned char KeyByte(size_t i) {
  return static_cast<unsigned char>(0xA5u ^ (i * 29u + 7u));
}

template <size_t N>
struct Sealed {
  unsigned char bytes[N];
};

// Evaluated by the compiler: only the enciphered bytes reach the program.
template <size_t N>
constexpr Sealed<N> Seal(const char (&text)[N]) {
  Sealed<N> sealed{};
  for (size_t i = 0; i < N; ++i)
    sealed.bytes[i] = static_cast<unsigned char>(static_cast<unsigned char>(text[i]) ^ KeyByte(i));
  return sealed;
}

#if defined(__clang__)
#define TARVIK_COMPILER "clang " __clang_version__
#elif defined(__GNUC__)
#define TARVIK_COMPILER "gcc " __VERSION__
#else
#define TARVIK_COMPILER "unknown compiler"
#endif

constexpr auto kSealedBuild = Seal("Tarvik utility build of " __DATE__ " " __TIME__
                                   ", Qt " QT_VERSION_STR ", " TARVIK_COMPILER);

}  // namespace

std::string BuildInformation() {
  std::string text;
  for (size_t i = 0; i + 1 < sizeof kSealedBuild.bytes; ++i)
    text.push_back(static_cast<char>(kSealedBuild.bytes[i] ^ KeyByte(i)));
  return text;
}
