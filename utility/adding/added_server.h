// One new server record of an add run: its port layout from the device
// name, the PC-side options of the dialog, and consecutive COM numbers from
// the free-COM list.
#pragma once
#include <cstdint>

#include "cfg_link.h"
#include "free_com_list.h"

struct AddServersChoices;

// Builds *record (zeroed first) for the device name at storeAddress.
// *cursor is the position in the free list (-1: "UnMap", every entry COM 0)
// and moves past each number given. When the list runs out within the
// server, the entries done so far keep their numbers and *listUsedUp is set.
// Returns the layout status: 0, or the parser's status; a name the parser
// takes but lays out without data ports gives TKC_ERR_PORTS.
uint16_t BuildAddedServer(const char* name, uint32_t storeAddress,
                          const AddServersChoices& choices, const FreeComList& list,
                          int* cursor, ServerRecord* record, bool* listUsedUp);
