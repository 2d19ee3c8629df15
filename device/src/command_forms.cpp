#include "command_forms.h"

#include <cstring>

#include "tarvik/text.h"

namespace tarvik::device {

std::string ReplyPayload(const char* command, const char* chunk, size_t length) {
  const void* nul = std::memchr(chunk, '\0', length);
  if (nul != nullptr) length = static_cast<size_t>(static_cast<const char*>(nul) - chunk);
  std::string text(chunk, length);
  if (!text.empty() && text.back() == '\r') text.pop_back();
  // Both sides need two real characters: a one-character command would
  // otherwise "match" and skip past the end of a one-character reply.
  if (command != nullptr && std::strlen(command) >= 2 && text.size() >= 2 &&
      text[0] == command[0] && text[1] == command[1]) {
    text.erase(0, 2);
  }
  return text;
}

ExchangeResult ClassifyPayload(const char* text) {
  if (std::strncmp(text, "ERROR", 5) == 0) return kErrorReply;
  if (text[0] == '\0' || text[0] == '\r') return kNoReply;
  return kReply;
}

const char* CutSettingValue(const char* payload, char letter) {
  if (payload[0] != letter) return payload;
  return payload[1] == '=' ? payload + 2 : payload + 1;
}

char PortCharacter(uint32_t port) {
  if (port < 10) return static_cast<char>('0' + port);
  if (port + 55 <= 255) return static_cast<char>(port + 55);
  return 0;
}

bool BuildPortCommand(int code, uint32_t port, const char* text, char* out, size_t size) {
  if (size > 0) out[0] = '\0';
  const char c = PortCharacter(port);
  if (c == 0 || size == 0) return false;
  const size_t needed = 2 + 1 + std::strlen(text) + 1;
  if (code < 0 || code > 99 || needed + 1 > size) return false;
  FormatText(out, size, "%02d%c%s\r", code, c, text);
  return true;
}

}  // namespace tarvik::device
