#include "encoder_core.h"

#include <cassert>
#include <cstring>

namespace tkcenc2 {
namespace {

// Only the first 8 characters are used.
const char kTableText[] = "ZRQX5-4093K";
constexpr size_t kTableSize = 8;
constexpr uint8_t kLengthBias = 68;

char Symbol(unsigned value) {
  assert(value < 32);
  return static_cast<char>(value < 10 ? '0' + value : value + 57);
}

// Decoding trusts the symbols as the devices do: anything above '9' counts
// from 'C', anything else from '0'. The arithmetic is unsigned so that stray
// characters wrap the same way on every compiler.
unsigned SymbolValue(char c) {
  int code = static_cast<signed char>(c);
  return static_cast<unsigned>(code > '9' ? code - 57 : code - 48);
}

// The three scramble passes are their own inverses, apart from their order.
void XorTableAndKey(uint8_t* buf, size_t n, const char* key, size_t keyLength) {
  for (size_t j = 0; j < n; ++j) {
    buf[j] ^= static_cast<uint8_t>(kTableText[j % kTableSize]);
    buf[j] ^= static_cast<uint8_t>(key[j % keyLength]);
  }
}

void XorSalt(uint8_t* buf, size_t n) {
  for (size_t j = 4; j < n; ++j) buf[j] ^= buf[j % 4];
}

}  // namespace

Salt SaltFromTick(uint32_t tick) {
  Salt salt;
  for (int i = 0; i < 4; ++i) salt.bytes[i] = static_cast<uint8_t>(tick >> (3 * i));
  return salt;
}

int EncodeWithSalt(const char* password, const char* key, const Salt& salt, char* out) {
  out[0] = '\0';
  const size_t length = strlen(password);
  const size_t keyLength = strlen(key);
  if (length > kMaxPassword || keyLength == 0) return 1;

  uint8_t buf[kMaxBytes] = {};
  // The salt goes in as a text: its first zero byte ends it.
  for (size_t i = 0; i < 4 && salt.bytes[i] != 0; ++i) buf[i] = salt.bytes[i];
  buf[4] = static_cast<uint8_t>(length + kLengthBias);

  // The password, then filler: the password again from its start, each
  // character after the first repeat raised by its position. An empty
  // password repeats its terminating NUL, so the filler is the positions.
  const size_t fill = salt.bytes[0] % 8;
  size_t i = 5;
  for (; i <= fill + length + 5 && i < kMaxBytes; ++i) {
    uint8_t c = length == 0 ? 0 : static_cast<uint8_t>(password[(i - 5) % length]);
    if (i - 5 > length) c = static_cast<uint8_t>(c + i);
    buf[i] = c;
  }
  const size_t n = i;

  XorSalt(buf, n);
  XorTableAndKey(buf, n, key, keyLength);

  char* p = out;
  for (size_t j = 0; j < n; ++j) {
    const uint8_t b = buf[j];
    *p++ = Symbol(b >> 3);
    *p++ = Symbol(((b & 0x0F) << 1) | (b >> 7));
  }
  *p = '\0';
  return 0;
}

int Decode(const char* encoded, const char* key, char* out) {
  out[0] = '\0';
  // Bounded scan: a text longer than the longest encoding is refused
  // without reading the rest of it.
  const size_t textLength = strnlen(encoded, kMaxEncoded + 1);
  const size_t keyLength = strlen(key);
  if (textLength == 0 || textLength % 2 != 0 || textLength > kMaxEncoded || keyLength == 0) {
    return 1;
  }

  const size_t n = textLength / 2;
  uint8_t buf[kMaxBytes];
  for (size_t j = 0; j < n; ++j) {
    const unsigned high = SymbolValue(encoded[2 * j]);
    const unsigned low = SymbolValue(encoded[2 * j + 1]);
    buf[j] = static_cast<uint8_t>(((high & 0xFE) << 3) | (low >> 1));
  }
  XorTableAndKey(buf, n, key, keyLength);
  if (n < 5) return 1;
  XorSalt(buf, n);

  const int length = static_cast<int8_t>(buf[4] - kLengthBias);
  // A length byte that claims more characters than the text carries would
  // have us read beyond the decoded bytes.
  if (length < 0 || length > static_cast<int>(kMaxPassword) ||
      static_cast<size_t>(length) > n - 5) {
    return 1;
  }
  size_t k = 0;
  for (; k < static_cast<size_t>(length) && buf[5 + k] != 0; ++k) out[k] = static_cast<char>(buf[5 + k]);
  out[k] = '\0';
  return 0;
}

}  // namespace tkcenc2
