#include "port_device_settings.h"

#include <cstdlib>
#include <cstring>

#include "port_format.h"
#include "tarvik/clock.h"
#include "tarvik/port_status.h"
#include "tarvik/state_root.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"

namespace tarvik::device {

namespace {

// Payloads of the port-settings query are short; the page asks with this
// result size, so a longer reply is cut and then fails to parse.
constexpr size_t kPortReplySize = 20;
// A moment for the "Setting..." line to be seen before the device is asked.
constexpr uint32_t kSettingPauseMs = 100;

// RFC 2217's parity codes, by the letter the page's parity list gives.
constexpr char kParityLetters[] = "NOEMS";  // codes 1..5

uint8_t ParityCode(char letter) {
  const char* at = letter != '\0' ? std::strchr(kParityLetters, letter) : nullptr;
  return at ? static_cast<uint8_t>(at - kParityLetters + 1) : 0;
}

// A page format ("8N1") as the three RFC 2217 values.
void FormatToLine(const char* format, SerialLine* line) {
  line->dataSize = static_cast<uint8_t>(format[0] - '0');
  line->parity = ParityCode(format[1]);
  line->stopSize = static_cast<uint8_t>(format[2] - '0');
}

// The server's format as a page format; false for one the page has no
// words for (one and a half stop bits, a code out of range).
bool LineToFormat(const SerialLine& line, char format[4]) {
  if (line.dataSize < 5 || line.dataSize > 8 || line.parity < 1 || line.parity > 5 ||
      (line.stopSize != 1 && line.stopSize != 2))
    return false;
  format[0] = static_cast<char>('0' + line.dataSize);
  format[1] = kParityLetters[line.parity - 1];
  format[2] = static_cast<char>('0' + line.stopSize);
  format[3] = '\0';
  return true;
}

// The baud text of the page as a rate RFC 2217 can carry (0 is its query).
bool BaudValue(const std::string& text, uint32_t* baud) {
  if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
  if (value == 0 || value > UINT32_MAX) return false;
  *baud = static_cast<uint32_t>(value);
  return true;
}

}  // namespace

DataPortUse ComPortUse(const std::string& runDirectory, uint32_t comNumber) {
  vonderil::PortStatusFile file;
  if (!vonderil::ReadPortStatusFile(runDirectory, &file)) return DataPortUse::kFree;
  for (const vonderil::PortStatusLine& p : file.ports) {
    if (p.comNumber != comNumber) continue;
    if (p.held) return DataPortUse::kHeld;
    // "broken" and "idle" have no connection; every other state has one or
    // is making one.
    return p.state == "idle" || p.state == "broken" ? DataPortUse::kFree : DataPortUse::kDriver;
  }
  return DataPortUse::kFree;
}

PortDeviceSettings::PortDeviceSettings(CZorn3& session, std::string serverName, int entry,
                                       uint32_t devicePort)
    : session_(session),
      serverName_(std::move(serverName)),
      entry_(entry),
      devicePort_(devicePort),
      limited_(IsLimitedPort(serverName_, entry)) {}

void PortDeviceSettings::SetDevice(uint32_t address, uint32_t commandPort, uint32_t timeoutMs) {
  session_.Address().SetValue(address);
  session_.SetPort(commandPort);
  session_.SetTimeout(timeoutMs);
  rfcSession_.SetAddress(address, DataTcpPort(commandPort, devicePort_));
  rfcSession_.SetTimeout(timeoutMs);
}

void PortDeviceSettings::UseRfc2217(uint32_t comNumber) {
  rfc2217_ = true;
  comNumber_ = comNumber;
}

std::string PortDeviceSettings::HeldReason() const {
  if (comNumber_ == 0) return {};
  const DataPortUse use = use_ ? use_(comNumber_) : ComPortUse(tarvik::RunDirectory(), comNumber_);
  char text[200] = "";
  if (use == DataPortUse::kHeld) {
    tarvik::FormatText(text, sizeof text,
                       "COM%u is in use by an application; its line settings travel with its "
                       "data and cannot be read or set from here now.",
                       comNumber_);
  } else if (use == DataPortUse::kDriver) {
    tarvik::FormatText(text, sizeof text,
                       "The driver keeps COM%u's data connection open (fast open or close "
                       "delay); its line settings cannot be read or set from here now.",
                       comNumber_);
  }
  return text;
}

void PortDeviceSettings::Status(const std::string& text) {
  status_ = text;
  if (sink_) sink_(status_);
}

bool PortDeviceSettings::Read() {
  tarvik::WaitCursor wait;
  Status("Status: Initializing...");
  if (rfc2217_) return ReadRfc2217();
  bool parsed = false;
  if (session_.Connect() != 0) {
    Status(session_.StatusText());
  } else {
    Status(session_.StatusText());
    char payload[kPortReplySize];
    PortPageValues values = read_;
    if (session_.GetPortSettings(devicePort_, payload, sizeof payload) == 0) {
      const PortParse result = ParsePortPayload(payload, serverName_, entry_, &values);
      if (result != PortParse::kNoBaudRate) {
        isRead_ = true;
        read_ = values;
      }
      parsed = result == PortParse::kOk;
    }
    Status(parsed ? std::string("Status: OK") : "Err:" + session_.StatusText());
    taken_ = read_;
  }
  session_.Close();
  return parsed;
}

bool PortDeviceSettings::Differs(const std::string& baud, const PortPageValues& lists) const {
  return baud != read_.baud || !SameListChoice(lists, read_);
}

PortDeviceSettings::WriteResult PortDeviceSettings::Fail(const std::string& reason) {
  Status("Error: " + reason);
  session_.Close();
  tarvik::ShowMessageBox(status_.c_str(), "Tarvik Utility", tarvik::kMbOk | tarvik::kMbIconWarning);
  return WriteResult::kFailed;
}

PortDeviceSettings::WriteResult PortDeviceSettings::Write(const std::string& baud,
                                                          const PortPageValues& lists) {
  Status("Status: Setting...");
  tarvik::SleepMs(kSettingPauseMs);
  taken_.dataBits = lists.dataBits;
  taken_.parity = lists.parity;
  taken_.stopBits = lists.stopBits;
  const bool baudChanged = baud != read_.baud;
  const bool formatChanged = !SameListChoice(taken_, read_);
  if (!baudChanged && !formatChanged) {
    Status("Status: Nothing changed!");
    return WriteResult::kNothingChanged;
  }
  // A format is only sent whole: with a list left empty there is nothing
  // the device could take, so nothing is sent at all.
  char format[4] = {};
  if (formatChanged &&
      !BuildDataFormat(limited_, taken_.dataBits, taken_.parity, taken_.stopBits, format)) {
    return Fail("Choose data bits, parity and stop bits!");
  }
  tarvik::WaitCursor wait;
  if (rfc2217_) return WriteRfc2217(baud, baudChanged, formatChanged ? format : nullptr);
  if (session_.Connect() != 0) return Fail(session_.StatusText());
  if (baudChanged && session_.SetPortBaudRate(devicePort_, baud.c_str()) != 0)
    return Fail(session_.StatusText());
  if (formatChanged && session_.SetPortDataFormat(devicePort_, format) != 0)
    return Fail(session_.StatusText());
  Status("Status: Setting OK!");
  read_.baud = baud;
  read_.dataBits = taken_.dataBits;
  read_.parity = taken_.parity;
  read_.stopBits = taken_.stopBits;
  session_.Close();
  return WriteResult::kWritten;
}

bool PortDeviceSettings::ReadRfc2217() {
  const std::string held = HeldReason();
  if (!held.empty()) {
    Status(held);
    return false;
  }
  Status("Connecting...");
  SerialLine line;
  const Rfc2217Result r = rfcSession_.Read(&line);
  if (r == Rfc2217Result::kInvalidAddress || r == Rfc2217Result::kNoSocket ||
      r == Rfc2217Result::kNotConnected) {
    Status(rfcSession_.StatusText());
    return false;
  }
  if (r != Rfc2217Result::kOk) {
    Status("Err:" + rfcSession_.StatusText());
    return false;
  }
  PortPageValues values = read_;
  values.baud = std::to_string(line.baud);
  char format[4];
  const bool shown = LineToFormat(line, format) &&
                     FormatPositions(format, serverName_, entry_, &values);
  isRead_ = true;
  read_ = values;
  taken_ = read_;
  if (!shown) {
    Status("Err:The server reports " + SerialLineText(line) + ", which this port's lists do not hold.");
    return false;
  }
  Status("Status: OK");
  return true;
}

PortDeviceSettings::WriteResult PortDeviceSettings::WriteRfc2217(const std::string& baud,
                                                                 bool baudChanged,
                                                                 const char* format) {
  SerialLine want;
  if (baudChanged && !BaudValue(baud, &want.baud))
    return Fail("Baud rate must be a number from 1 to 4294967295!");
  if (format) FormatToLine(format, &want);
  const std::string held = HeldReason();
  if (!held.empty()) return Fail(held);
  SerialLine acknowledged;
  if (rfcSession_.Write(want, &acknowledged) != Rfc2217Result::kOk)
    return Fail(rfcSession_.StatusText());

  // What the server took is what the port has now, asked for or not.
  PortPageValues now = read_;
  if (baudChanged) now.baud = std::to_string(acknowledged.baud);
  bool shown = true;
  if (format) {
    char taken[4];
    now.dataBits = now.parity = now.stopBits = -1;
    shown = LineToFormat(acknowledged, taken) && FormatPositions(taken, serverName_, entry_, &now);
  }
  const bool asAsked = acknowledged.baud == want.baud && acknowledged.dataSize == want.dataSize &&
                       acknowledged.parity == want.parity && acknowledged.stopSize == want.stopSize;
  read_ = now;
  if (asAsked) {
    Status("Status: Setting OK!");
  } else {
    // Not a failure: the port has a setting, only another one. The page
    // shows it, and a format it cannot show leaves the lists for OK to ask.
    const std::string text = SerialLineText(acknowledged);  // "BAUD FORMAT"
    const size_t blank = text.find(' ');
    std::string said = baudChanged ? text.substr(0, blank) : std::string();
    if (format) said += (said.empty() ? "" : " ") + text.substr(blank + 1);
    Status("Status: Setting OK! The server took " + said +
           (shown ? "." : ", which this port's lists do not hold."));
  }
  return WriteResult::kWritten;
}

}  // namespace tarvik::device
