#include "device_file.h"

#include <fstream>

namespace devsim {
namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

}  // namespace

bool ReadDeviceFile(const std::string& path, DeviceFile* out, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    *error = path + ": cannot open";
    return false;
  }
  *out = DeviceFile();
  Settings* current = &out->globals;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    std::string text = Trim(line);
    if (text.empty() || text[0] == '#') continue;
    if (text == "[device]") {
      out->devices.emplace_back();
      current = &out->devices.back();
      continue;
    }
    size_t eq = text.find('=');
    if (text[0] == '[' || eq == std::string::npos || eq == 0) {
      *error = path + ":" + std::to_string(number) + ": expected [device] or key = value";
      return false;
    }
    (*current)[Trim(text.substr(0, eq))] = Trim(text.substr(eq + 1));
  }
  return true;
}

}  // namespace devsim
