#include "server_tree.h"

#include <cstdio>

#include "server_label.h"
#include "tree_item_word.h"

namespace tarvik::app {

std::vector<ServerTreeItem> ServerTreeItems(const ConfigSet& set,
                                            const std::vector<uint16_t>& order,
                                            const std::function<char(int)>& queryState) {
  std::vector<ServerTreeItem> items;
  uint32_t itemNumber = 0;
  for (uint16_t index : order) {
    if (index >= kMaxServers) break;
    const ServerRecord& server = set.Records[index];
    char state = queryState ? queryState(index) : '?';
    items.push_back({ServerLabel(server, state), TreeItemWord(++itemNumber, index, 0), false});
    if (server.Slotted != 1 || server.SlotCount <= 0) continue;
    int slots = server.SlotCount > 9 ? 9 : server.SlotCount;
    for (int s = 1; s <= slots; ++s) {
      if (server.SlotPorts[s] == 0) continue;
      char text[16];
      snprintf(text, sizeof text, "Slot %d", s);
      items.push_back({text, TreeItemWord(++itemNumber, index, static_cast<uint32_t>(s)), true});
    }
  }
  return items;
}

}  // namespace tarvik::app
