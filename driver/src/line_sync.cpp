#include "line_sync.h"

#include "state_table.h"

namespace vonderil {

namespace {

using S = LineSync::State;
using E = LineSync::Event;
enum class Action : uint8_t { kNone, kAsk, kHold, kHoldAndSend, kShow, kAdopt, kReport, kRetry };
enum class Next : uint8_t {
  kSame,
  kAsking,
  kAskingChanged,
  kSynced,
  kSending,
  kAskFailed,
  kFailed,
  kDecide,
  kShown,
};
struct Row {
  S state;
  E event;
  Action action;
  Next next;
};

// Every state and event once. kShow: the device's answer goes on the pty.
// kDecide: kSending when the pty shows other settings than the device has
// (they are sent), else kSynced (the gate opens). kShown: kSynced, unless
// the answer could not say what the device has (an RFC 2217 connection) and
// the pty shows settings: they are sent, and the bytes after them wait.
// clang-format off
constexpr Row kTable[] = {
  // state               event                action               next
  {S::kIdle,          E::kSessionStart, Action::kAsk,        Next::kAsking},
  {S::kIdle,          E::kChanged,      Action::kNone,       Next::kSame},  // the session's start asks
  {S::kIdle,          E::kAnswered,     Action::kNone,       Next::kSame},
  {S::kIdle,          E::kJobFailed,    Action::kNone,       Next::kSame},
  {S::kIdle,          E::kRetryPoint,   Action::kNone,       Next::kSame},

  {S::kAsking,        E::kSessionStart, Action::kNone,       Next::kSame},  // the answer serves it too
  {S::kAsking,        E::kChanged,      Action::kHold,       Next::kAskingChanged},
  {S::kAsking,        E::kAnswered,     Action::kShow,       Next::kShown},
  {S::kAsking,        E::kJobFailed,    Action::kReport,     Next::kAskFailed},
  {S::kAsking,        E::kRetryPoint,   Action::kNone,       Next::kSame},

  {S::kAskingChanged, E::kSessionStart, Action::kNone,       Next::kSame},
  {S::kAskingChanged, E::kChanged,      Action::kNone,       Next::kSame},  // the newest is sent
  {S::kAskingChanged, E::kAnswered,     Action::kAdopt,      Next::kDecide},
  {S::kAskingChanged, E::kJobFailed,    Action::kReport,     Next::kFailed},
  {S::kAskingChanged, E::kRetryPoint,   Action::kNone,       Next::kSame},

  {S::kSynced,        E::kSessionStart, Action::kAsk,        Next::kAsking},
  {S::kSynced,        E::kChanged,      Action::kHoldAndSend, Next::kSending},
  {S::kSynced,        E::kAnswered,     Action::kNone,       Next::kSame},
  {S::kSynced,        E::kJobFailed,    Action::kNone,       Next::kSame},
  {S::kSynced,        E::kRetryPoint,   Action::kNone,       Next::kSame},

  {S::kSending,       E::kSessionStart, Action::kNone,       Next::kSame},
  {S::kSending,       E::kChanged,      Action::kHold,       Next::kSame},  // follows once this job ends
  {S::kSending,       E::kAnswered,     Action::kAdopt,      Next::kDecide},
  {S::kSending,       E::kJobFailed,    Action::kReport,     Next::kFailed},
  {S::kSending,       E::kRetryPoint,   Action::kNone,       Next::kSame},

  {S::kAskFailed,     E::kSessionStart, Action::kAsk,        Next::kAsking},
  {S::kAskFailed,     E::kChanged,      Action::kHoldAndSend, Next::kSending},
  {S::kAskFailed,     E::kAnswered,     Action::kNone,       Next::kSame},
  {S::kAskFailed,     E::kJobFailed,    Action::kNone,       Next::kSame},
  {S::kAskFailed,     E::kRetryPoint,   Action::kAsk,        Next::kAsking},

  {S::kFailed,        E::kSessionStart, Action::kAsk,        Next::kAsking},
  {S::kFailed,        E::kChanged,      Action::kHoldAndSend, Next::kSending},
  {S::kFailed,        E::kAnswered,     Action::kNone,       Next::kSame},
  {S::kFailed,        E::kJobFailed,    Action::kNone,       Next::kSame},
  {S::kFailed,        E::kRetryPoint,   Action::kRetry,      Next::kSending},
};
// clang-format on

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
  Fire(E::kSessionStart, nullptr, &pty);
  // Compared with what the pty showed when the last session ended: the
  // application may have set its own before its open was taken.
  Look(pty, false);
}

void LineSync::Look(PtyEnd& pty, bool tick) {
  if (!Enabled() || state_ == S::kIdle) return;
  LineSettings now;
  // Baud rate 0 is the fresh pty's (or asks a modem to hang up): nothing
  // to tell a device.
  if (pty.GetLine(&now) && now.baud != 0 && now != wanted_) {
    wanted_ = now;
    Fire(E::kChanged, nullptr, &pty);
  }
  if (tick) Wrote();
}

void LineSync::Wrote() {
  if ((state_ == S::kFailed || state_ == S::kAskFailed) &&
      clock_.NowMs() + 1 - failedAt_ >= kRetryGapMs) {
    Fire(E::kRetryPoint, nullptr, nullptr);
  }
}

void LineSync::Done(const SettingsResult& result, PtyEnd& pty) {
  if (result.ticket != ticket_ || !Enabled()) return;
  if (state_ != S::kAsking && state_ != S::kAskingChanged && state_ != S::kSending) return;
  // A change the application made just now counts before the answer.
  Look(pty, false);
  Fire(result.ok ? E::kAnswered : E::kJobFailed, &result, &pty);
}

SettingsJob LineSync::Job(SettingsJob::Kind kind) {
  SettingsJob job;
  job.comNumber = mapping_.comNumber;
  job.ticket = ++ticket_;
  job.kind = kind;
  job.address = address_;
  job.cmdPort = mapping_.tcpPortCmd;
  job.timeoutMs = mapping_.connectTimeoutMs;
  job.devicePort = mapping_.devicePort;
  return job;
}

void LineSync::Send(bool hold) {
  if (hold) gate_.Hold();
  SettingsJob job = Job(SettingsJob::Kind::kSet);
  job.settings = wanted_;
  job.sendBaud = !device_ || device_->baud != wanted_.baud;
  job.sendStopBits = !device_ || device_->twoStopBits != wanted_.twoStopBits;
  job.dataBits = dataBits_;
  job.parity = parity_;
  channel_->Send(job);
}

void LineSync::Fire(Event event, const SettingsResult* result, PtyEnd* pty) {
  const Row* row = &TableRow(kTable, state_, event);
  const State before = state_;
  switch (row->action) {
    case Action::kNone:
      break;
    case Action::kAsk:
      channel_->Send(Job(SettingsJob::Kind::kAsk));
      break;
    case Action::kHold:
      gate_.Hold();
      break;
    case Action::kHoldAndSend:
      Send(true);
      break;
    case Action::kShow:
    case Action::kAdopt:
      if (!result->known) {
        device_.reset();
        break;
      }
      device_ = result->device;
      if (result->dataBits != 0) dataBits_ = result->dataBits;
      if (result->parity != 0) parity_ = result->parity;
      // When the application has just set its own, the next look sees it
      // as a change.
      if (row->action == Action::kShow && pty->ShowLine(wanted_, *device_)) wanted_ = *device_;
      unacknowledged_ = false;
      if (before != S::kSending) {
        if (log_.InStreak()) log_.EndStreak("the command port answers again");
      } else if (result->ack == SettingsResult::Ack::kTimedOut) {
        unacknowledged_ = true;
        log_.Failure(DescribeLine(*device_) +
                     " not acknowledged by the server in time; the bytes after it went on");
      } else if (result->ack == SettingsResult::Ack::kNotCarried) {
        // The connection said so once; nothing more to log per change.
        unacknowledged_ = true;
      } else {
        log_.EndStreak("the device took " + DescribeLine(*device_));
      }
      notCarried_ = result->ack == SettingsResult::Ack::kNotCarried;
      break;
    case Action::kReport:
      failedAt_ = clock_.NowMs() + 1;
      log_.Failure((before == S::kAsking ? std::string("the device's settings are not known")
                                          : DescribeLine(wanted_) + " not confirmed by the device") +
                   ": " + result->failure);
      gate_.Release();
      break;
    case Action::kRetry:
      Send(false);
      break;
  }
  switch (row->next) {
    case Next::kSame: break;
    case Next::kAsking: state_ = S::kAsking; break;
    case Next::kAskingChanged: state_ = S::kAskingChanged; break;
    case Next::kSynced: state_ = S::kSynced; break;
    case Next::kSending: state_ = S::kSending; break;
    case Next::kAskFailed: state_ = S::kAskFailed; break;
    case Next::kFailed: state_ = S::kFailed; break;
    case Next::kShown:
      // Only an answer that did not say what the device has leaves device_
      // unset; a command port's answer is on the pty now.
      if (!device_ && Differs()) {
        state_ = S::kSending;
        Send(true);
      } else {
        state_ = S::kSynced;
      }
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
  if (!Enabled() || state_ == S::kIdle || wanted_.baud == 0) return "-";
  return std::to_string(wanted_.baud) + "/" + (wanted_.twoStopBits ? "2" : "1");
}

const char* LineSync::StateWord() const {
  if (!Enabled()) return "-";
  switch (state_) {
    case S::kIdle: return "-";
    case S::kAsking:
    case S::kAskingChanged: return "asking";
    case S::kSynced: return !unacknowledged_ ? "ok" : notCarried_ ? "data-only" : "unacknowledged";
    case S::kSending: return "sending";
    case S::kAskFailed: return "unknown";
    case S::kFailed: return "failed";
    case S::kCount: break;
  }
  return "-";
}

}  // namespace vonderil
