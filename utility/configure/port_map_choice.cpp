#include "port_map_choice.h"

#include <cstring>

namespace tarvik::device {

namespace {

// Decimal digits only, at most 4 of them (no number here needs more).
bool SmallNumber(const char* text, uint32_t* value) {
  const size_t length = std::strlen(text);
  if (length == 0 || length > 4) return false;
  uint32_t n = 0;
  for (size_t i = 0; i < length; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    n = n * 10 + static_cast<uint32_t>(text[i] - '0');
  }
  *value = n;
  return true;
}

}  // namespace

void BuildComInUse(const uint8_t occupied[kComNumbers], const uint8_t own[kComNumbers],
                   uint32_t ownCom, uint8_t inUse[kComNumbers]) {
  for (int i = 0; i < kComNumbers; ++i) inUse[i] = (occupied[i] || own[i]) ? 1 : 0;
  if (ownCom >= 1 && ownCom <= static_cast<uint32_t>(kComNumbers)) inUse[ownCom - 1] = 0;
}

std::vector<uint32_t> FreeComNumbers(const uint8_t inUse[kComNumbers], uint32_t maxCom) {
  if (maxCom > static_cast<uint32_t>(kComNumbers)) maxCom = kComNumbers;
  std::vector<uint32_t> free;
  for (uint32_t com = 1; com <= maxCom; ++com)
    if (!inUse[com - 1]) free.push_back(com);
  return free;
}

std::string ComListText(uint32_t com) {
  return com == 0 ? std::string("UnMap") : "COM" + std::to_string(com);
}

uint32_t ComFromListText(const char* text) {
  uint32_t com = 0;
  if (text == nullptr || std::strncmp(text, "COM", 3) != 0 || !SmallNumber(text + 3, &com) ||
      com > static_cast<uint32_t>(kComNumbers))
    return 0;
  return com;
}

uint32_t InitialFlushIntervalMs(uint32_t autoFlushUnits) {
  const uint64_t ms = static_cast<uint64_t>(autoFlushUnits) * 10;
  return ms < 10 || ms > 500 ? 50 : static_cast<uint32_t>(ms);
}

bool ParseFlushInterval(const char* text, uint32_t* ms) {
  uint32_t value = 0;
  if (text == nullptr || !SmallNumber(text, &value) || value < 10 || value > 500) return false;
  *ms = value;
  return true;
}

}  // namespace tarvik::device
