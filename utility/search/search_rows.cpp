#include "search_rows.h"

#include <arpa/inet.h>

#include <cstring>

#include "tarvik/text.h"

namespace tarvik::app {

namespace {
std::string Field(const char* text, size_t size) { return std::string(text, strnlen(text, size)); }
// Aliases taken from a device are cut shorter than the field allows.
constexpr size_t kCopiedAliasMax = 48;
}  // namespace

std::array<std::string, kSearchColumns> SearchColumnTexts(const ModuleInfo& info) {
  std::string alias = Field(info.alias, sizeof info.alias);
  return {Field(info.name, sizeof info.name),
          alias.empty() ? std::string("N/A") : alias,
          Field(info.ip, sizeof info.ip),
          Field(info.mask, sizeof info.mask),
          Field(info.gateway, sizeof info.gateway),
          Field(info.mac, sizeof info.mac),
          DhcpIsOn(info.dhcp) ? "ON" : "OFF"};
}

void SearchRowMap::Clear() {
  memset(entries_, 0, sizeof entries_);
  rows_ = 0;
}

bool SearchRowMap::Append(int recordIndex) {
  if (Full() || recordIndex < 1 || recordIndex > 0xFFFF) return false;
  entries_[rows_++] = static_cast<uint16_t>(recordIndex);
  return true;
}

int SearchRowMap::RecordOf(int row) const {
  return row >= 0 && row < rows_ ? entries_[row] : 0;
}

bool ParseIpv4(const char* text, uint32_t* address) {
  in_addr a{};
  if (!text || inet_pton(AF_INET, text, &a) != 1) return false;
  const auto* b = reinterpret_cast<const unsigned char*>(&a.s_addr);
  *address = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
  return true;
}

int CopyAliasToServers(ConfigSet& set, const ModuleInfo& info,
                       const std::function<void(int index)>& writer) {
  uint32_t address = 0;
  if (!ParseIpv4(Field(info.ip, sizeof info.ip).c_str(), &address)) return 0;
  std::string name = Field(info.name, sizeof info.name);
  std::string alias = Field(info.alias, sizeof info.alias).substr(0, kCopiedAliasMax);
  uint32_t count = set.Servers > static_cast<uint32_t>(kMaxServers) ? kMaxServers : set.Servers;
  int changed = 0;
  for (uint32_t k = 0; k < count; ++k) {
    ServerRecord& server = set.Records[k];
    if (server.IPAddress != address) continue;
    if (Field(server.ServerName, sizeof server.ServerName) != name) continue;
    if (Field(server.AliasName, sizeof server.AliasName) == alias) continue;
    CopyText(server.AliasName, alias.c_str());
    if (writer) writer(static_cast<int>(k));
    ++changed;
  }
  return changed;
}

}  // namespace tarvik::app
