// A device's data port for the relay tests: a TCP listener on 127.0.0.1
// served by a thread of its own. It echoes (or only records) what it
// receives, counts its connections and its reads, and can drop every
// connection or stop listening while the test runs. In accept-then-close
// mode it plays a port that another host holds: every connection is
// accepted and closed at once.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
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
  // Sends bytes on every open connection and closes them, all in one
  // turn, so the bytes arrive together with the FIN; from then on the
  // device is gone from the network: connection attempts get no answer
  // at all (they wait until their own time-out).
  void SendAndVanish(const std::string& bytes);
  // From now on every connection is closed as soon as it is accepted.
  void CloseOnAccept();
  // Refuses connections until ListenAgain, keeping the port, so that no
  // other test's device can take it meanwhile.
  void StopListening();
  void ListenAgain();
  // Called on the device's thread whenever bytes arrive, with everything
  // received so far.
  void OnData(std::function<void(const std::string& received)> call);

  std::string Received();
  int Connections();      // accepted so far
  int OpenConnections();  // open now
  int Reads();            // reads that returned data

 private:
  void Serve();
  void Wake();
  void GoSilent();

  tarvik::UniqueFd listen_;
  tarvik::UniqueFd wake_;
  // A listener whose one-place accept queue is taken by a connection of
  // its own: the kernel drops every further SYN.
  tarvik::UniqueFd silent_, filler_;
  uint16_t port_ = 0;
  bool echo_;
  std::atomic<bool> quit_{false};
  std::mutex mutex_;
  std::vector<int> open_;
  std::vector<std::string> outgoing_;
  bool drop_ = false;
  bool vanish_ = false;
  bool closeOnAccept_ = false;
  std::function<void(const std::string&)> onData_;
  std::string received_;
  int connections_ = 0;
  int reads_ = 0;
  std::thread thread_;
};

}  // namespace vonderil
