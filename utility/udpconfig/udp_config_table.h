// The configuration table of a UDP configuration run: the devices the search
// pane picked and the network values to send each of them. The caller owns
// it; the dialog fills in the values, the send procedure walks it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "search_rows.h"

namespace tarvik::app {

// One device. The layout is fixed (110 bytes, no padding) because the table
// is handed around as plain memory.
struct UdpConfigEntry {
  uint16_t moduleIndex;  // 1-based discovery record; 0 ends the table
  uint16_t dhcp;         // 0 static address, 1 DHCP
  char ip[16];
  char mask[16];
  char gateway[16];
  char mac[18];          // as the device reported it; never changed
  char alias[20];
  char name[20];         // the device's model name, for messages
};
static_assert(sizeof(UdpConfigEntry) == 110, "configuration entry is 110 bytes");
static_assert(offsetof(UdpConfigEntry, dhcp) == 2 && offsetof(UdpConfigEntry, ip) == 4 &&
                  offsetof(UdpConfigEntry, mask) == 20 && offsetof(UdpConfigEntry, gateway) == 36 &&
                  offsetof(UdpConfigEntry, mac) == 52 && offsetof(UdpConfigEntry, alias) == 70 &&
                  offsetof(UdpConfigEntry, name) == 90,
              "configuration entry fields in their fixed order");

constexpr int kUdpConfigEntries = 255;

struct UdpConfigTable {
  UdpConfigEntry entries[kUdpConfigEntries];
};
static_assert(sizeof(UdpConfigTable) == 255 * 110, "configuration table is 255 entries");

// Reads discovery record index (1-based) into info; false when there is none.
using ModuleReader = std::function<bool(int index, ModuleInfo* info)>;
// The reader on the discovery library's result list.
bool ReadDiscoveryModule(int index, ModuleInfo* info);

// Zeroes the table and puts the records, in order, into its entries; at
// most 255, indexes below 1 are skipped. Returns the entries filled.
int FillConfigTable(UdpConfigTable* table, const std::vector<int>& records);

// Filled entries: those before the first whose module index is 0.
int ConfigTableCount(const UdpConfigTable& table);

// Stores what the device reports now (DHCP, addresses, MAC, alias, name)
// into an entry, each cut to its field.
void StoreModuleInEntry(const ModuleInfo& info, UdpConfigEntry* entry);

// Reads every filled entry's record and stores it in the entry; an entry
// whose record cannot be read keeps empty values. Returns the filled count.
int LoadConfigTable(UdpConfigTable* table, const ModuleReader& reader);

}  // namespace tarvik::app
