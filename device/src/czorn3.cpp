#include "czorn3.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "command_forms.h"
#include "tarvik/clock.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"
#include "wait_clock.h"

using tarvik::device::BuildPortCommand;
using tarvik::device::ClassifyPayload;
using tarvik::device::CutSettingValue;
using tarvik::device::kNoReply;
using tarvik::device::kErrorReply;
using tarvik::device::ReplyPayload;
using tarvik::device::WaitClock;

namespace {

// How long one readiness wait of Connect lasts before the UI gets a turn.
constexpr uint32_t kPumpSliceMs = 20;
// One receive takes at most this much; the rest of a longer answer is left
// for the drain before the next command.
constexpr size_t kReceiveSize = 2048;
constexpr size_t kCommandSize = 20;
// Waits are made in pieces of at most this length, so that any time-out,
// however long, stays within what one readiness wait can take.
constexpr uint32_t kLongestWaitMs = 1000;

}  // namespace

uint32_t CZorn3::Connect() {
  lastError_ = 0;
  socket_.connected = 0;
  // 0.0.0.0 is what an address text that does not parse (or a record
  // without an address) becomes, and Linux connects it to this host: a
  // typo would read, and Set would reconfigure, whatever listens here.
  // 255.255.255.255 is no device either.
  const uint32_t address = address_.GetValue();
  if (address == 0 || address == 0xFFFFFFFFu) {
    socket_.Close();
    status_ = "Invalid IP address!";
    return 1;
  }
  int error = 0;
  if (!socket_.Create(&error)) {
    lastError_ = error;
    status_ = "Create socket! No net-resource?!";
    return 1;
  }
  status_ = "Connecting...";
  socket_.connected = 0;
  socket_.StartConnect(address, port_);
  {
    tarvik::WaitCursor cursor;
    WaitClock clock;
    for (uint32_t elapsed = clock.Elapsed(); elapsed < timeout_; elapsed = clock.Elapsed()) {
      if (socket_.connected == 1 || socket_.ConnectFailed()) break;
      const uint32_t slice = std::min(timeout_ - elapsed, kPumpSliceMs);
      if (!socket_.WaitForConnect(slice)) clock.AddWaited(slice);
      tarvik::PumpUiEvents();
    }
  }
  if (socket_.connected == 1) return 0;
  socket_.Close();
  return 1;
}

void CZorn3::Close() {
  socket_.Close();
  status_ = "Connection closed.";
  lastError_ = 0;
}

uint32_t CZorn3::Exchange(const char* command, char* result, size_t size, uint32_t timeoutMs) {
  tarvik::WaitCursor cursor;
  reply_[0] = '\0';
  if (result != nullptr && size > 0) result[0] = '\0';
  lastError_ = 0;

  char chunk[kReceiveSize + 1];
  int error = 0;
  // Whatever is still waiting belongs to an earlier command.
  while (socket_.Receive(chunk, kReceiveSize, &error) > 0) {
  }

  if (command != nullptr && command[0] != '\0') socket_.Send(command, std::strlen(command));

  WaitClock clock;
  ssize_t received = -1;
  int failure = 0;
  for (;;) {
    received = socket_.Receive(chunk, kReceiveSize, &error);
    if (received > 0) break;
    failure = received == 0 ? ECONNRESET : error;
    const uint32_t elapsed = clock.Elapsed();
    if (elapsed > timeoutMs) break;
    const uint32_t wait = static_cast<uint32_t>(
        std::min<uint64_t>(uint64_t{timeoutMs} - elapsed + 1, kLongestWaitMs));
    if (received == 0 || (error != EAGAIN && error != EWOULDBLOCK)) {
      // No reply can come any more (peer closed, socket gone); the exchange
      // still takes its time-out, but sleeps through it.
      tarvik::SleepMs(wait);
      clock.AddWaited(wait);
    } else if (!socket_.WaitReadable(wait)) {
      clock.AddWaited(wait);
    }
  }

  if (received > 0) {
    const std::string payload =
        ReplyPayload(command, chunk, static_cast<size_t>(received));
    tarvik::CopyText(reply_, payload.c_str());
    if (result != nullptr && size > 0) tarvik::CopyText(result, size, reply_);
  } else {
    lastError_ = failure;
  }
  // Classed on the reply itself, so that a small result buffer cannot turn
  // an error reply into a plain one.
  return ClassifyPayload(reply_);
}

uint32_t CZorn3::Ask(const char* status, const char* command, char* result, size_t size) {
  status_ = status;
  return Exchange(command, result, size, timeout_);
}

uint32_t CZorn3::GetDeviceName(char* result, size_t size) {
  return Ask("Getting device name...", "10\r", result, size);
}

uint32_t CZorn3::GetFirmwareVersion(char* result, size_t size) {
  return Ask("Getting firmware version...", "01\r", result, size);
}

uint32_t CZorn3::GetOsVersion(char* result, size_t size) {
  return Ask("Getting Vetra7 version...", "22\r", result, size);
}

uint32_t CZorn3::GetGateway(char* result, size_t size) {
  return Ask("Getting Gateway...", "13\r", result, size);
}

uint32_t CZorn3::GetSubnetMask(char* result, size_t size) {
  return Ask("Getting Sub-net Mask...", "15\r", result, size);
}

uint32_t CZorn3::GetMacAddress(char* result, size_t size) {
  return Ask("Getting MAC address...", "21\r", result, size);
}

uint32_t CZorn3::AskSetting(const char* status, char letter, char* result, size_t size) {
  char command[kCommandSize];
  tarvik::FormatText(command, sizeof command, "25%c\r", letter);
  char value[100];
  const uint32_t r = Ask(status, command, value, sizeof value);
  if (result != nullptr && size > 0) tarvik::CopyText(result, size, CutSettingValue(value, letter));
  return r;
}

uint32_t CZorn3::GetMaxSockets(char* result, size_t size) {
  return AskSetting("Getting Max. sockets...", 'N', result, size);
}

uint32_t CZorn3::GetSystemTimeout(char* result, size_t size) {
  return AskSetting("Getting system timeout value...", 'S', result, size);
}

uint32_t CZorn3::GetShareMode(char* result, size_t size) {
  return AskSetting("Getting sahre mode setting...", 'M', result, size);
}

uint32_t CZorn3::GetPortSettings(uint32_t port, char* result, size_t size) {
  status_ = "Getting Baud rate/Data format of a port!";
  char command[kCommandSize];
  if (!BuildPortCommand(16, port, "", command, sizeof command)) {
    if (result != nullptr && size > 0) result[0] = '\0';
    reply_[0] = '\0';
    lastError_ = EINVAL;
    return kNoReply;
  }
  return Exchange(command, result, size, timeout_);
}

int32_t CZorn3::SetPortText(const char* status, int code, uint32_t port, const char* text) {
  status_ = status;
  char command[kCommandSize];
  if (text == nullptr || !BuildPortCommand(code, port, text, command, sizeof command)) return -1;
  char result[100];
  const uint32_t r = Exchange(command, result, sizeof result, timeout_);
  return r == 0 && std::strncmp(result, "OK", 2) == 0 ? 0 : -1;
}

int32_t CZorn3::SetPortBaudRate(uint32_t port, const char* baud) {
  return SetPortText("Setting baud rate of a port!", 6, port, baud);
}

int32_t CZorn3::SetPortDataFormat(uint32_t port, const char* format) {
  return SetPortText("Setting data format of a port!", 7, port, format);
}

uint32_t CZorn3::SetNetwork(const char* address, const char* mask, const char* gateway) {
  auto given = [](const char* text) { return text != nullptr && text[0] != '\0'; };
  if (!given(address) && !given(mask) && !given(gateway)) return 0;
  std::string command = "26ISAVE=1,";
  if (given(address)) command += std::string("IP=") + address + ",";
  if (given(mask)) command += std::string("MASK=") + mask + ",";
  if (given(gateway)) command += std::string("GATEWAY=") + gateway + ",";
  command.back() = '\r';
  status_ = "Setting IP/Mask/Gateway...";
  constexpr size_t kNetworkCommandSize = 200;
  if (command.size() >= kNetworkCommandSize) {
    // Cut, it would lose its CR and carry a wrong address; never send that.
    status_ = "Setting Error!";
    return kErrorReply;
  }
  char result[200];
  const uint32_t r = Exchange(command.c_str(), result, sizeof result, timeout_);
  if (r == kNoReply) status_ = "No response from device!";
  if (r == kErrorReply) status_ = "Setting Error!";
  return r;
}

void CZorn3::Restart() {
  status_ = "Restarting Q410X/Q900X...";
  socket_.Send("33RESET\r", 8);
}
