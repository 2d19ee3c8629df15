#include "port_device_settings.h"

#include "port_format.h"
#include "tarvik/clock.h"
#include "tarvik/ui_hooks.h"

namespace tarvik::device {

namespace {

// Payloads of the port-settings query are short; the page asks with this
// result size, so a longer reply is cut and then fails to parse.
constexpr size_t kPortReplySize = 20;
// A moment for the "Setting..." line to be seen before the device is asked.
constexpr uint32_t kSettingPauseMs = 100;

}  // namespace

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
}

void PortDeviceSettings::Status(const std::string& text) {
  status_ = text;
  if (sink_) sink_(status_);
}

bool PortDeviceSettings::Read() {
  tarvik::WaitCursor wait;
  Status("Status: Initializing...");
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

}  // namespace tarvik::device
