#include "pane_launch.h"

#include "app_state.h"
#include "cserverpingdlg.h"
#include "launchers.h"

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

void PingFromSearchPane(const char* address) { LaunchPing(0, address, false, nullptr); }

void DiagnosticFromSearchPane(const char* address) {
  LaunchDiagnostic(App().diagPath, 0, address ? address : kNoServerTarget, kNoServerCommandPort);
}
