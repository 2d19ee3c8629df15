// The main window's side of the add procedure: the "Adding Servers" dialog,
// message boxes through the platform hook, and the servers pane, status
// bar and buttons reached through the functions the window gives.
#pragma once
#include <functional>

#include "add_procedure.h"

class QWidget;

struct AddWindowLinks {
  std::function<bool()> store;                 // store the set; false: refused (said why)
  std::function<void()> reload;                // servers pane: load, then rebuild
  std::function<void(const char*)> setStatus;  // the status bar
  std::function<void(bool)> enableCommands;    // "Add Server(s)", "Search Servers", "Exit"
  std::function<bool()> stopRequested;         // the user wants the walk to end
};

class DialogAddHost : public AddServersHost {
 public:
  DialogAddHost(QWidget* parent, uint32_t maxVcom, AddWindowLinks links)
      : parent_(parent), maxVcom_(maxVcom), links_(std::move(links)) {}

  bool StoreSet() override { return links_.store(); }
  void ReloadSet() override { links_.reload(); }
  bool ChooseOptions(const FreeComList& freeComs, AddServersChoices* choices) override;
  bool ConfirmLongWalk(uint64_t addresses) override;
  void EnableCommands(bool enabled) override { links_.enableCommands(enabled); }
  void SetStatus(const char* text) override { links_.setStatus(text); }
  int Message(const char* text, unsigned flags) override;
  bool StopRequested() override { return links_.stopRequested && links_.stopRequested(); }

 private:
  QWidget* parent_;
  uint32_t maxVcom_;
  AddWindowLinks links_;
};
