// The add-servers procedure: from the dialog's choices to new server
// records in the store, one address of the range after the other.
//
// It works on the application state (configuration set, COM maps, UI
// options, restart-pending flag, message buffer) and reaches everything
// else through two small interfaces: AddServersHost for the front end (the
// main window or tarvikctl) and NameFetch for the devices. It runs on the
// caller's thread to its end; the host may end a long walk between two
// addresses.
#pragma once
#include <cstdint>

#include "add_choices.h"
#include "cfg_link.h"
#include "free_com_list.h"

struct AppState;
class NameFetch;

// Why an address was passed over.
enum class SkipReason { kNet, kGateway, kBroadcast, kDuplicate, kNoName };

// Walks of more addresses than this are confirmed first.
constexpr uint64_t kConfirmWalkAbove = 1024;

class AddServersHost {
 public:
  virtual ~AddServersHost() = default;
  // Servers pane: store the set; load it again and rebuild the view.
  virtual uint16_t StoreSet() = 0;
  virtual void ReloadSet() = 0;
  // Runs the dialog with *choices as its defaults; true on OK, with the
  // choices taken from it.
  virtual bool ChooseOptions(const FreeComList& freeComs, AddServersChoices* choices) = 0;
  // Called after the dialog, before the first write: brings the set in
  // step with the store when another process wrote it meanwhile. True when
  // the set was read again (the free COM numbers are then looked up anew).
  virtual bool SyncBeforeWrites() { return false; }
  // A walk of this many addresses may take long; true to go ahead.
  virtual bool ConfirmLongWalk(uint64_t addresses) = 0;
  // "Add Server(s)", "Search Servers" and "Exit" off during the walk.
  virtual void EnableCommands(bool enabled) = 0;
  virtual void SetStatus(const char* text) = 0;
  // A message box with the caption "Tarvik Utility"; returns the button.
  virtual int Message(const char* text, unsigned flags) = 0;
  // True when the user asked to end the walk; looked at between addresses.
  virtual bool StopRequested() { return false; }
  // Reports for a front end that lists what happened.
  virtual void Skipped(uint32_t hostOrderAddress, SkipReason reason) {
    (void)hostOrderAddress, (void)reason;
  }
  virtual void Added(uint32_t index, const ServerRecord& record) { (void)index, (void)record; }
};

// How the walk ended.
enum class AddStop {
  kNone,           // the range was walked to its end (or start > end)
  kCancelled,      // the dialog, the long-walk question or a failed fetch's Cancel
  kUserStop,       // StopRequested between addresses
  kServerLimit,    // the set holds 4095 servers
  kComsUsedUp,     // the free-COM list ran out
  kUnknownDevice,  // a name without a port layout
};

struct AddServersOutcome {
  bool dialogAccepted = false;
  AddStop stop = AddStop::kNone;
  int added = 0;
  int writeFailures = 0;     // servers that the store did not take
  bool countsFailed = false; // the counts written at the finish
  // Ended by an error a script must see: unknown device, a store write
  // that failed, the server limit or the COM numbers running out.
  bool Failed() const {
    return writeFailures > 0 || countsFailed || stop == AddStop::kUnknownDevice ||
           stop == AddStop::kServerLimit || stop == AddStop::kComsUsedUp;
  }
};

// Steps 1 to 8, all of them: store, COM maps and free list, the dialog,
// the walk, the finish (counts, restart pending, reload, commands back on).
AddServersOutcome RunAddServersProcedure(AppState& app, AddServersHost& host, NameFetch& fetch);
