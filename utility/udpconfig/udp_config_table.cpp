#include "udp_config_table.h"

#include <cstring>

#include "findra.h"
#include "tarvik/text.h"

namespace tarvik::app {

bool ReadDiscoveryModule(int index, ModuleInfo* info) {
  std::memset(info, 0, sizeof *info);
  return Findra_GetModuleInfo(index, info->name, info->alias, info->ip, info->mask, info->gateway,
                              info->mac, &info->dhcp) == 0;
}

int FillConfigTable(UdpConfigTable* table, const std::vector<int>& records) {
  std::memset(table, 0, sizeof *table);
  int filled = 0;
  for (int record : records) {
    if (filled == kUdpConfigEntries) break;
    if (record < 1 || record > 0xFFFF) continue;
    table->entries[filled++].moduleIndex = static_cast<uint16_t>(record);
  }
  return filled;
}

int ConfigTableCount(const UdpConfigTable& table) {
  int count = 0;
  while (count < kUdpConfigEntries && table.entries[count].moduleIndex != 0) ++count;
  return count;
}

void StoreModuleInEntry(const ModuleInfo& info, UdpConfigEntry* entry) {
  // The record's own fields may lack their NUL; copy through bounded texts.
  auto field = [](const char* text, size_t size) { return std::string(text, strnlen(text, size)); };
  entry->dhcp = static_cast<uint16_t>(info.dhcp);
  CopyText(entry->ip, field(info.ip, sizeof info.ip).c_str());
  CopyText(entry->mask, field(info.mask, sizeof info.mask).c_str());
  CopyText(entry->gateway, field(info.gateway, sizeof info.gateway).c_str());
  CopyText(entry->mac, field(info.mac, sizeof info.mac).c_str());
  CopyText(entry->alias, field(info.alias, sizeof info.alias).c_str());
  CopyText(entry->name, field(info.name, sizeof info.name).c_str());
}

int LoadConfigTable(UdpConfigTable* table, const ModuleReader& reader) {
  const int count = ConfigTableCount(*table);
  for (int i = 0; i < count; ++i) {
    ModuleInfo info;
    std::memset(&info, 0, sizeof info);
    if (!reader(table->entries[i].moduleIndex, &info)) std::memset(&info, 0, sizeof info);
    StoreModuleInEntry(info, &table->entries[i]);
  }
  return count;
}

}  // namespace tarvik::app
