// The driver options word (the configuration set's Flags) as the Driver
// Options dialog and `tarvikctl driver options` edit it: fast open, ignore
// writing errors and the close delay. Bit 0, the format marker, belongs to
// the store and is never touched here.
#pragma once
#include <cstdint>

constexpr uint32_t kDriverFlagFastOpen = 1u << 1;
constexpr uint32_t kDriverFlagIgnoreWriteError = 1u << 2;
constexpr int kCloseDelayShift = 3;
constexpr uint32_t kCloseDelayField = 0x7Fu << kCloseDelayShift;  // bits 3-9, units of 10 ms
constexpr long kCloseDelayMaxMs = 1000;

struct DriverOptions {
  bool fastOpen = false;
  bool ignoreWriteErrors = false;
  uint32_t closeDelayMs = 0;  // what the field holds times 10
};

DriverOptions DriverOptionsFromWord(uint32_t word);

// The close delay the dialog and the command line accept, in ms.
bool IsValidCloseDelay(long ms);

// Puts the options into *word, each only where it differs from what the
// word holds (the close delay in whole 10 ms units, rounded down); other
// bits stay. Returns true when the word changed, so that the caller knows
// the running driver no longer matches the store. closeDelayMs must be
// valid (IsValidCloseDelay).
bool ApplyDriverOptions(const DriverOptions& options, uint32_t* word);
