#include "copy_settings.h"

#include <cstring>
#include <string>

#include "cmip.h"

namespace tarvik::app {

namespace {

// The last octet after host, walking within 1..254.
int NextHost(int host) { return host + 1 > 254 ? 1 : host + 1; }

uint32_t WithHost(uint32_t address, int host) {
  return (address & 0x00FFFFFFu) | (static_cast<uint32_t>(host) << 24);
}

}  // namespace

TakenAddresses AddressesOfOtherDevices(const UdpConfigTable& table, int recordCount,
                                       const ModuleReader& reader) {
  std::set<int> inTable;
  for (int i = 0; i < ConfigTableCount(table); ++i) inTable.insert(table.entries[i].moduleIndex);
  TakenAddresses taken;
  for (int index = 1; index <= recordCount; ++index) {
    ModuleInfo info;
    if (inTable.count(index) || !reader(index, &info)) continue;
    uint32_t address = 0;
    const std::string ip(info.ip, strnlen(info.ip, sizeof info.ip));
    if (ParseIpv4(ip.c_str(), &address)) taken.insert(address);
  }
  return taken;
}

const char* CopySettings(const NetworkValues& values, const TakenAddresses& taken,
                         std::vector<PreviewRow>* rows) {
  if (const char* failure = CheckNetworkValues(values)) return failure;
  CMIP address;
  const uint32_t start = values.dhcp == 0 ? address.SetTextGetValue(values.ip.c_str()) : 0;
  int host = static_cast<int>(start >> 24);
  TakenAddresses used = taken;
  for (size_t r = 0; r < rows->size(); ++r) {
    PreviewRow& row = (*rows)[r];
    row.alias = r == 0 ? values.alias : values.alias + std::to_string(r);
    if (values.dhcp != 0) {
      row.dhcp = true;
      row.ip = row.mask = row.gateway = kNoAddressText;
      continue;
    }
    row.dhcp = false;
    row.mask = values.mask;
    row.gateway = values.gateway;
    row.ip.clear();
    // At most every last octet once; a full network leaves the row empty.
    for (int tries = 0; tries < 256; ++tries, host = NextHost(host)) {
      if (host == 0 || host == 255 || used.count(WithHost(start, host))) continue;
      address.SetValue(WithHost(start, host));
      row.ip = address.GetText();
      used.insert(WithHost(start, host));
      host = NextHost(host);
      break;
    }
  }
  return nullptr;
}

}  // namespace tarvik::app
