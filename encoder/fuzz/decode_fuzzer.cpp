// Feeds arbitrary texts and keys to the decoder, and checks that whatever
// the decoder accepts as a password encodes and decodes back to itself.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "encoder_core.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  tkcenc2::Salt salt;
  memcpy(salt.bytes, data, 4);
  const size_t keyLength = data[4] % 32;
  data += 5;
  size -= 5;
  if (size < keyLength) return 0;
  const std::string key(reinterpret_cast<const char*>(data), keyLength);
  const std::string text(reinterpret_cast<const char*>(data + keyLength), size - keyLength);

  char password[tkcenc2::kMaxPassword + 1];
  const int result = tkcenc2::Decode(text.c_str(), key.c_str(), password);
  if (result != 0 && result != 1) __builtin_trap();
  if (strlen(password) > tkcenc2::kMaxPassword) __builtin_trap();
  if (result == 1 && password[0] != '\0') __builtin_trap();

  char encoded[tkcenc2::kMaxEncoded + 1];
  if (tkcenc2::EncodeWithSalt(text.c_str(), key.c_str(), salt, encoded) == 0) {
    char back[tkcenc2::kMaxPassword + 1];
    if (tkcenc2::Decode(encoded, key.c_str(), back) != 0) __builtin_trap();
    if (strcmp(back, text.c_str()) != 0) __builtin_trap();
  }
  return 0;
}
