// The serial settings of one device port as the port-settings query
// (code 16) reports them: a leading run of digits for the baud rate, then
// items in any order, each one character: data bits "5".."8", parity
// "N", "E", "O", "M", "S", stop bits "1" or "2"; CR, LF and "," between
// them are skipped. Example: "9600N81" is 9600 baud, 8 data bits, no
// parity, 1 stop bit. Some ports accept fewer values (PortRules).
#pragma once
#include <string>

namespace tarvik::device {

struct PortSettings {
  std::string baud;   // decimal digits
  char dataBits = 0;  // '5'..'8', 0 until reported
  char parity = 0;    // 'N', 'E', 'O', 'M', 'S', 0 until reported
  char stopBits = 0;  // '1', '2', 0 until reported
};

struct PortRules {
  bool limited = false;         // only 7 or 8 data bits, no mark or space parity
  bool oneStopBitOnly = false;  // a "2" is not accepted
};

enum class PortParse { kOk, kNoBaudRate, kBadItem };

// Parses payload into *out. With kBadItem the baud rate and the items before
// the bad one are already in *out (a later item overrides an earlier one).
PortParse ParsePortSettings(const char* payload, const PortRules& rules, PortSettings* out);

// True for a three-character data format such as "8N1": data bits 5 to 8,
// a parity letter, stop bits 1 or 2.
bool IsDataFormatText(const char* text);

// True for a baud-rate text the port commands can carry: 1 to 15 digits.
bool IsBaudRateText(const char* text);

}  // namespace tarvik::device
