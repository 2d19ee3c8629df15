// The configuration types the panes work on, and the few accessors the panes
// use for the bit fields of a port mapping.
#pragma once
#include <cstdint>

// Until the configuration library's header is available, the record layout
// is declared here with its fixed size.
namespace tarvik::app {

struct PortMapping {
  uint32_t ComNo;
  uint32_t Options;
};

struct ServerRecord {
  uint32_t PortNo;
  uint32_t IPAddress;
  uint32_t IPAddress2;
  char ServerName[50];
  char AliasName[50];
  PortMapping PortMap[70];
  uint32_t KeepAliveTime;
  uint32_t ConnectionBroken;
  uint32_t ConnectTimeout;
  uint32_t TcpPortCmd;
  uint32_t TcpPort7000;
  uint8_t Slotted;
  uint8_t SecondPort;
  int8_t SlotCount;
  uint8_t SlotPorts[13];
  char PW[90];
  char HostName[128];
};
static_assert(sizeof(ServerRecord) == 928, "server record size");

struct ConfigSet {
  uint32_t Servers;
  uint32_t Ports;
  uint32_t Flags;
  ServerRecord Records[4095];
  uint32_t SizeStamp;
};
static_assert(sizeof(ConfigSet) == 3800176, "configuration set size");

constexpr uint32_t kServerRecordSize = 928;
constexpr uint32_t kConfigSetSize = 3800176;
constexpr int kMaxServers = 4095;
constexpr int kPortEntries = 70;

inline uint32_t ComWord(const ServerRecord& r, int entry) { return r.PortMap[entry].ComNo; }
inline void SetComWord(ServerRecord& r, int entry, uint32_t w) { r.PortMap[entry].ComNo = w; }

// Fields of a COM word.
inline uint32_t ComNumber(uint32_t w) { return w & 0xFFFu; }
inline uint32_t DevicePortNumber(uint32_t w) { return (w >> 13) & 0x7Fu; }
inline bool FixedConfig(uint32_t w) { return (w >> 20) & 1u; }
inline uint32_t IndexInSlot(uint32_t w) { return (w >> 21) & 0x3Fu; }
inline uint32_t SlotNumber(uint32_t w) { return (w >> 27) & 0x1Fu; }
constexpr uint32_t kFixedConfigBit = 1u << 20;

}  // namespace tarvik::app
