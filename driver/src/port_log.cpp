#include "port_log.h"

namespace vonderil {

PortLog::PortLog(uint32_t comNumber, const PortClock& clock, Sink sink, std::string what)
    : com_(comNumber), clock_(clock), sink_(std::move(sink)), what_(std::move(what)) {}

void PortLog::Line(const std::string& text) const {
  if (sink_) sink_("COM" + std::to_string(com_) + ": " + text);
}

void PortLog::Change(const std::string& text) {
  if (!InStreak()) Line(text);
}

void PortLog::Failure(const std::string& text) {
  const uint64_t now = clock_.NowMs();
  if (!InStreak()) {
    // A clock that starts at 0 (a test's) must not read as "no streak".
    streakStart_ = now + 1;
    lastSummary_ = now;
    sinceSummary_ = 0;
    failures_ = 1;
    Line(text);
    return;
  }
  ++failures_;
  ++sinceSummary_;
  const uint64_t elapsed = now - lastSummary_;
  if (elapsed < kSummaryMs) return;
  const uint64_t minutes = elapsed / 60000;
  Line(std::to_string(sinceSummary_) + " " + what_ + " failed in the last " +
       (minutes <= 1 ? std::string("minute") : std::to_string(minutes) + " minutes") +
       " (last: " + text + ")");
  lastSummary_ = now;
  sinceSummary_ = 0;
}

void PortLog::EndStreak(const std::string& text) {
  if (!InStreak()) {
    Line(text);
    return;
  }
  const uint64_t seconds = (clock_.NowMs() + 1 - streakStart_) / 1000;
  Line(text + " after " + std::to_string(failures_) + " failed " + what_ + " in " +
       std::to_string(seconds) + " s");
  streakStart_ = 0;
}

}  // namespace vonderil
