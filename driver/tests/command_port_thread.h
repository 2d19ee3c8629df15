// A device's command port on loopback for the relay's tests: the
// simulator's threaded CommandServer, with two serial ports at 9600 7E1, on
// the port given (0: one the system picks). The relay tests need a fixed
// one, beside the data port that follows it.
#pragma once
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "command_server.h"

namespace vonderil {

class CommandPortThread {
 public:
  explicit CommandPortThread(uint16_t port,
                             const std::function<void(devsim::CommandPortSettings*)>& adjust = {}) {
    devsim::CommandPortSettings settings;
    settings.ip = "127.0.0.1";
    settings.ports = std::vector<devsim::SerialPortSettings>(2, {"9600", "7E1"});
    if (adjust) adjust(&settings);
    try {
      server_ = std::make_unique<CommandServer>(settings, port);
    } catch (const std::exception&) {
      // Ok() tells the test; a port another test holds is not a crash.
    }
  }
  bool Ok() const { return server_ != nullptr; }
  uint16_t Port() { return server_ ? server_->Port() : 0; }
  std::string Received() { return server_ ? server_->Received() : std::string(); }

 private:
  std::unique_ptr<CommandServer> server_;
};

}  // namespace vonderil
