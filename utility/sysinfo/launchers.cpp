#include "launchers.h"

#include "cmip.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"

const char kPingProgram[] = "Ping.exe";
const char kPingArguments[] = "-a -t %s";
const char kDiagArguments[] = "TCP=%s,%d";
const char kNoServerTarget[] = "192.168.0.1";

namespace {

// The address as dotted text, or the default text when there is none; cut
// to the 79 characters of a formatted argument.
void TargetText(uint32_t address, const char* defaultText, char* text, size_t size) {
  if (address != 0) {
    CMIP ip;
    ip.SetValue(address);
    tarvik::CopyText(text, size, ip.GetText().c_str());
  } else {
    tarvik::CopyText(text, size, defaultText ? defaultText : "");
  }
}

}  // namespace

LaunchTarget ServersPaneTarget(const TkcConfigSet& set, int selected) {
  LaunchTarget target;
  target.defaultText = kNoServerTarget;
  const uint32_t servers = set.Servers < TKC_MAX_SERVERS ? set.Servers : TKC_MAX_SERVERS;
  if (selected >= 0 && static_cast<uint32_t>(selected) < servers) {
    target.address = set.Records[selected].IPAddress;
    target.port = set.Records[selected].TcpPortCmd;
    return target;
  }
  target.ask = true;
  if (servers > 0) {
    target.address = set.Records[0].IPAddress;
    target.port = set.Records[0].TcpPortCmd;
  }
  return target;
}

bool LaunchPing(uint32_t address, const char* defaultText, bool ask,
                const AskPingTarget& askTarget) {
  char target[80];
  TargetText(address, defaultText, target, sizeof target);
  if (ask && (!askTarget || !askTarget(target, sizeof target))) return false;
  char arguments[80];
  tarvik::FormatText(arguments, sizeof arguments, kPingArguments, target);
  tarvik::ShellOpen(kPingProgram, arguments);
  return true;
}

void LaunchDiagnostic(const char* diagPath, uint32_t address, const char* defaultText,
                      uint32_t port) {
  char target[80];
  TargetText(address, defaultText, target, sizeof target);
  char arguments[80];
  tarvik::FormatText(arguments, sizeof arguments, kDiagArguments, target, static_cast<int>(port));
  // As every companion launch: without a path there is nothing to start.
  if (diagPath && diagPath[0] != '\0') tarvik::ShellOpen(diagPath, arguments);
}
