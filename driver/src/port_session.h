// The life of one mapped COM port, without any transport: who holds it, its
// connection to the device, and the bytes in flight between them. It runs
// on the small interfaces of port_ops.h, so the driver drives it with a pty
// and TCP on the event loop, and a test with doubles in any order it likes.
//
// States (the table in port_session.cpp gives, for every state and event,
// what is done and where the port goes):
//
//   free           nobody holds it, no connection
//   connecting     held; the session's connection is being made
//   connected      held; connected
//   reconnecting   held; the connection was lost or keeps failing
//   broken         held; given up after ConnectionBroken without a
//                  connection; the application's next write starts over
//   draining       nobody holds it; connected, sending the bytes the last
//                  application wrote before it closed
//   drain-retry    the same, while the connection is being made again
//   lingering      nobody holds it; connected, within the close delay
//   standby        FastOpen, nobody holds it; connected
//   standby-retry  FastOpen, nobody holds it; the connection is being made
//
// Sessions. A session runs from the open that makes the port held to the
// close of its last holder. The driver reports opens and closes in the order
// the kernel gave them (OnOpenNotice, OnCloseNotice), so a close followed by
// a reopen is a boundary even when the pty never looked hung up in between.
// At the end of a session the slave's unread input is dropped, and so is
// what the driver still held for the application; bytes from the device
// while nobody holds the port are dropped too. The application's own bytes
// written before its close still go out.
//
// Connections. Primary address, then the redundant one, each attempt bounded
// by ConnectTimeout; a round that fails waits before the next one, from a
// quarter second doubling to five seconds, each wait drawn between half and
// all of it so that many ports do not retry in step. A connection counts
// only once it is steady: it has carried bytes from the device or lived five
// seconds. Until then the outage that began with the first failure goes on:
// the waits keep growing, and ConnectionBroken after that first failure a
// held port becomes broken. A steady connection that drops is tried again at
// once.
//
// Options. WriteBuffer holds the application's bytes until AutoFlush has
// passed since the first of them or a segment's worth has gathered; a close
// or a stop sends them at once. Without DisablePurge an application's flush
// of its output or input also drops what the driver holds for that
// direction, and the connection is told (an RFC 2217 link asks the server
// to purge the same; the driver's own drop at a session's end is not
// passed on). FastOpen connects at the driver's start and keeps the
// connection while nobody holds the port. IgnoreWriteError drops what the
// application writes while the device is known to be unreachable (a failure
// has been seen and no connection stands), instead of making it wait; the
// bytes of a session's first connect wait for it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "byte_queue.h"
#include "driver_parameters.h"
#include "line_sync.h"
#include "port_log.h"
#include "port_ops.h"
#include "tarvik/port_status.h"

namespace vonderil {

class PortSession : private LineSync::Gate {
 public:
  enum class State : uint8_t {
    kFree,
    kConnecting,
    kConnected,
    kReconnecting,
    kBroken,
    kDraining,
    kDrainRetry,
    kLingering,
    kStandby,
    kStandbyRetry,
    kCount
  };
  enum class Event : uint8_t {
    kOpened,       // an application opened the port while it was not held
    kClosed,       // the last holder closed it
    kWrote,        // the application wrote
    kLinkUp,       // a connect succeeded
    kLinkLost,     // a steady connection ended (FIN, reset, a failed send)
    kRoundFailed,  // every address failed, or a connection ended before it was steady
    kGaveUp,       // the same, ConnectionBroken or more after the first failure
    kRetryDue,     // the wait after a failed round is over
    kSteady,       // the connection carried bytes from the device or lived 5 s
    kDrained,      // the last application's bytes are all sent
    kCloseDue,     // the close delay is over
    kStart,        // the driver starts (FastOpen ports connect)
    kStopping,     // the driver is asked to stop
    kCount
  };
  struct Hooks {
    std::function<void()> changed;  // anything the port table shows
    std::function<void()> quiet;    // not held and nothing left to send: a stop may end
  };

  static constexpr size_t kQueueBytes = 16384;  // each direction
  static constexpr size_t kCollectBytes = 1024;  // a full write buffer goes at once
  static constexpr uint32_t kSteadyMs = 5000;
  static constexpr uint32_t kFirstBackoffMs = 250;
  static constexpr uint32_t kMaxBackoffMs = 5000;
  // A stop waits this long at most for the last bytes of a port nobody holds.
  static constexpr uint32_t kStopDrainMs = 10000;

  PortSession(const MappedPort& mapping, const DriverOptions& options, PortClock& clock,
              PtyEnd& pty, LinkMaker& links, SettingsChannel* settings, PortLog::Sink log,
              Hooks hooks);
  ~PortSession() override;
  PortSession(const PortSession&) = delete;
  PortSession& operator=(const PortSession&) = delete;

  // An open or a close of the slave, in the kernel's order.
  void OnOpenNotice();
  void OnCloseNotice();
  // For a port without notices: an open found by looking.
  void LookForOpen();
  void OnMaster(uint32_t ready);
  void OnLink(uint32_t ready);
  void OnSettingsDone(const SettingsResult& result);
  // Once a second: the line settings of a held port.
  void Tick();
  void Start() { Raise(Event::kStart); }
  void Stopping();
  // Tears everything down (the driver ends).
  void Close();

  State GetState() const { return state_; }
  static const char* StateName(State state);
  bool Held() const;
  bool Quiet() const;
  PortStatusLine Status() const;

 private:
  // LineSync::Gate
  void Hold() override;
  void Release() override;

  void Raise(Event event);
  void Step(Event event);
  void Do(uint8_t action);
  State Resolve(uint8_t next) const;
  State Unheld() const;
  void Enter(State next);

  // The application's side.
  bool TakeFromPty();
  void ReadApplication();
  void WriteApplication();
  bool DiscardsWrites() const;
  void EndSession();
  void Hurry();
  void StartSession(bool again);

  // The device's side.
  // closing: the device's FIN (or an error) waits behind the bytes.
  void ReadDevice(bool closing);
  void SendToDevice();
  size_t Sendable() const;
  void LinkFailure(const std::string& why);

  // The connection.
  void EnsureAttempt();
  void Attempt(int which);
  void AttemptFailed(int error);
  void RoundFailure();
  void BackOff();
  void DropLink();
  bool GivesUp() const;
  bool OutageRunning() const { return outageStart_ != 0; }
  uint32_t AddressOf(int which) const;
  std::string Endpoint(int which) const;

  void UpdateInterest();
  void Changed();

  MappedPort mapping_;
  DriverOptions options_;
  PortClock& clock_;
  PtyEnd& pty_;
  LinkMaker& links_;
  PortLog log_;
  Hooks hooks_;
  LineSync lineSync_;

  State state_ = State::kFree;
  // Opens minus closes as the notices told them, never below 0. Held with
  // none left: the last holder's close is known, but the pty did not show
  // it yet (the notice comes before the kernel's close is done); the pty's
  // hang-up or the next open settles it.
  uint32_t holders_ = 0;
  bool stopping_ = false;
  bool droppingInput_ = false;  // the session's end drops the slave's input

  std::unique_ptr<DeviceLink> link_;
  int attempt_ = 0;        // the address being tried: 0 primary, 1 redundant
  int addressInUse_ = -1;  // of the connection that stands
  uint64_t outageStart_ = 0;  // the first failure of the outage; 0: none
  uint32_t backoffMs_ = 0;
  std::string why_;        // what ended the last connection, for the log
  TimerId connectTimer_, retryTimer_, steadyTimer_, flushTimer_, closeTimer_, stopTimer_;

  ByteQueue toDevice_{kQueueBytes};
  ByteQueue toApplication_{kQueueBytes};
  // Bytes at the head of toDevice_ that may go while a settings change is
  // under way; the rest wait for it. kNoGate: all may go.
  static constexpr size_t kNoGate = static_cast<size_t>(-1);
  size_t gate_ = kNoGate;

  // Events raised while one is being handled wait their turn.
  Event pending_[8] = {};
  size_t pendingHead_ = 0, pendingCount_ = 0;
  bool stepping_ = false;

  uint64_t bytesToDevice_ = 0;
  uint64_t bytesFromDevice_ = 0;
  uint64_t sessions_ = 0;
};

}  // namespace vonderil
