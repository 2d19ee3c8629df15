// tarvikctl device ...: talks to a device server over its command port, as
// the server and port configuration dialogs do.
//   device info ADDRESS                 name, versions, settings, lock state
//   device set-network ADDRESS ...      unlock, send new settings, restart
//   device port ADDRESS PORT ...        read (or write, then read back) a port
//   device unlock ADDRESS --password P  prove the password
//   device diag HOST PORT               every step timed, then a verdict
//                                       (cmd_device_diag.cpp)
// Common options: --port N (command port), --timeout MS, --password P. When
// ADDRESS is a configured server, its command port, connect time-out and
// saved password are the defaults. device port on a configured server whose
// data ports speak RFC 2217 (its DataProtocol) reads and sets the line on
// the port's data connection (command port + PORT), as the port dialog
// does, and refuses while an application holds the port's COM number.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "command.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"
#include "tarvikdev.h"

#include "tarvik/state_root.h"
#include "tarvikcfg.h"

namespace tarvikctl {
namespace {

constexpr uint32_t kDefaultCommandPort = 10000;
constexpr uint32_t kDefaultTimeoutMs = 5000;

struct DeviceOptions {
  std::string address;
  std::vector<std::string> positional;
  std::string ip, mask, gateway, baud, format;
  std::string password;
  bool passwordGiven = false;
  uint32_t port = kDefaultCommandPort;
  bool portGiven = false;
  uint32_t timeoutMs = kDefaultTimeoutMs;
  bool timeoutGiven = false;
  std::string savedPassword;  // plain, from the store
  bool configured = false;
  TkcServerRecord record{};  // the configured server, when configured
  bool rfc2217 = false;      // the configured server's data ports speak RFC 2217
};

bool ParseNumber(const std::string& text, uint32_t low, uint32_t high, uint32_t* out) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  const unsigned long value = std::strtoul(text.c_str(), nullptr, 10);
  if (value < low || value > high) return false;
  *out = static_cast<uint32_t>(value);
  return true;
}

// Fills options from the words after the subcommand; false and *error on a
// malformed line. allowed lists the value options this subcommand takes.
bool ParseOptions(const Args& args, const std::string& allowed, DeviceOptions* options,
                  std::string* error) {
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word.rfind("--", 0) != 0) {
      options->positional.push_back(word);
      continue;
    }
    const std::string name = word.substr(2);
    if ((" " + allowed + " ").find(" " + name + " ") == std::string::npos) {
      *error = "unknown option " + word;
      return false;
    }
    if (i + 1 >= args.size()) {
      *error = word + " needs a value";
      return false;
    }
    const std::string& value = args[++i];
    if (name == "port") {
      if (!ParseNumber(value, 1, 65535, &options->port)) {
        *error = "--port takes a TCP port, 1 to 65535";
        return false;
      }
      options->portGiven = true;
    } else if (name == "timeout") {
      if (!ParseNumber(value, 1, 600000, &options->timeoutMs)) {
        *error = "--timeout takes milliseconds, 1 to 600000";
        return false;
      }
      options->timeoutGiven = true;
    } else if (name == "password") {
      options->password = value;
      options->passwordGiven = true;
    } else if (name == "ip") {
      options->ip = value;
    } else if (name == "mask") {
      options->mask = value;
    } else if (name == "gateway") {
      options->gateway = value;
    } else if (name == "baud") {
      options->baud = value;
    } else if (name == "format") {
      options->format = value;
    }
  }
  if (options->positional.empty()) {
    *error = "missing ADDRESS";
    return false;
  }
  options->address = options->positional.front();
  options->positional.erase(options->positional.begin());
  CMIP ip;
  if (!ip.IsValidText(options->address.c_str())) {
    *error = "not an IPv4 address: " + options->address;
    return false;
  }
  return true;
}

// When the address is that of a configured server, its command port,
// connect time-out and saved password become the defaults (options given
// on the command line still win). A missing store has no servers.
bool LookupConfiguredServer(DeviceOptions* o) {
  if (::access(tarvik::RegistryPath().c_str(), F_OK) != 0) return false;
  uint32_t servers = 0, ports = 0;
  if (Tkc_RegReadServersAndPorts(&servers, &ports) != TKC_OK) return false;
  CMIP ip;
  const uint32_t address = ip.SetTextGetValue(o->address.c_str());
  TkcServerRecord& record = o->record;
  for (uint32_t i = 0; i < servers; ++i) {
    if (Tkc_RegReadOneServer(i, &record, sizeof record) != TKC_OK || record.IPAddress != address) {
      continue;
    }
    o->configured = true;
    uint32_t protocol = TKC_DATA_PROTOCOL_RAW;
    o->rfc2217 = Tkc_RegGetDataProtocol(i, &protocol) == TKC_OK &&
                 protocol == TKC_DATA_PROTOCOL_RFC2217;
    if (!o->portGiven) o->port = record.TcpPortCmd;
    if (!o->timeoutGiven && record.ConnectTimeout != 0) o->timeoutMs = record.ConnectTimeout;
    o->savedPassword = tarvik::device::DecodeSavedPassword(record.PW, sizeof record.PW);
    return true;
  }
  record = TkcServerRecord{};
  return false;
}

std::string Where(const DeviceOptions& o) { return o.address + ":" + std::to_string(o.port); }

// Sets up and connects the session; false after reporting the failure.
bool Open(CZorn3* session, const DeviceOptions& o, const char* failureText, int* exitCode) {
  session->Address().SetText(o.address.c_str());
  session->SetPort(o.port);
  session->SetTimeout(o.timeoutMs);
  if (session->Connect() != 0) {
    const std::string text = failureText ? failureText : session->StatusText();
    session->Close();
    *exitCode = Fail(Where(o) + ": " + text);
    return false;
  }
  return true;
}

const char* PasswordFor(const DeviceOptions& o) {
  return o.passwordGiven ? o.password.c_str() : o.savedPassword.c_str();
}

// Proves the password (if any) on this connection; a refusal is only
// reported, the action goes on, as the dialogs do.
void UnlockOrWarn(CZorn3* session, const DeviceOptions& o) {
  if (session->Unlock(PasswordFor(o)) != 0) {
    std::fprintf(stderr, "tarvikctl: warning: %s\n", session->StatusText().c_str());
  }
}

}  // namespace

int DeviceDiag(const Args& args);  // cmd_device_diag.cpp

namespace {

int Info(const Args& args) {
  DeviceOptions o;
  std::string error;
  if (!ParseOptions(args, "port timeout password", &o, &error)) return Fail(error);
  if (!o.positional.empty()) return Fail("unexpected argument " + o.positional.front());
  LookupConfiguredServer(&o);
  CZorn3 session;
  int exitCode = 0;
  if (!Open(&session, o, nullptr, &exitCode)) return exitCode;

  using Getter = uint32_t (CZorn3::*)(char*, size_t);
  struct Row {
    const char* label;
    Getter get;
  };
  static const Row kRows[] = {
      {"Server Name : ", &CZorn3::GetDeviceName},
      {"Firmware Ver : ", &CZorn3::GetFirmwareVersion},
      {"OS Ver : ", &CZorn3::GetOsVersion},
      {"Max. Sockets : ", &CZorn3::GetMaxSockets},
      {"System Timeout (ms) : ", &CZorn3::GetSystemTimeout},
      {"Operation Mode : ", &CZorn3::GetShareMode},
      {"Gateway : ", &CZorn3::GetGateway},
      {"Sub-net Mask : ", &CZorn3::GetSubnetMask},
      {"MAC Address: ", &CZorn3::GetMacAddress},
  };
  for (const auto& row : kRows) {
    char value[200];
    if ((session.*row.get)(value, sizeof value) != 0) {
      const std::string status = session.StatusText();
      session.Close();
      return Fail(Where(o) + ": no answer to \"" + status + "\"");
    }
    const std::string shown =
        row.get == &CZorn3::GetShareMode ? tarvik::device::ShareModeText(value) : value;
    std::printf("%s%s\n", row.label, tarvik::EscapeText(shown).c_str());
  }
  UnlockOrWarn(&session, o);
  std::printf("Password Setting: %s\n",
              tarvik::device::LockStateText(session.QueryLockStatus()));
  session.Close();
  return 0;
}

int SetNetwork(const Args& args) {
  DeviceOptions o;
  std::string error;
  if (!ParseOptions(args, "port timeout password ip mask gateway", &o, &error)) return Fail(error);
  if (!o.positional.empty()) return Fail("unexpected argument " + o.positional.front());
  if (o.ip.empty() && o.mask.empty() && o.gateway.empty()) return Fail("Nothing changed!");
  CMIP check;
  if (!o.ip.empty() && !check.IsValidText(o.ip.c_str())) return Fail("Invalid IP format!");
  LookupConfiguredServer(&o);
  CZorn3 session;
  int exitCode = 0;
  if (!Open(&session, o, "Connecting failure!", &exitCode)) return exitCode;
  UnlockOrWarn(&session, o);
  const uint32_t r = session.SetNetwork(o.ip.c_str(), o.mask.c_str(), o.gateway.c_str());
  if (r != 0) {
    const std::string status = session.StatusText();
    session.Close();
    return Fail(Where(o) + ": " + status);
  }
  session.Restart();
  std::printf("%s\n", session.StatusText().c_str());
  session.Close();
  return 0;
}

using tarvik::device::PortDeviceSettings;
using tarvik::device::PortPageValues;

// The index of the port mapping that stands for a device port: the
// configured server's own mapping where it has one, else the layout every
// record has (data port n in entry n + 1). It decides the port's rules.
int EntryOfDevicePort(const DeviceOptions& o, uint32_t devicePort) {
  if (o.configured) {
    const uint32_t last = std::min<uint32_t>(o.record.PortNo + 1, TKC_PORTMAP_ENTRIES - 1);
    for (uint32_t e = 2; e <= last; ++e) {
      if (TkcComDevicePort(o.record.PortMap[e].Com) == devicePort) return static_cast<int>(e);
    }
  }
  return devicePort == 0 ? 0 : static_cast<int>(devicePort + 1);
}

// The device's name decides which values a port accepts: the configured
// server's, else the one the device gives now (empty when it does not).
std::string DeviceName(CZorn3* session, const DeviceOptions& o) {
  if (o.configured) return o.record.ServerName;
  char name[CZorn3::kReplySize] = {};
  if (session->Connect() == 0) session->GetDeviceName(name, sizeof name);
  session->Close();
  return name;
}

std::string Item(const std::vector<const char*>& items, int position) {
  return position >= 0 && position < static_cast<int>(items.size()) ? items[position] : "N/A";
}

std::string Items(const std::vector<const char*>& items) {
  std::string text;
  for (const char* item : items) text += (text.empty() ? "" : ", ") + std::string(item);
  return text;
}

// The procedure's failures reach the user as this command's one line, not
// as a second copy from the message box it would show in the utility.
class QuietMessageBoxes {
 public:
  QuietMessageBoxes() {
    tarvik::SetMessageBoxHook(
        [](const std::string&, const std::string&, unsigned) { return tarvik::kIdOk; });
  }
  ~QuietMessageBoxes() { tarvik::SetMessageBoxHook(nullptr); }
};

int Port(const Args& args) {
  DeviceOptions o;
  std::string error;
  if (!ParseOptions(args, "port timeout baud format", &o, &error)) return Fail(error);
  if (o.positional.size() != 1) return Fail("usage: device port ADDRESS PORT [--baud B] [--format 8N1]");
  uint32_t devicePort = 0;
  if (!ParseNumber(o.positional.front(), 0, 200, &devicePort)) {
    return Fail("PORT is a device port number, 0 to 200");
  }
  if (!o.baud.empty() && !tarvik::device::IsBaudRateText(o.baud.c_str())) {
    return Fail("--baud takes 1 to 15 digits");
  }
  if (!o.format.empty() && !tarvik::device::IsDataFormatText(o.format.c_str())) {
    return Fail("--format takes data bits, parity and stop bits, e.g. 8N1");
  }
  LookupConfiguredServer(&o);
  CZorn3 session;
  session.Address().SetText(o.address.c_str());
  session.SetPort(o.port);
  session.SetTimeout(o.timeoutMs);
  const int entry = EntryOfDevicePort(o, devicePort);
  const std::string name = DeviceName(&session, o);
  PortDeviceSettings settings(session, name, entry, devicePort);
  settings.SetDevice(session.Address().GetValue(), o.port, o.timeoutMs);
  std::string where = Where(o);
  if (o.rfc2217 && devicePort != 0) {
    // The COM number of the mapping this device port has, if it has one.
    const uint32_t com = entry < TKC_PORTMAP_ENTRIES &&
                                 TkcComDevicePort(o.record.PortMap[entry].Com) == devicePort
                             ? TkcComNumber(o.record.PortMap[entry].Com)
                             : 0;
    settings.UseRfc2217(com);
    where = o.address + ":" + std::to_string(tarvik::device::DataTcpPort(o.port, devicePort)) +
            " (RFC 2217)";
  }
  const bool limited = settings.Limited();
  QuietMessageBoxes quiet;

  bool read = settings.Read();
  if (!o.baud.empty() || !o.format.empty()) {
    PortPageValues lists = settings.ReadValues();
    if (!o.format.empty() &&
        !tarvik::device::FormatPositions(o.format.c_str(), name, entry, &lists)) {
      const bool oneStopBit = tarvik::device::PortRulesFor(name, entry).oneStopBitOnly;
      return Fail("--format " + o.format + ": this port takes data bits " +
                  Items(tarvik::device::DataBitsItems(limited)) + ", parity " +
                  Items(tarvik::device::ParityItems(limited)) + " and stop bits " +
                  (oneStopBit ? "1" : "1, 2"));
    }
    const std::string baud = o.baud.empty() ? settings.ReadValues().baud : o.baud;
    const PortDeviceSettings::WriteResult written = settings.Write(baud, lists);
    if (written == PortDeviceSettings::WriteResult::kFailed) {
      return Fail(where + ": " + settings.StatusLine());
    }
    // The command port's OK carries no values, so they are read back; an
    // RFC 2217 server's acknowledgements are the values it has now.
    if (written == PortDeviceSettings::WriteResult::kWritten)
      read = settings.UsesRfc2217() || settings.Read();
  }
  if (!read) return Fail(where + ": " + settings.StatusLine());
  const PortPageValues& v = settings.ReadValues();
  std::printf("Baud rate : %s\nData Bits : %s\nParity Bit : %s\nStop Bits : %s\n",
              tarvik::EscapeText(v.baud).c_str(),
              Item(tarvik::device::DataBitsItems(limited), v.dataBits).c_str(),
              Item(tarvik::device::ParityItems(limited), v.parity).c_str(),
              Item(tarvik::device::StopBitsItems(), v.stopBits).c_str());
  return 0;
}

int Unlock(const Args& args) {
  DeviceOptions o;
  std::string error;
  if (!ParseOptions(args, "port timeout password", &o, &error)) return Fail(error);
  if (!o.positional.empty()) return Fail("unexpected argument " + o.positional.front());
  LookupConfiguredServer(&o);
  if (PasswordFor(o)[0] == '\0') return Fail("device unlock needs --password P");
  CZorn3 session;
  int exitCode = 0;
  if (!Open(&session, o, nullptr, &exitCode)) return exitCode;
  const uint32_t r = session.Unlock(PasswordFor(o));
  if (r == 0) session.QueryLockStatus();  // shows that this connection is unlocked now
  const std::string status = session.StatusText();
  session.Close();
  // A device that is not locked has nothing to prove.
  if (r != 0 && r != 1) return Fail(Where(o) + ": " + status);
  std::printf("%s\n", status.c_str());
  return 0;
}

int Device(const Args& args) {
  if (args.empty()) return Fail("usage: device info|set-network|port|unlock|diag ADDRESS ...");
  const std::string& sub = args[0];
  if (sub == "info") return Info(args);
  if (sub == "set-network") return SetNetwork(args);
  if (sub == "port") return Port(args);
  if (sub == "unlock") return Unlock(args);
  if (sub == "diag") return DeviceDiag(args);
  return Fail("unknown device command \"" + sub + "\"");
}

const TarvikctlCommand kDevice({"device",
                                "device info|set-network|port|unlock|diag ADDRESS [PORT] [--port N] "
                                "[--timeout MS] [--password P] [--ip A] [--mask M] [--gateway G] "
                                "[--baud B] [--format 8N1]",
                                &Device});

}  // namespace
}  // namespace tarvikctl
