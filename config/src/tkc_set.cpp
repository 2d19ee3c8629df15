// Exports that work on the whole configuration set.
#include <strings.h>

#include <cstring>
#include <vector>

#include "com_usage.h"
#include "server_reader.h"
#include "server_writer.h"
#include "store_keys.h"
#include "tarvikcfg.h"
#include "whole_set.h"

using tarvik::kErrorSuccess;
using tarvik::RegKey;
using tarvik::RegTransaction;

namespace {

constexpr uint32_t kNoRecord = UINT32_MAX;

// A server whose "PW" must be created empty after the snapshot, and the
// record it was read into (kNoRecord when its read failed anyway).
struct PwFix {
  uint32_t subkeyIndex;
  uint32_t record;
};

// Creates the missing "PW" values in one commit. Returns the records of
// the servers whose "PW" could not be created: none, or all of them when
// the store failed (it fails whole, so no server is kept on a half-made fix).
std::vector<uint32_t> CreateMissingPw(const std::vector<PwFix>& fixes) {
  RegTransaction tx(RegTransaction::Mode::kWrite);
  RegKey params;
  bool ok = tx.Status() == kErrorSuccess && tkc::OpenParameterKey(&params);
  for (size_t i = 0; ok && i < fixes.size(); ++i) {
    ok = tkc::CreateEmptyPw(params, fixes[i].subkeyIndex) == TKC_OK;
  }
  if (ok) ok = tx.Commit() == kErrorSuccess;
  std::vector<uint32_t> failed;
  if (!ok) {
    for (const PwFix& fix : fixes) {
      if (fix.record != kNoRecord) failed.push_back(fix.record);
    }
  }
  return failed;
}

// Removes the records listed (ascending) from set->Records[0..*count), and
// their entries from protocols (may be null).
void DropRecords(TkcConfigSet* set, uint8_t* protocols, const std::vector<uint32_t>& drop,
                 uint32_t* count) {
  uint32_t out = 0;
  size_t next = 0;
  for (uint32_t in = 0; in < *count; ++in) {
    if (next < drop.size() && drop[next] == in) {
      ++next;
      continue;
    }
    if (out != in) {
      set->Records[out] = set->Records[in];
      if (protocols) protocols[out] = protocols[in];
    }
    ++out;
  }
  for (uint32_t i = out; i < *count; ++i) {
    std::memset(&set->Records[i], 0, sizeof(set->Records[i]));
    if (protocols) protocols[i] = TKC_DATA_PROTOCOL_RAW;
  }
  *count = out;
}

uint32_t DataPorts(const TkcServerRecord& record) {
  return record.PortNo > TKC_MAX_DATA_PORTS ? TKC_MAX_DATA_PORTS : record.PortNo;
}

// "Server<n>" with n in 1..servers, as the subkeys are named (any case).
bool IsServerSubkey(const char* name, uint32_t servers) {
  if (strncasecmp(name, "Server", 6) != 0) return false;
  const char* digits = name + 6;
  if (*digits < '1' || *digits > '9') return false;
  uint64_t n = 0;
  for (const char* p = digits; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    n = n * 10 + uint64_t(*p - '0');
    if (n > servers) return false;
  }
  return true;
}

}  // namespace

namespace tkc {

uint16_t ReadWholeSet(TkcConfigSet* set, uint8_t* protocols) {
  if (protocols) std::memset(protocols, 0, TKC_MAX_SERVERS);
  uint16_t lastFailure = TKC_OK;
  uint32_t count = 0;
  std::vector<PwFix> fixes;
  {
    // The whole read sees one state of the store, however writers in other
    // processes interleave.
    RegTransaction snapshot(RegTransaction::Mode::kRead);
    if (snapshot.Status() != kErrorSuccess) return TKC_ERR_PARAMETER_KEY;
    RegKey params;
    if (!tkc::OpenParameterKey(&params)) return TKC_ERR_PARAMETER_KEY;
    tkc::ReadCounts(params, &set->Servers, &set->Ports, &set->Flags);
    for (uint32_t index = 0; index < set->Servers && index < TKC_MAX_SERVERS; ++index) {
      TkcServerRecord* record = &set->Records[count];
      RegKey server;
      uint16_t status = TKC_ERR_PARAMETER_KEY;
      bool pwMissing = false;
      if (server.Open(params, tkc::ServerSubkeyName(index), tarvik::RegAccess::kFullAccess) ==
          kErrorSuccess) {
        status = tkc::ReadServerValues(server, record, &pwMissing);
      } else {
        std::memset(record, 0, sizeof(*record));
      }
      if (pwMissing) fixes.push_back({index, status == TKC_OK ? count : kNoRecord});
      if (status == TKC_OK) {
        if (protocols) protocols[count] = tkc::ReadDataProtocol(server);
        ++count;
      } else {
        lastFailure = status;
      }
    }
  }
  if (!fixes.empty()) {
    const std::vector<uint32_t> failed = CreateMissingPw(fixes);
    if (!failed.empty()) {
      DropRecords(set, protocols, failed, &count);
      lastFailure = TKC_ERR_SERVER_VALUE;
    }
  }

  uint32_t ports = 0;
  for (uint32_t i = 0; i < count; ++i) ports += set->Records[i].PortNo + 1;
  set->Servers = count;
  set->Ports = ports;
  // Stores from before the format marker kept other meanings in bit 12.
  if (!(set->Flags & TKC_FLAGS_FORMAT_MARKER)) {
    for (uint32_t i = 0; i < count; ++i) {
      TkcServerRecord& record = set->Records[i];
      for (uint32_t e = 0; e <= DataPorts(record) + 1; ++e) {
        record.PortMap[e].Com = TkcComSetDisablePurge(record.PortMap[e].Com, 0);
      }
    }
  }
  return lastFailure;
}

uint16_t WriteWholeSet(TkcConfigSet* set, const uint8_t* protocols) {
  RegTransaction tx(RegTransaction::Mode::kWrite);
  if (tx.Status() != kErrorSuccess) return TKC_ERR_PARAMETER_KEY;
  RegKey params;
  if (!tkc::OpenParameterKey(&params)) return TKC_ERR_PARAMETER_KEY;
  uint32_t written = 0;
  uint32_t ports = 0;
  const uint32_t servers = set->Servers < TKC_MAX_SERVERS ? set->Servers : TKC_MAX_SERVERS;
  for (uint32_t i = 0; i < servers; ++i) {
    TkcServerRecord& record = set->Records[i];
    const uint16_t status = tkc::WriteServer(params, written, &record);
    if (status == TKC_ERR_PARAMETER_KEY) return status;  // the scope rolls back
    if (status != TKC_OK) continue;                       // this record is skipped
    // The protocol follows its record to whatever subkey the record got.
    if (protocols && tkc::WriteDataProtocol(params, written, protocols[i]) != TKC_OK) {
      return TKC_ERR_PARAMETER_KEY;
    }
    ++written;
    ports += record.PortNo + 1;
  }
  tkc::ValueWriter out(params);
  out.Dword("Servers", written);
  out.Dword("Ports", ports);
  out.Dword("Flags", set->Flags);
  tkc::RaiseChangeCount(params, &out);
  if (out.Status() != kErrorSuccess || tx.Commit() != kErrorSuccess) return TKC_ERR_PARAMETER_KEY;
  set->Servers = written;
  set->Ports = ports;
  return TKC_OK;
}

}  // namespace tkc

namespace {

bool ProtocolArrayFits(const uint8_t* protocols, uint32_t count) {
  return protocols && count == TKC_MAX_SERVERS;
}

}  // namespace

uint16_t Tkc_RegReadAll(TkcConfigSet* set) {
  if (!set || set->SizeStamp != TKC_SET_SIZE) return TKC_ERR_SIZE;
  return tkc::ReadWholeSet(set, nullptr);
}

uint16_t Tkc_RegReadAllWithProtocols(TkcConfigSet* set, uint8_t* protocols, uint32_t count) {
  if (!set || set->SizeStamp != TKC_SET_SIZE || !ProtocolArrayFits(protocols, count)) {
    return TKC_ERR_SIZE;
  }
  return tkc::ReadWholeSet(set, protocols);
}

uint16_t Tkc_RegWriteAll(TkcConfigSet* set) {
  if (!set || set->SizeStamp != TKC_SET_SIZE) return TKC_ERR_SIZE;
  return tkc::WriteWholeSet(set, nullptr);
}

uint16_t Tkc_RegWriteAllWithProtocols(TkcConfigSet* set, const uint8_t* protocols,
                                      uint32_t count) {
  if (!set || set->SizeStamp != TKC_SET_SIZE || !ProtocolArrayFits(protocols, count)) {
    return TKC_ERR_SIZE;
  }
  const uint32_t servers = set->Servers < TKC_MAX_SERVERS ? set->Servers : TKC_MAX_SERVERS;
  for (uint32_t i = 0; i < servers; ++i) {
    if (protocols[i] > TKC_DATA_PROTOCOL_RFC2217) return TKC_ERR_SIZE;
  }
  return tkc::WriteWholeSet(set, protocols);
}

uint16_t Tkc_RegDeleteAll(void) {
  RegTransaction tx(RegTransaction::Mode::kWrite);
  if (tx.Status() != kErrorSuccess) return TKC_ERR_PARAMETER_KEY;
  RegKey params;
  if (!tkc::OpenParameterKey(&params)) return TKC_ERR_PARAMETER_KEY;
  uint32_t servers = 0;
  if (params.QueryDword("Servers", &servers) != kErrorSuccess || servers == 0) {
    tx.Commit();
    return TKC_OK;
  }
  // The subkeys are found by listing them, so that a huge stored count
  // costs no more than the keys that exist.
  std::vector<std::string> doomed;
  char name[256];
  for (uint32_t i = 0;; ++i) {
    uint32_t size = sizeof(name);
    const tarvik::LSTATUS st = params.EnumKey(i, name, &size);
    if (st == tarvik::kErrorNoMoreItems) break;
    if (st == tarvik::kErrorMoreData) continue;
    if (st != kErrorSuccess) return TKC_ERR_PARAMETER_KEY;
    if (IsServerSubkey(name, servers)) doomed.emplace_back(name);
  }
  for (const std::string& sub : doomed) {
    const tarvik::LSTATUS st = params.DeleteSubKey(sub);
    // A server subkey with subkeys of its own stays, as it always has.
    if (st != kErrorSuccess && st != tarvik::kErrorKeyHasChildren && st != tarvik::kErrorFileNotFound) {
      return TKC_ERR_PARAMETER_KEY;
    }
  }
  tkc::ValueWriter out(params);
  out.Dword("Servers", 0);
  out.Dword("Ports", 0);
  tkc::RaiseChangeCount(params, &out);
  if (out.Status() != kErrorSuccess || tx.Commit() != kErrorSuccess) return TKC_ERR_PARAMETER_KEY;
  return TKC_OK;
}

uint16_t Tkc_RegReadOtherSerial(uint8_t* map, const TkcConfigSet* set, uint32_t size) {
  if (!map || !set || size != TKC_SET_SIZE) return TKC_ERR_SIZE;
  std::memset(map, 0, TKC_MAX_COM);
  tkc::ComSet named;
  if (tkc::ReadSerialListComs(&named) != TKC_OK) return TKC_ERR_SERIAL_LIST;
  for (uint32_t com = 1; com <= TKC_MAX_COM; ++com) map[com - 1] = named.test(com) ? 1 : 0;
  // Our own virtual ports are not "other" serial ports.
  const uint32_t servers = set->Servers < TKC_MAX_SERVERS ? set->Servers : TKC_MAX_SERVERS;
  for (uint32_t s = 0; s < servers; ++s) {
    const TkcServerRecord& record = set->Records[s];
    for (uint32_t e = 0; e <= DataPorts(record) + 1; ++e) {
      if (e == 1) continue;
      const uint32_t com = TkcComNumber(record.PortMap[e].Com);
      if (com != 0) map[com - 1] = 0;
    }
  }
  return TKC_OK;
}
