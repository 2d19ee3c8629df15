#include "server_sort.h"

#include <cstring>

namespace tarvik::app {

namespace {
bool KeyGreater(const ServerRecord& a, const ServerRecord& b, int sortType) {
  switch (sortType) {
    case kSortModelName: return strncmp(a.ServerName, b.ServerName, sizeof a.ServerName) > 0;
    case kSortAliasName: return strncmp(a.AliasName, b.AliasName, sizeof a.AliasName) > 0;
    case kSortIpAddress: return a.IPAddress > b.IPAddress;
    case kSortHostName: return strncmp(a.HostName, b.HostName, sizeof a.HostName) > 0;
    default: return false;
  }
}
}  // namespace

std::vector<uint16_t> SortOrder(const ConfigSet& set, int sortType) {
  uint32_t count = set.Servers > static_cast<uint32_t>(kMaxServers) ? kMaxServers : set.Servers;
  std::vector<uint16_t> order(count);
  for (uint32_t i = 0; i < count; ++i) order[i] = static_cast<uint16_t>(i);
  if (sortType <= kSortNone || sortType > kSortHostName || count < 2) return order;
  for (uint32_t i = 0; i + 1 < count; ++i) {
    for (uint32_t j = i + 1; j < count; ++j) {
      if (KeyGreater(set.Records[order[i]], set.Records[order[j]], sortType)) {
        uint16_t t = order[i];
        order[i] = order[j];
        order[j] = t;
      }
    }
  }
  return order;
}

}  // namespace tarvik::app
