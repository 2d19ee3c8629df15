// Any bytes as a text configuration file: the reader must not crash, overrun
// a record or loop, and what it accepts must fit the configuration set.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "text_config_reader.h"

using namespace cfgfile;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
  (void)quiet;
  static std::unique_ptr<ConfigSet> set(new ConfigSet());
  std::memset(set.get(), 0, sizeof *set);
  static uint8_t occupied[kMaxCom];
  occupied[2] = 1;
  ComCheck coms(occupied);
  uint16_t where = 0;
  const uint16_t status =
      ReadTextConfig(std::string(reinterpret_cast<const char*>(data), size), set.get(), &coms, &where);
  if (status == kOk && set->Servers == 0) std::abort();
  if (set->Servers > kMaxServers) std::abort();
  for (uint32_t i = 0; i < set->Servers; ++i) {
    if (set->Records[i].PortNo > kMaxDataPorts) std::abort();
    if (!memchr(set->Records[i].ServerName, 0, sizeof set->Records[i].ServerName)) std::abort();
  }
  return 0;
}
