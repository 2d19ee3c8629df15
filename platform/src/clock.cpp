#include "tarvik/clock.h"

#include <time.h>

#include <atomic>
#include <cerrno>
#include <mutex>

namespace tarvik {
namespace {

class SystemClock : public Clock {
 public:
  uint32_t TickCount() override {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms = uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
    return uint32_t(ms);  // wraps like the Windows tick count
  }
  void Sleep(uint32_t ms) override {
    timespec req{time_t(ms / 1000), long(ms % 1000) * 1000000L};
    while (::nanosleep(&req, &req) != 0 && errno == EINTR) {
    }
  }
};

SystemClock g_system_clock;
std::atomic<Clock*> g_clock{&g_system_clock};

}  // namespace

uint32_t TickCount() { return g_clock.load(std::memory_order_acquire)->TickCount(); }
void SleepMs(uint32_t ms) { g_clock.load(std::memory_order_acquire)->Sleep(ms); }
void SetClock(Clock* clock) {
  g_clock.store(clock ? clock : &g_system_clock, std::memory_order_release);
}

struct VirtualClock::State {
  std::mutex mutex;
  uint32_t now = 0;
  uint64_t slept = 0;
};

VirtualClock::VirtualClock(uint32_t start) : state_(new State) { state_->now = start; }
VirtualClock::~VirtualClock() { delete state_; }

uint32_t VirtualClock::TickCount() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->now;
}

void VirtualClock::Sleep(uint32_t ms) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->now += ms;
  state_->slept += ms;
}

void VirtualClock::Advance(uint32_t ms) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->now += ms;
}

uint64_t VirtualClock::SleptMs() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->slept;
}

}  // namespace tarvik
