// The model tokens of the older text configuration format: which device
// name and how many data ports a server line's second field stands for.
#pragma once
#include <string>

namespace cfgfile {

struct TextModel {
  std::string serverName;
  int ports = 0;
  // Names of the "H7XZ" form carry expansion slots: the base unit's ports,
  // then slots 1..4 with slotPorts[s] ports each.
  bool slotted = false;
  int slotPorts[5] = {};
};

// False for a token that names no model, or whose port count does not fit a
// server record (more than 68 data ports).
bool ParseTextModel(const std::string& token, TextModel* model);

}  // namespace cfgfile
