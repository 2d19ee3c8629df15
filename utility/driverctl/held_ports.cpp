#include "held_ports.h"

#include <signal.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "tarvik/text.h"

namespace {

constexpr char kPortFile[] = "Vonderil.ports";
constexpr size_t kFieldsPerPort = 8;
constexpr size_t kMaxFileBytes = 1u << 20;  // 4095 ports of a few dozen bytes each

bool ParseNumber(const std::string& text, unsigned long max, unsigned long* out) {
  if (text.empty() || text.size() > 10) return false;
  unsigned long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned long>(c - '0');
  }
  if (value > max) return false;
  *out = value;
  return true;
}

std::vector<std::string> Fields(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> fields;
  std::string word;
  while (fields.size() <= kFieldsPerPort && in >> word) fields.push_back(word);
  return fields;
}

}  // namespace

std::vector<uint32_t> ParseHeldComPorts(const std::string& text, long* pid) {
  *pid = 0;
  std::vector<uint32_t> held;
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line)) return held;
  const std::vector<std::string> head = Fields(line);
  unsigned long number = 0;
  if (head.size() != 3 || head[0] != "Vonderil" || !ParseNumber(head[1], 0x7FFFFFFF, &number) ||
      number == 0) {
    return held;
  }
  *pid = static_cast<long>(number);
  while (std::getline(in, line)) {
    const std::vector<std::string> f = Fields(line);
    if (f.size() != kFieldsPerPort || f[0].compare(0, 3, "COM") != 0) continue;
    unsigned long com = 0;
    if (!ParseNumber(f[0].substr(3), 4095, &com) || com == 0) continue;
    if (f[5] == "held") held.push_back(static_cast<uint32_t>(com));
  }
  return held;
}

std::vector<uint32_t> ReadHeldComPorts(const std::string& runDirectory) {
  std::ifstream in(runDirectory + "/" + kPortFile, std::ios::binary);
  if (!in) return {};
  std::string text(kMaxFileBytes, '\0');
  in.read(&text[0], static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  long pid = 0;
  std::vector<uint32_t> held = ParseHeldComPorts(text, &pid);
  if (pid == 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM)) return {};
  return held;
}

void FormatComList(const std::vector<uint32_t>& ports, char* text, size_t size) {
  tarvik::CopyText(text, size, "");
  std::string list;
  for (uint32_t com : ports) {
    if (!list.empty()) list += ", ";
    list += "COM" + std::to_string(com);
  }
  tarvik::CopyText(text, size, list.c_str());
}
