// A simulated device's command port on a loopback address, served from a
// thread of its own so that a session in the test's thread can talk to it.
// The device is shared with that thread: reach it only through WithDevice.
#pragma once
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "command_listener.h"
#include "command_port.h"

class CommandServer {
 public:
  // port 0: one the system picks (Port() tells it).
  explicit CommandServer(devsim::CommandPortSettings settings, uint16_t port = 0)
      : device_(std::move(settings)), listener_(&device_) {
    device_.Settings().tcpPortCmd = port;
    std::string error;
    if (!listener_.Open(&error)) throw std::runtime_error(error);
    if (::pipe(wake_) != 0) throw std::runtime_error("pipe");
    thread_ = std::thread([this] { Run(); });
  }
  ~CommandServer() {
    stop_ = true;
    Wake();
    thread_.join();
    ::close(wake_[0]);
    ::close(wake_[1]);
  }

  uint16_t Port() {
    std::lock_guard<std::mutex> lock(mutex_);
    return listener_.Port();
  }
  void WithDevice(const std::function<void(devsim::CommandPortDevice&)>& action) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      action(device_);
      listener_.Sync();
    }
    Wake();  // settings may have changed what the listener should do
  }
  // Waits (up to 5 s) until the device satisfies condition; for what a
  // client sent without waiting for an answer.
  bool WaitUntil(const std::function<bool(devsim::CommandPortDevice&)>& condition) {
    for (int i = 0; i < 500; ++i) {
      bool met = false;
      WithDevice([&](devsim::CommandPortDevice& d) { met = condition(d); });
      if (met) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  std::string Received() {
    std::string bytes;
    WithDevice([&](devsim::CommandPortDevice& d) { bytes = d.Received(); });
    return bytes;
  }
  void ClearReceived() {
    WithDevice([](devsim::CommandPortDevice& d) { d.ClearReceived(); });
  }

 private:
  void Wake() {
    const char byte = 1;
    (void)!::write(wake_[1], &byte, 1);
  }
  void Run() {
    while (!stop_) {
      std::vector<pollfd> fds;
      int timeout;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        listener_.AddPollFds(&fds);
        timeout = listener_.NextTimeoutMs();
      }
      fds.push_back(pollfd{wake_[0], POLLIN, 0});
      ::poll(fds.data(), fds.size(), timeout);
      if (fds.back().revents & POLLIN) {
        char drain[64];
        (void)!::read(wake_[0], drain, sizeof drain);
      }
      std::lock_guard<std::mutex> lock(mutex_);
      listener_.HandlePoll(fds);
    }
  }

  std::mutex mutex_;
  devsim::CommandPortDevice device_;
  devsim::CommandListener listener_;
  int wake_[2] = {-1, -1};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};
