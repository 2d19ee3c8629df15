// tarvikctl servers | parse NAME: the configuration store and the
// device-name parser, one line per item as "kind key=value ...", texts in
// double quotes, so scripts can rely on the form.
#include <cstdio>
#include <cstring>
#include <string>

#include "command.h"
#include "tarvik/text.h"
#include "tarvikcfg.h"

namespace tarvikctl {

int ServersEdit(const Args& args);  // cmd_servers_add.cpp
int ServersSet(const Args& args);   // cmd_servers_set.cpp
const char* DataProtocolWord(uint32_t protocol);

namespace {

template <size_t N>
std::string Quoted(const char (&field)[N]) {
  return tarvik::QuoteText(tarvik::FieldText(field));
}

std::string Dotted(uint32_t ip) {
  char text[16];
  std::snprintf(text, sizeof(text), "%u.%u.%u.%u", ip & 0xFF, (ip >> 8) & 0xFF, (ip >> 16) & 0xFF,
                ip >> 24);
  return text;
}

void PrintComFields(uint32_t com) {
  std::printf("com=%u devport=%u slot=%u index=%u fixed=%d purge=%d", TkcComNumber(com),
              TkcComDevicePort(com), TkcComSlot(com), TkcComIndex(com), TkcComFixedConfig(com),
              TkcComDisablePurge(com));
}

void PrintServer(uint32_t n, const TkcServerRecord& r, uint32_t protocol) {
  std::printf("server index=%u name=%s alias=%s host=%s ip=%s ip2=%s ports=%u protocol=%s "
              "tcpcmd=%u tcpio=%u\n",
              n, Quoted(r.ServerName).c_str(), Quoted(r.AliasName).c_str(),
              Quoted(r.HostName).c_str(), Dotted(r.IPAddress).c_str(), Dotted(r.IPAddress2).c_str(),
              r.PortNo, DataProtocolWord(protocol), r.TcpPortCmd, r.TcpPort7000);
  std::printf("port server=%u port=io ", n);
  PrintComFields(r.PortMap[0].Com);
  std::printf("\n");
  for (uint32_t i = 1; i <= r.PortNo && i <= TKC_MAX_DATA_PORTS; ++i) {
    const TkcPortMap& m = r.PortMap[i + 1];
    std::printf("port server=%u port=%u ", n, i);
    PrintComFields(m.Com);
    std::printf(" writebuffer=%d autoflush=%u\n", TkcOptWriteBuffer(m.Options),
                TkcOptAutoFlush(m.Options));
  }
}

int Servers(const Args& args) {
  if (!args.empty() && (args[0] == "add" || args[0] == "remove")) return ServersEdit(args);
  if (!args.empty() && args[0] == "set") return ServersSet(args);
  if (!args.empty()) return Fail("servers takes no arguments");
  static TkcConfigSet set;  // 3.8 MB: never on the stack
  static uint8_t protocols[TKC_MAX_SERVERS];
  set.SizeStamp = TKC_SET_SIZE;
  const uint16_t status = Tkc_RegReadAllWithProtocols(&set, protocols, TKC_MAX_SERVERS);
  if (status == TKC_ERR_PARAMETER_KEY) {
    return Fail("cannot open the driver's parameter key " TKC_PARAMETER_KEY " (status 8)");
  }
  if (status != TKC_OK && status != TKC_ERR_SERVER_VALUE) {
    return Fail("reading the configuration failed (status " + std::to_string(status) + ")");
  }
  std::printf("store servers=%u ports=%u flags=0x%08X\n", set.Servers, set.Ports, set.Flags);
  for (uint32_t s = 0; s < set.Servers; ++s) PrintServer(s + 1, set.Records[s], protocols[s]);
  std::fflush(stdout);
  if (status == TKC_ERR_SERVER_VALUE) {
    return Fail("a server lacks a mandatory value and was left out (status 9)");
  }
  return 0;
}

int Parse(const Args& args) {
  if (args.size() != 1) return Fail("usage: tarvikctl parse NAME");
  TkcServerRecord record{};
  if (args[0].size() >= sizeof(record.ServerName)) {
    return Fail("device name longer than " + std::to_string(sizeof(record.ServerName) - 1) +
                " characters");
  }
  std::memcpy(record.ServerName, args[0].c_str(), args[0].size());
  const uint16_t status = Tkc_ParseServerInfo(&record, sizeof(record));
  if (status != TKC_OK) {
    return Fail("unknown device name " + Quoted(record.ServerName) + " (status " +
                std::to_string(status) + ")");
  }
  std::printf("name=%s portno=%u slotted=%u secondport=%u slotcount=%d\n",
              Quoted(record.ServerName).c_str(), record.PortNo, record.Slotted, record.SecondPort,
              record.SlotCount);
  for (int s = 0; s <= record.SlotCount; ++s) {
    std::printf("slot number=%d ports=%u\n", s, record.SlotPorts[s]);
  }
  for (uint32_t i = 1; i <= record.PortNo; ++i) {
    const uint32_t com = record.PortMap[i + 1].Com;
    std::printf("port number=%u devport=%u slot=%u index=%u\n", i, TkcComDevicePort(com),
                TkcComSlot(com), TkcComIndex(com));
  }
  return 0;
}

const TarvikctlCommand kServers(
    {"servers",
     "servers [add FIRST [LAST] [--com N] [--name NAME] [--rfc2217] ...|remove INDEX|"
     "set INDEX --data-protocol raw|rfc2217]",
     Servers});
const TarvikctlCommand kParse({"parse", "parse NAME", Parse});

}  // namespace
}  // namespace tarvikctl
