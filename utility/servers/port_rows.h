// The rows of the servers pane's port list: which port entries of a server
// or slot are listed and the words shown for each.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "pane_config.h"

namespace tarvik::app {

struct PortRow {
  int entry;          // index into the record's port mappings
  uint32_t rowWord;   // PortRowWord of the entry
  std::string port;   // "Port %d" or "Port I/O"
  std::string com;    // "COM%d", "UnMap" or "Reserved"
  std::string baud;   // "Fixed", "Dynamic" or "N/A"
};

// True when an unmapped I/O port of a device of this name is reserved by
// the device for its own use.
bool IsReservedIo(const std::string& name);

// Ports that the store always writes with FixedConfig set; the pane sets
// them in the record too so the list shows what the driver will use.
void ForceFixedPorts(ServerRecord& server);

// Rows for the server itself (slot 0) or one of its expansion slots.
std::vector<PortRow> PortRows(const ServerRecord& server, uint32_t slot);

}  // namespace tarvik::app
