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

// The alias every row's alias starts with. Row r > 0 appends r, and an
// alias is at most 19 characters, so the base is cut until the longest
// number fits: cutting each numbered alias at OK instead would give rows
// the same alias, and the list would show something else than what is
// sent. When the base is cut, row 0 takes the cut base as well; a full
// 19-character alias ending in a digit could otherwise equal a numbered one.
std::string AliasBase(const std::string& alias, size_t rows) {
  if (rows < 2) return alias;
  const size_t digits = std::to_string(rows - 1).size();
  if (alias.size() + digits <= kAliasMax) return alias;
  return alias.substr(0, kAliasMax - digits);
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
  if (const char* failure = CheckAlias(values.alias)) return failure;
  const std::string base = AliasBase(values.alias, rows->size());
  CMIP address;
  const uint32_t start = values.dhcp == 0 ? address.SetTextGetValue(values.ip.c_str()) : 0;
  int host = static_cast<int>(start >> 24);
  TakenAddresses used = taken;
  for (size_t r = 0; r < rows->size(); ++r) {
    PreviewRow& row = (*rows)[r];
    row.alias = r == 0 ? base : base + std::to_string(r);
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
