// What the port mapping page offers and hands back: the COM numbers a port
// may take, the table of numbers in use that the opener re-assigns from,
// and the auto-flush interval.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "pane_config.h"

namespace tarvik::device {

constexpr int kComNumbers = 4095;  // COM 1..4095, table index = number - 1

// The page's choices, as the opener applies them to the port mapping.
struct PortMapChoice {
  uint32_t com = 0;  // 0 = unmapped
  bool reassign = false;
  bool applyToSlots = false;
  bool fixedBaud = false;
  bool disablePurge = false;
  bool writeBuffer = false;
  uint32_t intervalMs = 50;
};

// inUse[n-1] = 1 when COM n is taken by another serial port of the machine
// (occupied) or by any mapped port (own), except ownCom, the number of the
// port being configured, which counts as free.
void BuildComInUse(const uint8_t occupied[kComNumbers], const uint8_t own[kComNumbers],
                   uint32_t ownCom, uint8_t inUse[kComNumbers]);

// The numbers the list offers after "UnMap", ascending: the free ones from
// 1 to maxCom (cut to 4095), and the port's own number ownCom (0 for none)
// also when it lies above maxCom, since re-assignment and imported files
// can map ports there and an untouched list must not unmap them.
std::vector<uint32_t> OfferedComNumbers(const uint8_t inUse[kComNumbers], uint32_t maxCom,
                                        uint32_t ownCom);

// What the page shows for a port mapping before anyone touches it: its COM
// number and flags, the interval as InitialFlushIntervalMs gives it, the
// re-assign choice as given, and "Apply to all subsequent slots." on for an
// unmapped port of a server with expansion slots.
PortMapChoice ShownPortChoice(const tarvik::app::ServerRecord& server, int entry, bool reassign);

bool SamePortChoice(const PortMapChoice& a, const PortMapChoice& b);

// The choice to apply to a port that may have changed since the page showed
// it (another program wrote the store, the list was reloaded): each value
// the user changed (chosen differs from shown) is taken, every other value
// is the port's as it is now (now). How to apply it (re-assign, apply to
// all slots) is always the chosen one.
PortMapChoice MergePortChoice(const PortMapChoice& shown, const PortMapChoice& chosen,
                              const PortMapChoice& now);

// "COM%u" of a number, "UnMap" for 0; and back (0 for "UnMap", an empty
// text or anything that is not "COM" and digits naming 1..4095).
std::string ComListText(uint32_t com);
uint32_t ComFromListText(const char* text);

// The interval the page starts with: the stored value (10 ms units) in ms,
// 50 when that is below 10 or above 500 ms.
uint32_t InitialFlushIntervalMs(uint32_t autoFlushUnits);

// True when text is a number from 10 to 500 (digits only, leading zeros
// allowed: "00100" is 100).
bool ParseFlushInterval(const char* text, uint32_t* ms);

}  // namespace tarvik::device
