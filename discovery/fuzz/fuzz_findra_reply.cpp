// Feeds arbitrary datagrams to what the receiver thread does with a
// datagram: the prefix test, the reply parser, the BOOTP reader and the
// confirmation test; and builds a command from each parsed record.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "findra_wire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace findra;
  if (size > kReceiveBufferSize) size = kReceiveBufferSize;
  std::vector<char> buffer(data, data + size);
  buffer.push_back('\0');
  ModuleRecord record{};
  ClassifyConfirmation(buffer.data(), size);
  ParseBootpRequest(data, size, &record);
  if (size >= 1) {
    int result = ParseDiscoveryReply(buffer.data(), size, &record);
    bool passed = IsDiscoveryReply(reinterpret_cast<const char*>(data), size);
    // A datagram that passes the prefix test always yields a record.
    if (passed && result != kParsed) __builtin_trap();
    if (result == kParsed) {
      // Every field is a terminated text within its size.
      if (!memchr(record.name, 0, sizeof record.name) || !memchr(record.ip, 0, sizeof record.ip) ||
          !memchr(record.mask, 0, sizeof record.mask) ||
          !memchr(record.gateway, 0, sizeof record.gateway) ||
          !memchr(record.mac, 0, sizeof record.mac) ||
          !memchr(record.alias, 0, sizeof record.alias)) {
        __builtin_trap();
      }
      ConfigRequest request;
      request.alias = record.alias;
      request.ip = record.name;
      // Any other value than the recorded one, so the DHCP field is included.
      request.dhcp = record.dhcp == 0 ? 1 : 0;
      char command[kCommandSize];
      size_t n = BuildConfigCommand(record, request, command);
      if (n == 0 || n >= kCommandSize || command[n - 1] != '\r') __builtin_trap();
    }
  }
  return 0;
}
