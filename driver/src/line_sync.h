// Keeps a device's serial settings in step with what the application set
// on its pty: the baud rate and the stop bits (all a pty shows).
//
// At the start of each session the device is asked what it has (code 16);
// from then on, whenever the application's settings differ from the
// device's, they are sent (06, 07). One job is under way per port at a
// time; a change seen meanwhile follows once it ends. The bytes the
// application writes after a change wait (the gate) until the device has
// confirmed it or the command port has failed; after a failure they go,
// the port's status says so, and the change is tried again at the next
// write or tick (at most once a second), without holding bytes back.
// At a session's start the bytes wait for the answer too when the device's
// settings are not known yet or differ from the application's, unless the
// command port has already failed once: then they go at once.
//
// Where the settings are looked at: before every read of the application's
// bytes and on the port's tick. So the bytes read after a change are
// behind it; those read before it go first.
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
    kIdle,     // no session yet: nothing asked
    kAsking,   // the device is asked for its settings
    kSynced,   // the device has the application's settings
    kSending,  // a change is on its way
    kFailed,   // the last job failed; tried again at the next write or tick
    kCount
  };
  enum class Event : uint8_t {
    kSessionStart,  // an application opened the port
    kChanged,       // the application's settings are not the ones seen last
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
  // Looks at the application's settings; tick: the port's tick, which
  // like a write retries a failed change.
  void Look(PtyEnd& pty, bool tick);
  // The application has just written.
  void Wrote();
  void Done(const SettingsResult& result);

  State GetState() const { return state_; }
  // For the port table: "57600/1" and "-", "asking", "sending", "ok" or "failed".
  std::string LineText() const;
  const char* StateWord() const;

 private:
  void Fire(Event event, const SettingsResult* result);
  void Send(bool hold);
  bool Differs() const { return !device_ || wanted_ != *device_; }

  const MappedPort& mapping_;
  PortClock& clock_;
  SettingsChannel* channel_;
  PortLog log_;
  Gate& gate_;
  State state_ = State::kIdle;
  uint32_t address_;
  LineSettings wanted_;       // what the application set, as last seen
  std::optional<LineSettings> device_;  // what the device has, when known
  char dataBits_ = 0;                   // the device's data format, when reported
  char parity_ = 0;
  uint64_t ticket_ = 0;                 // of the job under way
  // When the last job failed; 0: none has. After a failure sessions no
  // longer wait for the device's answer.
  uint64_t failedAt_ = 0;
};

}  // namespace vonderil
