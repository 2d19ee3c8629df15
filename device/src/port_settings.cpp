#include "port_settings.h"

#include <cstring>

namespace tarvik::device {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsParity(char c) { return c != '\0' && std::strchr("NEOMS", c) != nullptr; }

}  // namespace

PortParse ParsePortSettings(const char* payload, const PortRules& rules, PortSettings* out) {
  *out = PortSettings();
  size_t i = 0;
  while (IsDigit(payload[i])) ++i;
  if (i == 0) return PortParse::kNoBaudRate;
  out->baud.assign(payload, i);
  for (; payload[i] != '\0'; ++i) {
    const char c = payload[i];
    if (c == '\r' || c == '\n' || c == ',') continue;
    if (c == '1' || c == '2') {
      if (c == '2' && rules.oneStopBitOnly) return PortParse::kBadItem;
      out->stopBits = c;
    } else if (c >= '5' && c <= '8') {
      if (rules.limited && c < '7') return PortParse::kBadItem;
      out->dataBits = c;
    } else if (IsParity(c)) {
      if (rules.limited && (c == 'M' || c == 'S')) return PortParse::kBadItem;
      out->parity = c;
    } else {
      return PortParse::kBadItem;
    }
  }
  return PortParse::kOk;
}

bool IsDataFormatText(const char* text) {
  return text != nullptr && std::strlen(text) == 3 && text[0] >= '5' && text[0] <= '8' &&
         IsParity(text[1]) && (text[2] == '1' || text[2] == '2');
}

bool IsBaudRateText(const char* text) {
  if (text == nullptr) return false;
  const size_t length = std::strlen(text);
  if (length == 0 || length > 15) return false;
  for (size_t i = 0; i < length; ++i) {
    if (!IsDigit(text[i])) return false;
  }
  return true;
}

}  // namespace tarvik::device
