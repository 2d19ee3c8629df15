#include "driver_parameters.h"

#include <algorithm>
#include <map>

#include "tarvik/registry.h"
#include "tarvik/text.h"

namespace vonderil {

namespace {

constexpr uint32_t kMaxServers = 4095;
constexpr uint32_t kMaxDataPorts = 68;
constexpr uint32_t kComMask = 0xFFF;

uint32_t DwordOr(const tarvik::RegKey& key, const std::string& name, uint32_t fallback) {
  uint32_t value = 0;
  return key.QueryDword(name, &value) == tarvik::kErrorSuccess ? value : fallback;
}

uint32_t TcpPortOr(const tarvik::RegKey& key, const char* name, uint32_t fallback) {
  uint32_t port = DwordOr(key, name, fallback);
  return port >= 10 && port <= 65500 ? port : fallback;
}

MappedPort PortFrom(uint32_t comWord, uint32_t optionsWord) {
  MappedPort p;
  p.comNumber = comWord & kComMask;
  p.disablePurge = (comWord >> 12) & 1;
  p.devicePort = (comWord >> 13) & 0x7F;
  p.fixedConfig = (comWord >> 20) & 1;
  p.writeBuffer = optionsWord & 1;
  uint32_t flush = (optionsWord >> 1) & 0x1FF;
  p.autoFlushMs = (flush == 0 || flush > 500 ? 5 : flush) * 10;
  return p;
}

}  // namespace

DriverOptions OptionsFromFlags(uint32_t flags) {
  DriverOptions o;
  o.fastOpen = (flags >> 1) & 1;
  o.ignoreWriteError = (flags >> 2) & 1;
  o.closeDelayMs = ((flags >> 3) & 0x7F) * 10;
  return o;
}

std::string DottedAddress(uint32_t a) {
  char text[16];
  tarvik::FormatText(text, sizeof text, "%u.%u.%u.%u", a & 0xFF, (a >> 8) & 0xFF, (a >> 16) & 0xFF,
                     a >> 24);
  return text;
}

DriverParameters ReadDriverParameters(const std::string& serviceName) {
  DriverParameters result;
  // One snapshot, so a utility writing the store meanwhile cannot hand us
  // half of its change.
  tarvik::RegTransaction snapshot(tarvik::RegTransaction::Mode::kRead);
  tarvik::RegKey parameter;
  const std::string path = "SYSTEM\\CurrentControlSet\\Services\\" + serviceName + "\\Parameter";
  if (parameter.Open(path, tarvik::RegAccess::kRead) != tarvik::kErrorSuccess) return result;
  result.keyFound = true;
  result.flags = DwordOr(parameter, "Flags", 0);
  uint32_t servers = DwordOr(parameter, "Servers", 0);
  if (servers > kMaxServers) servers = 0;

  std::map<uint32_t, MappedPort> byCom;
  char name[64];
  for (uint32_t n = 1; n <= servers; ++n) {
    tarvik::RegKey server;
    tarvik::FormatText(name, sizeof name, "Server%u", n);
    uint32_t address = 0, portCount = 0;
    char serverName[51] = "";
    if (server.Open(parameter, name, tarvik::RegAccess::kRead) != tarvik::kErrorSuccess ||
        server.QueryDword("IPAddress", &address) != tarvik::kErrorSuccess ||
        server.QueryDword("PortNo", &portCount) != tarvik::kErrorSuccess ||
        server.QueryString("ServerName", serverName, sizeof serverName) != tarvik::kErrorSuccess) {
      result.notes.push_back(std::string(name) + " skipped: IPAddress, PortNo or ServerName missing");
      continue;
    }
    ++result.servers;
    if (portCount > kMaxDataPorts) {
      result.notes.push_back(std::string(name) + ": PortNo " + std::to_string(portCount) +
                             " cut to 68");
      portCount = kMaxDataPorts;
    }
    const uint32_t address2 = DwordOr(server, "IPAddress2", 0);
    const uint32_t tcpCmd = TcpPortOr(server, "TcpPortCmd", 10000);
    const uint32_t tcpIo = TcpPortOr(server, "TcpPort7000", 9999);
    const uint32_t keepAlive = DwordOr(server, "KeepAliveTime", 120000);
    const uint32_t broken = DwordOr(server, "ConnectionBroken", 180000);
    const uint32_t connectTimeout = DwordOr(server, "ConnectTimeout", 5000);
    // Missing or 0: raw TCP. A value this driver does not know is taken as
    // raw too, since raw is what a server without the value gets.
    const uint32_t protocolValue = DwordOr(server, "DataProtocol", 0);
    if (protocolValue > 1) {
      result.notes.push_back(std::string("Server") + std::to_string(n) + ": DataProtocol " +
                             std::to_string(protocolValue) + " unknown, raw TCP used");
    }
    const MappedPort::Protocol protocol =
        protocolValue == 1 ? MappedPort::Protocol::kRfc2217 : MappedPort::Protocol::kRaw;
    // A store the utility has never read still carries DisablePurge bits of
    // an older meaning; the utility's own reader drops them the same way.
    const bool formatMarker = result.flags & 1;

    std::vector<MappedPort> ports;
    ports.push_back(PortFrom(DwordOr(server, "ComNoIO", 0) & 0x1FFF, 0));
    ports.back().devicePort = 0;
    for (uint32_t i = 1; i <= portCount; ++i) {
      tarvik::FormatText(name, sizeof name, "ComNo%u", i);
      uint32_t word = DwordOr(server, name, 0);
      // Stores of old kept a plain COM number; the port is then data port i.
      if (word != 0 && word < 257) word = word | (i << 13);
      tarvik::FormatText(name, sizeof name, "ComOA%u", i);
      ports.push_back(PortFrom(word, DwordOr(server, name, 5u << 1)));
    }
    for (MappedPort& p : ports) {
      if (p.comNumber == 0) continue;
      p.server = n;
      p.serverName = serverName;
      p.address = address;
      p.address2 = address2;
      p.tcpPort = p.devicePort == 0 ? tcpIo : tcpCmd + p.devicePort;
      p.tcpPortCmd = tcpCmd;
      p.keepAliveMs = keepAlive;
      p.connectionBrokenMs = broken;
      p.connectTimeoutMs = connectTimeout;
      p.protocol = protocol;
      if (!formatMarker) p.disablePurge = false;
      auto inserted = byCom.emplace(p.comNumber, p);
      if (!inserted.second) {
        result.notes.push_back("COM" + std::to_string(p.comNumber) + " of Server" + std::to_string(n) +
                               " skipped: already mapped by Server" +
                               std::to_string(inserted.first->second.server));
      }
    }
  }
  for (auto& entry : byCom) result.ports.push_back(entry.second);
  return result;
}

}  // namespace vonderil
