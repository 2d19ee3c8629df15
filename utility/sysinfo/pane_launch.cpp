#include "pane_launch.h"

#include <string>

#include "app_state.h"
#include "cmip.h"
#include "companion.h"
#include "cserverpingdlg.h"
#include "launchers.h"

namespace {

// A search row's address is whatever a discovery reply said: anyone on the
// network can send one, with any 15 bytes. Only an address in its dotted
// form goes on; a host name would name any host, and control bytes would
// reach the terminal window.
bool IsSearchAddress(const char* address, const char* command) {
  CMIP ip;
  if (address && ip.IsValidText(address)) return true;
  ReportCompanionProblem(std::string(command) +
                         ": the device's search reply gives no IPv4 address; nothing started.");
  return false;
}

}  // namespace

void PingFromServersPane(QWidget* parent, const TkcConfigSet& set, int selected) {
  const LaunchTarget target = ServersPaneTarget(set, selected);
  LaunchPing(target.address, target.defaultText.c_str(), target.ask,
             [parent](char* text, size_t size) {
               CServerPingDlg dialog(parent);
               return dialog.AskTarget(text, size);
             });
}

void DiagnosticFromServersPane(const TkcConfigSet& set, int selected) {
  const LaunchTarget target = ServersPaneTarget(set, selected);
  LaunchDiagnostic(App().diagPath, target.address, target.defaultText.c_str(), target.port);
}

void PingFromSearchPane(const char* address) {
  if (IsSearchAddress(address, "Ping")) LaunchPing(0, address, false, nullptr);
}

void DiagnosticFromSearchPane(const char* address) {
  if (address && !IsSearchAddress(address, "Diagnostic")) return;
  LaunchDiagnostic(App().diagPath, 0, address ? address : kNoServerTarget, kNoServerCommandPort);
}
