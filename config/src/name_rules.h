// The device-name rules: which name gives which port count and flags.
//
// A rule's pattern is matched from the first character of the name. Besides
// literal characters it knows these placeholders (none of them occurs in a
// device name):
//   ?  any one character
//   #  one decimal digit, not counted
//   %  one decimal digit: the rule's count
//   @  a decimal number, 0 when no digit stands there: the rule's count
//   $  a decimal number that must start with a digit: the rule's count
//   ~  "-" or "+" (the slot-port stride of a slot suffix)
// A position that a pattern reads as a digit but that holds another
// character makes the rule fail; every such name then falls through to no
// rule at all, so it is unknown (status 25) rather than given a count made
// up from a letter.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tkc {

enum class NameMatch : uint8_t {
  kPrefix,  // anything may follow the pattern
  kExact,   // the pattern may not be followed by a further digit
  kWhole,   // nothing may follow the pattern
};

enum class SecondPortRule : uint8_t {
  kNo,
  kYes,
  kTwoOrMore,  // 1 when the count is 2 or more
};

// What a rule does beyond setting the port count and the flags.
enum class SlotRule : uint8_t {
  kNone,
  kReject,      // the name is unknown (status 25)
  kSuffixH7xz,  // "H7XZ<n>:<p><stride><slot digits>"
  kSuffixVwqv,  // "vWQV1L<c><p>", slot suffix when <c> is ":"
  kSuffixXyz8,  // "XYZ-8<dd>", slot suffix ":<n><stride><slot digits>"
  kFourPortSlots,
};

struct NameRule {
  const char* pattern;
  NameMatch match;
  uint8_t ports;  // the port count when the pattern has no count placeholder
  uint8_t slotted;
  SecondPortRule secondPort;
  SlotRule slots;
  uint8_t fourPortSlots;  // kFourPortSlots: expansion slots of 4 ports each
};

// What matching a pattern found.
struct NameMatchResult {
  bool hasCount = false;
  uint32_t count = 0;  // saturates far above any port count
};

// name[0..length) is the device name (it need not be NUL-terminated).
bool MatchNameRule(const char* name, size_t length, const NameRule& rule, NameMatchResult* result);

// The rules in the order they are tried; the first that matches decides.
const NameRule* NameRules(size_t* count);

}  // namespace tkc
