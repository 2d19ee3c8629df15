// Building server records and configuration sets for the pane tests.
#pragma once
#include <cstring>
#include <memory>
#include <string>

#include "pane_config.h"
#include "search_rows.h"
#include "tarvik/text.h"

namespace tarvik::app::testing {

inline ServerRecord MakeServer(const char* name, const char* ip, const char* alias = "",
                               const char* host = "") {
  ServerRecord r;
  memset(&r, 0, sizeof r);
  CopyText(r.ServerName, name);
  CopyText(r.AliasName, alias);
  CopyText(r.HostName, host);
  ParseIpv4(ip, &r.IPAddress);
  r.SecondPort = 1;
  r.TcpPortCmd = 10000;
  r.TcpPort7000 = 9999;
  return r;
}

// The set is large; tests keep it on the heap.
inline std::unique_ptr<ConfigSet> MakeSet() {
  auto set = std::make_unique<ConfigSet>();
  memset(set.get(), 0, sizeof(ConfigSet));
  set->SizeStamp = kConfigSetSize;
  return set;
}

inline void AddServer(ConfigSet& set, const ServerRecord& r) {
  set.Records[set.Servers++] = r;
  set.Ports += r.PortNo + 1;
}

// COM word of a data port: COM number, device port, index in slot, slot.
inline uint32_t PortWord(uint32_t com, uint32_t devicePort, uint32_t index, uint32_t slot,
                         bool fixed = false) {
  return com | (devicePort << 13) | (fixed ? (1u << 20) : 0) | (index << 21) | (slot << 27);
}

}  // namespace tarvik::app::testing
