// What the port mapping page offers and hands back: the COM numbers a port
// may take, the table of numbers in use that the opener re-assigns from,
// and the auto-flush interval.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

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

// The free numbers from 1 to maxCom (cut to 4095), ascending.
std::vector<uint32_t> FreeComNumbers(const uint8_t inUse[kComNumbers], uint32_t maxCom);

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
