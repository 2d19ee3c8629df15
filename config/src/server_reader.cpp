#include "server_reader.h"

#include <cstring>

#include "server_name_parser.h"
#include "store_keys.h"

namespace tkc {
namespace {

using tarvik::kErrorSuccess;
using tarvik::RegKey;

// Older stores kept a plain COM number below this in "ComNo%d".
constexpr uint32_t kOldComLimit = 257;

bool ReadDword(const RegKey& key, const std::string& name, uint32_t* value) {
  uint32_t v = 0;  // a shorter value leaves the rest of the word 0
  if (key.QueryDword(name, &v) != kErrorSuccess) return false;
  *value = v;
  return true;
}

uint32_t DwordOr(const RegKey& key, const std::string& name, uint32_t fallback) {
  uint32_t v = fallback;
  return ReadDword(key, name, &v) ? v : fallback;
}

// A text that is missing or does not fit leaves the field empty.
bool ReadText(const RegKey& key, const char* name, char* field, uint32_t size) {
  if (key.QueryString(name, field, size) == kErrorSuccess) return true;
  std::memset(field, 0, size);
  return false;
}

uint32_t TcpPortOr(const RegKey& key, const char* name, uint32_t fallback) {
  const uint32_t port = DwordOr(key, name, fallback);
  return port >= TKC_TCP_PORT_MIN && port <= TKC_TCP_PORT_MAX ? port : fallback;
}

uint32_t ReadOptions(const RegKey& key, uint32_t port) {
  uint32_t opt = TkcOptSetAutoFlush(0, TKC_OPT_AUTOFLUSH_DEFAULT);
  ReadDword(key, PortValueName("ComOA%u", port), &opt);
  const uint32_t flush = TkcOptAutoFlush(opt);
  if (flush == 0 || flush > TKC_OPT_AUTOFLUSH_MAX) opt = TkcOptSetAutoFlush(opt, TKC_OPT_AUTOFLUSH_DEFAULT);
  return opt;
}

// Reads the data ports' words; returns true when one came from an older
// store (a plain COM number).
bool ReadPortWords(const RegKey& key, TkcServerRecord* record) {
  bool oldStyle = false;
  for (uint32_t i = 1; i <= record->PortNo; ++i) {
    TkcPortMap& map = record->PortMap[i + 1];
    uint32_t com = 0;
    if (ReadDword(key, PortValueName("ComNo%u", i), &com) && com < kOldComLimit) {
      com = TkcComSetIndex(TkcComSetDevicePort(com, i), i);
      oldStyle = true;
    }
    map.Com = com;
    map.Options = ReadOptions(key, i);
  }
  return oldStyle;
}

// Older stores kept FixedConfig in its own value; only 0 and 1 count.
void ReadOldFixedConfig(const RegKey& key, TkcServerRecord* record) {
  for (uint32_t i = 1; i <= record->PortNo; ++i) {
    uint32_t fixed = 2;
    ReadDword(key, PortValueName("FixedConfig%u", i), &fixed);
    uint32_t& com = record->PortMap[i + 1].Com;
    com = TkcComSetFixedConfig(com, fixed == 1);
  }
}

}  // namespace

uint16_t ReadServerValues(const RegKey& server, TkcServerRecord* record, bool* pwMissing) {
  std::memset(record, 0, sizeof(*record));
  *pwMissing = false;
  // One query for the whole subkey instead of one per value; when it fails
  // the values are simply read one by one.
  server.Prefetch();
  const auto fail = [record] {
    std::memset(record, 0, sizeof(*record));
    return uint16_t(TKC_ERR_SERVER_VALUE);
  };

  if (!ReadDword(server, "IPAddress", &record->IPAddress)) return fail();
  record->IPAddress2 = DwordOr(server, "IPAddress2", 0);
  if (!ReadText(server, "ServerName", record->ServerName, sizeof(record->ServerName))) return fail();
  ReadText(server, "AliasName", record->AliasName, sizeof(record->AliasName));
  ReadText(server, "HostName", record->HostName, sizeof(record->HostName));
  *pwMissing = !ReadText(server, "PW", record->PW, sizeof(record->PW));

  // The name gives the slot fields and a provisional layout; the stored
  // port count and words then take over.
  ParseServerName(record);
  if (!ReadDword(server, "PortNo", &record->PortNo)) return fail();
  // A record holds 68 data ports; a store written by something else may
  // claim more, and those ports are cut rather than the server dropped.
  if (record->PortNo > TKC_MAX_DATA_PORTS) record->PortNo = TKC_MAX_DATA_PORTS;

  record->KeepAliveTime = DwordOr(server, "KeepAliveTime", TKC_DEFAULT_KEEP_ALIVE_MS);
  record->ConnectionBroken = DwordOr(server, "ConnectionBroken", TKC_DEFAULT_CONNECTION_BROKEN_MS);
  record->ConnectTimeout = DwordOr(server, "ConnectTimeout", TKC_DEFAULT_CONNECT_TIMEOUT_MS);
  record->TcpPortCmd = TcpPortOr(server, "TcpPortCmd", TKC_DEFAULT_TCP_PORT_CMD);
  record->TcpPort7000 = TcpPortOr(server, "TcpPort7000", TKC_DEFAULT_TCP_PORT_IO);

  record->PortMap[0].Com = DwordOr(server, "ComNoIO", 0);
  const bool oldStyle = ReadPortWords(server, record);
  record->PortMap[0].Com = TkcComSetFixedConfig(record->PortMap[0].Com, 1);
  record->PortMap[1].Com = TkcComSetFixedConfig(record->PortMap[1].Com, 1);
  if (oldStyle) ReadOldFixedConfig(server, record);
  return TKC_OK;
}

uint16_t CreateEmptyPw(const RegKey& params, uint64_t index) {
  RegKey server;
  const tarvik::LSTATUS open =
      server.Open(params, ServerSubkeyName(index), tarvik::RegAccess::kFullAccess);
  if (open == tarvik::kErrorFileNotFound) return TKC_OK;
  if (open != kErrorSuccess) return TKC_ERR_SERVER_VALUE;
  char pw[TKC_PW_SIZE];
  if (server.QueryString("PW", pw, sizeof(pw)) == kErrorSuccess) return TKC_OK;
  if (server.SetString("PW", "") != kErrorSuccess) return TKC_ERR_SERVER_VALUE;
  if (server.QueryString("PW", pw, sizeof(pw)) != kErrorSuccess) return TKC_ERR_SERVER_VALUE;
  return TKC_OK;
}

uint8_t ReadDataProtocol(const RegKey& server) {
  return DwordOr(server, kDataProtocolValue, TKC_DATA_PROTOCOL_RAW) == TKC_DATA_PROTOCOL_RFC2217
             ? TKC_DATA_PROTOCOL_RFC2217
             : TKC_DATA_PROTOCOL_RAW;
}

}  // namespace tkc
