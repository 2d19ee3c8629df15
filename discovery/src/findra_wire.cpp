#include "findra_wire.h"

#include <strings.h>

#include <cassert>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "tarvik/text.h"

namespace findra {
namespace {

// The received text ends at its first NUL, as the devices' text does.
size_t TextLength(const char* data, size_t length) { return strnlen(data, length); }

bool Contains(const char* data, size_t length, const char* needle) {
  return memmem(data, TextLength(data, length), needle, strlen(needle)) != nullptr;
}

void CopyCut(char* dst, size_t size, const char* src, size_t srcLength) {
  size_t n = srcLength < size - 1 ? srcLength : size - 1;
  memcpy(dst, src, n);
  dst[n] = '\0';
}

// Leading decimal digits (with an optional sign), saturated instead of
// overflowing on absurd values.
int32_t DecimalValue(const char* text, size_t length) {
  size_t i = 0;
  bool negative = false;
  if (i < length && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT32_MAX) value = static_cast<long long>(INT32_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return static_cast<int32_t>(value);
}

enum class Field { kPrefix, kName, kAlias, kDhcp, kIp, kMask, kGateway, kMac };

struct ReplyKey {
  const char* key;
  Field field;
};

// The order in which the keys are looked up.
constexpr ReplyKey kReplyKeys[] = {
    {"KORVAXQ410X", Field::kPrefix}, {"NAME=", Field::kName}, {"ALIAS=", Field::kAlias},
    {"DHCP=", Field::kDhcp},         {"IP=", Field::kIp},     {"MASK=", Field::kMask},
    {"GATEWAY=", Field::kGateway},   {"MAC=", Field::kMac},
};

void StoreValue(Field field, const char* value, size_t length, ModuleRecord* out) {
  switch (field) {
    case Field::kPrefix: break;
    case Field::kName: CopyCut(out->name, sizeof out->name, value, length); break;
    case Field::kAlias: CopyCut(out->alias, sizeof out->alias, value, length); break;
    case Field::kDhcp: out->dhcp = DecimalValue(value, length); break;
    case Field::kIp: CopyCut(out->ip, sizeof out->ip, value, length); break;
    case Field::kMask: CopyCut(out->mask, sizeof out->mask, value, length); break;
    case Field::kGateway: CopyCut(out->gateway, sizeof out->gateway, value, length); break;
    case Field::kMac: CopyCut(out->mac, sizeof out->mac, value, length); break;
  }
}

}  // namespace

bool IsDiscoveryReply(const char* data, size_t length) {
  return length >= kReplyPrefixLength && memcmp(data, kReplyPrefix, kReplyPrefixLength) == 0;
}

int ParseDiscoveryReply(char* text, size_t length, ModuleRecord* out) {
  assert(length >= 1);
  memset(out, 0, sizeof *out);
  // The terminator becomes a separator, so the last value also ends at ','.
  text[length - 1] = ',';
  text[length] = '\0';
  const size_t textLength = strlen(text);
  bool anyFound = false;
  for (const ReplyKey& k : kReplyKeys) {
    const char* at = static_cast<const char*>(memmem(text, textLength, k.key, strlen(k.key)));
    const char* value = at ? at + strlen(k.key) : nullptr;
    const char* end =
        value ? static_cast<const char*>(memchr(value, ',', text + textLength - value)) : nullptr;
    if (!end) {
      if (!anyFound) return kDropped;
      continue;
    }
    anyFound = true;
    StoreValue(k.field, value, static_cast<size_t>(end - value), out);
  }
  return kParsed;
}

bool ParseBootpRequest(const uint8_t* data, size_t length, ModuleRecord* out) {
  // The client hardware address lies at bytes 28..33; a shorter datagram
  // cannot be a device's request.
  if (length < kMinBootpLength) return false;
  if (data[28] != 0x02 || data[29] != 0x4E || data[30] != 0xA7) return false;
  memset(out, 0, sizeof *out);
  CopyCut(out->name, sizeof out->name, "BOOTP", 5);
  CopyCut(out->ip, sizeof out->ip, "0.0.0.0", 7);
  CopyCut(out->mask, sizeof out->mask, "0.0.0.0", 7);
  CopyCut(out->gateway, sizeof out->gateway, "0.0.0.0", 7);
  snprintf(out->mac, sizeof out->mac, "%02X:%02X:%02X:%02X:%02X:%02X", data[28], data[29],
           data[30], data[31], data[32], data[33]);
  CopyCut(out->alias, sizeof out->alias, "Tiny", 4);
  out->dhcp = 0;
  return true;
}

namespace {

// Appends text to out[kCommandSize] at *used, cut to leave room for the
// closing "\r" that every command must carry.
void Append(char (&out)[kCommandSize], size_t* used, const char* text) {
  const size_t room = kCommandSize - 2 - *used;  // keeps one byte for '\r', one for NUL
  size_t n = strlen(text);
  if (n > room) n = room;
  memcpy(out + *used, text, n);
  *used += n;
  out[*used] = '\0';
}

void AppendField(char (&out)[kCommandSize], size_t* used, const char* key, const char* value) {
  char field[128];
  snprintf(field, sizeof field, ",%s%s", key, value);
  Append(out, used, field);
}

bool Differs(const char* wanted, const char* recorded) {
  return wanted && strcasecmp(wanted, recorded) != 0;
}

// Which fields the command for request carries.
struct Included {
  bool alias, ip, mask, gateway, mac, dhcp;
  bool Any() const { return alias || ip || mask || gateway || mac || dhcp; }
};

Included FieldsOf(const ModuleRecord& record, const ConfigRequest& request) {
  return {request.alias != nullptr,
          Differs(request.ip, record.ip),
          Differs(request.mask, record.mask),
          Differs(request.gateway, record.gateway),
          Differs(request.mac, record.mac),
          request.dhcp != record.dhcp};
}

bool IsSafeValue(std::string_view text) {
  return text.find_first_of(",=") == std::string_view::npos && !tarvik::HasControlCharacter(text);
}

}  // namespace

bool IsSafeConfigRequest(const ModuleRecord& record, const ConfigRequest& request) {
  const Included in = FieldsOf(record, request);
  if (!in.Any()) return true;
  return IsSafeValue(std::string_view(record.mac, strnlen(record.mac, sizeof record.mac))) &&
         (!in.alias || IsSafeValue(request.alias)) &&
         (!in.ip || IsSafeValue(request.ip)) && (!in.mask || IsSafeValue(request.mask)) &&
         (!in.gateway || IsSafeValue(request.gateway)) && (!in.mac || IsSafeValue(request.mac));
}

size_t BuildConfigCommand(const ModuleRecord& record, const ConfigRequest& request,
                          char (&out)[kCommandSize]) {
  out[0] = '\0';
  const Included in = FieldsOf(record, request);
  if (!in.Any()) return 0;
  const bool alias = in.alias, ip = in.ip, mask = in.mask, gateway = in.gateway, mac = in.mac,
             dhcp = in.dhcp;

  size_t used = 0;
  char head[64];
  snprintf(head, sizeof head, "KORVAXQ410X,01,TO=%s", record.mac);
  Append(out, &used, head);
  if (alias) AppendField(out, &used, "ALIAS=", request.alias);
  if (ip) AppendField(out, &used, "IP=", request.ip);
  if (mask) AppendField(out, &used, "MASK=", request.mask);
  if (gateway) AppendField(out, &used, "GATEWAY=", request.gateway);
  if (mac) AppendField(out, &used, "MAC=", request.mac);
  if (dhcp) {
    char field[128];
    snprintf(field, sizeof field, ",%s%d, ", "DHCP=", request.dhcp);
    Append(out, &used, field);
  }
  out[used++] = '\r';
  out[used] = '\0';
  return used;
}

int ClassifyConfirmation(const char* data, size_t length) {
  if (!Contains(data, length, kConfirmPrefix)) return -1;
  return Contains(data, length, "OK") ? 1 : 0;
}

}  // namespace findra
