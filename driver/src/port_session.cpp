#include "port_session.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "state_table.h"

namespace vonderil {

namespace {

using S = PortSession::State;
using E = PortSession::Event;

// What one turn takes from one side, so a busy port cannot starve the others.
constexpr int kReadsPerTurn = 4;

enum Action : uint8_t {
  kNone,
  kBegin,      // a session starts: watch the pty, ask the device for its settings
  kJoin,       // a session starts on a connection (or attempt) kept from before
  kEnd,        // the session ends: drop what the application left unread, take
               // its last bytes, send the write buffer, start the close delay
  kRestart,    // broken, and the application wrote: a new outage, connect
  kLinkReady,  // the connect succeeded
  kLose,       // a steady connection ended: a new outage, reconnect at once
  kBackOff,    // a failed round: drop the connection, wait before the next
  kAttempt,    // the wait is over: try the primary address
  kGiveUp,     // ConnectionBroken is over: drop the queued bytes
  kSettle,     // the connection is steady: the outage is over
  kSent,       // the last bytes are out
  kExpire,     // the close delay is over
  kWake,       // FastOpen: connect at the driver's start
  kHurry,      // the driver stops: the last bytes get kStopDrainMs more
  kStopLink,   // the driver stops: a connection nobody needs closes
};

// Where a row leads; the rules after the states are decided after the
// action has run:
//   kUnheld     nobody holds the port: draining (bytes to send, connected)
//               or drain-retry (not connected); else standby or
//               standby-retry with FastOpen; else lingering while the close
//               delay runs on a connection; else free
//   kHeldAgain  an open while not held: connected when connected; else
//               reconnecting while an outage runs, connecting when not
enum Next : uint8_t {
  kSame = static_cast<uint8_t>(S::kCount),
  kUnheld,
  kHeldAgain,
};
constexpr uint8_t To(S state) { return static_cast<uint8_t>(state); }

struct Row {
  S state;
  E event;
  uint8_t action;
  uint8_t next;  // a State, or a Next
};

// clang-format off
constexpr Row kTable[] = {
  // state                 event               action       next
  {S::kFree,         E::kOpened,      kBegin,      To(S::kConnecting)},
  {S::kFree,         E::kClosed,      kNone,       kSame},      // not held
  {S::kFree,         E::kWrote,       kNone,       kSame},      // the pty is not read
  {S::kFree,         E::kLinkUp,      kNone,       kSame},      // no connection
  {S::kFree,         E::kLinkLost,    kNone,       kSame},
  {S::kFree,         E::kRoundFailed, kNone,       kSame},
  {S::kFree,         E::kGaveUp,      kNone,       kSame},
  {S::kFree,         E::kRetryDue,    kNone,       kSame},
  {S::kFree,         E::kSteady,      kNone,       kSame},
  {S::kFree,         E::kDrained,     kNone,       kSame},
  {S::kFree,         E::kCloseDue,    kNone,       kSame},
  {S::kFree,         E::kStart,       kWake,       To(S::kStandbyRetry)},  // FastOpen only
  {S::kFree,         E::kStopping,    kNone,       kSame},

  {S::kConnecting,   E::kOpened,      kNone,       kSame},      // one more holder
  {S::kConnecting,   E::kClosed,      kEnd,        kUnheld},
  {S::kConnecting,   E::kWrote,       kNone,       kSame},      // the bytes wait
  {S::kConnecting,   E::kLinkUp,      kLinkReady,  To(S::kConnected)},
  {S::kConnecting,   E::kLinkLost,    kNone,       kSame},      // nothing stands
  {S::kConnecting,   E::kRoundFailed, kBackOff,    kSame},
  {S::kConnecting,   E::kGaveUp,      kGiveUp,     To(S::kBroken)},
  {S::kConnecting,   E::kRetryDue,    kAttempt,    kSame},
  {S::kConnecting,   E::kSteady,      kNone,       kSame},
  {S::kConnecting,   E::kDrained,     kNone,       kSame},
  {S::kConnecting,   E::kCloseDue,    kNone,       kSame},      // no close delay while held
  {S::kConnecting,   E::kStart,       kNone,       kSame},
  {S::kConnecting,   E::kStopping,    kNone,       kSame},      // the stop waits for the holder

  {S::kConnected,    E::kOpened,      kNone,       kSame},
  {S::kConnected,    E::kClosed,      kEnd,        kUnheld},
  {S::kConnected,    E::kWrote,       kNone,       kSame},      // sent as they come
  {S::kConnected,    E::kLinkUp,      kNone,       kSame},
  {S::kConnected,    E::kLinkLost,    kLose,       To(S::kReconnecting)},
  {S::kConnected,    E::kRoundFailed, kBackOff,    To(S::kReconnecting)},
  {S::kConnected,    E::kGaveUp,      kGiveUp,     To(S::kBroken)},
  {S::kConnected,    E::kRetryDue,    kNone,       kSame},
  {S::kConnected,    E::kSteady,      kSettle,     kSame},
  {S::kConnected,    E::kDrained,     kNone,       kSame},
  {S::kConnected,    E::kCloseDue,    kNone,       kSame},
  {S::kConnected,    E::kStart,       kNone,       kSame},
  {S::kConnected,    E::kStopping,    kNone,       kSame},

  {S::kReconnecting, E::kOpened,      kNone,       kSame},
  {S::kReconnecting, E::kClosed,      kEnd,        kUnheld},
  {S::kReconnecting, E::kWrote,       kNone,       kSame},
  {S::kReconnecting, E::kLinkUp,      kLinkReady,  To(S::kConnected)},
  {S::kReconnecting, E::kLinkLost,    kNone,       kSame},
  {S::kReconnecting, E::kRoundFailed, kBackOff,    kSame},
  {S::kReconnecting, E::kGaveUp,      kGiveUp,     To(S::kBroken)},
  {S::kReconnecting, E::kRetryDue,    kAttempt,    kSame},
  {S::kReconnecting, E::kSteady,      kNone,       kSame},
  {S::kReconnecting, E::kDrained,     kNone,       kSame},
  {S::kReconnecting, E::kCloseDue,    kNone,       kSame},
  {S::kReconnecting, E::kStart,       kNone,       kSame},
  {S::kReconnecting, E::kStopping,    kNone,       kSame},

  {S::kBroken,       E::kOpened,      kNone,       kSame},
  {S::kBroken,       E::kClosed,      kEnd,        kUnheld},
  {S::kBroken,       E::kWrote,       kRestart,    To(S::kConnecting)},
  {S::kBroken,       E::kLinkUp,      kNone,       kSame},      // nothing is tried
  {S::kBroken,       E::kLinkLost,    kNone,       kSame},
  {S::kBroken,       E::kRoundFailed, kNone,       kSame},
  {S::kBroken,       E::kGaveUp,      kNone,       kSame},
  {S::kBroken,       E::kRetryDue,    kNone,       kSame},
  {S::kBroken,       E::kSteady,      kNone,       kSame},
  {S::kBroken,       E::kDrained,     kNone,       kSame},
  {S::kBroken,       E::kCloseDue,    kNone,       kSame},
  {S::kBroken,       E::kStart,       kNone,       kSame},
  {S::kBroken,       E::kStopping,    kNone,       kSame},

  {S::kDraining,     E::kOpened,      kJoin,       To(S::kConnected)},
  {S::kDraining,     E::kClosed,      kNone,       kSame},
  {S::kDraining,     E::kWrote,       kNone,       kSame},
  {S::kDraining,     E::kLinkUp,      kNone,       kSame},
  {S::kDraining,     E::kLinkLost,    kLose,       To(S::kDrainRetry)},
  {S::kDraining,     E::kRoundFailed, kBackOff,    To(S::kDrainRetry)},
  {S::kDraining,     E::kGaveUp,      kGiveUp,     kUnheld},
  {S::kDraining,     E::kRetryDue,    kNone,       kSame},
  {S::kDraining,     E::kSteady,      kSettle,     kSame},
  {S::kDraining,     E::kDrained,     kSent,       kUnheld},
  {S::kDraining,     E::kCloseDue,    kNone,       kSame},      // closes once drained
  {S::kDraining,     E::kStart,       kNone,       kSame},
  {S::kDraining,     E::kStopping,    kHurry,      kSame},

  {S::kDrainRetry,   E::kOpened,      kJoin,       kHeldAgain},
  {S::kDrainRetry,   E::kClosed,      kNone,       kSame},
  {S::kDrainRetry,   E::kWrote,       kNone,       kSame},
  {S::kDrainRetry,   E::kLinkUp,      kLinkReady,  To(S::kDraining)},
  {S::kDrainRetry,   E::kLinkLost,    kNone,       kSame},
  {S::kDrainRetry,   E::kRoundFailed, kBackOff,    kSame},
  {S::kDrainRetry,   E::kGaveUp,      kGiveUp,     kUnheld},
  {S::kDrainRetry,   E::kRetryDue,    kAttempt,    kSame},
  {S::kDrainRetry,   E::kSteady,      kNone,       kSame},
  {S::kDrainRetry,   E::kDrained,     kNone,       kSame},
  {S::kDrainRetry,   E::kCloseDue,    kNone,       kSame},
  {S::kDrainRetry,   E::kStart,       kNone,       kSame},
  {S::kDrainRetry,   E::kStopping,    kHurry,      kSame},

  {S::kLingering,    E::kOpened,      kJoin,       To(S::kConnected)},
  {S::kLingering,    E::kClosed,      kNone,       kSame},
  {S::kLingering,    E::kWrote,       kNone,       kSame},
  {S::kLingering,    E::kLinkUp,      kNone,       kSame},
  {S::kLingering,    E::kLinkLost,    kLose,       To(S::kFree)},
  {S::kLingering,    E::kRoundFailed, kNone,       To(S::kFree)},
  {S::kLingering,    E::kGaveUp,      kNone,       To(S::kFree)},
  {S::kLingering,    E::kRetryDue,    kNone,       kSame},
  {S::kLingering,    E::kSteady,      kSettle,     kSame},
  {S::kLingering,    E::kDrained,     kNone,       kSame},
  {S::kLingering,    E::kCloseDue,    kExpire,     To(S::kFree)},
  {S::kLingering,    E::kStart,       kNone,       kSame},
  {S::kLingering,    E::kStopping,    kStopLink,   To(S::kFree)},

  {S::kStandby,      E::kOpened,      kJoin,       To(S::kConnected)},
  {S::kStandby,      E::kClosed,      kNone,       kSame},
  {S::kStandby,      E::kWrote,       kNone,       kSame},
  {S::kStandby,      E::kLinkUp,      kNone,       kSame},
  {S::kStandby,      E::kLinkLost,    kLose,       To(S::kStandbyRetry)},
  {S::kStandby,      E::kRoundFailed, kBackOff,    To(S::kStandbyRetry)},
  {S::kStandby,      E::kGaveUp,      kBackOff,    To(S::kStandbyRetry)},  // not raised: it never gives up
  {S::kStandby,      E::kRetryDue,    kNone,       kSame},
  {S::kStandby,      E::kSteady,      kSettle,     kSame},
  {S::kStandby,      E::kDrained,     kNone,       kSame},
  {S::kStandby,      E::kCloseDue,    kNone,       kSame},
  {S::kStandby,      E::kStart,       kNone,       kSame},
  {S::kStandby,      E::kStopping,    kStopLink,   To(S::kFree)},

  {S::kStandbyRetry, E::kOpened,      kJoin,       kHeldAgain},
  {S::kStandbyRetry, E::kClosed,      kNone,       kSame},
  {S::kStandbyRetry, E::kWrote,       kNone,       kSame},
  {S::kStandbyRetry, E::kLinkUp,      kLinkReady,  To(S::kStandby)},
  {S::kStandbyRetry, E::kLinkLost,    kNone,       kSame},
  {S::kStandbyRetry, E::kRoundFailed, kBackOff,    kSame},
  {S::kStandbyRetry, E::kGaveUp,      kBackOff,    kSame},      // not raised
  {S::kStandbyRetry, E::kRetryDue,    kAttempt,    kSame},
  {S::kStandbyRetry, E::kSteady,      kNone,       kSame},
  {S::kStandbyRetry, E::kDrained,     kNone,       kSame},
  {S::kStandbyRetry, E::kCloseDue,    kNone,       kSame},
  {S::kStandbyRetry, E::kStart,       kNone,       kSame},
  {S::kStandbyRetry, E::kStopping,    kStopLink,   To(S::kFree)},
};
// clang-format on

static_assert(TableInOrder(kTable, static_cast<size_t>(S::kCount), static_cast<size_t>(E::kCount)),
              "the table lists every state and event once, in order");

bool IsHeld(S s) {
  return s == S::kConnecting || s == S::kConnected || s == S::kReconnecting || s == S::kBroken;
}
bool IsUp(S s) {
  return s == S::kConnected || s == S::kDraining || s == S::kLingering || s == S::kStandby;
}
bool IsMaking(S s) {
  return s == S::kConnecting || s == S::kReconnecting || s == S::kDrainRetry ||
         s == S::kStandbyRetry;
}

}  // namespace

const char* PortSession::StateName(State state) {
  switch (state) {
    case S::kFree: return "free";
    case S::kConnecting: return "connecting";
    case S::kConnected: return "connected";
    case S::kReconnecting: return "reconnecting";
    case S::kBroken: return "broken";
    case S::kDraining: return "draining";
    case S::kDrainRetry: return "drain-retry";
    case S::kLingering: return "lingering";
    case S::kStandby: return "standby";
    case S::kStandbyRetry: return "standby-retry";
    case S::kCount: break;
  }
  return "free";
}

PortSession::PortSession(const MappedPort& mapping, const DriverOptions& options,
                         PortClock& clock, PtyEnd& pty, LinkMaker& links,
                         SettingsChannel* settings, PortLog::Sink log, Hooks hooks)
    : mapping_(mapping),
      options_(options),
      clock_(clock),
      pty_(pty),
      links_(links),
      log_(mapping.comNumber, clock, log),
      hooks_(std::move(hooks)),
      lineSync_(mapping_, clock, settings, log, *this) {}

PortSession::~PortSession() { Close(); }

void PortSession::Close() {
  DropLink();
  clock_.Cancel(&retryTimer_);
  clock_.Cancel(&flushTimer_);
  clock_.Cancel(&closeTimer_);
  clock_.Cancel(&stopTimer_);
  pty_.Unwatch();
  toDevice_.Release();
  toApplication_.Release();
  state_ = S::kFree;
}

bool PortSession::Held() const { return IsHeld(state_); }

bool PortSession::Quiet() const {
  return state_ == S::kFree || state_ == S::kLingering || state_ == S::kStandby ||
         state_ == S::kStandbyRetry;
}

uint32_t PortSession::AddressOf(int which) const {
  return which == 1 ? mapping_.address2 : mapping_.address;
}

std::string PortSession::Endpoint(int which) const {
  return DottedAddress(AddressOf(which)) + ":" + std::to_string(mapping_.tcpPort);
}

PortStatusLine PortSession::Status() const {
  PortStatusLine s;
  s.comNumber = mapping_.comNumber;
  switch (state_) {
    case S::kDraining:
    case S::kDrainRetry:
    case S::kLingering:
      s.state = "closing";
      break;
    case S::kFree:
      s.state = "idle";
      break;
    case S::kStandby:
      s.state = "connected";
      break;
    case S::kStandbyRetry:
      s.state = OutageRunning() ? "reconnecting" : "connecting";
      break;
    default:
      s.state = StateName(state_);
  }
  s.address = Endpoint(0);
  s.address2 = mapping_.address2 != 0 ? Endpoint(1) : "-";
  s.inUse = !IsUp(state_) ? "-" : addressInUse_ == 1 ? "redundant" : "primary";
  s.held = Held();
  s.toDevice = bytesToDevice_;
  s.fromDevice = bytesFromDevice_;
  s.sessions = sessions_;
  s.line = lineSync_.LineText();
  s.lineState = lineSync_.StateWord();
  s.protocol = mapping_.protocol == MappedPort::Protocol::kRfc2217 ? "rfc2217" : "raw";
  return s;
}

void PortSession::Changed() {
  if (hooks_.changed) hooks_.changed();
}

// --- the table -------------------------------------------------------------

void PortSession::Raise(Event event) {
  if (pendingCount_ == sizeof pending_ / sizeof pending_[0]) return;  // cannot happen: at most a few
  pending_[(pendingHead_ + pendingCount_) % (sizeof pending_ / sizeof pending_[0])] = event;
  ++pendingCount_;
  if (stepping_) return;
  stepping_ = true;
  while (pendingCount_ > 0) {
    const Event next = pending_[pendingHead_];
    pendingHead_ = (pendingHead_ + 1) % (sizeof pending_ / sizeof pending_[0]);
    --pendingCount_;
    Step(next);
  }
  stepping_ = false;
}

void PortSession::Step(Event event) {
  const Row& row = TableRow(kTable, state_, event);
  Do(row.action);
  const State next = Resolve(row.next);
  if (next != state_) Enter(next);
  UpdateInterest();
  Changed();
}

PortSession::State PortSession::Resolve(uint8_t next) const {
  switch (next) {
    case kSame: return state_;
    case kUnheld: return Unheld();
    case kHeldAgain:
      return IsUp(state_) ? S::kConnected : OutageRunning() ? S::kReconnecting : S::kConnecting;
    default: return static_cast<State>(next);
  }
}

PortSession::State PortSession::Unheld() const {
  const bool up = IsUp(state_);
  if (!toDevice_.Empty()) return up ? S::kDraining : S::kDrainRetry;
  if (options_.fastOpen && !stopping_) return up ? S::kStandby : S::kStandbyRetry;
  if (up && closeTimer_.Armed() && !stopping_) return S::kLingering;
  return S::kFree;
}

void PortSession::Enter(State next) {
  const bool wasQuiet = Quiet();
  state_ = next;
  switch (next) {
    case S::kFree:
      DropLink();
      clock_.Cancel(&retryTimer_);
      clock_.Cancel(&flushTimer_);
      clock_.Cancel(&closeTimer_);
      clock_.Cancel(&stopTimer_);
      pty_.Unwatch();
      log_.EndQuietly();
      // An idle port keeps no buffer memory.
      toDevice_.Release();
      toApplication_.Release();
      gate_ = kNoGate;
      outageStart_ = 0;
      backoffMs_ = 0;
      holders_ = 0;
      break;
    case S::kBroken:
      DropLink();
      clock_.Cancel(&retryTimer_);
      break;
    case S::kConnecting:
    case S::kReconnecting:
    case S::kDrainRetry:
    case S::kStandbyRetry:
      EnsureAttempt();
      break;
    case S::kConnected:
    case S::kDraining:
    case S::kStandby:
      SendToDevice();
      break;
    case S::kLingering:
    case S::kCount:
      break;
  }
  if (!wasQuiet && Quiet() && hooks_.quiet) hooks_.quiet();
}

void PortSession::Do(uint8_t action) {
  switch (action) {
    case kNone:
      break;
    case kBegin:
      StartSession(false);
      break;
    case kJoin:
      StartSession(true);
      break;
    case kEnd:
      EndSession();
      break;
    case kRestart:
      outageStart_ = 0;
      backoffMs_ = 0;
      log_.Line("written to again; connecting to " + Endpoint(0));
      break;
    case kLinkReady:
      clock_.Cancel(&connectTimer_);
      addressInUse_ = attempt_;
      lineSync_.SetAddress(AddressOf(addressInUse_));
      steadyTimer_ = clock_.After(kSteadyMs, [this] {
        steadyTimer_ = {};
        Raise(E::kSteady);
      });
      // Within an outage the connection counts once it is steady.
      log_.Change("connected to " + Endpoint(addressInUse_));
      break;
    case kLose:
      log_.Failure("link to " + Endpoint(addressInUse_) + " lost (" + why_ + ")" +
                   (state_ == S::kLingering ? "" : "; reconnecting"));
      DropLink();
      outageStart_ = std::max<uint64_t>(clock_.NowMs(), 1);
      backoffMs_ = 0;
      break;
    case kBackOff:
      BackOff();
      break;
    case kAttempt:
      Attempt(0);
      break;
    case kGiveUp: {
      const size_t dropped = toDevice_.Size();
      const uint64_t seconds = (clock_.NowMs() - outageStart_) / 1000;
      toDevice_.Clear();
      gate_ = gate_ == kNoGate ? kNoGate : 0;
      DropLink();
      clock_.Cancel(&retryTimer_);
      log_.EndStreak(std::string(Held() ? "broken" : "gave up the last bytes") +
                     ": no connection to " + Endpoint(0) + " for " + std::to_string(seconds) +
                     " s" + (dropped ? ", " + std::to_string(dropped) + " bytes dropped" : ""));
      outageStart_ = 0;
      backoffMs_ = 0;
      break;
    }
    case kSettle:
      clock_.Cancel(&steadyTimer_);
      if (OutageRunning()) log_.EndStreak("connected to " + Endpoint(addressInUse_));
      outageStart_ = 0;
      backoffMs_ = 0;
      break;
    case kSent:
      log_.Line(std::string("the last bytes are sent") +
                (Unheld() == S::kLingering ? "; the connection is kept for the close delay"
                 : options_.fastOpen && !stopping_ ? ""
                                                   : "; connection closed"));
      break;
    case kExpire:
      log_.Line("connection closed after the close delay");
      break;
    case kWake:
      log_.Line("connecting to " + Endpoint(0) + " (FastOpen)");
      break;
    case kHurry:
      Hurry();
      break;
    case kStopLink:
      log_.Line("connection closed: the driver stops");
      break;
  }
}

// --- sessions -----------------------------------------------------------------

void PortSession::OnOpenNotice() {
  // The last holder closed before this open: a session ended here, even
  // though the pty never looked hung up.
  if (Held() && holders_ == 0) Raise(E::kClosed);
  ++holders_;
  if (!Held()) Raise(E::kOpened);
}

void PortSession::OnCloseNotice() {
  if (holders_ > 0) --holders_;
  if (!Held() || holders_ > 0) return;
  if (pty_.HungUp()) Raise(E::kClosed);
}

void PortSession::LookForOpen() {
  if (Held() || pty_.HungUp()) return;
  holders_ = 1;
  Raise(E::kOpened);
}

void PortSession::StartSession(bool again) {
  ++sessions_;
  clock_.Cancel(&closeTimer_);
  // A holder's patience starts at its open, also within an outage.
  if (OutageRunning()) outageStart_ = std::max<uint64_t>(clock_.NowMs(), 1);
  pty_.Watch(true, false);
  lineSync_.SessionStart(pty_);
  if (!again) {
    log_.Line("opened; connecting to " + Endpoint(0));
  } else {
    log_.Line(IsUp(state_) ? "opened; the connection is kept" : "opened; connecting");
  }
}

void PortSession::EndSession() {
  // What the application left unread, and what the driver still held for
  // it, belong to the session that ended.
  pty_.DropInput();
  toApplication_.Clear();
  // Its own last bytes still go (this read also takes the status the flush
  // left, so it cannot pass for a later flush of the application's).
  droppingInput_ = true;
  ReadApplication();
  droppingInput_ = false;
  clock_.Cancel(&flushTimer_);
  pty_.Unwatch();
  holders_ = 0;
  if (options_.closeDelayMs > 0 && !options_.fastOpen && !stopping_) {
    closeTimer_ = clock_.After(options_.closeDelayMs, [this] {
      closeTimer_ = {};
      Raise(E::kCloseDue);
    });
  }
  SendToDevice();
  const State next = Unheld();
  if (stopping_ && (next == S::kDraining || next == S::kDrainRetry)) Hurry();
  std::string line = "closed by the application";
  if (next == S::kDraining || next == S::kDrainRetry) {
    line += "; " + std::to_string(toDevice_.Size()) + " bytes still to send";
  } else if (next == S::kLingering) {
    line += "; the connection is kept for the close delay";
  } else if (next == S::kFree && IsUp(state_)) {
    line += "; connection closed";
  }
  log_.Line(line);
}

void PortSession::Stopping() {
  stopping_ = true;
  Raise(E::kStopping);
}

void PortSession::Hurry() {
  // A stop ends within seconds once no application holds a port.
  if (stopTimer_.Armed()) return;
  stopTimer_ = clock_.After(kStopDrainMs, [this] {
    stopTimer_ = {};
    Raise(E::kGaveUp);
  });
}

// --- the application's side ------------------------------------------------------

bool PortSession::DiscardsWrites() const {
  return options_.ignoreWriteError &&
         (state_ == S::kBroken || (IsMaking(state_) && OutageRunning()));
}

bool PortSession::TakeFromPty() {
  bool wrote = false;
  for (int turn = 0; turn < kReadsPerTurn; ++turn) {
    const bool discard = DiscardsWrites();
    char scratch[4096];
    char* into = scratch;
    size_t room = sizeof scratch;
    if (!discard) {
      room = toDevice_.Room();
      if (room == 0) break;
      into = toDevice_.Tail();
    }
    const PtyPacket packet = pty_.Read(into, room);
    if (packet.kind == PtyPacket::Kind::kStatus) {
      // The driver's own drop at a session's end is no flush of the
      // application's: the server keeps what it holds for the next one.
      if (!mapping_.disablePurge && !droppingInput_ && link_ && IsUp(state_)) {
        link_->Purge(packet.status & (kFlushedInput | kFlushedOutput));
      }
      if (!mapping_.disablePurge) {
        if (packet.status & kFlushedOutput) {
          toDevice_.Clear();
          if (gate_ != kNoGate) gate_ = 0;
        }
        if (packet.status & kFlushedInput) toApplication_.Clear();
      }
      continue;
    }
    if (packet.kind != PtyPacket::Kind::kData) break;
    wrote = true;
    if (!discard) toDevice_.Commit(packet.size);
    // Less than asked for: nothing more waits now (the loop says when).
    if (packet.size < room) break;
  }
  return wrote;
}

void PortSession::ReadApplication() {
  // Settings first: the bytes read after a change wait behind it.
  lineSync_.Look(pty_, false);
  const bool wasEmpty = toDevice_.Empty();
  if (!TakeFromPty()) return;
  lineSync_.Wrote();
  if (mapping_.writeBuffer && !toDevice_.Empty()) {
    if (toDevice_.Size() >= kCollectBytes) {
      clock_.Cancel(&flushTimer_);
    } else if (wasEmpty && !flushTimer_.Armed() && Held()) {
      flushTimer_ = clock_.After(mapping_.autoFlushMs, [this] {
        flushTimer_ = {};
        SendToDevice();
        UpdateInterest();
      });
    }
  }
  Raise(E::kWrote);
  SendToDevice();
  Changed();
}

void PortSession::WriteApplication() {
  while (Held() && !toApplication_.Empty()) {
    const size_t n = pty_.Write(toApplication_.Data(), toApplication_.Size());
    if (n == 0) break;
    toApplication_.Consume(n);
  }
}

void PortSession::OnMaster(uint32_t ready) {
  if (!Held()) return;
  if (ready & (kReadable | kHangUp | kFailed)) ReadApplication();
  if (!Held()) return;
  if (ready & kWritable) WriteApplication();
  // A port without open and close notices learns of the last close here.
  if ((ready & (kHangUp | kFailed)) && pty_.HungUp()) {
    holders_ = 0;
    Raise(E::kClosed);
    return;
  }
  UpdateInterest();
}

void PortSession::Tick() {
  if (!Held()) return;
  lineSync_.Look(pty_, true);
  UpdateInterest();
}

void PortSession::OnSettingsDone(const SettingsResult& result) {
  lineSync_.Done(result, pty_);
  SendToDevice();
  UpdateInterest();
  Changed();
}

void PortSession::Hold() {
  if (gate_ == kNoGate) gate_ = toDevice_.Size();
}

void PortSession::Release() { gate_ = kNoGate; }

// --- the device's side -----------------------------------------------------------

size_t PortSession::Sendable() const {
  if (!IsUp(state_) || flushTimer_.Armed()) return 0;
  return std::min(toDevice_.Size(), gate_);
}

void PortSession::SendToDevice() {
  for (;;) {
    size_t allowed = Sendable();
    if (!link_) return;
    while (allowed > 0) {
      int error = 0;
      const ssize_t n = link_->Send(toDevice_.Data(), allowed, &error);
      if (n < 0 && error == EAGAIN) return;
      if (n <= 0) {
        LinkFailure(std::strerror(error));
        return;
      }
      const size_t sent = static_cast<size_t>(n);
      toDevice_.Consume(sent);
      bytesToDevice_ += sent;
      if (gate_ != kNoGate) gate_ -= std::min(gate_, sent);
      allowed -= std::min(allowed, sent);
    }
    if (state_ != S::kDraining || !toDevice_.Empty()) return;
    // What the application wrote beyond the queue still waits in the pty.
    if (!TakeFromPty()) {
      Raise(E::kDrained);
      return;
    }
  }
}

void PortSession::OnLink(uint32_t ready) {
  if (!link_) return;
  if (IsUp(state_)) link_->OnReady(ready);
  if (IsMaking(state_)) {
    if (!(ready & (kWritable | kHangUp | kFailed))) return;
    const int error = link_->ConnectError();
    if (error == 0 && !(ready & kFailed)) {
      Raise(E::kLinkUp);
    } else {
      AttemptFailed(error != 0 ? error : ECONNREFUSED);
    }
    return;
  }
  // Bytes that came with the FIN are delivered before the FIN is taken.
  if (ready & (kReadable | kHangUp | kFailed)) ReadDevice((ready & (kHangUp | kFailed)) != 0);
  if (!link_ || !IsUp(state_)) return;
  if (ready & kWritable) SendToDevice();
  UpdateInterest();
}

void PortSession::ReadDevice(bool closing) {
  bool got = false;
  for (int turn = 0; turn < kReadsPerTurn; ++turn) {
    const bool held = Held();
    char scratch[4096];
    char* into = held ? toApplication_.Tail() : scratch;
    const size_t room = held ? toApplication_.Room() : sizeof scratch;
    if (room == 0) break;
    int error = 0;
    const ssize_t n = link_->Receive(into, room, &error);
    if (n < 0 && error == EAGAIN) break;
    if (n <= 0) {
      if (got) Changed();
      LinkFailure(n == 0 ? "closed by the device" : std::strerror(error));
      return;
    }
    bytesFromDevice_ += static_cast<uint64_t>(n);
    got = true;
    // Nobody holds the port: the bytes are dropped, never left for the
    // next application. Each chunk is delivered before the next read, which
    // may be the FIN.
    if (held) toApplication_.Commit(static_cast<size_t>(n));
    WriteApplication();
    if (steadyTimer_.Armed()) {
      Raise(E::kSteady);
      if (!link_) return;
    }
    // Less than asked for: nothing more waits now (the loop says when),
    // unless the device's FIN has come too.
    if (static_cast<size_t>(n) < room && !closing) break;
  }
  if (got) Changed();
}

void PortSession::LinkFailure(const std::string& why) {
  why_ = why;
  if (OutageRunning()) {
    // It never became steady: one more failed round of the outage.
    log_.Failure("link to " + Endpoint(addressInUse_) + " closed before it was steady (" + why +
                 ")");
    DropLink();
    RoundFailure();
  } else {
    Raise(E::kLinkLost);
  }
}

// --- the connection ----------------------------------------------------------------

bool PortSession::GivesUp() const {
  return state_ != S::kStandby && state_ != S::kStandbyRetry;
}

void PortSession::EnsureAttempt() {
  if (!link_ && !retryTimer_.Armed()) Attempt(0);
}

void PortSession::Attempt(int which) {
  attempt_ = which;
  int error = 0;
  link_ = links_.Start(AddressOf(which), mapping_.tcpPort, &error);
  if (!link_) {
    AttemptFailed(error);
    return;
  }
  link_->Watch(false, true);
  connectTimer_ = clock_.After(mapping_.connectTimeoutMs, [this] {
    connectTimer_ = {};
    AttemptFailed(ETIMEDOUT);
  });
}

void PortSession::AttemptFailed(int error) {
  DropLink();
  if (!OutageRunning()) outageStart_ = std::max<uint64_t>(clock_.NowMs(), 1);
  log_.Failure("cannot connect to " + Endpoint(attempt_) + ": " + std::strerror(error));
  if (attempt_ == 0 && mapping_.address2 != 0) {
    Attempt(1);
    return;
  }
  RoundFailure();
}

void PortSession::RoundFailure() {
  const bool over = GivesUp() && clock_.NowMs() - outageStart_ >= mapping_.connectionBrokenMs;
  Raise(over ? E::kGaveUp : E::kRoundFailed);
}

void PortSession::BackOff() {
  DropLink();
  if (!OutageRunning()) outageStart_ = std::max<uint64_t>(clock_.NowMs(), 1);
  backoffMs_ = backoffMs_ == 0 ? kFirstBackoffMs : std::min(backoffMs_ * 2, kMaxBackoffMs);
  uint32_t wait = backoffMs_ / 2 + clock_.Random(backoffMs_ / 2 + 1);
  if (GivesUp()) {
    // The last try comes when ConnectionBroken is over, not a wait later.
    const uint64_t elapsed = clock_.NowMs() - outageStart_;
    const uint64_t left = mapping_.connectionBrokenMs > elapsed ? mapping_.connectionBrokenMs - elapsed : 0;
    if (wait > left) wait = static_cast<uint32_t>(std::max<uint64_t>(left, 1));
  }
  clock_.Cancel(&retryTimer_);
  retryTimer_ = clock_.After(wait, [this] {
    retryTimer_ = {};
    Raise(E::kRetryDue);
  });
}

void PortSession::DropLink() {
  clock_.Cancel(&connectTimer_);
  clock_.Cancel(&steadyTimer_);
  link_.reset();
  addressInUse_ = -1;
}

void PortSession::UpdateInterest() {
  if (Held()) pty_.Watch(toDevice_.Room() > 0 || DiscardsWrites(), !toApplication_.Empty());
  if (link_ && IsUp(state_)) link_->Watch(!Held() || toApplication_.Room() > 0, Sendable() > 0);
}

}  // namespace vonderil
