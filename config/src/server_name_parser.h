// Turns a server record's device name into its port layout.
#pragma once
#include <cstdint>

#include "tarvikcfg.h"

namespace tkc {

// Sets PortNo, Slotted, SecondPort, SlotCount, SlotPorts and the layout bits
// (device port number, index, slot) of the data ports laid out, from
// record->ServerName. Returns TKC_OK or TKC_ERR_PORTS (unknown name).
uint16_t ParseServerName(TkcServerRecord* record);

}  // namespace tkc
