// termios2 carries the output speed as a plain number; it lives in the
// kernel's header, which cannot be mixed with the C library's <termios.h>.
#include "line_settings.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace vonderil {

std::string DescribeLine(const LineSettings& s) {
  return std::to_string(s.baud) + " baud, " + (s.twoStopBits ? "2 stop bits" : "1 stop bit");
}

bool ReadLineSettings(int master, LineSettings* out) {
  struct termios2 t {};
  if (ioctl(master, TCGETS2, &t) != 0) return false;
  out->baud = t.c_ospeed;
  out->twoStopBits = (t.c_cflag & CSTOPB) != 0;
  return true;
}

namespace {

struct SpeedCode {
  uint32_t baud;
  unsigned int code;
};
constexpr SpeedCode kSpeedCodes[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

}  // namespace

bool WriteLineSettings(int master, const LineSettings& expected, const LineSettings& s) {
  struct termios2 t {};
  if (ioctl(master, TCGETS2, &t) != 0) return false;
  if (t.c_ospeed != expected.baud || ((t.c_cflag & CSTOPB) != 0) != expected.twoStopBits) {
    return false;
  }
  unsigned int code = BOTHER;
  for (const SpeedCode& c : kSpeedCodes) {
    if (c.baud == s.baud) code = c.code;
  }
  // The input speed follows the output speed.
  t.c_cflag &= ~(CBAUD | CIBAUD | CSTOPB);
  t.c_cflag |= code | (s.twoStopBits ? CSTOPB : 0);
  t.c_ospeed = t.c_ispeed = s.baud;
  return ioctl(master, TCSETS2, &t) == 0;
}

// Declared in pty_pair.h; here because it needs termios2 too.
bool FlushSlaveInput(int master) {
  // Setting the slave's own settings again "after a flush" drops its unread
  // input without opening it, so no open or close notice comes of it.
  struct termios2 t {};
  return ioctl(master, TCGETS2, &t) == 0 && ioctl(master, TCSETSF2, &t) == 0;
}

}  // namespace vonderil
