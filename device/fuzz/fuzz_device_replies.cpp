// Feeds arbitrary device answers through the reply forms, the setting cuts
// and the port-settings payload parse, and arbitrary texts through the
// address parse, the way a session would, with buffers of the sizes the
// session and its callers use.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "cmip.h"
#include "command_forms.h"
#include "port_settings.h"
#include "tarvik/text.h"

using namespace tarvik::device;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kCommands[] = {"10\r", "25N\r", "25S\r", "25M\r", "161\r",
                                          "25lock", "25pubkey", "1", ""};
  const char* chunk = reinterpret_cast<const char*>(data);
  const size_t length = size > 2048 ? 2048 : size;  // one receive at most
  for (const char* command : kCommands) {
    const std::string payload = ReplyPayload(command, chunk, length);
    char reply[100];
    tarvik::CopyText(reply, payload.c_str());
    char result[20];
    tarvik::CopyText(result, reply);
    (void)ClassifyPayload(reply);
    for (char letter : {'N', 'S', 'M'}) {
      char value[20];
      tarvik::CopyText(value, CutSettingValue(result, letter));
    }
    for (int rules = 0; rules < 4; ++rules) {
      PortRules portRules;
      portRules.limited = (rules & 1) != 0;
      portRules.oneStopBitOnly = (rules & 2) != 0;
      PortSettings settings;
      const PortParse parsed = ParsePortSettings(result, portRules, &settings);
      if (parsed != PortParse::kNoBaudRate && settings.baud.empty()) __builtin_trap();
      if (settings.baud.size() > std::strlen(result)) __builtin_trap();
      // A limited port never takes what its lists cannot show.
      if (portRules.limited && (settings.parity == 'M' || settings.parity == 'S' ||
                                (settings.dataBits != 0 && settings.dataBits < '7')))
        __builtin_trap();
    }
    (void)IsDataFormatText(result);
    (void)IsBaudRateText(result);
  }
  const std::string text(chunk, length);
  CMIP ip;
  if (ip.IsValidText(text.c_str()) && ip.GetText() != text.c_str()) __builtin_trap();
  char command[20];
  for (uint32_t port : {1u, 12u, 200u, 201u}) {
    if (BuildPortCommand(6, port, text.c_str(), command, sizeof command) &&
        command[std::strlen(command) - 1] != '\r') {
      __builtin_trap();
    }
  }
  return 0;
}
