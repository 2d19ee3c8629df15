#include "hostile.h"

#include "word_list.h"

namespace devsim {

namespace {

constexpr NamedBits kHostileWords[] = {
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
  std::string word;
  if (ParseWordList(list, kHostileWords, out, &word)) return true;
  *error = "unknown hostile text \"" + word + "\" (name, alias, address, mac, replies, all)";
  return false;
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

std::string Shown(uint32_t hostile, uint32_t text, const std::string& value) {
  if ((hostile & text) == 0) return value;
  switch (text) {
    case kHostileName: return HostileName(value);
    case kHostileAlias: return HostileAlias(value);
    case kHostileAddress: return HostileAddress(value);
    case kHostileMac: return HostileMac(value);
    case kHostileReplies: return HostileReply(value);
    default: return value;
  }
}

}  // namespace devsim
