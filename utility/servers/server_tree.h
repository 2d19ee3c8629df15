// The items of the servers tree, in display order, before they become
// widgets: one item per server (its label) and, for a slotted server, one
// child per expansion slot that carries ports.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "pane_config.h"

namespace tarvik::app {

struct ServerTreeItem {
  std::string text;
  uint32_t word;  // TreeItemWord
  bool slot;      // a slot child of the server item before it
};

// Items for the servers of set in the given order; queryState gives each
// server's host-name state for its label. Item numbers count from 1.
std::vector<ServerTreeItem> ServerTreeItems(const ConfigSet& set,
                                            const std::vector<uint16_t>& order,
                                            const std::function<char(int)>& queryState);

}  // namespace tarvik::app
