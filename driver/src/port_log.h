// What one port writes to the driver's log: one line per change of its
// state, and failures that repeat summarised. The first failure of a
// streak is written as it is; the ones after it are counted, with one
// summary line at most once a minute ("COM7: 412 attempts failed in the
// last minute (last: connection refused)"), and the line that ends the
// streak says how many there were. A device that is away for a day costs
// a port about 1,440 lines, not one per attempt.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "port_ops.h"

namespace vonderil {

class PortLog {
 public:
  using Sink = std::function<void(const std::string& line)>;
  static constexpr uint64_t kSummaryMs = 60000;

  PortLog(uint32_t comNumber, const PortClock& clock, Sink sink, std::string what = "attempts");

  // A change outside any streak; lines inside one are counted instead.
  void Change(const std::string& text);
  // A line that is always written.
  void Line(const std::string& text) const;
  void Failure(const std::string& text);
  // The change that ends the streak (plain Change when none runs).
  void EndStreak(const std::string& text);
  // Forgets a streak without a line (the port went idle).
  void EndQuietly() { streakStart_ = 0; }
  bool InStreak() const { return streakStart_ != 0; }

 private:
  uint32_t com_;
  const PortClock& clock_;
  Sink sink_;
  std::string what_;
  uint64_t streakStart_ = 0;  // 0: no streak
  uint64_t lastSummary_ = 0;
  uint64_t sinceSummary_ = 0;
  uint64_t failures_ = 0;
};

}  // namespace vonderil
