// tarvikctl search / udp-config: the search pane's list and its UDP
// configuration from the command line. Both broadcast, so both run only in
// a network namespace that holds nothing but lo.
#include <arpa/inet.h>
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../devsim/netns_check.h"
#include "command.h"
#include "findra.h"
#include "model_filter.h"
#include "search_rows.h"
#include "tarvik/clock.h"

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
    const auto c = tarvik::app::SearchColumnTexts(r);
    printf("%-19s  %-19s  %-15s  %-15s  %-15s  %-17s  %s\n", c[0].c_str(), c[1].c_str(),
           c[2].c_str(), c[3].c_str(), c[4].c_str(), c[5].c_str(), c[6].c_str());
  }
  Findra_Close();
  return 0;
}

bool ValidAddress(const std::string& text) {
  in_addr a;
  return inet_pton(AF_INET, text.c_str(), &a) == 1;
}

int UdpConfig(const Args& args) {
  const char* usage =
      "usage: tarvikctl udp-config MAC [--alias A] [--ip I] [--mask M] [--gateway G] "
      "[--dhcp 0|1] [--time MS]";
  if (args.empty() || args[0][0] == '-') return Fail(usage);
  const std::string mac = args[0];
  std::string alias, ip, mask, gateway;
  bool hasAlias = false, hasIp = false, hasMask = false, hasGateway = false, hasDhcp = false;
  int dhcp = 0;
  unsigned searchMs = kPaneSearchTimeMs;
  for (size_t i = 1; i < args.size(); ++i) {
    if (i + 1 >= args.size()) return Fail(usage);
    const std::string& key = args[i];
    const std::string& value = args[++i];
    if (key == "--alias") {
      alias = value;
      hasAlias = true;
    } else if (key == "--ip" || key == "--mask" || key == "--gateway") {
      if (!ValidAddress(value)) return Fail("invalid address \"" + value + "\" for " + key);
      (key == "--ip" ? ip : key == "--mask" ? mask : gateway) = value;
      (key == "--ip" ? hasIp : key == "--mask" ? hasMask : hasGateway) = true;
    } else if (key == "--dhcp" && (value == "0" || value == "1")) {
      dhcp = value == "1";
      hasDhcp = true;
    } else if (key == "--time" && ParseTime(value, &searchMs)) {
    } else {
      return Fail(usage);
    }
  }
  if (alias.size() > FINDRA_ALIAS_SIZE - 1) alias.resize(FINDRA_ALIAS_SIZE - 1);

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
  int result = Findra_ConfigModule(index, hasIp ? ip.c_str() : nullptr,
                                   hasMask ? mask.c_str() : nullptr,
                                   hasGateway ? gateway.c_str() : nullptr, nullptr,
                                   hasDhcp ? dhcp : r.dhcp, hasAlias ? alias.c_str() : nullptr);
  Findra_Close();
  if (result != 0) {
    char text[500];
    snprintf(text, sizeof text, "%s [%s]: Configuration failiure, error=%d", r.name, r.mac, result);
    return Fail(text);
  }
  printf("%s [%s]: configuration confirmed\n", r.name, r.mac);
  return 0;
}

const TarvikctlCommand kSearch({"search", "search [--time MS] [--all]", Search});
const TarvikctlCommand kUdpConfig(
    {"udp-config",
     "udp-config MAC [--alias A] [--ip I] [--mask M] [--gateway G] [--dhcp 0|1] [--time MS]",
     UdpConfig});

}  // namespace
}  // namespace tarvikctl
