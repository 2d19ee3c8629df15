#include "server_label.h"

#include <cstdio>
#include <cstring>

namespace tarvik::app {

namespace {
// The record's texts are fixed-size fields that a damaged store may leave
// without a terminator.
std::string FieldText(const char* field, size_t size) {
  return std::string(field, strnlen(field, size));
}
}  // namespace

std::string Ipv4Text(uint32_t address) {
  char text[16];
  snprintf(text, sizeof text, "%u.%u.%u.%u", address & 0xFFu, (address >> 8) & 0xFFu,
           (address >> 16) & 0xFFu, (address >> 24) & 0xFFu);
  return text;
}

std::string ServerLabel(const ServerRecord& server, char queryState) {
  std::string label = FieldText(server.ServerName, sizeof server.ServerName);
  std::string alias = FieldText(server.AliasName, sizeof server.AliasName);
  if (!alias.empty()) label += " (" + alias + ")";
  label += " [" + Ipv4Text(server.IPAddress) + "]";
  std::string host = FieldText(server.HostName, sizeof server.HostName);
  if (!host.empty()) label += (queryState == '?' ? "-?" : "-") + host;
  return label;
}

}  // namespace tarvik::app
