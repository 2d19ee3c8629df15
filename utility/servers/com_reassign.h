// Applying the port dialog's choice to a server record: to the one port, or
// with re-assign on, to it and every following port of its slot (or of all
// slots), numbering them upwards from the chosen COM number past every
// number that is in use.
#pragma once
#include <cstdint>

#include "pane_config.h"
#include "port_map_choice.h"

namespace tarvik::app {

// Sets COM number, FixedConfig (always on for the I/O port, entry 0),
// DisablePurge, WriteBuffer and AutoFlush of one port mapping.
void ApplyPortChoice(ServerRecord& server, int entry, uint32_t com,
                     const tarvik::device::PortMapChoice& choice);

// Applies the choice to entry, or with choice.reassign to it and the
// entries after it. inUse (one flag per COM number, number - 1) is the
// dialog's table: the numbers of the re-assigned ports are released in it
// first, and every number handed out is marked, so no number is given
// twice. Numbers are never wrapped around: when they run out past 4095 the
// remaining ports stay unmapped. Returns how many ports were left unmapped
// for that reason.
int ApplyPortChoiceToServer(ServerRecord& server, int entry,
                            const tarvik::device::PortMapChoice& choice,
                            uint8_t inUse[tarvik::device::kComNumbers]);

enum class PortDialogResult {
  kUnchanged,  // the record stays as it is
  kApplied,    // the record changed
  kComTaken,   // the chosen number is in use now; the record stays as it is
  kNoSuchPort, // the record has no such entry now; it stays as it is
};

// Applies what the port dialog handed back (chosen, over the values it
// showed) to entry of server as the record is now, after the dialog:
// MergePortChoice keeps whatever changed meanwhile and the user left alone.
// inUse is the table of numbers in use now by anything but this port; a
// single port (re-assign off) is not given a number that another port took
// meanwhile. *left gets ApplyPortChoiceToServer's count.
PortDialogResult ApplyPortDialogResult(ServerRecord& server, int entry,
                                       const tarvik::device::PortMapChoice& shown,
                                       const tarvik::device::PortMapChoice& chosen,
                                       uint8_t inUse[tarvik::device::kComNumbers], int* left);

}  // namespace tarvik::app
