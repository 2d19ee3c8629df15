// Carries one simulated device's command port over TCP: a listening socket
// on the device's own address and TcpPortCmd, and its accepted connections.
// It does not own a loop: the owner polls the descriptors that AddPollFds
// lists and hands the results back to HandlePoll, so any number of devices
// share one event loop. The slow-accept, split-reply and refused-connection
// faults of the device settings are played out here.
#pragma once
#include <poll.h>

#include <chrono>
#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <vector>

#include "command_port.h"
#include "tarvik/unique_fd.h"

namespace devsim {

class CommandListener {
 public:
  using Clock = std::chrono::steady_clock;

  explicit CommandListener(CommandPortDevice* device) : device_(device) {}
  CommandListener(const CommandListener&) = delete;
  CommandListener& operator=(const CommandListener&) = delete;

  // Listens on the device's address and TcpPortCmd (0: a free port, kept
  // for later re-opening). Without refuseConnections only. false and a
  // message on failure.
  bool Open(std::string* error);
  uint16_t Port() const { return port_; }
  bool IsListening() const { return listen_.Valid(); }
  // Drops every connection and the listening socket.
  void CloseAll();

  // Follows the device's settings (refused connections, a new address after
  // a restart), then lists the descriptors to poll.
  void AddPollFds(std::vector<pollfd>* fds);
  // Handles the poll results for this listener's descriptors (others are
  // ignored) and runs what has come due.
  void HandlePoll(const std::vector<pollfd>& fds);
  // Milliseconds until something timed comes due; -1 when nothing waits.
  int NextTimeoutMs() const;

  size_t ConnectionCount() const { return connections_.size(); }

  // Brings the listening socket in line with the device's settings (also
  // done by AddPollFds); call it after changing them from outside the loop.
  void Sync();

 private:
  struct PendingSend {
    Clock::time_point due;
    std::string bytes;
  };
  struct Connection {
    tarvik::UniqueFd fd;
    CommandConnection state;
    std::vector<PendingSend> later;
  };

  void AcceptWaiting();
  // false when the connection is gone.
  bool Read(Connection& connection, bool* reset);
  void Send(Connection& connection, const CommandReply& reply);
  void RunDue();

  CommandPortDevice* device_;
  tarvik::UniqueFd listen_;
  std::string boundIp_;
  uint16_t port_ = 0;
  std::optional<Clock::time_point> acceptDue_;
  std::list<Connection> connections_;
};

}  // namespace devsim
