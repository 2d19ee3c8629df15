#include "server_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cmip.h"

namespace tarvik::device {

namespace {

struct NumberRule {
  int32_t min;
  int32_t max;
  const char* message;
};

// In the order of ServerOptionNumber, which is the order of the checks.
const NumberRule kNumberRules[kServerOptionNumbers] = {
    {0, 1800, "Input a value between 0 to 1800 seconds for Keep Alive Time."},
    {0, 4000000, "Input a value between 0 to 4000000 seconds for Connection Broken."},
    {1, 180, "Input a value between 1 to 180 seconds for Connect Timeout."},
    {10, 65500, "Input a value between 10 to 65500 for Command Port."},
    {10, 65500, "Input a value between 10 to 65500 for Virtual I/O Port."},
};

// The record's field of each number and how many of its units make one of
// the page's (the times are shown in seconds and kept in milliseconds).
struct NumberField {
  uint32_t TkcServerRecord::*field;
  uint32_t scale;
};
const NumberField kNumberFields[kServerOptionNumbers] = {
    {&TkcServerRecord::KeepAliveTime, 1000}, {&TkcServerRecord::ConnectionBroken, 1000},
    {&TkcServerRecord::ConnectTimeout, 1000}, {&TkcServerRecord::TcpPortCmd, 1},
    {&TkcServerRecord::TcpPort7000, 1},
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string AddressText(uint32_t value) {
  CMIP ip;
  ip.SetValue(value);
  return ip.GetText();
}

uint32_t AddressValue(const std::string& text) {
  CMIP ip;
  return ip.SetTextGetValue(text.c_str());
}

const std::string& AddressText(const ServerOptions& options, int which) {
  return which == kPrimaryAddress ? options.address : options.address2;
}

}  // namespace

ServerOptions OptionsFromRecord(const TkcServerRecord& record) {
  ServerOptions options;
  // The times divided by 1000 fit a signed 32-bit number; a port above
  // 2^31 shows negative and fails the page's check, as typed it would.
  for (int i = 0; i < kServerOptionNumbers; ++i)
    options.numbers[i] = static_cast<int32_t>(record.*kNumberFields[i].field / kNumberFields[i].scale);
  options.address = AddressText(record.IPAddress);
  options.address2 = AddressText(record.IPAddress2);
  return options;
}

bool SameOptions(const ServerOptions& a, const ServerOptions& b) {
  for (int i = 0; i < kServerOptionNumbers; ++i)
    if (a.numbers[i] != b.numbers[i]) return false;
  for (int which : {kPrimaryAddress, kRedundantAddress})
    if (AddressValue(AddressText(a, which)) != AddressValue(AddressText(b, which))) return false;
  return a.rfc2217 == b.rfc2217;
}

OptionsMerge MergeOptionsIntoRecord(const ServerOptions& shown, const ServerOptions& chosen,
                                    TkcServerRecord& record, const AddressConflict& decide) {
  const TkcServerRecord before = record;
  OptionsMerge merge;
  // Callers store only validated options, so no number is negative.
  for (int i = 0; i < kServerOptionNumbers; ++i)
    if (chosen.numbers[i] != shown.numbers[i])
      record.*kNumberFields[i].field = static_cast<uint32_t>(chosen.numbers[i]) * kNumberFields[i].scale;
  uint32_t* const stored[kOptionAddresses] = {&record.IPAddress, &record.IPAddress2};
  for (int which : {kRedundantAddress, kPrimaryAddress}) {
    const uint32_t was = AddressValue(AddressText(shown, which));
    const uint32_t typed = AddressValue(AddressText(chosen, which));
    const uint32_t now = *stored[which];
    if (typed == was) {
      merge.keptNewer[which] = now != was;
    } else if (now == was || now == typed ||
               (decide && decide(static_cast<OptionAddress>(which), typed, now))) {
      *stored[which] = typed;
    }
  }
  merge.changed = std::memcmp(&before, &record, sizeof record) != 0;
  return merge;
}

bool ParseSignedInt(const char* text, int32_t* value) {
  if (text == nullptr) return false;
  const char* p = text;
  while (IsBlank(*p)) ++p;
  const char* start = p;
  if (*p == '+' || *p == '-') ++p;
  if (*p < '0' || *p > '9') return false;
  while (*p >= '0' && *p <= '9') ++p;
  const char* end = p;
  while (IsBlank(*p)) ++p;
  if (*p != '\0') return false;
  errno = 0;
  char* stop = nullptr;
  const long long number = std::strtoll(start, &stop, 10);
  if (errno == ERANGE || stop != end || number < INT32_MIN || number > INT32_MAX) return false;
  *value = static_cast<int32_t>(number);
  return true;
}

int CheckOptionNumbers(const std::string (&texts)[kServerOptionNumbers],
                       int32_t (&values)[kServerOptionNumbers], const char** message) {
  for (int i = 0; i < kServerOptionNumbers; ++i) {
    const NumberRule& rule = kNumberRules[i];
    int32_t number = 0;
    if (!ParseSignedInt(texts[i].c_str(), &number) || number < rule.min || number > rule.max) {
      if (message != nullptr) *message = rule.message;
      return i;
    }
    values[i] = number;
  }
  if (message != nullptr) *message = nullptr;
  return -1;
}

const char* CheckOptionAddresses(const ServerOptions& options) {
  CMIP ip;
  if (!ip.IsValidText(options.address.c_str()))
    return "Invalid IP Address (Primary) on Server-Options setting!";
  const std::string& second = options.address2;
  if (second != "0.0.0.0" && !second.empty() && second != " " && !ip.IsValidText(second.c_str()))
    return "Invalid Redundant IP (Secondary) on Server-Options setting!";
  return nullptr;
}

}  // namespace tarvik::device
