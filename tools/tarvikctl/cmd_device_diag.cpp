// tarvikctl device diag HOST PORT [--timeout MS]: the diagnostic the
// utility's Diagnostic command opens in a terminal window. It walks a
// device server step by step and times each step: the command port, what
// the device says about itself, its lock, then each data port (a TCP
// connect to command port + device port number, and its serial settings
// over the command port). It ends with a one-line verdict; the exit code is
// 0 only when every step passed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cmip.h"
#include "command.h"
#include "czorn3.h"
#include "device_words.h"
#include "port_settings.h"
#include "tarvik/clock.h"
#include "tarvik/text.h"
#if __has_include("tarvikcfg.h")
#include "tarvikcfg.h"
#define TARVIKCTL_DIAG_LAYOUT 1
#endif

namespace tarvikctl {

namespace {

constexpr uint32_t kDefaultTimeoutMs = 3000;

class Steps {
 public:
  // One step: its label, what came out, whether it passed, and how long it
  // took since Begin().
  void Begin() { start_ = tarvik::TickCount(); }
  bool End(const std::string& label, const std::string& result, bool passed) {
    const uint32_t ms = tarvik::TickCount() - start_;
    std::printf("%-30s %-24s %5u ms%s\n", label.c_str(), result.c_str(), ms,
                passed ? "" : "  FAILED");
    std::fflush(stdout);
    ++count_;
    if (!passed) {
      if (failed_ == 0) firstFailure_ = label;
      ++failed_;
    }
    return passed;
  }
  int Verdict() const {
    if (failed_ == 0) {
      std::printf("Verdict: OK, all %d steps passed.\n", count_);
      return 0;
    }
    std::printf("Verdict: FAILED, %d of %d steps failed (first: %s).\n", failed_, count_,
                firstFailure_.c_str());
    return 1;
  }

 private:
  uint32_t start_ = 0;
  int count_ = 0;
  int failed_ = 0;
  std::string firstFailure_;
};

bool ParseNumber(const std::string& text, uint32_t low, uint32_t high, uint32_t* out) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  const unsigned long value = std::strtoul(text.c_str(), nullptr, 10);
  if (value < low || value > high) return false;
  *out = static_cast<uint32_t>(value);
  return true;
}

// The device port numbers of the data ports, laid out from the device's
// name as the utility lays out a new server; false for a name the layout
// rules do not know.
bool DataPorts(const char* name, std::vector<uint32_t>* ports) {
#if TARVIKCTL_DIAG_LAYOUT
  TkcServerRecord record{};
  tarvik::CopyText(record.ServerName, name);
  if (Tkc_ParseServerInfo(&record, sizeof record) != TKC_OK) return false;
  for (uint32_t i = 0; i < record.PortNo && i + 2 < TKC_PORTMAP_ENTRIES; ++i) {
    const uint32_t number = TkcComDevicePort(record.PortMap[i + 2].Com);
    ports->push_back(number != 0 ? number : i + 1);
  }
  return true;
#else
  (void)name;
  (void)ports;
  return false;
#endif
}

std::string Describe(const tarvik::device::PortSettings& s) {
  std::string text = s.baud;
  if (s.dataBits && s.parity && s.stopBits) {
    text += " ";
    text += s.dataBits;
    text += s.parity;
    text += s.stopBits;
  }
  return text;
}

}  // namespace

int DeviceDiag(const Args& args) {
  std::vector<std::string> positional;
  uint32_t timeoutMs = kDefaultTimeoutMs;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--timeout") {
      if (i + 1 >= args.size() || !ParseNumber(args[i + 1], 1, 600000, &timeoutMs))
        return Fail("--timeout takes milliseconds, 1 to 600000");
      ++i;
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() != 2) return Fail("usage: device diag HOST PORT [--timeout MS]");
  CMIP ip;
  if (!ip.IsValidText(positional[0].c_str()))
    return Fail("not an IPv4 address: " + positional[0]);
  uint32_t commandPort = 0;
  if (!ParseNumber(positional[1], 1, 65535, &commandPort))
    return Fail("PORT is the command port, 1 to 65535");
  const std::string host = positional[0];

  std::printf("Diagnostic of %s, command port %u\n", host.c_str(), commandPort);
  Steps steps;
  CZorn3 session;
  session.Address().SetText(host.c_str());
  session.SetPort(commandPort);
  session.SetTimeout(timeoutMs);
  steps.Begin();
  const bool connected = session.Connect() == 0;
  if (!steps.End("Connect to command port " + std::to_string(commandPort),
                 connected ? "connected" : "not reached", connected)) {
    return steps.Verdict();
  }

  using Getter = uint32_t (CZorn3::*)(char*, size_t);
  struct Row {
    const char* label;
    Getter get;
  };
  static const Row kRows[] = {
      {"Server name", &CZorn3::GetDeviceName},   {"Firmware version", &CZorn3::GetFirmwareVersion},
      {"OS version", &CZorn3::GetOsVersion},     {"Subnet mask", &CZorn3::GetSubnetMask},
      {"Gateway", &CZorn3::GetGateway},          {"MAC address", &CZorn3::GetMacAddress},
  };
  char name[100] = "";
  for (const Row& row : kRows) {
    char value[100];
    steps.Begin();
    const bool ok = (session.*row.get)(value, sizeof value) == 0;
    steps.End(row.label, ok ? tarvik::EscapeText(value) : "no answer", ok);
    if (row.get == &CZorn3::GetDeviceName && ok) tarvik::CopyText(name, value);
  }
  steps.Begin();
  const uint32_t lock = session.QueryLockStatus();
  steps.End("Lock state", tarvik::device::LockStateText(lock), lock <= 2);

  std::vector<uint32_t> ports;
  steps.Begin();
  const bool known = name[0] != '\0' && DataPorts(name, &ports);
  if (!steps.End("Data port layout",
                 known ? std::to_string(ports.size()) + " data port(s)"
                       : "unknown for " + tarvik::QuoteText(name),
                 known)) {
    session.Close();
    return steps.Verdict();
  }
  for (uint32_t number : ports) {
    const std::string label = "Data port " + std::to_string(number);
    const uint32_t dataPort = commandPort + number;
    CZorn3 data;
    data.Address().SetText(host.c_str());
    data.SetPort(dataPort);
    data.SetTimeout(timeoutMs);
    steps.Begin();
    const uint32_t started = tarvik::TickCount();
    const bool connected = data.Connect() == 0;
    const bool timedOut = !connected && tarvik::TickCount() - started >= timeoutMs;
    data.Close();
    steps.End(label + ": connect " + std::to_string(dataPort),
              connected ? "connected" : timedOut ? "no answer (timed out)" : "refused", connected);

    char payload[20];
    tarvik::device::PortSettings settings;
    steps.Begin();
    const bool read = session.GetPortSettings(number, payload, sizeof payload) == 0 &&
                      tarvik::device::ParsePortSettings(payload, tarvik::device::PortRules(),
                                                        &settings) ==
                          tarvik::device::PortParse::kOk;
    steps.End(label + ": serial settings", read ? Describe(settings) : "no answer", read);
  }
  session.Close();
  return steps.Verdict();
}

}  // namespace tarvikctl
