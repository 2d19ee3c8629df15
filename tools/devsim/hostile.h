// A hostile device: one that reports texts made to break whatever shows
// them. Discovery replies and command-port answers are unauthenticated, so
// the suite must treat them as data: escaped on a terminal, plain text in a
// label, never a field of its own on the wire. A device section's key
// "hostile" lists what such a device forges; its real address, MAC and
// command port stay what the section says, so it can still be found,
// configured and added.
#pragma once
#include <cstdint>
#include <string>

namespace devsim {

enum HostileText : uint32_t {
  kHostileNone = 0,
  kHostileName = 1 << 0,     // discovery NAME and the command port's name (code 10)
  kHostileAlias = 1 << 1,    // discovery ALIAS
  kHostileAddress = 1 << 2,  // discovery IP, MASK and GATEWAY
  kHostileMac = 1 << 3,      // discovery MAC
  kHostileReplies = 1 << 4,  // command port: firmware, OS version, share mode,
                             // gateway, mask and MAC answers
  kHostileAll = 0x1F,
};

// "name,alias,address,mac,replies" in any order and number, "all", or
// "none". False with a reason for an unknown word.
bool ParseHostile(const std::string& list, uint32_t* out, std::string* error);

// The forged texts, each built on the device's real value. A name keeps
// the real name in front (so its model is still recognised) and carries an
// output line of its own after a line feed, a terminal sequence, a quote,
// markup and filler past any field; an alias carries '=', a quote, a
// terminal sequence and markup past 19 characters; an address or MAC keeps
// its real start and adds control characters, '=' and more past its field.
std::string HostileName(const std::string& name);
std::string HostileAlias(const std::string& alias);
std::string HostileAddress(const std::string& address);
std::string HostileMac(const std::string& mac);
std::string HostileReply(const std::string& reply);

// value as a device that forges the texts in hostile shows it where it
// stands for text (one HostileText bit): forged when hostile holds it.
std::string Shown(uint32_t hostile, uint32_t text, const std::string& value);

}  // namespace devsim
