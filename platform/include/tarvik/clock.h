// Time for the whole suite: a 32-bit millisecond tick count and sleeps.
// Every wait of the suite goes through here, so that a test can replace the
// clock and run a 15-second poll in virtual time.
#pragma once
#include <cstdint>

namespace tarvik {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary start; monotonic; wraps at 2^32.
  virtual uint32_t TickCount() = 0;
  virtual void Sleep(uint32_t ms) = 0;
};

// The clock in use (the system clock unless a test installed another).
uint32_t TickCount();
void SleepMs(uint32_t ms);

// Installs a clock for the whole process; nullptr restores the system clock.
// The caller keeps ownership and must restore before the clock dies.
void SetClock(Clock* clock);

// A clock whose time moves only when someone sleeps on it or advances it.
// Thread-safe.
class VirtualClock : public Clock {
 public:
  explicit VirtualClock(uint32_t start = 0);
  uint32_t TickCount() override;
  void Sleep(uint32_t ms) override;  // advances time, returns at once
  void Advance(uint32_t ms);
  uint64_t SleptMs() const;  // total of all Sleep calls

 private:
  struct State;
  State* state_;
 public:
  ~VirtualClock() override;
  VirtualClock(const VirtualClock&) = delete;
  VirtualClock& operator=(const VirtualClock&) = delete;
};

}  // namespace tarvik
