// The simulator's device file: "[device]" starts a device section, each
// line inside is "key = value"; "#" starts a comment line. Keys before the
// first section are settings of the simulator itself. Keys are kept as
// written, known or not, so that new services can read new keys.
#pragma once
#include <map>
#include <string>
#include <vector>

namespace devsim {

using Settings = std::map<std::string, std::string>;

struct DeviceFile {
  Settings globals;
  std::vector<Settings> devices;
};

// Reads path. False with "path:line: reason" in *error.
bool ReadDeviceFile(const std::string& path, DeviceFile* out, std::string* error);

}  // namespace devsim
