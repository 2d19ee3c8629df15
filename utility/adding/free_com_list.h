// The COM numbers an add run may hand out, and how the dialog offers them.
//
// The list is built once before the dialog opens and the run takes its
// numbers from it in order with a cursor that only moves forward, so no
// number is given twice, neither within one server nor across the servers
// of one run. A number is free when no port of the configuration uses it
// and no other serial port of the machine does; a number the configuration
// used when it was loaded counts as ours even when the machine's serial
// list still names it (the running driver holds it).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Ascending COM numbers 1..4095. The procedure treats a cursor at the end
// as the list used up.
using FreeComList = std::vector<uint16_t>;

// ownAtLoad, own and occupied are 4095-byte maps (byte n-1 for COM n).
// Numbers set in ownAtLoad are cleared in occupied first, as the utility's
// own map of other ports must not keep them.
FreeComList BuildFreeComList(const uint8_t* ownAtLoad, const uint8_t* own, uint8_t* occupied);

// How many "COM%d" items the drop-down list shows after "UnMap": entries up
// to the first one above maxVcom.
int OfferedComCount(const FreeComList& list, uint32_t maxVcom);

// The drop-down item selected when the list is filled: "UnMap" (0) unless
// at least two COM numbers are offered, then the lowest free number (1).
int InitialComItem(int offeredCount);

// The free number at cursor, or 0 when the cursor is past the end.
inline uint16_t FreeComAt(const FreeComList& list, int cursor) {
  return cursor >= 0 && static_cast<size_t>(cursor) < list.size() ? list[cursor] : 0;
}
