// The add-servers procedure: from the dialog's choices to new server
// records in the store, one address of the range after the other.
//
// It works on the application state (configuration set, COM maps, UI
// options, restart-pending flag, message buffer) and reaches everything
// else through two small interfaces: AddServersHost for the front end (the
// main window or tarvikctl) and NameFetch for the devices. It runs on the
// caller's thread to its end; the host may end a long walk between two
// addresses.
//
// Each server goes into the store with Tkc_RegAddServer: its index, its
// COM numbers and the counts are decided there under the store's write
// lock, so another process adding at the same time loses nothing and
// shares no COM number. The set and the free-COM list the walk starts from
// only decide what to offer and when to stop; the finish reloads the set.
#pragma once
#include <cstdint>
#include <string>

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
  // Servers pane: store the set, so that the store holds what the user
  // sees. False when it cannot be brought in step with the store (a load
  // that left servers out, a store that refused the write): the procedure
  // then adds nothing, and the host has said why.
  virtual bool StoreSet() = 0;
  // Servers pane: load the set again and rebuild the view.
  virtual void ReloadSet() = 0;
  // Runs the dialog with *choices as its defaults; true on OK, with the
  // choices taken from it.
  virtual bool ChooseOptions(const FreeComList& freeComs, AddServersChoices* choices) = 0;
  // A walk of this many addresses may take long; true to go ahead.
  virtual bool ConfirmLongWalk(uint64_t addresses) = 0;
  // Off while the walk runs: "Add Server(s)", "Search Servers" and "Exit",
  // and whatever else of the front end must wait for the walk's end.
  virtual void EnableCommands(bool enabled) = 0;
  virtual void SetStatus(const char* text) = 0;
  // A message box with the caption "Tarvik Utility"; returns the button.
  virtual int Message(const char* text, unsigned flags) = 0;
  // True when the user asked to end the walk; looked at between addresses
  // and while a name fetch waits.
  virtual bool StopRequested() { return false; }
  // Reports for a front end that lists what happened.
  virtual void Skipped(uint32_t hostOrderAddress, SkipReason reason) {
    (void)hostOrderAddress, (void)reason;
  }
  // unmapped: entries that wanted a COM number and found none left.
  virtual void Added(uint32_t index, const ServerRecord& record, uint32_t unmapped) {
    (void)index, (void)record, (void)unmapped;
  }
};

// How the walk ended.
enum class AddStop {
  kNone,           // the range was walked to its end (or start > end)
  kRefused,        // StoreSet could not bring the set in step with the store
  kCancelled,      // the dialog, the long-walk question or a failed fetch's Cancel
  kUserStop,       // StopRequested
  kServerLimit,    // the store holds 4095 servers
  kComsUsedUp,     // no free COM number left for the next server
  kUnknownDevice,  // a name without a port layout
};

struct AddServersOutcome {
  bool dialogAccepted = false;
  AddStop stop = AddStop::kNone;
  int added = 0;
  int writeFailures = 0;  // servers that the store did not take
  int partlyMapped = 0;   // servers added with ports left unmapped
  // Ended by an error a script must see: unknown device, a store write
  // that failed, the server limit, or the COM numbers running out before
  // or within a server.
  bool Failed() const {
    return writeFailures > 0 || partlyMapped > 0 || stop == AddStop::kRefused ||
           stop == AddStop::kUnknownDevice || stop == AddStop::kServerLimit ||
           stop == AddStop::kComsUsedUp;
  }
};

// "Searching 10.77.0.1 - 10.77.0.254: 130 of 254, 3 found"
std::string SearchProgressText(uint32_t first, uint32_t last, uint64_t settled, uint64_t found);

// The whole procedure: store, COM maps and free list, the dialog,
// the walk, the finish (restart pending, reload, commands back on).
AddServersOutcome RunAddServersProcedure(AppState& app, AddServersHost& host, NameFetch& fetch);
