// One mapped COM port: the master of its pty, its TCP connection to the
// device, and the bytes in flight between them. The driver's event loop
// calls it when one of its descriptors is ready or one of its timers runs;
// the port owns both descriptors and every timer.
//
// Life of a port. It is idle until an application opens the slave (the
// driver learns of opens from inotify and calls OnOpenNotice). It then
// connects: primary address, then the redundant one, each attempt bounded
// by ConnectTimeout, and a failed round is tried again with growing pauses
// until ConnectionBroken has passed without a connection (then it is
// broken until the application writes again). A link that drops while the
// port is held is reconnected the same way; the application keeps its port
// open throughout. When the last application closes the slave, the
// connection is closed CloseDelayTime later (after the bytes the
// application wrote have gone out); an open within the delay keeps it.
//
// Stale data. The master is read and written only while an application
// holds the slave; bytes the device sends while none does are dropped, and
// the slave's unread input is dropped when the last application lets go.
//
// Options. WriteBuffer holds the application's bytes until AutoFlush has
// passed or a segment's worth has gathered. Without DisablePurge an
// application's flush of its output or input also drops what the driver
// holds for that direction. Without FixedConfig a changed baud rate or
// stop-bit setting of the application is handed to the settings sender.
// FastOpen connects at the driver's start and keeps the connection up
// while no application holds the port. IgnoreWriteError drops what the
// application writes while there is no connection instead of making it
// wait (a pty cannot fail a write).
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "byte_queue.h"
#include "driver_parameters.h"
#include "event_loop.h"
#include "line_settings.h"
#include "pty_pair.h"
#include "settings_sender.h"
#include "tarvik/unique_fd.h"
#include "virtual_port.h"
#include "tarvik/port_status.h"

namespace vonderil {

enum class LinkState { kIdle, kConnecting, kConnected, kReconnecting, kBroken };
const char* LinkStateName(LinkState state);

class RelayPort : public VirtualPort {
 public:
  struct Hooks {
    std::function<void()> changed;                  // anything the status shows
    std::function<void()> released;                 // the last application closed it
    std::function<void(const SettingsJob&)> settings;  // a line-setting change to send
    std::function<void(const std::string&)> log;
  };
  // Bytes each direction may hold; the write buffer sends at once when
  // kCollectBytes have gathered.
  static constexpr size_t kQueueBytes = 16384;
  static constexpr size_t kCollectBytes = 1024;

  RelayPort(EventLoop& loop, const MappedPort& mapping, const DriverOptions& options, PtyPair pty,
            std::string linkPath, Hooks hooks);
  ~RelayPort() override;
  RelayPort(const RelayPort&) = delete;
  RelayPort& operator=(const RelayPort&) = delete;

  uint32_t ComNumber() const override { return mapping_.comNumber; }
  bool HeldOpen() const override { return held_; }
  void Close() override;

  const std::string& SlavePath() const { return slavePath_; }
  LinkState State() const { return state_; }
  PortStatusLine Status() const;

  // Starts the connection of a FastOpen port.
  void Start();
  // Someone opened or closed the slave: finds out whether it is held now.
  void OnOpenNotice();
  // Looks for a changed baud rate or stop-bit setting (also done whenever
  // the application writes).
  void CheckLineSettings();

 private:
  void BecomeHeld();
  void Release();
  void OnMaster(uint32_t events);
  bool MasterHungUp() const;
  void ReadApplication();
  void WriteApplication();
  void OnSocket(uint32_t events);
  void ReadDevice();
  void QueueForDevice();
  void SendToDevice();

  void StartRound(LinkState state);
  void Attempt(int which);
  void AttemptFailed(int error);
  void RoundFailed();
  void Connected();
  void LinkLost(const char* why);
  void CloseAfterDelay();
  void GoIdle();
  bool WantsLink() const;
  bool DiscardsApplicationBytes() const;
  void UpdateInterest();
  void Changed();
  void Log(const std::string& line) const;
  std::string Endpoint(int which) const;

  EventLoop& loop_;
  MappedPort mapping_;
  DriverOptions options_;
  tarvik::UniqueFd master_;
  std::string slavePath_;
  std::string linkPath_;
  Hooks hooks_;

  bool held_ = false;
  bool masterWatched_ = false;
  uint32_t masterEvents_ = 0;
  tarvik::UniqueFd socket_;
  uint32_t socketEvents_ = 0;
  LinkState state_ = LinkState::kIdle;
  int addressInUse_ = -1;  // 0 primary, 1 redundant, -1 none
  int attempting_ = 0;

  ByteQueue toDevice_{kQueueBytes};
  ByteQueue toApplication_{kQueueBytes};
  bool flushDue_ = true;  // the write buffer may go out now
  bool closeWhenSent_ = false;
  uint64_t outageStart_ = 0;
  uint32_t backoffMs_ = 0;
  EventLoop::TimerId connectTimer_, retryTimer_, flushTimer_, closeTimer_;

  LineSettings lastSent_;
  uint64_t bytesToDevice_ = 0;
  uint64_t bytesFromDevice_ = 0;
};

}  // namespace vonderil
