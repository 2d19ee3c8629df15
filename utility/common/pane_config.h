// The configuration types the panes work on, and the accessors they use for
// the fields of a port mapping.
#pragma once
#include <cstdint>

#include "cfg_link.h"
#include "tarvikcfg.h"

namespace tarvik::app {

using ServerRecord = TkcServerRecord;
using ConfigSet = ::ConfigSet;  // the records and their data protocols

constexpr uint32_t kServerRecordSize = TKC_RECORD_SIZE;
constexpr uint32_t kConfigSetSize = TKC_SET_SIZE;
constexpr int kMaxServers = TKC_MAX_SERVERS;
constexpr int kPortEntries = TKC_PORTMAP_ENTRIES;

inline uint32_t ComWord(const ServerRecord& r, int entry) { return r.PortMap[entry].Com; }
inline void SetComWord(ServerRecord& r, int entry, uint32_t w) { r.PortMap[entry].Com = w; }

// Fields of a COM word.
inline uint32_t ComNumber(uint32_t w) { return TkcComNumber(w); }
inline uint32_t DevicePortNumber(uint32_t w) { return TkcComDevicePort(w); }
inline bool FixedConfig(uint32_t w) { return TkcComFixedConfig(w) != 0; }
inline uint32_t SlotNumber(uint32_t w) { return TkcField(w, TKC_COM_SLOT_MASK, TKC_COM_SLOT_SHIFT); }
constexpr uint32_t kFixedConfigBit = TKC_COM_FIXED_CONFIG;

}  // namespace tarvik::app
