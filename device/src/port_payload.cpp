#include "port_payload.h"

#include <cstring>

namespace tarvik::device {

namespace {

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

const char kParityLetters[] = "NEOMS";

}  // namespace

bool SameListChoice(const PortPageValues& a, const PortPageValues& b) {
  return a.dataBits == b.dataBits && a.parity == b.parity && a.stopBits == b.stopBits;
}

bool IsLimitedPort(const std::string& serverName, int entry) {
  if (entry >= 4) return false;
  for (const char* model : {"VF-73", "XYZ-3", "ZKCJ-", "Q410X"})
    if (StartsWith(serverName, model)) return true;
  return false;
}

PortRules PortRulesFor(const std::string& serverName, int entry) {
  PortRules rules;
  rules.limited = IsLimitedPort(serverName, entry);
  rules.oneStopBitOnly = entry < 4 && !StartsWith(serverName, "WYB-2");
  return rules;
}

PortParse ParsePortPayload(const char* payload, const std::string& serverName, int entry,
                           PortPageValues* values) {
  const PortRules rules = PortRulesFor(serverName, entry);
  PortSettings settings;
  const PortParse parsed = ParsePortSettings(payload, rules, &settings);
  if (parsed == PortParse::kNoBaudRate) return parsed;
  values->baud = settings.baud;
  if (settings.dataBits != 0)
    values->dataBits = rules.limited ? settings.dataBits - '7' : settings.dataBits - '5';
  if (settings.parity != 0)
    values->parity = static_cast<int>(std::strchr(kParityLetters, settings.parity) - kParityLetters);
  if (settings.stopBits != 0) values->stopBits = settings.stopBits - '1';
  return parsed;
}

bool FormatPositions(const char* format, const std::string& serverName, int entry,
                     PortPageValues* values) {
  if (!IsDataFormatText(format)) return false;
  // Read as a reply: any baud rate, then the three items (the comma keeps
  // the data bits out of the baud rate's digits).
  const std::string payload = std::string("1,") + format;
  PortPageValues read;
  if (ParsePortPayload(payload.c_str(), serverName, entry, &read) != PortParse::kOk) return false;
  values->dataBits = read.dataBits;
  values->parity = read.parity;
  values->stopBits = read.stopBits;
  return true;
}

}  // namespace tarvik::device
