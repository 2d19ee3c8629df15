// Joins one simulated device's command port to the simulator's event loop.
// The device's network identity (name, address, mask, gateway) stays with
// the device object that the UDP side also changes: the command port reads
// it before every turn, listens on whatever address is current, and hands
// network settings that a "33RESET" put into effect back to it.
#pragma once
#include <cstdint>
#include <set>
#include <string>

#include "command_listener.h"
#include "command_port.h"
#include "event_loop.h"
#include "sim_device.h"
#include "udp_discovery.h"

namespace devsim {

class CommandPortService {
 public:
  // settings: the command-port keys of the device's section.
  CommandPortService(EventLoop* loop, SimDevice* device, Log* log, CommandPortSettings settings);
  CommandPortService(const CommandPortService&) = delete;
  CommandPortService& operator=(const CommandPortService&) = delete;

  // Opens the command port and joins the loop. False with a reason when
  // the port cannot open yet; it is tried again as the loop turns.
  bool Start(std::string* error);
  // The device's settings as its command port has them now (serial port
  // settings changed by codes 06 and 07 included).
  const CommandPortSettings& Settings() const { return device_.Settings(); }

 private:
  void Turn(int fd, uint32_t events);
  void FollowDevice();
  void Register();
  // Logs what the device received since from, as received on where.
  void LogNewBytes(const std::string& where, size_t from);

  EventLoop* loop_;
  SimDevice* sim_;
  Log* log_;
  CommandPortDevice device_;
  CommandListener listener_;
  std::set<int> registered_;
  uint64_t timerDue_ = 0;  // 0: no timer of ours is pending
};

}  // namespace devsim
