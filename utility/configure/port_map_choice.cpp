#include "port_map_choice.h"

#include <cstring>

namespace tarvik::device {

namespace {

// Decimal digits only, as an edit field may hold them: leading zeros count
// for nothing, and a value above max reads as max + 1, so no run of digits
// can overflow.
bool DigitsAtMost(const char* text, uint32_t max, uint32_t* value) {
  if (*text == '\0') return false;
  uint32_t n = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    n = n * 10 + static_cast<uint32_t>(*p - '0');
    if (n > max) n = max + 1;
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

std::vector<uint32_t> OfferedComNumbers(const uint8_t inUse[kComNumbers], uint32_t maxCom,
                                        uint32_t ownCom) {
  if (maxCom > static_cast<uint32_t>(kComNumbers)) maxCom = kComNumbers;
  std::vector<uint32_t> offered;
  for (uint32_t com = 1; com <= maxCom; ++com)
    if (!inUse[com - 1]) offered.push_back(com);
  if (ownCom > maxCom && ownCom <= static_cast<uint32_t>(kComNumbers)) offered.push_back(ownCom);
  return offered;
}

PortMapChoice ShownPortChoice(const tarvik::app::ServerRecord& server, int entry, bool reassign) {
  const uint32_t word = tarvik::app::ComWord(server, entry);
  const uint32_t options = server.PortMap[entry].Options;
  PortMapChoice shown;
  shown.com = tarvik::app::ComNumber(word);
  shown.reassign = reassign;
  shown.applyToSlots = shown.com == 0 && server.Slotted == 1;
  // The I/O port always takes the server's settings; its box starts clear.
  shown.fixedBaud = entry != 0 && tarvik::app::FixedConfig(word);
  shown.disablePurge = TkcComDisablePurge(word) != 0;
  shown.writeBuffer = TkcOptWriteBuffer(options) != 0;
  shown.intervalMs = InitialFlushIntervalMs(TkcOptAutoFlush(options));
  return shown;
}

bool SamePortChoice(const PortMapChoice& a, const PortMapChoice& b) {
  return a.com == b.com && a.reassign == b.reassign && a.applyToSlots == b.applyToSlots &&
         a.fixedBaud == b.fixedBaud && a.disablePurge == b.disablePurge &&
         a.writeBuffer == b.writeBuffer && a.intervalMs == b.intervalMs;
}

PortMapChoice MergePortChoice(const PortMapChoice& shown, const PortMapChoice& chosen,
                              const PortMapChoice& now) {
  PortMapChoice merged = chosen;
  if (chosen.com == shown.com) merged.com = now.com;
  if (chosen.fixedBaud == shown.fixedBaud) merged.fixedBaud = now.fixedBaud;
  if (chosen.disablePurge == shown.disablePurge) merged.disablePurge = now.disablePurge;
  if (chosen.writeBuffer == shown.writeBuffer) merged.writeBuffer = now.writeBuffer;
  if (chosen.intervalMs == shown.intervalMs) merged.intervalMs = now.intervalMs;
  return merged;
}

std::string ComListText(uint32_t com) {
  return com == 0 ? std::string("UnMap") : "COM" + std::to_string(com);
}

uint32_t ComFromListText(const char* text) {
  uint32_t com = 0;
  if (text == nullptr || std::strncmp(text, "COM", 3) != 0 ||
      !DigitsAtMost(text + 3, kComNumbers, &com) || com > static_cast<uint32_t>(kComNumbers))
    return 0;
  return com;
}

uint32_t InitialFlushIntervalMs(uint32_t autoFlushUnits) {
  const uint64_t ms = static_cast<uint64_t>(autoFlushUnits) * 10;
  return ms < 10 || ms > 500 ? 50 : static_cast<uint32_t>(ms);
}

bool ParseFlushInterval(const char* text, uint32_t* ms) {
  uint32_t value = 0;
  if (text == nullptr || !DigitsAtMost(text, 500, &value) || value < 10 || value > 500) return false;
  *ms = value;
  return true;
}

}  // namespace tarvik::device
