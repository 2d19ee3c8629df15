#include "store_keys.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace tkc {

bool OpenParameterKey(tarvik::RegKey* key) {
  return key->Open(TKC_PARAMETER_KEY, tarvik::RegAccess::kFullAccess) == tarvik::kErrorSuccess;
}

void ReadCounts(const tarvik::RegKey& params, uint32_t* servers, uint32_t* ports, uint32_t* flags) {
  *servers = *ports = *flags = 0;
  uint32_t n = 0;
  if (params.QueryDword("Servers", &n) != tarvik::kErrorSuccess || n == 0) return;
  *servers = n > TKC_MAX_SERVERS ? 0 : n;
  uint32_t v = 0;
  if (params.QueryDword("Ports", &v) == tarvik::kErrorSuccess) *ports = v;
  v = 0;
  if (params.QueryDword("Flags", &v) == tarvik::kErrorSuccess) *flags = v;
}

void RaiseChangeCount(const tarvik::RegKey& params, ValueWriter* out) {
  uint32_t count = 0;
  if (params.QueryDword(kChangeCountValue, &count) != tarvik::kErrorSuccess) count = 0;
  out->Dword(kChangeCountValue, count + 1);
}

std::string ServerSubkeyName(uint64_t index) {
  char name[32];
  std::snprintf(name, sizeof(name), "Server%" PRIu64, index + 1);
  return name;
}

std::string PortValueName(const char* format, uint32_t port) {
  char name[32];
  std::snprintf(name, sizeof(name), format, unsigned(port));
  return name;
}

void ValueWriter::Dword(const std::string& name, uint32_t value) {
  if (status_ != tarvik::kErrorSuccess) return;
  Note(key_.SetDword(name, value));
}

void ValueWriter::Text(const std::string& name, const char* field, size_t size) {
  if (status_ != tarvik::kErrorSuccess) return;
  char text[TKC_HOSTNAME_SIZE];
  if (size > sizeof(text)) size = sizeof(text);
  const size_t length = strnlen(field, size - 1);
  std::memcpy(text, field, length);
  text[length] = '\0';
  Note(key_.SetString(name, text));
}

}  // namespace tkc
