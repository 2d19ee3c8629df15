// Exports for the data protocol of one server, kept in its subkey beside
// the record's values.
#include "server_reader.h"
#include "server_writer.h"
#include "store_keys.h"
#include "tarvikcfg.h"

using tarvik::kErrorSuccess;
using tarvik::RegKey;
using tarvik::RegTransaction;

uint16_t Tkc_RegGetDataProtocol(uint32_t index, uint32_t* protocol) {
  if (!protocol) return TKC_ERR_SIZE;
  *protocol = TKC_DATA_PROTOCOL_RAW;
  RegKey params;
  if (!tkc::OpenParameterKey(&params)) return TKC_ERR_PARAMETER_KEY;
  RegKey server;
  if (server.Open(params, tkc::ServerSubkeyName(index), tarvik::RegAccess::kRead) != kErrorSuccess) {
    return TKC_ERR_PARAMETER_KEY;
  }
  *protocol = tkc::ReadDataProtocol(server);
  return TKC_OK;
}

uint16_t Tkc_RegSetDataProtocol(uint32_t index, uint32_t protocol) {
  if (protocol > TKC_DATA_PROTOCOL_RFC2217) return TKC_ERR_SIZE;
  RegTransaction tx(RegTransaction::Mode::kWrite);
  if (tx.Status() != kErrorSuccess) return TKC_ERR_PARAMETER_KEY;
  RegKey params;
  if (!tkc::OpenParameterKey(&params)) return TKC_ERR_PARAMETER_KEY;
  RegKey server;
  if (server.Open(params, tkc::ServerSubkeyName(index), tarvik::RegAccess::kRead) != kErrorSuccess) {
    // Nothing was written; ending the scope cleanly keeps a caller's
    // enclosing transaction alive.
    tx.Commit();
    return TKC_ERR_PARAMETER_KEY;
  }
  if (tkc::WriteDataProtocol(params, index, protocol) != TKC_OK) return TKC_ERR_PARAMETER_KEY;
  tkc::ValueWriter out(params);
  tkc::RaiseChangeCount(params, &out);
  if (out.Status() != kErrorSuccess) return TKC_ERR_PARAMETER_KEY;
  return tx.Commit() == kErrorSuccess ? TKC_OK : TKC_ERR_PARAMETER_KEY;
}
