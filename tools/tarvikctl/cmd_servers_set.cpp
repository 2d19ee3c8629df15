// tarvikctl servers set INDEX --data-protocol raw|rfc2217: changes what the
// driver speaks on the data connections of one configured server. Prints
//   server index=2 protocol=rfc2217
// The driver takes the change when it restarts.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "command.h"
#include "tarvikcfg.h"

namespace tarvikctl {

const char* DataProtocolWord(uint32_t protocol);
int ServersSet(const Args& args);

namespace {

constexpr const char* kSetUsage = "usage: tarvikctl servers set INDEX --data-protocol raw|rfc2217";

struct ProtocolWord {
  uint32_t protocol;
  const char* word;
};
const ProtocolWord kProtocolWords[] = {
    {TKC_DATA_PROTOCOL_RAW, "raw"},
    {TKC_DATA_PROTOCOL_RFC2217, "rfc2217"},
};

bool ParseProtocol(const std::string& word, uint32_t* protocol) {
  for (const ProtocolWord& row : kProtocolWords) {
    if (word == row.word) {
      *protocol = row.protocol;
      return true;
    }
  }
  return false;
}

bool ParseIndex(const std::string& text, uint32_t* index) {
  if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  *index = static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
  return *index >= 1;
}

}  // namespace

const char* DataProtocolWord(uint32_t protocol) {
  for (const ProtocolWord& row : kProtocolWords) {
    if (row.protocol == protocol) return row.word;
  }
  return "raw";
}

int ServersSet(const Args& args) {
  if (args.size() != 4 || args[2] != "--data-protocol") return Fail(kSetUsage);
  uint32_t index = 0;
  if (!ParseIndex(args[1], &index)) return Fail("INDEX is a server number from 1");
  uint32_t protocol = 0;
  if (!ParseProtocol(args[3], &protocol)) return Fail("--data-protocol takes raw or rfc2217");
  if (RequireWritableStore()) return 1;
  uint32_t servers = 0;
  uint32_t ports = 0;
  if (Tkc_RegReadServersAndPorts(&servers, &ports) != TKC_OK)
    return Fail("reading the configuration failed");
  if (index > servers)
    return Fail("no server " + std::to_string(index) + " (the store holds " +
                std::to_string(servers) + ")");
  const uint16_t status = Tkc_RegSetDataProtocol(index - 1, protocol);
  if (status != TKC_OK)
    return Fail("setting the data protocol of server " + std::to_string(index) +
                " failed (status " + std::to_string(status) + ")");
  std::printf("server index=%u protocol=%s\n", index, DataProtocolWord(protocol));
  return 0;
}

}  // namespace tarvikctl
