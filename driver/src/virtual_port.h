// One virtual COM port as the driver serves it, as the service sees it: a
// COM number that an application may hold open. RelayPort (a pty carried
// over TCP) is the one the driver makes.
#pragma once
#include <cstdint>

namespace vonderil {

class VirtualPort {
 public:
  virtual ~VirtualPort() = default;
  virtual uint32_t ComNumber() const = 0;
  // True while an application has the port open. A stop waits until no
  // port is held; a port that an application closes tells the driver
  // through DriverService::PortReleased().
  virtual bool HeldOpen() const = 0;
  // Not held, and nothing an application wrote is left to send. A stop
  // waits for every port to be quiet; a port that becomes quiet tells the
  // driver through DriverService::PortReleased().
  virtual bool Quiet() const { return !HeldOpen(); }
  // The driver has been asked to stop.
  virtual void Stopping() {}
  // Tears the port down (closes its pty and connection) when the driver
  // stops.
  virtual void Close() = 0;
};

}  // namespace vonderil
