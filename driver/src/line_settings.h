// The line settings an application set on its end of a pty that a device
// can be told about: the baud rate (any rate, also non-standard ones) and
// the stop bits. A pty forces 8 data bits and no parity on every change,
// so those two can never be seen and are left as the device has them.
#pragma once
#include <cstdint>
#include <string>

namespace vonderil {

struct LineSettings {
  uint32_t baud = 9600;
  bool twoStopBits = false;
  bool operator==(const LineSettings& o) const {
    return baud == o.baud && twoStopBits == o.twoStopBits;
  }
  bool operator!=(const LineSettings& o) const { return !(*this == o); }
};

// "57600 baud, 1 stop bit"
std::string DescribeLine(const LineSettings& settings);

// Reads them through the master (its termios requests reach the slave's
// settings). False when the request fails.
bool ReadLineSettings(int master, LineSettings* out);
// Sets them on the slave through the master, the rest of its settings kept,
// when the slave still shows expected (there is no atomic compare and set
// for termios: the look and the set are two calls, as close as they can be).
// A standard rate goes in as its own speed code (what cfgetospeed reports),
// any other one as a plain number.
bool WriteLineSettings(int master, const LineSettings& expected, const LineSettings& settings);

// One conversation with a device's command port about one of its ports:
// ask for its settings (code 16), or set the baud rate (06) and/or the stop
// bits (07, which keeps the data bits and parity the device has).
struct SettingsJob {
  enum class Kind { kAsk, kSet };
  uint32_t comNumber = 0;
  uint64_t ticket = 0;     // handed back in the result
  Kind kind = Kind::kAsk;
  uint32_t address = 0;    // first octet in the low byte
  uint32_t cmdPort = 0;    // the device's TcpPortCmd
  uint32_t timeoutMs = 0;  // the server's ConnectTimeout
  uint32_t devicePort = 0;
  LineSettings settings;   // kSet: what to set
  bool sendBaud = false;
  bool sendStopBits = false;
  char dataBits = 0;       // the device's data format when known ('5'..'8', 0)
  char parity = 0;         // 'N', 'E', ... or 0
};

struct SettingsResult {
  // How an ok kSet was taken. The command port confirms or fails; an RFC
  // 2217 server acknowledges, or its time to do so ran out (the bytes go
  // on all the same), or it does not do com-port control at all.
  enum class Ack : uint8_t { kConfirmed, kTimedOut, kNotCarried };
  uint32_t comNumber = 0;
  uint64_t ticket = 0;
  bool ok = false;
  // ok kAsk: false when the answer cannot tell what the device has (an
  // RFC 2217 connection has no question for it); device is then unset.
  bool known = true;
  Ack ack = Ack::kConfirmed;
  LineSettings device;     // ok: what the device has now
  char dataBits = 0;       // as the device reported them (0: not asked)
  char parity = 0;
  std::string failure;     // !ok: why, for the log
};

}  // namespace vonderil
