// Keeping the utility's copy of the configuration and the store in step
// when other processes (a second utility, tarvikctl, a file import) write
// the store while the utility runs.
//
// How it works
// The store counts every write of servers and counts ("ChangeCount",
// Tkc_RegGetChangeCount). A load remembers the set it read and the counter
// that went with it (StoreBaseline). Before the utility writes, it compares
// the store's counter with the remembered one:
// - equal: nobody else wrote; the utility writes (except right after a
//   load that left servers out, while the user has changed nothing: that
//   write would delete the servers that were never shown);
// - different, and the set equals the remembered one: the utility has no
//   changes of its own, so it reloads instead of writing;
// - different, and the set was changed: the user chooses whose list stays.
// The utility's own writes raise the counter too; each one takes the new
// value into the baseline under the same write lock, so it never mistakes
// its own write for another process's.
#pragma once
#include <cstdint>

#include "app_state.h"

namespace tarvik::app {

extern const char kReloadedStatus[];
extern const char kWhoseListQuestion[];

// True when set differs from the baseline in anything the store keeps
// (records and data protocols).
bool HasOwnChanges(const ConfigSet& set, const StoreBaseline& base);

// Reads the whole set (as LoadConfigSet does, with its messages; a failed
// load also names the servers it could not read) and makes it the
// baseline together with the counter read with it.
uint16_t LoadTracked(ConfigSet& set, StoreBaseline& base, bool* restartPending);

enum class StoreResult {
  kWritten,   // the set is in the store
  kSkipped,   // nothing to write after a failed load
  kReloaded,  // another process's list was taken in: set holds it now
  kFailed,    // the store refused the write (shown)
};

// Writes the whole set, or reloads it, as the rules above say. The
// question, when it comes, is a Yes/No message box: Yes keeps the
// utility's list, No takes the store's.
StoreResult StoreTracked(ConfigSet& set, StoreBaseline& base, bool* restartPending);

// Writes set.Records[index] and its data protocol as that server of the
// store after an edit in place. When the store has moved on, StoreTracked decides instead, since
// the index may name another server there.
StoreResult WriteServerTracked(ConfigSet& set, StoreBaseline& base, int index,
                               bool* restartPending);

// Runs StoreTracked only when another process changed the store: a
// command that changes the store by server index calls it first. Returns
// kWritten when the store and the set agree afterwards (also when nothing
// had to be done).
StoreResult SyncBeforeIndexedWrite(ConfigSet& set, StoreBaseline& base, bool* restartPending);

// Index in set of the server that was at index when a box opened (matched
// by address, device name and command port; a server with a host name,
// whose address the periodic lookup may have moved meanwhile, also by host
// name, device name and command port), -1 when it is gone. An exact match
// comes before a host-name match, and the record at index before the
// others.
int FindServerAgain(const ConfigSet& set, int index, const ServerRecord& before);

}  // namespace tarvik::app
