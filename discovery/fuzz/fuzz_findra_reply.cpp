// Feeds arbitrary datagrams to what the receiver thread does with a
// datagram: the prefix test, the reply parser, the BOOTP reader and the
// confirmation test; and builds a command from each parsed record, with
// the record's own texts and with raw datagram bytes as the alias, and
// checks that a command the library would send carries exactly its fields.
#include <cstddef>
#include <cstdint>
#include <strings.h>

#include <cstring>
#include <string>
#include <vector>

#include "findra_wire.h"

namespace {

// A command the library would send names the target and then one ",KEY="
// per included field (the DHCP field ends in ", "), nothing more: no value
// adds a ',' or an '=', and only its end is a control character.
void CheckFields(const findra::ModuleRecord& record, const findra::ConfigRequest& request,
                 const char* command, size_t n) {
  if (!findra::IsSafeConfigRequest(record, request)) return;
  const bool dhcp = request.dhcp != record.dhcp;
  const int fields = (request.alias != nullptr) + 1 /* ip: the name differs or is empty */ + dhcp;
  int commas = 0, equals = 0;
  for (size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(command[i]);
    if (c == ',') ++commas;
    if (c == '=') ++equals;
    if ((c < 0x20 || c == 0x7F) && i != n - 1) __builtin_trap();
  }
  const bool ipSent = strcasecmp(request.ip, record.ip) != 0;
  const int sent = fields - (ipSent ? 0 : 1);
  if (equals != 1 + sent || commas != 2 + sent + (dhcp ? 1 : 0)) __builtin_trap();
}

}  // namespace

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
      CheckFields(record, request, command, n);
      // The datagram's last bytes as an alias, as a user or a copied alias
      // could type them (commas and '=' included).
      const size_t tail = size < 24 ? size : 24;
      std::string alias(reinterpret_cast<const char*>(data) + size - tail, tail);
      alias.resize(strnlen(alias.c_str(), alias.size()));
      request.alias = alias.c_str();
      n = BuildConfigCommand(record, request, command);
      CheckFields(record, request, command, n);
    }
  }
  return 0;
}
