#include "driver_options_word.h"

namespace {

bool SetBit(uint32_t* word, uint32_t bit, bool on) {
  if (((*word & bit) != 0) == on) return false;
  *word = on ? (*word | bit) : (*word & ~bit);
  return true;
}

}  // namespace

DriverOptions DriverOptionsFromWord(uint32_t word) {
  DriverOptions options;
  options.fastOpen = (word & kDriverFlagFastOpen) != 0;
  options.ignoreWriteErrors = (word & kDriverFlagIgnoreWriteError) != 0;
  options.closeDelayMs = ((word & kCloseDelayField) >> kCloseDelayShift) * 10;
  return options;
}

bool IsValidCloseDelay(long ms) { return ms >= 0 && ms <= kCloseDelayMaxMs; }

bool ApplyDriverOptions(const DriverOptions& options, uint32_t* word) {
  bool changed = SetBit(word, kDriverFlagFastOpen, options.fastOpen);
  changed |= SetBit(word, kDriverFlagIgnoreWriteError, options.ignoreWriteErrors);
  const uint32_t units = options.closeDelayMs / 10;
  if (units != (*word & kCloseDelayField) >> kCloseDelayShift) {
    *word = (*word & ~kCloseDelayField) | ((units << kCloseDelayShift) & kCloseDelayField);
    changed = true;
  }
  return changed;
}
