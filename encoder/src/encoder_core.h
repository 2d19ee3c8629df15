// The password encoding itself, apart from where its salt comes from, so
// that tests can pin the salt and check known texts.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tkcenc2 {

constexpr size_t kMaxPassword = 30;
constexpr size_t kMaxBytes = 42;                   // work buffer
constexpr size_t kMaxEncoded = 2 * kMaxBytes;      // symbols, without NUL

struct Salt {
  uint8_t bytes[4];
};

// Byte i is bits 3i..3i+7 of the tick count.
Salt SaltFromTick(uint32_t tick);

// Both return 0 or 1 exactly as the exports do; out is always left
// NUL-terminated (empty on failure). Arguments must not be null.
int EncodeWithSalt(const char* password, const char* key, const Salt& salt, char* out);
int Decode(const char* encoded, const char* key, char* out);

}  // namespace tkcenc2
