#include "name_rules.h"

namespace tkc {
namespace {

constexpr NameMatch P = NameMatch::kPrefix;
constexpr NameMatch E = NameMatch::kExact;
constexpr NameMatch W = NameMatch::kWhole;
constexpr SecondPortRule No = SecondPortRule::kNo;
constexpr SecondPortRule Yes = SecondPortRule::kYes;
constexpr SecondPortRule Two = SecondPortRule::kTwoOrMore;
constexpr SlotRule None = SlotRule::kNone;
constexpr SlotRule Reject = SlotRule::kReject;

// Counts read from a name never need more than this; larger numbers are
// held here so that parsing a long digit run cannot overflow.
constexpr uint32_t kCountCeiling = 100000;

// clang-format off
const NameRule kRules[] = {
    // pattern        match ports slotted second slots
    {"4629",           P, 3,  0, Yes, None, 0},
    {"Q410X0",         P, 0,  0, No,  Reject, 0},
    {"Q410X9",         P, 0,  0, No,  Reject, 0},
    {"Q410X%",         P, 0,  0, Two, None, 0},
    {"Q410XA",         P, 2,  0, Yes, None, 0},
    {"Q410XX",         P, 2,  0, Yes, None, 0},
    {"Q410X",          P, 0,  0, No,  Reject, 0},
    {"1380K0",         P, 0,  0, No,  Reject, 0},
    {"1380K9",         P, 0,  0, No,  Reject, 0},
    {"1380K%",         P, 0,  0, Two, None, 0},
    {"1380KA",         P, 2,  0, Yes, None, 0},
    {"1380KX",         P, 2,  0, Yes, None, 0},
    {"1380K",          P, 0,  0, No,  Reject, 0},
    {"5JV2",           P, 1,  0, No,  None, 0},
    {"5JV0",           P, 1,  0, No,  None, 0},
    // Eight models that may carry "-<ports>"; anything else after them is unknown.
    {"3144",           W, 3,  0, No,  None, 0},
    {"5963",           W, 3,  0, No,  None, 0},
    {"3147",           W, 4,  0, No,  None, 0},
    {"5964",           W, 4,  0, No,  None, 0},
    {"2596",           W, 4,  0, No,  None, 0},
    {"3643",           W, 4,  0, No,  None, 0},
    {"8928",           W, 4,  0, No,  None, 0},
    {"9833",           W, 4,  0, No,  None, 0},
    {"3144-$",         P, 0,  0, No,  None, 0},
    {"5963-$",         P, 0,  0, No,  None, 0},
    {"3147-$",         P, 0,  0, No,  None, 0},
    {"5964-$",         P, 0,  0, No,  None, 0},
    {"2596-$",         P, 0,  0, No,  None, 0},
    {"3643-$",         P, 0,  0, No,  None, 0},
    {"8928-$",         P, 0,  0, No,  None, 0},
    {"9833-$",         P, 0,  0, No,  None, 0},
    {"3144",           P, 0,  0, No,  Reject, 0},
    {"5963",           P, 0,  0, No,  Reject, 0},
    {"3147",           P, 0,  0, No,  Reject, 0},
    {"5964",           P, 0,  0, No,  Reject, 0},
    {"2596",           P, 0,  0, No,  Reject, 0},
    {"3643",           P, 0,  0, No,  Reject, 0},
    {"8928",           P, 0,  0, No,  Reject, 0},
    {"9833",           P, 0,  0, No,  Reject, 0},
    {"RRB-341",        E, 3,  0, Yes, None, 0},
    {"VF-22",          P, 1,  0, No,  None, 0},
    {"VF-41%",         P, 0,  0, Two, None, 0},
    {"GW-08",          P, 1,  0, No,  None, 0},
    {"BG9-56",         P, 1,  0, No,  None, 0},
    {"NH-04L",         P, 1,  1, No,  None, 0},
    {"NH-0ZR",         P, 1,  0, No,  None, 0},
    {"VK-8",           P, 2,  0, Yes, None, 0},
    {"NGR-3",          P, 2,  0, Yes, None, 0},
    {"KQX-49?P",       P, 3,  0, Yes, None, 0},
    {"KQX-49",         P, 2,  0, Yes, None, 0},
    {"KQX-2073",       P, 3,  0, Yes, None, 0},
    {"L1431Z-@",       P, 0,  0, No,  None, 0},
    {"H7XZ#:%~",       P, 0,  1, No,  SlotRule::kSuffixH7xz, 0},
    {"vWQV1L?%",       P, 0,  1, Yes, SlotRule::kSuffixVwqv, 0},
    {"kV-2?65",        P, 4,  0, Yes, None, 0},
    {"cHN-7%",         P, 0,  0, Yes, None, 0},
    {"cHN-6%",         P, 0,  0, Yes, None, 0},
    {"cHN-17",         P, 8,  0, Yes, None, 0},
    {"cHN-14",         P, 16, 0, Yes, None, 0},
    {"H-2400WR",       P, 2,  0, Yes, None, 0},
    {"R-8615",         E, 2,  0, Yes, None, 0},
    {"R-8655",         E, 1,  0, No,  None, 0},
    {"XF-HJ-0",        P, 2,  0, Yes, None, 0},
    {"FWR-4",          P, 1,  0, No,  None, 0},
    {"N4904X-@",       P, 0,  0, No,  None, 0},
    {"F-9095",         E, 2,  0, Yes, None, 0},
    {"H4Z-455",        E, 2,  0, Yes, None, 0},
    {"H4Z-485",        E, 2,  0, Yes, None, 0},
    {"H4Z-610",        E, 2,  0, Yes, None, 0},
    {"H4Z-61#",        E, 1,  0, No,  None, 0},
    {"hNH-3?%",        P, 0,  0, Two, None, 0},
    {"hNH-4%",         P, 0,  0, Two, None, 0},
    {"WYB-2%",         P, 0,  0, Two, None, 0},
    {"YYW-9",          P, 1,  0, No,  None, 0},
    {"XYZ-3%#",        E, 0,  0, Yes, None, 0},
    {"XYZ-943",        E, 2,  0, Yes, None, 0},
    {"XYZ-2033",       E, 10, 0, Yes, None, 0},
    {"XYZ-8##",        E, 1,  1, No,  SlotRule::kSuffixXyz8, 0},
    {"XYZ-8603",       E, 8,  1, No,  SlotRule::kFourPortSlots, 1},
    {"XYZ-8043",       E, 8,  1, No,  SlotRule::kFourPortSlots, 1},
    {"XYZ-8158",       E, 8,  1, No,  SlotRule::kFourPortSlots, 1},
    {"XYZ-8072",       E, 12, 1, No,  SlotRule::kFourPortSlots, 2},
    {"XYZ-8359",       E, 12, 1, No,  SlotRule::kFourPortSlots, 2},
    {"XYZ-",           P, 0,  0, No,  Reject, 0},
    {"XYZ1558-@",      P, 0,  0, No,  None, 0},
    {"ZKCJ-4%#",       E, 0,  0, Yes, None, 0},
    {"ZNX-01",         P, 2,  0, Yes, None, 0},
    {"ZNX-68",         P, 2,  0, Yes, None, 0},
    {"ZNX-07",         P, 1,  0, No,  None, 0},
    {"XV-KJ-8",        P, 2,  0, Yes, None, 0},
    {"ZH-BW779",       E, 10, 0, Yes, None, 0},
    {"RF-030",         P, 2,  0, Yes, None, 0},
    {"NJ-674",         P, 2,  0, Yes, None, 0},
};
// clang-format on

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

const NameRule* NameRules(size_t* count) {
  *count = sizeof(kRules) / sizeof(kRules[0]);
  return kRules;
}

bool MatchNameRule(const char* name, size_t length, const NameRule& rule, NameMatchResult* result) {
  *result = NameMatchResult();
  const auto at = [&](size_t i) -> char { return i < length ? name[i] : '\0'; };
  size_t pos = 0;
  for (const char* p = rule.pattern; *p; ++p) {
    const char c = at(pos);
    switch (*p) {
      case '?':
        if (c == '\0') return false;
        ++pos;
        break;
      case '#':
        if (!IsDigit(c)) return false;
        ++pos;
        break;
      case '%':
        if (!IsDigit(c)) return false;
        result->hasCount = true;
        result->count = uint32_t(c - '0');
        ++pos;
        break;
      case '$':
        if (!IsDigit(c)) return false;
        [[fallthrough]];
      case '@': {
        uint32_t n = 0;
        while (IsDigit(at(pos))) {
          n = n * 10 + uint32_t(at(pos) - '0');
          if (n > kCountCeiling) n = kCountCeiling;
          ++pos;
        }
        result->hasCount = true;
        result->count = n;
        break;
      }
      case '~':
        if (c != '-' && c != '+') return false;
        ++pos;
        break;
      default:
        if (c != *p) return false;
        ++pos;
        break;
    }
  }
  switch (rule.match) {
    case NameMatch::kPrefix:
      return true;
    case NameMatch::kExact:
      return !IsDigit(at(pos));
    case NameMatch::kWhole:
      return at(pos) == '\0';
  }
  return false;
}

}  // namespace tkc
