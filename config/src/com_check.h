// The COM checks of an import: every COM number a file maps must be free of
// the computer's other serial ports and used only once in the file.
#pragma once
#include <bitset>
#include <cstdint>

namespace cfgfile {

class ComCheck {
 public:
  // occupied: 4095 bytes, byte n-1 non-zero when COM n is another serial
  // port of the computer (null: none is).
  explicit ComCheck(const uint8_t* occupied);
  // 0, or the import status for a COM number (1..4095) met in file order:
  // 15 taken by another port, 16 already used in this file.
  uint16_t Use(uint32_t com);

 private:
  const uint8_t* occupied_;
  std::bitset<4096> seen_;
};

}  // namespace cfgfile
