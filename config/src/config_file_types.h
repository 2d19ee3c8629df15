// What the configuration files need of the library's records: the record
// types, the store and driver operations they call, and the bit fields of
// the two port-mapping words.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>

#include "tarvikcfg.h"

namespace cfgfile {

using Record = TkcServerRecord;
using ConfigSet = TkcConfigSet;
// The servers' data protocols beside a set's records: entry i belongs to
// record i (TKC_MAX_SERVERS entries).
using Protocols = uint8_t[TKC_MAX_SERVERS];

constexpr uint32_t kRecordSize = 928;
constexpr uint32_t kSetSize = 3800176;
constexpr uint32_t kMaxServers = 4095;
constexpr uint32_t kMaxDataPorts = 68;
constexpr uint32_t kMaxCom = 4095;

// Status codes of the file operations.
enum : uint16_t {
  kOk = 0,
  kNoServerToExport = 2,
  kKeyFailed = 8,
  kCannotOpen = 11,
  kCannotRead = 12,
  kNoUsableIp = 13,
  kSyntax = 14,
  kComOccupied = 15,
  kComTwice = 16,
  kNoServer = 17,
  kBadVersion = 20,
  kUnknownOption = 22,
  kBadValue = 23,
  kTooMany = 25,
  kNulBytes = 26,
  kNotWellFormed = 27,
  kBadPortName = 28,
};

// Default server options.
constexpr uint32_t kDefaultKeepAlive = 120000;
constexpr uint32_t kDefaultBroken = 180000;
constexpr uint32_t kDefaultConnectTimeout = 5000;
constexpr uint32_t kDefaultTcpPortCmd = 10000;
constexpr uint32_t kDefaultTcpPortIo = 9999;
constexpr uint32_t kDefaultAutoFlush = 5;

// COM word.
constexpr uint32_t kComNumberMask = 0xFFF;
constexpr uint32_t kDisablePurge = 1u << 12;
constexpr int kDevicePortShift = 13;
constexpr uint32_t kDevicePortMask = 0x7Fu << kDevicePortShift;
constexpr uint32_t kFixedConfig = 1u << 20;
constexpr int kIndexShift = 21;
constexpr int kSlotShift = 27;
constexpr uint32_t kLowComBits = 0x1FFFFF;  // bits 0-20: what a file sets
// Options word.
constexpr uint32_t kWriteBuffer = 1;
constexpr int kAutoFlushShift = 1;
constexpr uint32_t kAutoFlushMask = 0x1FFu << kAutoFlushShift;
// Driver options word.
constexpr uint32_t kFormatMarker = 1;
constexpr uint32_t kFastOpen = 2;
constexpr uint32_t kIgnoreWriteError = 4;
constexpr int kCloseDelayShift = 3;
constexpr uint32_t kCloseDelayMask = 0x7Fu << kCloseDelayShift;

static_assert(kRecordSize == TKC_RECORD_SIZE && kSetSize == TKC_SET_SIZE && kMaxCom == TKC_MAX_COM &&
                  kMaxServers == TKC_MAX_SERVERS && kMaxDataPorts == TKC_MAX_DATA_PORTS,
              "sizes as the store has them");
static_assert(kComNumberMask == TKC_COM_NUMBER_MASK && kDisablePurge == TKC_COM_DISABLE_PURGE &&
                  kDevicePortMask == TKC_COM_DEVPORT_MASK && kFixedConfig == TKC_COM_FIXED_CONFIG &&
                  kIndexShift == TKC_COM_INDEX_SHIFT && kSlotShift == TKC_COM_SLOT_SHIFT &&
                  kAutoFlushMask == TKC_OPT_AUTOFLUSH_MASK && kCloseDelayMask == TKC_FLAGS_CLOSE_DELAY_MASK,
              "port-mapping bits as the store has them");

inline uint32_t& ComWord(Record& r, int entry) { return r.PortMap[entry].Com; }
inline uint32_t ComWord(const Record& r, int entry) { return r.PortMap[entry].Com; }
inline uint32_t& OptionsWord(Record& r, int entry) { return r.PortMap[entry].Options; }
inline uint32_t OptionsWord(const Record& r, int entry) { return r.PortMap[entry].Options; }

inline uint32_t ComNumber(uint32_t com) { return com & kComNumberMask; }
inline uint32_t DevicePort(uint32_t com) { return (com & kDevicePortMask) >> kDevicePortShift; }
inline uint32_t AutoFlush(uint32_t options) { return (options & kAutoFlushMask) >> kAutoFlushShift; }

// A fixed text field as a string, even if it lacks its NUL.
template <size_t N>
std::string FieldText(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

// A new record as both readers start it: default options, FixedConfig on
// the I/O and command entries.
void InitRecord(Record* r);

// "a.b.c.d" with the first octet in the low byte.
std::string DottedAddress(uint32_t address);

}  // namespace cfgfile
