// The driver's port file is written by another program; whatever it holds,
// reading it must stay within bounds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "held_ports.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  long pid = 0;
  const std::vector<uint32_t> held =
      ParseHeldComPorts(std::string(reinterpret_cast<const char*>(data), size), &pid);
  char text[64];
  FormatComList(held, text, sizeof text);
  for (uint32_t com : held) {
    if (com == 0 || com > 4095) __builtin_trap();
  }
  return 0;
}
