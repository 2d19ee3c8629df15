// Which COM numbers the store's content takes: the ports of its servers and
// the system's other serial ports. Shared by the occupied-COM map and by
// adding a server, which must decide under its write lock.
#pragma once
#include <bitset>
#include <cstdint>

#include "tarvik/registry.h"
#include "tarvikcfg.h"

namespace tkc {

// Bit n for COM n (1..4095); bit 0 is never set.
using ComSet = std::bitset<TKC_MAX_COM + 1>;

// The COM numbers that the system's serial-port list names ("COM%d", upper
// case, the number taken modulo 65536). Returns TKC_OK, or
// TKC_ERR_SERIAL_LIST when the list cannot be opened (*named is then empty).
uint16_t ReadSerialListComs(ComSet* named);

// What the server subkeys "Server1".."Server<servers>" under params hold:
// the COM numbers their ports map ("ComNoIO" and "ComNo1".."ComNo<PortNo>";
// all 68 when "PortNo" is missing, since a damaged server still holds its
// numbers) and whether one of them has IPAddress address.
struct StoredServers {
  ComSet mapped;
  bool hasAddress = false;
};
StoredServers ScanStoredServers(const tarvik::RegKey& params, uint32_t servers, uint32_t address);

}  // namespace tkc
