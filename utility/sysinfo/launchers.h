// The ping and diagnostic launchers: what each pane passes, and the shell
// start of the companion program with its argument text. No widgets; the
// question for a ping target comes through AskPingTarget.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "tarvikcfg.h"

extern const char kPingProgram[];        // "Ping.exe"
extern const char kPingArguments[];      // "-a -t %s"
extern const char kDiagArguments[];      // "TCP=%s,%d"
extern const char kNoServerTarget[];     // "192.168.0.1"
constexpr uint32_t kNoServerCommandPort = 10000;
constexpr size_t kPingTargetMax = 15;    // characters the target edit takes

// What a launcher is started with: an address (0 for none), the text used
// when there is none, whether the ping asks first, and the diagnostic's port.
struct LaunchTarget {
  uint32_t address = 0;
  std::string defaultText;
  bool ask = false;
  uint32_t port = kNoServerCommandPort;
};

// The servers pane: the selected server (selected >= 0) without the
// question; none selected, the first server with the question, or
// "192.168.0.1" with the question when there are none. The port is the
// server's TcpPortCmd (10000 without a server).
LaunchTarget ServersPaneTarget(const TkcConfigSet& set, int selected);

// Runs the target dialog on target[size] (pre-filled); false on Cancel.
using AskPingTarget = std::function<bool(char* target, size_t size)>;

// Starts "Ping.exe" with "-a -t <target>". Returns false when nothing was
// started because the question was cancelled.
bool LaunchPing(uint32_t address, const char* defaultText, bool ask, const AskPingTarget& askTarget);

// Starts the diagnostic program at diagPath with "TCP=<address>,<port>".
void LaunchDiagnostic(const char* diagPath, uint32_t address, const char* defaultText,
                      uint32_t port);
