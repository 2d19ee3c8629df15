// The servers pane's traffic with the registry store: loading and storing
// the whole configuration set, the counts of an added server, and removing
// servers so that the remaining subkeys stay numbered without gaps.
//
// A removal takes several store steps; they run in one registry
// transaction, so a step that fails leaves the store as it was and the
// reload that follows shows exactly what the store holds.
#pragma once
#include <cstdint>

#include "pane_config.h"

namespace tarvik::app {

constexpr const char* kPaneCaption = "Tarvik Utility";

// Reads the whole set (zeroed first). A failure is shown and its status
// returned. A set without the format marker gets it, and *restartPending is
// set, since the driver then still reads the old format.
uint16_t LoadConfigSet(ConfigSet& set, bool* restartPending);

// LoadConfigSet without the message: for callers that tell more.
uint16_t ReadConfigSet(ConfigSet& set, bool* restartPending);
// The message of a failed load; detail (may be null) is appended.
void WarnLoadFailed(uint16_t status, const char* detail);

// The message of a failed write.
void WarnWriteFailed(uint16_t status);

// Writes the whole set; a failure is shown and its status returned.
uint16_t StoreConfigSet(ConfigSet& set);

// Writes *record as server index of the store with its data protocol
// beside it, in one commit (inside the caller's transaction, when it holds
// one). Changes *record as Tkc_RegWriteOneServer does. Returns the first
// failing status of the two writes, or TKC_OK; nothing is shown.
uint16_t WriteServerWithProtocol(uint32_t index, ServerRecord* record, uint8_t protocol);

// Counts one more server with ports ports in the store; a failure is shown
// and its status returned.
uint16_t CountAddedServer(uint32_t ports);

// Removes server index from the store: its subkey goes, the counts drop and
// the servers after it move down one subkey, each with its data protocol.
// The other servers are written from the set as well, so no edit made in
// memory is lost by the reload that must follow. Failures are shown.
// Returns true when the store changed.
bool RemoveServerFromStore(const ConfigSet& set, int index);

// Deletes the subkeys of all servers of the set and sets the counts to 0.
bool RemoveAllServersFromStore(const ConfigSet& set);

}  // namespace tarvik::app
