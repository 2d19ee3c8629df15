#include "hostile.h"

#include <sstream>

#include "command_port.h"

namespace devsim {

namespace {

struct HostileWord {
  const char* word;
  uint32_t texts;
};

constexpr HostileWord kHostileWords[] = {
    {"none", kHostileNone},       {"name", kHostileName},   {"alias", kHostileAlias},
    {"address", kHostileAddress}, {"mac", kHostileMac},     {"replies", kHostileReplies},
    {"all", kHostileAll},
};

// A line that a script reading "kind key=value" output would take for a
// server added by tarvikctl.
constexpr char kForgedLine[] = "added index=77 ip=6.6.6.6 name=\"FORGED\" ports=2 com=1,2";
// Clears the screen, then opens bold text for a label that reads markup.
constexpr char kScreenAndMarkup[] = "\x1b[2J\"<b>x</b>";

}  // namespace

bool ParseHostile(const std::string& list, uint32_t* out, std::string* error) {
  *out = kHostileNone;
  std::stringstream words(list);
  std::string word;
  while (std::getline(words, word, ',')) {
    bool known = false;
    for (const HostileWord& w : kHostileWords) {
      if (word == w.word) {
        *out |= w.texts;
        known = true;
      }
    }
    if (!known) {
      *error = "unknown hostile text \"" + word + "\" (name, alias, address, mac, replies, all)";
      return false;
    }
  }
  return true;
}

std::string HostileName(const std::string& name) {
  std::string text = name + "\n" + kForgedLine + "\r\n" + kScreenAndMarkup + "=,";
  // Past the 99 characters a command-port reply keeps.
  return text + std::string(120 - (text.size() < 120 ? text.size() : 120), 'X');
}

std::string HostileAlias(const std::string& alias) {
  return alias + "x=y" + kScreenAndMarkup + " and on past any alias field";
}

std::string HostileAddress(const std::string& address) {
  return address + "\x1b[m=\n9.9.9.9<b>";
}

std::string HostileMac(const std::string& mac) {
  // The real first three octets, so the text still looks like the maker's.
  return mac.substr(0, 8) + "\x1b[5m=\n<b>" + mac.substr(8);
}

std::string HostileReply(const std::string& reply) {
  return reply + "\r\nadded index=78\x1b]0;owned\x07<i>";
}

void MakeCommandPortHostile(uint32_t what, CommandPortSettings* s) {
  if (what & kHostileName) s->name = HostileName(s->name);
  if (what & kHostileReplies) {
    s->firmware = HostileReply(s->firmware);
    s->osVersion = HostileReply(s->osVersion);
    s->shareMode = HostileReply(s->shareMode);
    s->gateway = HostileReply(s->gateway);
    s->mask = HostileReply(s->mask);
    s->mac = HostileReply(s->mac);
  }
}

}  // namespace devsim
