#include "com_usage.h"

#include <cstring>

#include "store_keys.h"

namespace tkc {

uint16_t ReadSerialListComs(ComSet* named) {
  named->reset();
  tarvik::RegKey list;
  if (list.Open(TKC_SERIALCOMM_KEY, tarvik::RegAccess::kRead) != tarvik::kErrorSuccess) {
    return TKC_ERR_SERIAL_LIST;
  }
  for (uint32_t i = 0;; ++i) {
    char name[256];
    uint32_t nameSize = sizeof(name);
    uint8_t data[20];
    uint32_t length = sizeof(data);
    const tarvik::LSTATUS st = list.EnumValue(i, name, &nameSize, nullptr, data, &length);
    if (st == tarvik::kErrorNoMoreItems) break;
    if (st == tarvik::kErrorMoreData) continue;  // a value that does not fit is skipped
    if (st != tarvik::kErrorSuccess) break;      // the store failed: no sense in going on
    if (length < 3 || std::memcmp(data, "COM", 3) != 0) continue;
    // The number is kept modulo 65536, so no digit run can overflow it.
    uint32_t number = 0;
    for (uint32_t k = 3; k < length && data[k] >= '0' && data[k] <= '9'; ++k) {
      number = (number * 10 + uint32_t(data[k] - '0')) & 0xFFFFu;
    }
    if (number >= 1 && number <= TKC_MAX_COM) named->set(number);
  }
  return TKC_OK;
}

StoredServers ScanStoredServers(const tarvik::RegKey& params, uint32_t servers, uint32_t address) {
  StoredServers found;
  for (uint32_t index = 0; index < servers; ++index) {
    tarvik::RegKey server;
    if (server.Open(params, ServerSubkeyName(index), tarvik::RegAccess::kRead) !=
        tarvik::kErrorSuccess) {
      continue;
    }
    server.Prefetch();  // one query for all of its values
    uint32_t value = 0;
    if (server.QueryDword("IPAddress", &value) == tarvik::kErrorSuccess && value == address) {
      found.hasAddress = true;
    }
    uint32_t ports = TKC_MAX_DATA_PORTS;
    if (server.QueryDword("PortNo", &value) == tarvik::kErrorSuccess && value < ports) ports = value;
    auto take = [&](const std::string& name) {
      uint32_t word = 0;
      if (server.QueryDword(name, &word) != tarvik::kErrorSuccess) return;
      const uint32_t com = TkcComNumber(word);  // old stores' plain numbers read the same
      if (com != 0) found.mapped.set(com);
    };
    take("ComNoIO");
    for (uint32_t i = 1; i <= ports; ++i) take(PortValueName("ComNo%u", i));
  }
  return found;
}

}  // namespace tkc
