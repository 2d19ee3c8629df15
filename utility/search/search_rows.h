// What the search pane shows for a discovered device, which discovery record
// each list row stands for, and copying a device's alias into the matching
// configured servers.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "pane_config.h"

namespace tarvik::app {

// One discovery record as the pane reads it from the discovery library.
struct ModuleInfo {
  char name[20];
  char alias[20];
  char ip[16];
  char mask[16];
  char gateway[16];
  char mac[18];
  int32_t dhcp;
};

// Whether a device's DHCP value means "on": only 1 does (a device may
// report any number). The list and the UDP configuration dialog both ask
// this, so the dialog shows, and sends, what the list showed.
inline bool DhcpIsOn(int32_t dhcp) { return dhcp == 1; }

constexpr int kSearchColumns = 7;
// Column texts: name, alias ("N/A" when empty), IP address, subnet mask,
// gateway, MAC address, DHCP ("ON" only for 1).
std::array<std::string, kSearchColumns> SearchColumnTexts(const ModuleInfo& info);

// List row -> 1-based index of the discovery record it shows. Rows are only
// appended; a device that is not listed takes no row but keeps its index.
class SearchRowMap {
 public:
  static constexpr int kCapacity = 255;
  void Clear();
  bool Full() const { return rows_ >= kCapacity; }
  int Rows() const { return rows_; }
  // Appends a row for record index; false when the map is full.
  bool Append(int recordIndex);
  // The record of a row, 0 for a row the map does not hold.
  int RecordOf(int row) const;

 private:
  uint16_t entries_[kCapacity] = {};
  int rows_ = 0;
};

// The device's address as the server record holds it; false when the text
// is not a dotted IPv4 address.
bool ParseIpv4(const char* text, uint32_t* address);

// Copies the device's alias into every configured server with the same
// address and exactly the same name whose alias differs, and writes each
// changed server. Returns how many changed.
int CopyAliasToServers(ConfigSet& set, const ModuleInfo& info,
                       const std::function<void(int index)>& writer);

}  // namespace tarvik::app
