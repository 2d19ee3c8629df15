// The store before servers are added: it must hold the list the user sees,
// or the walk's reload at its end would take away what the user changed,
// and a list that left servers out (a load that failed on a damaged server
// key) is no list to add to.
#pragma once

struct AppState;

extern const char kAddRefusedUnread[];
extern const char kAddRefusedUnwritten[];

struct AddStoreStep {
  bool ready = false;
  // The set was read from the store again: the view must be rebuilt.
  bool reloaded = false;
  // When not ready: why, for a message box (kAddRefused*).
  const char* refusal = nullptr;
};

// Stores the set as the servers pane does (store_sync.h). A set whose last
// load failed and that the user has not changed is not written; it is read
// again instead, and adding goes ahead only when that read is complete.
AddStoreStep StoreBeforeAdding(AppState& app);
