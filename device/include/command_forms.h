// The text forms of the device command port, kept apart from the socket so
// that they can be tested and fuzzed on their own: how a received chunk
// becomes a payload, how a payload is classed, how the setting queries are
// cut and how a device port number is written into a command.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace tarvik::device {

// Results of one exchange.
enum ExchangeResult : uint32_t { kReply = 0, kNoReply = 1, kErrorReply = 2 };

// The payload of a chunk received after command was sent: one trailing CR
// removed, then the two leading characters removed when they repeat the
// command's first two (the device echoes the command code). Stops at a NUL
// byte inside the chunk, since everything after it is not text.
std::string ReplyPayload(const char* command, const char* chunk, size_t length);

// kErrorReply when text begins with "ERROR", kNoReply when it is empty or
// begins with a CR, else kReply.
ExchangeResult ClassifyPayload(const char* text);

// The value of a setting query (letter 'N', 'S' or 'M'): the text after
// "N=" when the payload begins with it, else after "N", else the payload.
const char* CutSettingValue(const char* payload, char letter);

// The character that stands for a device port in a command: '0'..'9' for 0
// to 9, and the character with code port + 55 above ("A" for 10). 0 when
// the port cannot be written as one character.
char PortCharacter(uint32_t port);

// Builds "<code><port><text>\r" into out, as the port commands are sent.
// Returns false, with out empty, when the port has no character or the
// command does not fit in size bytes (the device would get a cut command).
bool BuildPortCommand(int code, uint32_t port, const char* text, char* out, size_t size);

}  // namespace tarvik::device
