// Panes for main-window tests: a servers pane that carries out every
// forwarded command by recording it, and a search pane whose UDP
// configuration is available, so the main window's routing and command
// states can be watched without the later panes' dialogs.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "cpelmardlg.h"
#include "cpelmarsearchdlg.h"
#include "cpelmarserverdlg.h"

class RecordingServerPane : public CPelmarServerDlg {
 public:
  using CPelmarServerDlg::CPelmarServerDlg;
  bool HandlesCommand(PelmarCommand) const override { return true; }
  void OnCommand(PelmarCommand command) override { received.push_back(command); }
  void UpdateMenuState() override {
    CPelmarServerDlg::UpdateMenuState();
    ++menuUpdates;
  }
  std::vector<PelmarCommand> received;
  int menuUpdates = 0;
};

class UdpReadySearchPane : public CPelmarSearchDlg {
 public:
  bool CanSearch() const override { return true; }
  void Search() override {
    if (onSearch) onSearch();
  }
  bool CanConfigureByUdp() const override { return true; }
  void ConfigureByUdp() override { ++udpRuns; }
  int udpRuns = 0;
  std::function<void()> onSearch;
};

class RoutingTestDlg : public CPelmarDlg {
 public:
  RecordingServerPane* Servers() const { return static_cast<RecordingServerPane*>(ServerPane()); }
  UdpReadySearchPane* Search() const { return static_cast<UdpReadySearchPane*>(SearchPane()); }

 protected:
  CPelmarServerDlg* CreateServerPane(CPelmarMenu* menu) override {
    return new RecordingServerPane(menu);
  }
  CPelmarSearchDlg* CreateSearchPane() override { return new UdpReadySearchPane; }
};

// A main window with a Restart Driver dialog that answers from a script and
// counts how often it was shown.
class RestartScriptDlg : public CPelmarDlg {
 public:
  std::vector<bool> answers;  // consumed front to back; OK when none left
  int runs = 0;
  std::vector<std::string> aliasInStoreAtRun;  // what the store held then

 protected:
  bool HasRestartDriverDialog() const override { return true; }
  bool RunRestartDriverDialog() override;
};
