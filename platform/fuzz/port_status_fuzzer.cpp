// The port table file is read by tarvikctl and the utility; whatever lies
// at its path must not crash them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tarvik/port_status.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vonderil::PortStatusFile file;
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (vonderil::ParsePortStatusText(text, &file)) {
    for (const auto& p : file.ports) {
      vonderil::PortStatusLine again;
      if (!vonderil::ParsePortStatusLine(vonderil::FormatPortStatusLine(p), &again) ||
          again.comNumber != p.comNumber || again.toDevice != p.toDevice ||
          again.protocol != p.protocol || again.serverBaud != p.serverBaud ||
          again.lineBits != p.lineBits || again.modemBits != p.modemBits) {
        __builtin_trap();
      }
    }
  }
  return 0;
}
