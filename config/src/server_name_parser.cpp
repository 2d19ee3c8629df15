#include "server_name_parser.h"

#include <cassert>
#include <cstring>

#include "name_rules.h"

namespace tkc {
namespace {

constexpr size_t kMaxSlotDigits = TKC_MAX_SLOTS;

struct NameText {
  const char* text;
  size_t length;
  char At(size_t i) const { return i < length ? text[i] : '\0'; }
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

uint32_t StrideOf(char c) {
  if (c == '-') return 4;
  if (c == '+') return 8;
  return 0;
}

uint32_t CapPorts(uint32_t n) { return n > TKC_MAX_DATA_PORTS ? TKC_MAX_DATA_PORTS : n; }

// Reads the slot digits from position `from`: the k-th digit gives the
// ports of expansion slot k (0 and 9 leave it empty). Returns the number of
// digits read; *ports gets the sum of the ports.
uint32_t ReadSlotList(const NameText& name, size_t from, TkcServerRecord* record, uint32_t* ports) {
  uint32_t k = 0;
  *ports = 0;
  while (k < kMaxSlotDigits && IsDigit(name.At(from + k))) {
    const uint32_t d = uint32_t(name.At(from + k) - '0');
    ++k;
    if (d >= 1 && d <= 8) {
      record->SlotPorts[k] = uint8_t(d);
      *ports += d;
    }
  }
  return k;
}

// Numbers the data-port entries from entry 2: slot 0 (the base unit) first,
// then the expansion slots in order. Only the layout bits change; COM
// number, DisablePurge and FixedConfig stay.
void LayOutPorts(TkcServerRecord* record, uint32_t stride) {
  assert(record->SlotCount >= 0 && record->SlotCount <= TKC_MAX_SLOTS);
  uint32_t entry = 2;
  for (uint32_t s = 0; s <= uint32_t(record->SlotCount); ++s) {
    for (uint32_t idx = 1; idx <= record->SlotPorts[s]; ++idx) {
      if (entry >= TKC_PORTMAP_ENTRIES) return;
      const uint32_t devicePort = s == 0 ? idx : (s - 1) * stride + idx + 9;
      uint32_t com = record->PortMap[entry].Com;
      com = TkcComSetSlot(com, s);
      com = TkcComSetIndex(com, idx);
      com = TkcComSetDevicePort(com, devicePort);
      record->PortMap[entry].Com = com;
      ++entry;
    }
  }
}

void ResetLayoutFields(TkcServerRecord* record) {
  record->PortNo = 0;
  record->Slotted = 0;
  record->SecondPort = 1;
  record->SlotCount = 0;
  std::memset(record->SlotPorts, 0, sizeof(record->SlotPorts));
}

}  // namespace

uint16_t ParseServerName(TkcServerRecord* record) {
  ResetLayoutFields(record);
  const NameText name{record->ServerName, strnlen(record->ServerName, sizeof(record->ServerName))};

  size_t ruleCount = 0;
  const NameRule* rules = NameRules(&ruleCount);
  const NameRule* rule = nullptr;
  NameMatchResult found;
  for (size_t i = 0; i < ruleCount && !rule; ++i) {
    if (MatchNameRule(name.text, name.length, rules[i], &found)) rule = &rules[i];
  }
  if (!rule || rule->slots == SlotRule::kReject) return TKC_ERR_PORTS;

  const uint32_t count = CapPorts(found.hasCount ? found.count : rule->ports);
  record->Slotted = rule->slotted;
  switch (rule->secondPort) {
    case SecondPortRule::kNo:
      record->SecondPort = 0;
      break;
    case SecondPortRule::kYes:
      record->SecondPort = 1;
      break;
    case SecondPortRule::kTwoOrMore:
      record->SecondPort = count >= 2 ? 1 : 0;
      break;
  }

  uint32_t ports = count;
  uint32_t stride = 0;
  record->SlotPorts[0] = uint8_t(count);
  // Slot suffixes: where the slot digits start and which character gives
  // the stride, when the name carries a suffix at all.
  size_t slotsFrom = 0;
  size_t strideAt = 0;
  switch (rule->slots) {
    case SlotRule::kSuffixH7xz:
      // The digit before the colon counts the slots until slot digits say otherwise.
      record->SlotCount = int8_t(name.At(4) - '0');
      slotsFrom = 8;
      strideAt = 7;
      break;
    case SlotRule::kSuffixVwqv:
      if (name.At(6) == ':' && StrideOf(name.At(8))) {
        slotsFrom = 9;
        strideAt = 8;
      }
      break;
    case SlotRule::kSuffixXyz8:
      if (name.At(7) == ':' && StrideOf(name.At(9))) {
        slotsFrom = 10;
        strideAt = 9;
      }
      break;
    case SlotRule::kFourPortSlots:
      // These models name no stride; their slots hold 4 ports each, so a
      // stride of 4 numbers them 10-13 and 14-17.
      record->SlotCount = int8_t(rule->fourPortSlots);
      for (uint32_t s = 0; s <= rule->fourPortSlots; ++s) record->SlotPorts[s] = 4;
      stride = 4;
      break;
    case SlotRule::kNone:
    case SlotRule::kReject:
      break;
  }
  if (slotsFrom) {
    uint32_t slotPorts = 0;
    const uint32_t digits = ReadSlotList(name, slotsFrom, record, &slotPorts);
    if (digits > 0) record->SlotCount = int8_t(digits);
    ports += slotPorts;
    if (record->SlotCount > 0) stride = StrideOf(name.At(strideAt));
  }

  record->PortNo = CapPorts(ports);
  LayOutPorts(record, stride);
  return TKC_OK;
}

}  // namespace tkc
