// What the driver takes from its Parameter key when it starts: the global
// options word and every port mapping with a COM number, resolved to the
// device address and TCP port that will carry its traffic. Read once; a
// running driver does not see later changes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vonderil {

struct MappedPort {
  uint32_t comNumber = 0;      // 1..4095
  uint32_t server = 0;         // "Server%d" number, from 1
  std::string serverName;
  uint32_t address = 0;        // IPv4, first octet in the low byte
  uint32_t address2 = 0;       // second address of the device, 0 = none
  uint32_t devicePort = 0;     // 0 = the device's I/O port, else serial port number
  uint32_t tcpPort = 0;        // TcpPortCmd + devicePort, or TcpPort7000 for the I/O port
  bool fixedConfig = false;    // keep the device's serial settings
  bool disablePurge = false;
  bool writeBuffer = false;
  uint32_t autoFlushMs = 50;
  uint32_t tcpPortCmd = 10000;        // the device's command port (line settings)
  uint32_t keepAliveMs = 120000;      // 0: no TCP keep-alive
  uint32_t connectionBrokenMs = 180000;  // how long a lost link is tried again
  uint32_t connectTimeoutMs = 5000;   // bound of one connect attempt
  // What the data connection carries: raw bytes, or RFC 2217 (the line
  // settings then travel in-band and the command port is left alone).
  enum class Protocol : uint8_t { kRaw, kRfc2217 };
  Protocol protocol = Protocol::kRaw;
};

// The driver options word ("Flags").
struct DriverOptions {
  bool fastOpen = false;          // bit 1
  bool ignoreWriteError = false;  // bit 2
  uint32_t closeDelayMs = 0;      // bits 3-9, in 10 ms units
};
DriverOptions OptionsFromFlags(uint32_t flags);

struct DriverParameters {
  bool keyFound = false;
  uint32_t flags = 0;
  uint32_t servers = 0;            // server subkeys read
  std::vector<MappedPort> ports;   // in COM-number order, each COM number once
  std::vector<std::string> notes;  // what was skipped and why
};

// Reads SYSTEM\CurrentControlSet\Services\<service>\Parameter.
DriverParameters ReadDriverParameters(const std::string& serviceName);

// "a.b.c.d"
std::string DottedAddress(uint32_t address);

}  // namespace vonderil
