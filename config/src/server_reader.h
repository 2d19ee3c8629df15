// Reading one server subkey into a server record, and the one write that
// reading may need (an empty "PW" where it is missing).
#pragma once
#include <cstdint>

#include "tarvik/registry.h"
#include "tarvikcfg.h"

namespace tkc {

// Reads the values of the open subkey `server` into *record (zeroed
// first). Returns TKC_OK, or TKC_ERR_SERVER_VALUE with the record zeroed.
// Reads only, so it may run inside a read snapshot: *pwMissing tells that
// the store's "PW" is missing or too long and must be created empty
// (CreateEmptyPw); the record's PW is then empty.
uint16_t ReadServerValues(const tarvik::RegKey& server, TkcServerRecord* record, bool* pwMissing);

// Inside a write transaction: writes "PW" of the subkey of server `index`
// as an empty string unless it now holds a text that fits, and reads it
// back. Returns TKC_OK; TKC_ERR_SERVER_VALUE when that fails. A subkey that
// is gone meanwhile needs nothing and gives TKC_OK.
uint16_t CreateEmptyPw(const tarvik::RegKey& params, uint64_t index);

// "DataProtocol" of the open subkey `server`: 1 for RFC 2217, else 0
// (missing, or a value this library does not know).
uint8_t ReadDataProtocol(const tarvik::RegKey& server);

}  // namespace tkc
