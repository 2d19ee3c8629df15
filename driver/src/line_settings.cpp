// termios2 carries the output speed as a plain number; it lives in the
// kernel's header, which cannot be mixed with the C library's <termios.h>.
#include "line_settings.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace vonderil {

bool ReadLineSettings(int master, LineSettings* out) {
  struct termios2 t {};
  if (ioctl(master, TCGETS2, &t) != 0) return false;
  out->baud = t.c_ospeed;
  out->twoStopBits = (t.c_cflag & CSTOPB) != 0;
  return true;
}

}  // namespace vonderil
