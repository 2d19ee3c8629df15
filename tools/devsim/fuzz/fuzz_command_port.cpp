// Feeds arbitrary bytes to a simulated device's command port, in pieces as
// a connection would deliver them, with echo on and off, a locked device
// and a hostile one, and checks that every reply keeps the reply form (CR at the end).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "command_port.h"
#include "hostile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  devsim::CommandPortSettings settings;
  settings.echo = (data[0] & 1) != 0;
  settings.password = (data[0] & 2) != 0 ? "s3cret" : "";
  settings.lockSupported = (data[0] & 4) == 0;
  settings.keyText = (data[0] & 8) != 0 ? "K" : "";
  settings.ports.resize(1 + data[0] % 68);
  settings.hostile = (data[0] & 16) != 0 ? devsim::kHostileAll : devsim::kHostileNone;
  devsim::CommandPortDevice device(settings);
  devsim::CommandConnection connection;
  std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  // Bytes up to each 0xFF arrive as one chunk.
  while (!bytes.empty()) {
    const size_t cut = bytes.find('\xFF');
    const std::string_view chunk = bytes.substr(0, cut);
    bool reset = false;
    for (const auto& reply : device.HandleReceived(connection, chunk, &reset)) {
      if (reply.bytes.empty() || reply.bytes.back() != '\r') __builtin_trap();
      if (reply.splitAt > reply.bytes.size()) __builtin_trap();
    }
    for (const auto& port : device.Settings().ports) {
      if (port.format.size() != 3 || port.baud.empty()) __builtin_trap();
    }
    if (cut == std::string_view::npos) break;
    bytes.remove_prefix(cut + 1);
  }
  return 0;
}
