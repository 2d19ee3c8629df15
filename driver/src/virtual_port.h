// One virtual COM port as the driver serves it. The stand-in does not make
// ports yet; the pty-backed port that carries a COM port's traffic over TCP
// implements this, watching its descriptors on the driver's event loop.
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
  // Tears the port down (closes its pty and connection) when the driver
  // stops.
  virtual void Close() = 0;
};

}  // namespace vonderil
