// Every port the driver serves, and what they share: the inotify set that
// tells the driver when an application opens or closes a slave, the timer
// that re-reads held ports' line settings, the status file under run/ and
// the sender of line settings.
//
// Open and close notices. The notices of every slave come through one
// inotify queue, and they are handed to the ports in the queue's order. The
// queue is read before every event the loop dispatches, so an open or close
// is always taken before the pty and socket events of the same moment: the
// device's bytes reach an application only once every close that came
// before them is known. When the queue overflowed, every port is looked at
// again.
//
// At start it makes a pty per mapped COM number and publishes
// <state root>/dev/COM<n> as a link to its slave, after removing COM links
// that a crashed driver left behind. COM numbers for which no pty can be
// made (the system's pty limit) are logged together in one line.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "driver_parameters.h"
#include "event_loop.h"
#include "relay_port.h"
#include "settings_sender.h"
#include "tarvik/unique_fd.h"

namespace vonderil {

class PortSet {
 public:
  using LogLine = std::function<void(const std::string& line)>;
  // How often held ports' line settings are looked at while nothing is
  // written, and how soon a change reaches the status file.
  static constexpr uint32_t kSettingsPollMs = 1000;
  static constexpr uint32_t kStatusDelayMs = 200;

  PortSet(EventLoop& loop, std::string devDirectory, std::string runDirectory, LogLine log);
  ~PortSet();
  PortSet(const PortSet&) = delete;
  PortSet& operator=(const PortSet&) = delete;

  // Makes the ports of parameters. Each made port goes to adopt (the driver
  // service owns the ports); released is called when a port's last
  // application closes it. Returns the number of ports made.
  size_t Make(const DriverParameters& parameters,
              const std::function<void(std::unique_ptr<RelayPort>)>& adopt,
              std::function<void()> released);

  // The service is stopping: noted in the status file.
  void SetStopping(bool stopping);
  // Writes the status file now (also done shortly after every change).
  void WriteStatus();
  // Removes the status file (the driver is stopping for good).
  void RemoveStatus();
  std::vector<uint32_t> HeldComNumbers() const;

 private:
  struct Notice {
    int watch;
    uint32_t mask;
  };
  void RemoveStaleLinks();
  void OnNotices();
  // Appends what the queue holds now, in its order; true when it had
  // overflowed.
  bool ReadNotices(std::vector<Notice>* notices);
  void LookAtEveryPort();
  void Tick();
  void StatusChanged();
  void Deliver(const SettingsResult& result);

  EventLoop& loop_;
  std::string dev_;
  std::string run_;
  LogLine log_;
  SettingsSender sender_;
  tarvik::UniqueFd inotify_;
  std::map<int, RelayPort*> byWatch_;
  std::map<uint32_t, RelayPort*> byCom_;
  std::vector<RelayPort*> ports_;
  std::vector<RelayPort*> unwatched_;  // no inotify watch: opens seen only by the tick
  EventLoop::TimerId tick_, statusTimer_;
  bool stopping_ = false;
};

}  // namespace vonderil
