#include "line_sync.h"

#include "state_table.h"

namespace vonderil {

namespace {

using S = LineSync::State;
using E = LineSync::Event;
enum class Action : uint8_t { kNone, kAsk, kHold, kHoldAndSend, kAdopt, kReport, kRetry };
enum class Next : uint8_t { kSame, kAsking, kSynced, kSending, kFailed, kDecide };
struct Row {
  S state;
  E event;
  Action action;
  Next next;
};

// Every state and event once. kDecide: kSending when the application wants
// other settings than the device has (they are sent), else kSynced (the
// gate opens).
constexpr Row kTable[] = {
    // state        event               action                next
    {S::kIdle, E::kSessionStart, Action::kAsk, Next::kAsking},
    {S::kIdle, E::kChanged, Action::kNone, Next::kSame},  // the session's start will ask
    {S::kIdle, E::kAnswered, Action::kNone, Next::kSame},
    {S::kIdle, E::kJobFailed, Action::kNone, Next::kSame},
    {S::kIdle, E::kRetryPoint, Action::kNone, Next::kSame},

    {S::kAsking, E::kSessionStart, Action::kNone, Next::kSame},  // the answer serves it too
    {S::kAsking, E::kChanged, Action::kHold, Next::kSame},       // sent once the device answered
    {S::kAsking, E::kAnswered, Action::kAdopt, Next::kDecide},
    {S::kAsking, E::kJobFailed, Action::kReport, Next::kFailed},
    {S::kAsking, E::kRetryPoint, Action::kNone, Next::kSame},

    {S::kSynced, E::kSessionStart, Action::kAsk, Next::kAsking},
    {S::kSynced, E::kChanged, Action::kHoldAndSend, Next::kSending},
    {S::kSynced, E::kAnswered, Action::kNone, Next::kSame},
    {S::kSynced, E::kJobFailed, Action::kNone, Next::kSame},
    {S::kSynced, E::kRetryPoint, Action::kNone, Next::kSame},

    {S::kSending, E::kSessionStart, Action::kNone, Next::kSame},
    {S::kSending, E::kChanged, Action::kHold, Next::kSame},  // follows once this job ends
    {S::kSending, E::kAnswered, Action::kAdopt, Next::kDecide},
    {S::kSending, E::kJobFailed, Action::kReport, Next::kFailed},
    {S::kSending, E::kRetryPoint, Action::kNone, Next::kSame},

    {S::kFailed, E::kSessionStart, Action::kAsk, Next::kAsking},
    {S::kFailed, E::kChanged, Action::kHoldAndSend, Next::kSending},
    {S::kFailed, E::kAnswered, Action::kNone, Next::kSame},
    {S::kFailed, E::kJobFailed, Action::kNone, Next::kSame},
    {S::kFailed, E::kRetryPoint, Action::kRetry, Next::kSending},
};

static_assert(TableInOrder(kTable, static_cast<size_t>(S::kCount), static_cast<size_t>(E::kCount)),
              "the table lists every state and event once, in order");

}  // namespace

LineSync::LineSync(const MappedPort& mapping, PortClock& clock, SettingsChannel* channel,
                   const PortLog::Sink& log, Gate& gate)
    : mapping_(mapping),
      clock_(clock),
      channel_(channel),
      log_(mapping.comNumber, clock, log, "settings jobs"),
      gate_(gate),
      address_(mapping.address) {}

bool LineSync::Enabled() const {
  return channel_ != nullptr && !mapping_.fixedConfig && mapping_.devicePort != 0;
}

void LineSync::SessionStart(PtyEnd& pty) {
  if (!Enabled()) return;
  LineSettings now;
  if (pty.GetLine(&now) && now.baud != 0) wanted_ = now;
  Fire(E::kSessionStart, nullptr);
}

void LineSync::Look(PtyEnd& pty, bool tick) {
  if (!Enabled() || state_ == S::kIdle) return;
  LineSettings now;
  // B0 asks a modem to hang up; there is nothing to tell a device.
  if (pty.GetLine(&now) && now.baud != 0 && now != wanted_) {
    wanted_ = now;
    Fire(E::kChanged, nullptr);
  }
  if (tick) Wrote();
}

void LineSync::Wrote() {
  if (state_ == S::kFailed && clock_.NowMs() + 1 - failedAt_ >= kRetryGapMs) {
    Fire(E::kRetryPoint, nullptr);
  }
}

void LineSync::Done(const SettingsResult& result) {
  if (result.ticket != ticket_ || (state_ != S::kAsking && state_ != S::kSending)) return;
  Fire(result.ok ? E::kAnswered : E::kJobFailed, &result);
}

void LineSync::Send(bool hold) {
  if (hold) gate_.Hold();
  SettingsJob job;
  job.comNumber = mapping_.comNumber;
  job.ticket = ++ticket_;
  job.kind = SettingsJob::Kind::kSet;
  job.address = address_;
  job.cmdPort = mapping_.tcpPortCmd;
  job.timeoutMs = mapping_.connectTimeoutMs;
  job.devicePort = mapping_.devicePort;
  job.settings = wanted_;
  job.sendBaud = !device_ || device_->baud != wanted_.baud;
  job.sendStopBits = !device_ || device_->twoStopBits != wanted_.twoStopBits;
  job.dataBits = dataBits_;
  job.parity = parity_;
  channel_->Send(job);
}

void LineSync::Fire(Event event, const SettingsResult* result) {
  const Row* row = &TableRow(kTable, state_, event);
  switch (row->action) {
    case Action::kNone:
      break;
    case Action::kAsk: {
      // Bytes wait for the answer while it may still matter and may come.
      if (device_ ? wanted_ != *device_ : failedAt_ == 0) gate_.Hold();
      SettingsJob job;
      job.comNumber = mapping_.comNumber;
      job.ticket = ++ticket_;
      job.kind = SettingsJob::Kind::kAsk;
      job.address = address_;
      job.cmdPort = mapping_.tcpPortCmd;
      job.timeoutMs = mapping_.connectTimeoutMs;
      job.devicePort = mapping_.devicePort;
      channel_->Send(job);
      break;
    }
    case Action::kHold:
      gate_.Hold();
      break;
    case Action::kHoldAndSend:
      Send(true);
      break;
    case Action::kAdopt:
      device_ = result->device;
      if (result->dataBits != 0) dataBits_ = result->dataBits;
      if (result->parity != 0) parity_ = result->parity;
      if (state_ == S::kSending) {
        log_.EndStreak("the device took " + DescribeLine(*device_));
      } else if (log_.InStreak()) {
        log_.EndStreak("the command port answers again");
      }
      break;
    case Action::kReport:
      failedAt_ = clock_.NowMs() + 1;
      log_.Failure(DescribeLine(wanted_) + " not confirmed by the device: " + result->failure);
      gate_.Release();
      break;
    case Action::kRetry:
      Send(false);
      break;
  }
  switch (row->next) {
    case Next::kSame:
      break;
    case Next::kAsking:
      state_ = S::kAsking;
      break;
    case Next::kSynced:
      state_ = S::kSynced;
      break;
    case Next::kSending:
      state_ = S::kSending;
      break;
    case Next::kFailed:
      state_ = S::kFailed;
      break;
    case Next::kDecide:
      if (Differs()) {
        state_ = S::kSending;
        Send(false);  // the gate, when held, stays held
      } else {
        state_ = S::kSynced;
        gate_.Release();
      }
      break;
  }
}

std::string LineSync::LineText() const {
  if (!Enabled() || state_ == S::kIdle) return "-";
  return std::to_string(wanted_.baud) + "/" + (wanted_.twoStopBits ? "2" : "1");
}

const char* LineSync::StateWord() const {
  if (!Enabled()) return "-";
  switch (state_) {
    case S::kIdle: return "-";
    case S::kAsking: return "asking";
    case S::kSynced: return "ok";
    case S::kSending: return "sending";
    case S::kFailed: return "failed";
    case S::kCount: break;
  }
  return "-";
}

}  // namespace vonderil
