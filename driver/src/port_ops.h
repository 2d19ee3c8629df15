// What one port's logic needs from the world, as small interfaces: the
// master of its pty, its connections to the device, a clock with timers,
// and the sender of line settings. The driver hands it the real ones (a pty
// master and TCP sockets on the event loop, the settings workers); the
// tests hand it doubles and feed it an exact order of events.
//
// Every call comes from the loop's thread. Readiness reaches the port as
// the Ready flags below, through PortSession::OnMaster and OnLink.
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "line_settings.h"

namespace vonderil {

enum Ready : uint32_t {
  kReadable = 1u << 0,
  kWritable = 1u << 1,
  kHangUp = 1u << 2,
  kFailed = 1u << 3,
};

// One packet the application's side of the pty gave: its bytes, or a
// status (the application flushed a direction), or nothing.
struct PtyPacket {
  enum class Kind { kData, kStatus, kEmpty, kGone };
  Kind kind = Kind::kEmpty;
  size_t size = 0;      // kData: bytes placed in the buffer
  uint32_t status = 0;  // kStatus: kFlushedInput and/or kFlushedOutput
};
constexpr uint32_t kFlushedInput = 1u << 0;   // the application dropped its unread input
constexpr uint32_t kFlushedOutput = 1u << 1;  // the application dropped its unsent output

class PtyEnd {
 public:
  virtual ~PtyEnd() = default;
  // kGone: nobody holds the slave and nothing is left to read.
  virtual PtyPacket Read(char* into, size_t room) = 0;
  // Bytes taken (0 when the slave's input is full).
  virtual size_t Write(const char* data, size_t size) = 0;
  // True while no application holds the slave (a look, not an event).
  virtual bool HungUp() = 0;
  virtual bool GetLine(LineSettings* out) = 0;
  // Puts the device's settings on the slave, for the application to see,
  // unless the slave no longer shows expected (the application has just set
  // its own). False when they were not put.
  virtual bool ShowLine(const LineSettings& expected, const LineSettings& settings) = 0;
  // Drops what the slave holds unread for its reader.
  virtual void DropInput() = 0;
  // Readiness wanted while an application holds the slave (hang-ups are
  // always reported); Unwatch takes the master out of the loop, since a
  // master nobody holds is hung up for as long as that lasts.
  virtual void Watch(bool read, bool write) = 0;
  virtual void Unwatch() = 0;
};

// One TCP connection to the device, from the connect on.
class DeviceLink {
 public:
  virtual ~DeviceLink() = default;  // closes it
  // Once it has become writable: 0 connected, else the errno of the failure.
  virtual int ConnectError() = 0;
  // Bytes taken, or -1 with *error (EAGAIN: the socket is full).
  virtual ssize_t Send(const char* data, size_t size, int* error) = 0;
  // Bytes read, 0 when the device closed, or -1 with *error (EAGAIN: none).
  virtual ssize_t Receive(char* into, size_t room, int* error) = 0;
  virtual void Watch(bool read, bool write) = 0;
  // For a protocol that runs on the connection (RFC 2217): called first on
  // every readiness of the connection, so it can send bytes of its own the
  // socket did not take before.
  virtual void OnReady(uint32_t ready) { (void)ready; }
  // The application dropped what it had buffered (kFlushedInput and/or
  // kFlushedOutput): a protocol that can tells the server to do the same.
  virtual void Purge(uint32_t flushed) { (void)flushed; }
};

class LinkMaker {
 public:
  virtual ~LinkMaker() = default;
  // Starts a connection (address with its first octet in the low byte).
  // Its readiness goes to the port's OnLink, writable first when the
  // connect has ended either way. nullptr with *error when it failed at once.
  virtual std::unique_ptr<DeviceLink> Start(uint32_t address, uint32_t port, int* error) = 0;
};

// Names one armed timer; a default TimerId names none.
struct TimerId {
  uint64_t due = 0;
  uint64_t sequence = 0;
  bool Armed() const { return sequence != 0; }
  bool operator<(const TimerId& o) const {
    return due != o.due ? due < o.due : sequence < o.sequence;
  }
};

class PortClock {
 public:
  using Task = std::function<void()>;
  virtual ~PortClock() = default;
  virtual uint64_t NowMs() const = 0;
  // Runs task once, delayMs from now. Cancel takes it back (harmless when
  // it has run or was never armed) and clears *id. A task clears its own id
  // before anything else.
  virtual TimerId After(uint32_t delayMs, Task task) = 0;
  virtual void Cancel(TimerId* id) = 0;
  // 0 .. below-1: spreads the retries of many ports.
  virtual uint32_t Random(uint32_t below) = 0;
};

class SettingsChannel {
 public:
  virtual ~SettingsChannel() = default;
  // The result comes back to the port's OnSettingsDone, on the loop.
  virtual void Send(const SettingsJob& job) = 0;
};

}  // namespace vonderil
