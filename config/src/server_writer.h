// Writing one server record into its subkey.
#pragma once
#include <cstdint>

#include "tarvik/registry.h"
#include "tarvikcfg.h"

namespace tkc {

// Writes *record as server `index` under the open Parameter key. The caller
// holds the write transaction. Also changes *record: the forced FixedConfig
// of two models and entry 0 reduced to COM number, DisablePurge and
// FixedConfig. Returns TKC_OK; TKC_ERR_PORTS (PortNo above 68, nothing
// written, record unchanged); TKC_ERR_SERVER_KEY (subkey cannot be created,
// nothing written); TKC_ERR_PARAMETER_KEY (a value write failed: the caller
// must roll back).
uint16_t WriteServer(tarvik::RegKey& params, uint64_t index, TkcServerRecord* record);

// Writes "DataProtocol" (0 or 1) of server `index`, whose subkey must
// exist, under the open Parameter key; the caller holds the transaction.
// Returns TKC_OK; TKC_ERR_PARAMETER_KEY (no such subkey, or the write
// failed: the caller must roll back).
uint16_t WriteDataProtocol(const tarvik::RegKey& params, uint64_t index, uint32_t protocol);

}  // namespace tkc
