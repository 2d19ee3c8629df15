// The driver's life as a service: start pending, running until a stop
// request (SIGTERM or SIGINT), then stop pending until no application holds
// one of its ports open, then stopped.
//
// A stop that arrives while a port is held open stays pending: the driver
// goes on serving every port, and finishes the stop once the last holder
// has closed its port. The service manager's caller sees "stop pending" and
// gives up after its own wait; nothing is torn away from an application.
// The stop also waits while a port nobody holds still sends what its last
// application wrote (each port bounds that wait itself).
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "event_loop.h"
#include "virtual_port.h"

namespace vonderil {

class DriverService {
 public:
  using StateReporter = std::function<void(uint32_t state)>;
  using LogLine = std::function<void(const char* line)>;

  DriverService(EventLoop& loop, StateReporter report, LogLine log);

  void AddPort(std::unique_ptr<VirtualPort> port);
  const std::vector<std::unique_ptr<VirtualPort>>& Ports() const { return ports_; }

  // Reports running, serves until the stop completes, reports stopped.
  // Returns the process exit code.
  int Run();

  // A port's application closed it: a pending stop may finish now.
  void PortReleased();
  bool StopRequested() const { return stopRequested_; }
  // COM numbers of the ports that applications hold open.
  std::vector<uint32_t> HeldPorts() const;

 private:
  void RequestStop(int signal);
  void FinishStopIfFree();

  EventLoop& loop_;
  StateReporter report_;
  LogLine log_;
  std::vector<std::unique_ptr<VirtualPort>> ports_;
  bool stopRequested_ = false;
  std::string lastSending_;
};

}  // namespace vonderil
