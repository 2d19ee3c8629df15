// The line settings an application set on its end of a pty that a device
// can be told about: the baud rate (any rate, also non-standard ones) and
// the stop bits. A pty forces 8 data bits and no parity on every change,
// so those two can never be seen and are left as the device has them.
#pragma once
#include <cstdint>

namespace vonderil {

struct LineSettings {
  uint32_t baud = 9600;
  bool twoStopBits = false;
  bool operator==(const LineSettings& o) const {
    return baud == o.baud && twoStopBits == o.twoStopBits;
  }
  bool operator!=(const LineSettings& o) const { return !(*this == o); }
};

// Reads them through the master (its termios requests reach the slave's
// settings). False when the request fails.
bool ReadLineSettings(int master, LineSettings* out);

}  // namespace vonderil
