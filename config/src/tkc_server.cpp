// Exports that work on one server record.
#include <cstring>

#include "server_name_parser.h"
#include "server_reader.h"
#include "server_writer.h"
#include "store_keys.h"
#include "tarvikcfg.h"

using tarvik::RegKey;
using tarvik::RegTransaction;

uint16_t Tkc_ParseServerInfo(TkcServerRecord* record, uint32_t size) {
  if (!record || size != TKC_RECORD_SIZE) return TKC_ERR_SIZE;
  return tkc::ParseServerName(record);
}

uint16_t Tkc_RegReadOneServer(uint32_t index, TkcServerRecord* record, uint32_t size) {
  if (!record || size != TKC_RECORD_SIZE) return TKC_ERR_SIZE;
  std::memset(record, 0, sizeof(*record));
  uint16_t status = TKC_OK;
  bool pwMissing = false;
  {
    // One snapshot, so that a writer in another process never gives us
    // half of its record.
    RegTransaction snapshot(RegTransaction::Mode::kRead);
    if (snapshot.Status() != tarvik::kErrorSuccess) return TKC_ERR_PARAMETER_KEY;
    RegKey params;
    if (!tkc::OpenParameterKey(&params)) return TKC_ERR_PARAMETER_KEY;
    RegKey server;
    if (server.Open(params, tkc::ServerSubkeyName(index), tarvik::RegAccess::kFullAccess) !=
        tarvik::kErrorSuccess) {
      return TKC_ERR_PARAMETER_KEY;
    }
    status = tkc::ReadServerValues(server, record, &pwMissing);
  }
  if (pwMissing) {
    // The missing "PW" is created after the snapshot: a read scope cannot
    // take the write lock without risking a conflict with another writer.
    RegTransaction tx(RegTransaction::Mode::kWrite);
    RegKey params;
    uint16_t fix = TKC_ERR_SERVER_VALUE;
    if (tx.Status() == tarvik::kErrorSuccess && tkc::OpenParameterKey(&params)) {
      fix = tkc::CreateEmptyPw(params, index);
      if (fix == TKC_OK && tx.Commit() != tarvik::kErrorSuccess) fix = TKC_ERR_SERVER_VALUE;
    }
    if (fix != TKC_OK) {
      std::memset(record, 0, sizeof(*record));
      return fix;
    }
  }
  return status;
}

uint16_t Tkc_RegWriteOneServer(uint32_t index, TkcServerRecord* record, uint32_t size) {
  if (!record || size != TKC_RECORD_SIZE) return TKC_ERR_SIZE;
  if (record->PortNo > TKC_MAX_DATA_PORTS) return TKC_ERR_PORTS;
  RegTransaction tx(RegTransaction::Mode::kWrite);
  if (tx.Status() != tarvik::kErrorSuccess) return TKC_ERR_PARAMETER_KEY;
  RegKey params;
  if (!tkc::OpenParameterKey(&params)) return TKC_ERR_PARAMETER_KEY;
  const uint16_t status = tkc::WriteServer(params, index, record);
  if (status == TKC_ERR_SERVER_KEY) {
    // Nothing was written; ending the scope cleanly keeps a caller's
    // enclosing transaction alive.
    tx.Commit();
    return status;
  }
  if (status != TKC_OK) return status;  // a failed value write: the scope rolls back
  tkc::ValueWriter out(params);
  tkc::RaiseChangeCount(params, &out);
  if (out.Status() != tarvik::kErrorSuccess) return TKC_ERR_PARAMETER_KEY;
  return tx.Commit() == tarvik::kErrorSuccess ? TKC_OK : TKC_ERR_PARAMETER_KEY;
}
