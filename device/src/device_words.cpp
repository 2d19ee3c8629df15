#include "device_words.h"

#include <cstring>

#include "tkcenc2.h"

namespace tarvik::device {

const char kSavedPasswordKey[] = "MORVEL.Dastra.Pq";

std::string ShareModeText(const std::string& value) {
  if (value == "0") return "0, Shared";
  if (value == "1") return "1, Non-shared";
  return value;
}

const char* LockStateText(uint32_t state) {
  switch (state) {
    case 0: return "Locked";
    case 1: return "Unlocked";
    case 2: return "Disabled";
    default: return "Unknown";
  }
}

std::string DecodeSavedPassword(const char* saved, size_t size) {
  const std::string encoded(saved, strnlen(saved, size));
  char plain[TKCENC2_PASSWORD_SIZE + 1] = {};
  if (encoded.empty() || TkcEnc2_Decode(encoded.c_str(), kSavedPasswordKey, plain) != 0) return "";
  return plain;
}

}  // namespace tarvik::device
