// tarvikctl search / udp-config: the search pane's list and its UDP
// configuration from the command line. Both broadcast, so both run only in
// a network namespace that holds nothing but lo.
#include <strings.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../devsim/netns_check.h"
#include "command.h"
#include "findra.h"
#include "model_filter.h"
#include "config_ok.h"
#include "search_rows.h"
#include "send_config.h"
#include "tarvik/clock.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"
#include "udp_config_table.h"

namespace tarvikctl {
namespace {

constexpr unsigned kPaneSearchTimeMs = 3000;

using tarvik::app::ModuleInfo;

int Read(int index, ModuleInfo* r) {
  *r = ModuleInfo{};
  return Findra_GetModuleInfo(index, r->name, r->alias, r->ip, r->mask, r->gateway, r->mac,
                              &r->dhcp);
}

bool ParseTime(const std::string& text, unsigned* out) {
  char* end = nullptr;
  unsigned long v = strtoul(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v > 600000) return false;
  *out = static_cast<unsigned>(v);
  return true;
}

// Runs one search to its end as the search pane does. 0, or the exit code
// after a printed failure.
int RunSearch(unsigned searchMs) {
  std::string why;
  if (!tarvik::OnlyLoopbackNetwork(&why)) return Fail(why);
  int result = Findra_Init(54321);
  if (result != 0) return Fail("Search() failed! Error=" + std::to_string(result));
  Findra_SetOptions(searchMs, 0);
  result = Findra_BroadcastStart("255.255.255.255", 57188, "KORVAXQ410X,00\r");
  if (result < 0) {
    Findra_Close();
    return Fail("Failed to search modules! Error=" + std::to_string(result));
  }
  while (Findra_GetState() == 1) tarvik::SleepMs(50);
  Findra_BroadcastStop();
  return 0;
}

int Search(const Args& args) {
  unsigned searchMs = kPaneSearchTimeMs;
  bool all = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--time" && i + 1 < args.size() && ParseTime(args[i + 1], &searchMs)) {
      ++i;
    } else if (args[i] == "--all") {
      all = true;
    } else {
      return Fail("usage: tarvikctl search [--time MS] [--all]");
    }
  }
  if (int rc = RunSearch(searchMs)) return rc;
  printf("%-19s  %-19s  %-15s  %-15s  %-15s  %-17s  %s\n", "Name", "Alias", "IP Address",
         "Sub-net Mask", "Gateway", "MAC Address", "DHCP");
  const int count = Findra_GetCount();
  for (int i = 1; i <= count; ++i) {
    ModuleInfo r;
    if (Read(i, &r) != 0) break;
    if (!all && !tarvik::app::IsListedModel(r.name)) continue;
    // Every column is the device's own text.
    std::array<std::string, tarvik::app::kSearchColumns> c = tarvik::app::SearchColumnTexts(r);
    for (std::string& text : c) text = tarvik::EscapeText(text);
    printf("%-19s  %-19s  %-15s  %-15s  %-15s  %-17s  %s\n", c[0].c_str(), c[1].c_str(),
           c[2].c_str(), c[3].c_str(), c[4].c_str(), c[5].c_str(), c[6].c_str());
  }
  Findra_Close();
  return 0;
}

// The configure procedure's report goes to this command's streams: all
// confirmed to standard output, else every line to standard error. The
// report escapes the devices' names and MACs itself, so its lines are its own.
void PrintReport(const char* text, unsigned flags) {
  const bool confirmed = (flags & tarvik::kMbIconMask) == tarvik::kMbIconInformation;
  std::string line;
  for (const char* p = text;; ++p) {
    if (*p == '\n' || *p == '\0') {
      if (confirmed) {
        std::printf("%s\n", line.c_str());
      } else {
        std::fprintf(stderr, "tarvikctl: %s\n", line.c_str());
      }
      line.clear();
      if (*p == '\0') break;
    } else {
      line += *p;
    }
  }
}

// One device, found by its MAC address in a fresh search, through the UDP
// configuration dialog's own checks and sending: the fields not given keep
// what the device reports, as the dialog shows them.
int UdpConfig(const Args& args) {
  const char* usage =
      "usage: tarvikctl udp-config MAC [--alias A] [--ip I] [--mask M] [--gateway G] "
      "[--dhcp 0|1] [--time MS]";
  if (args.empty() || args[0][0] == '-') return Fail(usage);
  const std::string mac = args[0];
  struct Given {
    bool set = false;
    std::string value;
  } alias, ip, mask, gateway, dhcp;
  unsigned searchMs = kPaneSearchTimeMs;
  for (size_t i = 1; i < args.size(); ++i) {
    if (i + 1 >= args.size()) return Fail(usage);
    const std::string& key = args[i];
    const std::string& value = args[++i];
    Given* given = key == "--alias" ? &alias : key == "--ip" ? &ip : key == "--mask" ? &mask
                 : key == "--gateway" ? &gateway : key == "--dhcp" ? &dhcp : nullptr;
    if (given) {
      if (given == &dhcp && value != "0" && value != "1") return Fail(usage);
      given->set = true;
      given->value = value;
    } else if (!(key == "--time" && ParseTime(value, &searchMs))) {
      return Fail(usage);
    }
  }
  // The dialog's alias edit takes no more; a longer one would be sent cut.
  if (alias.value.size() > tarvik::app::kAliasMax)
    return Fail("--alias takes at most " + std::to_string(tarvik::app::kAliasMax) + " characters");
  if (!alias.set && !ip.set && !mask.set && !gateway.set && !dhcp.set) {
    return Fail("nothing to change: give --alias, --ip, --mask, --gateway or --dhcp");
  }

  if (int rc = RunSearch(searchMs)) return rc;
  int index = 0;
  ModuleInfo r;
  for (int i = 1, count = Findra_GetCount(); i <= count; ++i) {
    if (Read(i, &r) == 0 && strcasecmp(r.mac, mac.c_str()) == 0) {
      index = i;
      break;
    }
  }
  if (index == 0) {
    Findra_Close();
    return Fail("no device with MAC " + mac + " answered the search");
  }
  static tarvik::app::UdpConfigTable table;
  tarvik::app::FillConfigTable(&table, {index});
  tarvik::app::LoadConfigTable(&table, tarvik::app::ReadDiscoveryModule);
  tarvik::app::UdpConfigEntry& entry = table.entries[0];
  tarvik::app::NetworkValues values;
  values.dhcp = dhcp.set ? dhcp.value == "1" : tarvik::app::DhcpIsOn(entry.dhcp);
  values.ip = ip.set ? ip.value : entry.ip;
  values.mask = mask.set ? mask.value : entry.mask;
  values.gateway = gateway.set ? gateway.value : entry.gateway;
  values.alias = alias.set ? alias.value : entry.alias;
  std::string message;
  if (!tarvik::app::AcceptOneDevice(values, &entry, &message)) {
    Findra_Close();
    return Fail(message);
  }
  tarvik::SetMessageBoxHook([](const std::string& text, const std::string&, unsigned flags) {
    PrintReport(text.c_str(), flags);
    return tarvik::kIdOk;
  });
  const auto outcomes = tarvik::app::SendConfigTable(table, tarvik::app::SendEntryByDiscovery);
  tarvik::SetMessageBoxHook(nullptr);
  Findra_Close();
  return !outcomes.empty() && outcomes.front().result == 0 ? 0 : 1;
}

const TarvikctlCommand kSearch({"search", "search [--time MS] [--all]", Search});
const TarvikctlCommand kUdpConfig(
    {"udp-config",
     "udp-config MAC [--alias A] [--ip I] [--mask M] [--gateway G] [--dhcp 0|1] [--time MS]",
     UdpConfig});

}  // namespace
}  // namespace tarvikctl
