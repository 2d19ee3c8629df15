// The devices' UDP side: one socket on the discovery port answers requests
// for every simulated device and applies configuration commands addressed
// to a device's MAC. Everything it receives and does goes to the log.
#pragma once
#include <netinet/in.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "event_loop.h"
#include "sim_device.h"
#include "tarvik/unique_fd.h"

namespace devsim {

class Log;

class UdpDiscovery {
 public:
  UdpDiscovery(EventLoop* loop, std::vector<std::unique_ptr<SimDevice>>* devices, Log* log,
               int replyPort);
  // Binds 0.0.0.0:port and joins the loop. False with a reason.
  bool Start(int port, std::string* error);

 private:
  void OnReadable();
  void Answer(const sockaddr_in& from);
  void Configure(const std::string& command, const sockaddr_in& from);
  void Send(const std::string& datagram, const sockaddr_in& to);

  EventLoop* loop_;
  std::vector<std::unique_ptr<SimDevice>>* devices_;
  Log* log_;
  int replyPort_;
  tarvik::UniqueFd socket_;
};

// Line-buffered record of the simulator's traffic, for tests.
class Log {
 public:
  explicit Log(FILE* file) : file_(file) {}
  void Line(const std::string& text);

 private:
  FILE* file_;
};

}  // namespace devsim
