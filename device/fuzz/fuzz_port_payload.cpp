// Feeds arbitrary port-settings replies through the port page's parse for
// every kind of port (limited or not, one or two stop bits allowed), with
// the 20-byte result the page asks with, and checks that every position it
// gives names an entry of its list and that a parsed reply makes a format.
#include <cstddef>
#include <cstdint>
#include <string>

#include "port_format.h"
#include "port_payload.h"
#include "tarvik/text.h"

using namespace tarvik::device;

namespace {

bool InList(int index, size_t size) { return index >= -1 && index < static_cast<int>(size); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  char payload[20];
  tarvik::CopyText(payload, text.c_str());
  static const char* const kNames[] = {"Q410X-4", "WYB-2000", "3147", ""};
  for (const char* name : kNames) {
    for (int entry : {2, 3, 4, 9}) {
      const bool limited = IsLimitedPort(name, entry);
      PortPageValues values;
      const PortParse parsed = ParsePortPayload(payload, name, entry, &values);
      if (!InList(values.dataBits, DataBitsItems(limited).size()) ||
          !InList(values.parity, ParityItems(limited).size()) ||
          !InList(values.stopBits, StopBitsItems().size()))
        __builtin_trap();
      if (parsed == PortParse::kNoBaudRate && values.baud != "N/A") __builtin_trap();
      char format[4];
      if (parsed == PortParse::kOk && values.dataBits >= 0 && values.parity >= 0 &&
          values.stopBits >= 0 &&
          !BuildDataFormat(limited, values.dataBits, values.parity, values.stopBits, format))
        __builtin_trap();
    }
  }
  return 0;
}
