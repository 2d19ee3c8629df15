// The application-wide state of the utility.
//
// One AppState exists per process (App()). It is zero-filled at program start
// (static storage, which the 3.8 MB configuration set needs anyway), set up by
// the main window during its start-up and lives until the process ends. It is
// touched only from the user-interface thread, so it has no locks: the panes,
// the dialogs and the main window's 500 ms timer all run on that thread.
#pragma once
#include <cstdint>

#include "app_texts.h"
#include "cfg_link.h"
#include "ui_options.h"

constexpr int kComMapSize = 4095;   // one byte per COM number 1..4095, byte n-1 for COM n
constexpr int kMessageSize = 500;   // message buffer: at most 499 characters and a NUL
constexpr int kPathSize = 260;

// Bits of AppState::pendingRequests, consumed by the main window's next tick.
enum : uint32_t {
  kRequestAddServers = 1u << 0,  // run the add-servers procedure
  kRequestRefresh = 1u << 1,     // rebuild the servers pane's tree
};

// What the utility last saw of the store: the set as it was read from or
// written to the store, and the store's change counter that went with it.
// Written only by the servers pane's load and store (store_sync.h); the
// difference between it and AppState::config is the user's unsaved work.
struct StoreBaseline {
  ConfigSet config;
  uint32_t changeCount;
  // The last load left servers out (or read nothing): the set must not be
  // written back over the store unless the user changes it.
  bool loadFailed;
};

struct AppState {
  // The in-memory copy of the whole driver configuration. Loaded and stored
  // by the servers pane; every pane and dialog edits this one object.
  ConfigSet config;
  // COM numbers the configuration used when it was last loaded at start-up
  // or after a driver restart.
  uint8_t ownAtLoadComMap[kComMapSize];
  // COM numbers the configuration uses now; rebuilt before each dialog that
  // offers COM numbers.
  uint8_t ownComMap[kComMapSize];
  // COM numbers other serial ports of the machine take (not ours).
  uint8_t occupiedComMap[kComMapSize];
  // The store differs from what the running driver uses. Set by every change
  // the driver must pick up; cleared only by a Restart Driver dialog ending OK.
  bool restartPending;
  // kRequest* bits, set by the panes.
  uint32_t pendingRequests;
  // The device server last picked in either pane: the Web button's target and
  // the defaults of the add-servers procedure.
  char deviceAddress[32];
  char deviceName[50];
  uint32_t devicePort;
  // Shared buffer for status-bar and message-box texts.
  char message[kMessageSize];
  // True while the discovery library is initialised (set by the search pane).
  bool discoveryReady;
  // Companion programs beside the executable.
  char terminalPath[kPathSize];
  char diagPath[kPathSize];
  UiOptions ui;
  // Selected row of the search pane's list, -1 for none.
  int32_t searchSelection;
  StoreBaseline stored;
};

AppState& App();

// Returns the state to its program-start values (all zero, then the few
// non-zero initial values). Tests use it between cases.
void ResetAppState();
