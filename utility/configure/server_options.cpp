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

constexpr uint32_t kMsPerSecond = 1000;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string AddressText(uint32_t value) {
  CMIP ip;
  ip.SetValue(value);
  return ip.GetText();
}

void StoreAddress(const std::string& text, uint32_t* stored) {
  CMIP ip;
  const uint32_t value = ip.SetTextGetValue(text.c_str());
  if (value != *stored) *stored = value;
}

}  // namespace

ServerOptions OptionsFromRecord(const TkcServerRecord& record) {
  ServerOptions options;
  // Every stored value divided by 1000 fits a signed 32-bit number.
  options.numbers[kKeepAliveTime] = static_cast<int32_t>(record.KeepAliveTime / kMsPerSecond);
  options.numbers[kConnectionBroken] =
      static_cast<int32_t>(record.ConnectionBroken / kMsPerSecond);
  options.numbers[kConnectTimeout] = static_cast<int32_t>(record.ConnectTimeout / kMsPerSecond);
  options.numbers[kTcpPortCmd] = static_cast<int32_t>(record.TcpPortCmd);
  options.numbers[kTcpPort7000] = static_cast<int32_t>(record.TcpPort7000);
  options.address = AddressText(record.IPAddress);
  options.address2 = AddressText(record.IPAddress2);
  return options;
}

void StoreOptionsInRecord(const ServerOptions& options, TkcServerRecord& record) {
  // Callers store only validated options, so no number is negative.
  record.KeepAliveTime = static_cast<uint32_t>(options.numbers[kKeepAliveTime]) * kMsPerSecond;
  record.ConnectionBroken =
      static_cast<uint32_t>(options.numbers[kConnectionBroken]) * kMsPerSecond;
  record.ConnectTimeout = static_cast<uint32_t>(options.numbers[kConnectTimeout]) * kMsPerSecond;
  record.TcpPortCmd = static_cast<uint32_t>(options.numbers[kTcpPortCmd]);
  record.TcpPort7000 = static_cast<uint32_t>(options.numbers[kTcpPort7000]);
  StoreAddress(options.address2, &record.IPAddress2);
  StoreAddress(options.address, &record.IPAddress);
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
