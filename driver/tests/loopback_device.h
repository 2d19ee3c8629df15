// A device's data port for the relay tests: a TCP listener on 127.0.0.1
// served by a thread of its own. It echoes (or only records) what it
// receives, counts its connections and its reads, and can drop every
// connection or stop listening while the test runs.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tarvik/unique_fd.h"

namespace vonderil {

class LoopbackDevice {
 public:
  // Listens on port (0: any free port) of 127.0.0.1.
  explicit LoopbackDevice(uint16_t port = 0, bool echo = true);
  ~LoopbackDevice();
  LoopbackDevice(const LoopbackDevice&) = delete;
  LoopbackDevice& operator=(const LoopbackDevice&) = delete;

  bool Ok() const { return listen_.Valid(); }
  uint16_t Port() const { return port_; }

  // Sends bytes on every open connection.
  void Send(const std::string& bytes);
  // Closes every open connection.
  void DropConnections();

  std::string Received();
  int Connections();      // accepted so far
  int OpenConnections();  // open now
  int Reads();            // reads that returned data

 private:
  void Serve();
  void Wake();

  tarvik::UniqueFd listen_;
  tarvik::UniqueFd wake_;
  uint16_t port_ = 0;
  bool echo_;
  std::atomic<bool> quit_{false};
  std::mutex mutex_;
  std::vector<int> open_;
  std::vector<std::string> outgoing_;
  bool drop_ = false;
  std::string received_;
  int connections_ = 0;
  int reads_ = 0;
  std::thread thread_;
};

}  // namespace vonderil
