// The whole store below the driver's service key as one text (every key,
// value name, type and byte, the change counter included), for tests that
// check that a command left the store exactly as it was.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "tarvik/registry.h"
#include "tarvik_driver_iface.h"

namespace tarvik::app::testing {

inline void AppendStoreKey(const std::string& path, std::string* out) {
  RegKey key;
  if (key.Open(path, RegAccess::kRead) != kErrorSuccess) {
    *out += "[" + path + "] cannot be opened\n";
    return;
  }
  *out += "[" + path + "]\n";
  std::vector<unsigned char> data(1 << 16);
  for (uint32_t i = 0;; ++i) {
    char name[512];
    uint32_t nameSize = sizeof name;
    uint32_t type = 0;
    uint32_t length = static_cast<uint32_t>(data.size());
    if (key.EnumValue(i, name, &nameSize, &type, data.data(), &length) != kErrorSuccess) break;
    *out += std::string(name) + " type " + std::to_string(type) + ":";
    for (uint32_t b = 0; b < length; ++b) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%02x", data[b]);
      *out += hex;
    }
    *out += "\n";
  }
  std::vector<std::string> subkeys;
  for (uint32_t i = 0;; ++i) {
    char name[512];
    uint32_t nameSize = sizeof name;
    if (key.EnumKey(i, name, &nameSize) != kErrorSuccess) break;
    subkeys.emplace_back(name);
  }
  key.Close();
  for (const std::string& sub : subkeys) AppendStoreKey(path + "\\" + sub, out);
}

inline std::string StoreSnapshot() {
  std::string text;
  AppendStoreKey(TKC_SERVICES_KEY "\\" TKC_SERVICE_NAME, &text);
  return text;
}

}  // namespace tarvik::app::testing
