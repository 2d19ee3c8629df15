// Measures a wait against its deadline. Time is read from the suite's clock;
// readiness waits that ran their full length are counted too, so a wait
// still ends when a test has frozen the clock.
#pragma once
#include <algorithm>
#include <cstdint>

#include "tarvik/clock.h"

namespace tarvik::device {

class WaitClock {
 public:
  WaitClock() : start_(tarvik::TickCount()) {}
  uint32_t Elapsed() const {
    const uint64_t ticks = static_cast<uint32_t>(tarvik::TickCount() - start_);
    return static_cast<uint32_t>(std::min<uint64_t>(std::max(ticks, waited_), UINT32_MAX));
  }
  void AddWaited(uint32_t ms) { waited_ += ms; }

 private:
  uint32_t start_;
  uint64_t waited_ = 0;
};

}  // namespace tarvik::device
