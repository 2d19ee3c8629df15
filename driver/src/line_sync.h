// Keeps a device's serial settings and the pty's in step: the baud rate and
// the stop bits (all a pty shows).
//
// The pty is the port as the application sees it, and like a real serial
// port it shows what the device has. At the start of each session the
// device is asked for its settings (code 16). When the application has set
// nothing meanwhile, the answer is put on the pty, so an application that
// configures nothing sees the device's settings and leaves them alone.
// Whatever the application sets that differs from the device's is sent (06,
// 07); one job is under way per port at a time, and a change seen meanwhile
// follows once it ends. A fresh pty shows baud rate 0 until the device has
// answered, so that an application that sets 9600 at once is seen to set it.
//
// The bytes the application writes after a change wait (the gate) until
// the device has confirmed it or the command port has failed; after a
// failure they go, the port's status says so, and the job is tried again at
// the next write or tick (at most once a second), without holding bytes
// back. The settings are looked at before every read of the application's
// bytes and on the port's tick, so the bytes read after a change are behind
// it and those read before it go first.
//
// On an RFC 2217 connection the channel carries the jobs in-band (see
// rfc2217_channel.h): its answer to the question cannot say what the server
// has, so whatever the pty shows is sent; a change the server does not
// acknowledge in time lets the bytes go on and shows as unacknowledged,
// without a retry (some servers never answer).
//
// The states and what each event does are the table in line_sync.cpp.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "driver_parameters.h"
#include "line_settings.h"
#include "port_log.h"
#include "port_ops.h"

namespace vonderil {

class LineSync {
 public:
  enum class State : uint8_t {
    kIdle,           // no session yet: nothing asked
    kAsking,         // the device is asked for its settings
    kAskingChanged,  // the same, and the application has set its own meanwhile
    kSynced,         // the device and the pty agree
    kSending,        // a change is on its way
    kAskFailed,      // the device did not answer the question; asked again later
    kFailed,         // a change did not reach the device; sent again later
    kCount
  };
  enum class Event : uint8_t {
    kSessionStart,  // an application opened the port
    kChanged,       // the pty's settings are not the ones seen last
    kAnswered,      // the job ended well
    kJobFailed,     // the command port did not answer or refused
    kRetryPoint,    // a write or a tick, a second or more after a failure
    kCount
  };
  // The port's queue toward the device: Hold stops it at its present end,
  // Release lets everything go.
  class Gate {
   public:
    virtual ~Gate() = default;
    virtual void Hold() = 0;
    virtual void Release() = 0;
  };
  static constexpr uint32_t kRetryGapMs = 1000;

  LineSync(const MappedPort& mapping, PortClock& clock, SettingsChannel* channel,
           const PortLog::Sink& log, Gate& gate);

  // FixedConfig ports and the I/O port never send settings.
  bool Enabled() const;
  // The command port to use: the address the data link uses now.
  void SetAddress(uint32_t address) { address_ = address; }

  void SessionStart(PtyEnd& pty);
  // Looks at the pty's settings; tick: the port's tick, which like a write
  // retries a failed job.
  void Look(PtyEnd& pty, bool tick);
  // The application has just written.
  void Wrote();
  void Done(const SettingsResult& result, PtyEnd& pty);

  State GetState() const { return state_; }
  // For the port table: "57600/1" (the pty's, "-" while it shows nothing)
  // and "-", "asking", "sending", "ok", "failed", "unknown", or on an RFC
  // 2217 connection "unacknowledged" (the server let the last change's
  // time-out pass) and "data-only" (the server takes no settings).
  std::string LineText() const;
  const char* StateWord() const;

 private:
  void Fire(Event event, const SettingsResult* result, PtyEnd* pty);
  SettingsJob Job(SettingsJob::Kind kind);
  void Send(bool hold);
  // The pty shows settings (not the fresh pty's 0) other than the device's.
  bool Differs() const { return wanted_.baud != 0 && (!device_ || wanted_ != *device_); }

  const MappedPort& mapping_;
  PortClock& clock_;
  SettingsChannel* channel_;
  PortLog log_;
  Gate& gate_;
  State state_ = State::kIdle;
  uint32_t address_;
  LineSettings wanted_{0, false};       // the pty's, as last seen; baud 0: nothing set
  std::optional<LineSettings> device_;  // what the device has, when known
  char dataBits_ = 0;                   // the device's data format, when reported
  char parity_ = 0;
  uint64_t ticket_ = 0;                 // of the job under way
  uint64_t failedAt_ = 0;               // when the last job failed
  // The last change went on without the server's acknowledgement: it did
  // not answer in time, or (notCarried_) it takes no settings at all.
  bool unacknowledged_ = false;
  bool notCarried_ = false;
};

}  // namespace vonderil
