// A device's command port on loopback, served by the simulator's own
// command-port code on a thread of the test.
#pragma once
#include <poll.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "command_listener.h"
#include "command_port.h"

namespace vonderil {

class CommandPortThread {
 public:
  explicit CommandPortThread(uint16_t port,
                             const std::function<void(devsim::CommandPortSettings*)>& adjust = {}) {
    devsim::CommandPortSettings settings;
    settings.ip = "127.0.0.1";
    settings.tcpPortCmd = port;
    settings.ports = std::vector<devsim::SerialPortSettings>(2, {"9600", "7E1"});
    if (adjust) adjust(&settings);
    device_ = devsim::CommandPortDevice(settings);
    std::string error;
    ok_ = listener_.Open(&error);
    port_ = listener_.Port();
    if (ok_) thread_ = std::thread([this] { Serve(); });
  }
  ~CommandPortThread() {
    quit_ = true;
    if (thread_.joinable()) thread_.join();
  }
  bool Ok() const { return ok_; }
  uint16_t Port() const { return port_; }
  std::string Received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return device_.Received();
  }

 private:
  void Serve() {
    while (!quit_) {
      std::vector<pollfd> fds;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        listener_.AddPollFds(&fds);
      }
      ::poll(fds.data(), fds.size(), 20);
      std::lock_guard<std::mutex> lock(mutex_);
      listener_.HandlePoll(fds);
    }
  }
  devsim::CommandPortDevice device_;
  devsim::CommandListener listener_{&device_};
  std::mutex mutex_;
  std::atomic<bool> quit_{false};
  bool ok_ = false;
  uint16_t port_ = 0;
  std::thread thread_;
};

}  // namespace vonderil
