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

// Declared in pty_pair.h; here because it needs termios2 too.
bool FlushSlaveInput(int master) {
  // Setting the slave's own settings again "after a flush" drops its unread
  // input without opening it, so no open or close notice comes of it.
  struct termios2 t {};
  return ioctl(master, TCGETS2, &t) == 0 && ioctl(master, TCSETSF2, &t) == 0;
}

}  // namespace vonderil
