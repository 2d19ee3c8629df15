// Any bytes as an XML configuration file, read through CMarkup: the reader
// must not crash, overrun a record or loop, and what it accepts must fit the
// configuration set and survive being written and read again.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "tarvik/ui_hooks.h"
#include "xml_config_reader.h"
#include "xml_config_writer.h"

using namespace cfgfile;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool quiet = [] {
    tarvik::SetMessageBoxHook([](const std::string&, const std::string&, unsigned) { return 1; });
    return true;
  }();
  (void)quiet;
  static std::unique_ptr<ConfigSet> set(new ConfigSet());
  static std::unique_ptr<ConfigSet> again(new ConfigSet());
  static Protocols protocols, protocolsAgain;
  std::memset(set.get(), 0, sizeof *set);
  std::memset(protocols, 0, sizeof protocols);
  ComCheck coms(nullptr);
  uint16_t where = 0;
  const uint16_t status = ReadXmlConfig(std::string(reinterpret_cast<const char*>(data), size),
                                        set.get(), &protocols, &coms, &where);
  if (set->Servers > kMaxServers || where > kMaxServers + 1) std::abort();
  if (status != kOk) return 0;
  for (uint32_t i = 0; i < kMaxServers; ++i) {
    // Only 0 and 1 are protocols; servers not read keep 0.
    if (protocols[i] > TKC_DATA_PROTOCOL_RFC2217 || (i >= set->Servers && protocols[i] != 0))
      std::abort();
  }
  for (uint32_t i = 0; i < set->Servers; ++i) {
    const Record& r = set->Records[i];
    if (r.PortNo == 0 || r.PortNo > kMaxDataPorts) std::abort();
    if (!memchr(r.ServerName, 0, sizeof r.ServerName) || !memchr(r.AliasName, 0, sizeof r.AliasName) ||
        !memchr(r.HostName, 0, sizeof r.HostName))
      std::abort();
  }
  std::string text;
  if (BuildXmlConfig(*set, &protocols, &text) != kOk) std::abort();
  std::memset(again.get(), 0, sizeof *again);
  std::memset(protocolsAgain, 0, sizeof protocolsAgain);
  ComCheck fresh(nullptr);
  where = 0;
  if (ReadXmlConfig(text, again.get(), &protocolsAgain, &fresh, &where) != kOk) std::abort();
  if (again->Servers != set->Servers) std::abort();
  if (std::memcmp(protocols, protocolsAgain, sizeof protocols) != 0) std::abort();
  return 0;
}
