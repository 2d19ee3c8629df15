#include "config_file_types.h"

#include <cstdio>

namespace cfgfile {

void InitRecord(Record* r) {
  std::memset(r, 0, sizeof *r);
  r->KeepAliveTime = kDefaultKeepAlive;
  r->ConnectionBroken = kDefaultBroken;
  r->ConnectTimeout = kDefaultConnectTimeout;
  r->TcpPortCmd = kDefaultTcpPortCmd;
  r->TcpPort7000 = kDefaultTcpPortIo;
  ComWord(*r, 0) = kFixedConfig;
  ComWord(*r, 1) = kFixedConfig;
}

std::string DottedAddress(uint32_t address) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", address & 0xFF, (address >> 8) & 0xFF,
                (address >> 16) & 0xFF, address >> 24);
  return text;
}

}  // namespace cfgfile
