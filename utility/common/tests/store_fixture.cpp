#include "store_fixture.h"

#include <cstdio>

#include "app_texts.h"
#include "tarvik/registry.h"

void WriteFixtureStore(const FixtureServer* servers, int count, uint32_t flags) {
  tarvik::RegKey parameter;
  parameter.Create(kParameterKey);
  uint32_t ports = 0;
  for (int i = 0; i < count; ++i) {
    const FixtureServer& s = servers[i];
    char name[32];
    std::snprintf(name, sizeof name, "Server%d", i + 1);
    tarvik::RegKey key;
    key.Create(parameter, name);
    key.SetString("ServerName", s.name);
    key.SetString("AliasName", s.alias);
    key.SetString("HostName", s.host);
    key.SetString("PW", "");
    key.SetDword("IPAddress", s.address);
    key.SetDword("PortNo", s.ports);
    for (uint32_t p = 1; p <= s.ports; ++p) {
      char value[32];
      std::snprintf(value, sizeof value, "ComNo%u", p);
      // A full COM word: COM number, device port p, index p in slot 0.
      const uint32_t com = s.firstCom ? s.firstCom + p - 1 : 0;
      key.SetDword(value, com | (p << 13) | (p << 21));
    }
    key.SetDword("TcpPortCmd", 10000);
    ports += s.ports + 1;
  }
  parameter.SetDword("Servers", static_cast<uint32_t>(count));
  parameter.SetDword("Ports", ports);
  parameter.SetDword("Flags", flags);
}

namespace {
std::string KeyPath(const char* subKey) {
  std::string path = kParameterKey;
  if (subKey && *subKey) path += std::string("\\") + subKey;
  return path;
}
}  // namespace

std::string StoredString(const char* subKey, const char* name) {
  tarvik::RegKey key;
  if (key.Open(KeyPath(subKey), tarvik::RegAccess::kRead) != 0) return std::string();
  char text[256] = "";
  if (key.QueryString(name, text, sizeof text) != 0) return std::string();
  return text;
}

uint32_t StoredDword(const char* subKey, const char* name) {
  tarvik::RegKey key;
  uint32_t value = 0xFFFFFFFFu;
  if (key.Open(KeyPath(subKey), tarvik::RegAccess::kRead) != 0) return value;
  if (key.QueryDword(name, &value) != 0) return 0xFFFFFFFFu;
  return value;
}
