// The running driver's port table, as it keeps it in <state root>/run/
// Vonderil.ports for tarvikctl and the utility. Header-only, so a reader
// needs no library: include it and call ReadPortStatusFile.
//
// The driver rewrites the file whole (a temporary file renamed over it)
// whenever a port changes, at most about five times a second, and removes
// it when it stops. A reader never sees half a file. Format, one record a
// line, fields separated by one blank:
//
//   Vonderil <pid> <running|stopping>
//   COM<n> <state> <address:port> <address2:port|-> <in use> <held|free> <to device> <from device>
//          <sessions> <line> <line state> <protocol> <server baud> <line bits> <modem bits>
//
//   state       idle, connecting, connected, reconnecting, broken, or closing
//               (nobody holds it; the last bytes go out or the close delay runs)
//   address     the device's primary address and the TCP port of this COM
//               port; address2 the redundant one, "-" when the server has none
//   in use      primary, redundant, or "-" while not connected
//   held/free   whether an application has the port open
//   to/from     bytes carried each way since the driver started (decimal)
//   sessions    how many times an application opened the port while it was not held
//   line        the baud rate and stop bits the port shows, "57600/1": what the
//               application set, or else what the device said it has; "-" for
//               a port that does not carry them (FixedConfig, the I/O port) or
//               before the first answer
//   line state  asking (the device is asked for its settings), sending, ok
//               (the device has them), failed (the device did not confirm
//               them: its command port refused or did not answer; sent again
//               at the next write), unknown (the device did not say what it
//               has; asked again at the next write), or "-"; on an RFC 2217
//               connection also unacknowledged (the server did not answer
//               the last change in time; the bytes went on) and data-only
//               (the server refused com-port control: settings go nowhere)
//   protocol    what the data connection carries: raw or rfc2217
//   server baud the baud rate the RFC 2217 server last acknowledged or
//               reported on this connection (decimal), "-" when none
//   line bits   the server's last NOTIFY-LINESTATE and NOTIFY-MODEMSTATE,
//   modem bits  "0x" and two hex digits, "-" when none came
//
// A line without the last seven fields (an older driver's) reads as 0, "-",
// "-", "raw", 0, "-", "-"; one without the last four as "raw", 0, "-", "-".
//
// A stop of the driver waits while ports are held; HeldComNumbers lists
// them for a message such as "COM5, COM7 are still open". The pid lets a
// reader tell a file left behind by a killed driver (the pid is gone).
#pragma once
#include <signal.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

namespace vonderil {

struct PortStatusLine {
  uint32_t comNumber = 0;
  std::string state;      // idle, connecting, connected, reconnecting, broken, closing
  std::string address;    // a.b.c.d:port
  std::string address2;   // a.b.c.d:port or "-"
  std::string inUse;      // primary, redundant or "-"
  bool held = false;
  uint64_t toDevice = 0;
  uint64_t fromDevice = 0;
  uint64_t sessions = 0;
  std::string line = "-";       // "57600/1" or "-"
  std::string lineState = "-";  // asking, sending, ok, failed, unknown, unacknowledged, data-only or "-"
  std::string protocol = "raw";  // raw or rfc2217
  uint32_t serverBaud = 0;       // 0: none reported
  int lineBits = -1;             // NOTIFY-LINESTATE, -1: none
  int modemBits = -1;            // NOTIFY-MODEMSTATE, -1: none
};

struct PortStatusFile {
  long pid = 0;
  bool stopping = false;
  std::vector<PortStatusLine> ports;
};

inline const char* PortStatusFileName() { return "Vonderil.ports"; }

namespace status_detail {
inline std::string Bits(int bits) {
  if (bits < 0 || bits > 0xFF) return "-";
  const char digits[] = "0123456789abcdef";
  return std::string("0x") + digits[bits >> 4] + digits[bits & 0xF];
}
}  // namespace status_detail

inline std::string FormatPortStatusLine(const PortStatusLine& p) {
  return "COM" + std::to_string(p.comNumber) + " " + p.state + " " + p.address + " " +
         p.address2 + " " + p.inUse + " " + (p.held ? "held" : "free") + " " +
         std::to_string(p.toDevice) + " " + std::to_string(p.fromDevice) + " " +
         std::to_string(p.sessions) + " " + p.line + " " + p.lineState + " " + p.protocol + " " +
         (p.serverBaud ? std::to_string(p.serverBaud) : "-") + " " +
         status_detail::Bits(p.lineBits) + " " + status_detail::Bits(p.modemBits);
}

namespace status_detail {
inline bool Number(const std::string& text, uint64_t max, uint64_t* out) {
  if (text.empty() || text.size() > 20) return false;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (v > (max - digit) / 10) return false;
    v = v * 10 + digit;
  }
  *out = v;
  return true;
}
inline bool OneOf(const std::string& word, std::initializer_list<const char*> words) {
  for (const char* w : words) {
    if (word == w) return true;
  }
  return false;
}
// "57600/1", "110/2"
inline bool LineText(const std::string& text) {
  if (text == "-") return true;
  const size_t slash = text.find('/');
  uint64_t baud = 0;
  return slash != std::string::npos && slash + 2 == text.size() &&
         Number(text.substr(0, slash), 0xFFFFFFFF, &baud) && baud > 0 &&
         (text[slash + 1] == '1' || text[slash + 1] == '2');
}
// "0x5a" or "-" (-1)
inline bool BitsText(const std::string& text, int* out) {
  if (text == "-") {
    *out = -1;
    return true;
  }
  if (text.size() != 4 || text[0] != '0' || text[1] != 'x') return false;
  int v = 0;
  for (size_t i = 2; i < 4; ++i) {
    const char c = text[i];
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (digit < 0) return false;
    v = v * 16 + digit;
  }
  *out = v;
  return true;
}
}  // namespace status_detail

// False for a line that is not a port record.
inline bool ParsePortStatusLine(const std::string& line, PortStatusLine* out) {
  std::istringstream in(line);
  std::string com, held, to, from, sessions, baud, lineBits, modemBits, rest;
  PortStatusLine p;
  if (!(in >> com >> p.state >> p.address >> p.address2 >> p.inUse >> held >> to >> from)) {
    return false;
  }
  if (in >> sessions) {
    if (!(in >> p.line >> p.lineState)) return false;
    if (in >> p.protocol) {
      if (!(in >> baud >> lineBits >> modemBits) || (in >> rest)) return false;
    }
  }
  uint64_t serverBaud = 0;
  if (!baud.empty() && baud != "-" &&
      (!status_detail::Number(baud, 0xFFFFFFFF, &serverBaud) || serverBaud == 0)) {
    return false;
  }
  p.serverBaud = static_cast<uint32_t>(serverBaud);
  if ((!lineBits.empty() && !status_detail::BitsText(lineBits, &p.lineBits)) ||
      (!modemBits.empty() && !status_detail::BitsText(modemBits, &p.modemBits))) {
    return false;
  }
  uint64_t n = 0;
  if (com.compare(0, 3, "COM") != 0 || !status_detail::Number(com.substr(3), 4095, &n) || n == 0)
    return false;
  p.comNumber = static_cast<uint32_t>(n);
  if (!status_detail::OneOf(p.state,
                            {"idle", "connecting", "connected", "reconnecting", "broken", "closing"}) ||
      !status_detail::OneOf(p.inUse, {"primary", "redundant", "-"}) ||
      !status_detail::OneOf(held, {"held", "free"}) ||
      !status_detail::Number(to, UINT64_MAX, &p.toDevice) ||
      !status_detail::Number(from, UINT64_MAX, &p.fromDevice) ||
      (!sessions.empty() && !status_detail::Number(sessions, UINT64_MAX, &p.sessions)) ||
      !status_detail::LineText(p.line) ||
      !status_detail::OneOf(p.lineState, {"asking", "sending", "ok", "failed", "unknown",
                                          "unacknowledged", "data-only", "-"}) ||
      !status_detail::OneOf(p.protocol, {"raw", "rfc2217"})) {
    return false;
  }
  p.held = held == "held";
  *out = p;
  return true;
}

// Parses a whole file's text. False when the first line is not the
// driver's header; port lines that do not parse are skipped.
inline bool ParsePortStatusText(const std::string& text, PortStatusFile* out) {
  std::istringstream in(text);
  std::string line, word, state, rest;
  if (!std::getline(in, line)) return false;
  std::istringstream head(line);
  uint64_t pid = 0;
  std::string pidText;
  if (!(head >> word >> pidText >> state) || (head >> rest) || word != "Vonderil" ||
      !status_detail::Number(pidText, 0x7FFFFFFF, &pid) || pid == 0 ||
      !(state == "running" || state == "stopping")) {
    return false;
  }
  out->pid = static_cast<long>(pid);
  out->stopping = state == "stopping";
  out->ports.clear();
  while (std::getline(in, line)) {
    PortStatusLine p;
    if (ParsePortStatusLine(line, &p)) out->ports.push_back(p);
  }
  return true;
}

// Reads <runDirectory>/Vonderil.ports. False when there is no such file,
// it does not parse, or the driver that wrote it is gone.
inline bool ReadPortStatusFile(const std::string& runDirectory, PortStatusFile* out) {
  std::ifstream in(runDirectory + "/" + PortStatusFileName());
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  if (!ParsePortStatusText(text.str(), out)) return false;
  return ::kill(static_cast<pid_t>(out->pid), 0) == 0 || errno == EPERM;
}

inline std::vector<uint32_t> HeldComNumbers(const PortStatusFile& file) {
  std::vector<uint32_t> held;
  for (const auto& p : file.ports) {
    if (p.held) held.push_back(p.comNumber);
  }
  return held;
}

}  // namespace vonderil
