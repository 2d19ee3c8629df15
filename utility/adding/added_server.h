// One new server record of an add run: its port layout from the device
// name, the PC-side options of the dialog, and which of its entries take a
// COM number. The numbers themselves are given by the store when the
// record is added (Tkc_RegAddServer), against what the store holds then.
#pragma once
#include <cstdint>

#include "cfg_link.h"

struct AddServersChoices;

// Builds *record (zeroed first) for the device name at storeAddress and
// marks in request->Wanted the entries that take a COM number: the I/O
// port when asked for, never the command port, and not the first data
// port of the models whose first port is not a serial line. Returns the
// parser's status; a record it lays out with PortNo 0 has no ports either.
uint16_t BuildAddedServer(const char* name, uint32_t storeAddress,
                          const AddServersChoices& choices, ServerRecord* record,
                          TkcAddServerRequest* request);
