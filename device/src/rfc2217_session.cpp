#include "rfc2217_session.h"

#include <algorithm>
#include <cerrno>

#include "tarvik/clock.h"
#include "tarvik/ui_hooks.h"
#include "wait_clock.h"

namespace tarvik::device {

namespace {

constexpr uint32_t kSliceMs = 20;
constexpr size_t kReceiveSize = 1024;

// Keeps an answered value in its field of line; false for a command that is
// not one of the four line settings.
bool Keep(ComPortCommand command, uint32_t value, SerialLine* line) {
  switch (command) {
    case ComPortCommand::kSetBaudRate:
      line->baud = value;
      return true;
    case ComPortCommand::kSetDataSize:
      line->dataSize = static_cast<uint8_t>(value);
      return true;
    case ComPortCommand::kSetParity:
      line->parity = static_cast<uint8_t>(value);
      return true;
    case ComPortCommand::kSetStopSize:
      line->stopSize = static_cast<uint8_t>(value);
      return true;
    default:
      return false;
  }
}

}  // namespace

uint32_t DataTcpPort(uint32_t tcpPortCmd, uint32_t devicePort) { return tcpPortCmd + devicePort; }

Rfc2217Session::~Rfc2217Session() { Close(); }

void Rfc2217Session::SetAddress(uint32_t address, uint32_t tcpPort) {
  address_ = address;
  port_ = tcpPort;
}

void Rfc2217Session::Close() {
  socket_.Close();
  filter_.reset();
  out_.Clear();
}

Rfc2217Result Rfc2217Session::Finish(Rfc2217Result result) {
  Close();
  return result;
}

bool Rfc2217Session::Flush() {
  // The session sends a few dozen bytes on a fresh connection: the socket's
  // buffer takes them whole, and one that does not is a broken connection.
  const std::string bytes = std::move(out_.network);
  out_.network.clear();
  if (bytes.empty()) return true;
  return socket_.Send(bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

void Rfc2217Session::TakeEvents() {
  for (const Rfc2217Event& e : out_.events) {
    if (e.kind == Rfc2217Event::Kind::kAcknowledged) Keep(e.command, e.value, &answered_);
  }
  out_.events.clear();
  // Nothing reads the serial line's data here; what the device sends meanwhile is dropped.
  out_.application.clear();
}

template <typename Done>
Rfc2217Result Rfc2217Session::Pump(Done done) {
  char chunk[kReceiveSize];
  for (;;) {
    if (done()) return Rfc2217Result::kOk;
    int error = 0;
    const ssize_t n = socket_.Receive(chunk, sizeof chunk, &error);
    if (n > 0) {
      filter_->FromNetwork(reinterpret_cast<const uint8_t*>(chunk), static_cast<size_t>(n), &out_);
      TakeEvents();
      if (!Flush()) return Rfc2217Result::kClosed;
      continue;
    }
    if (n == 0 || (error != EAGAIN && error != EWOULDBLOCK)) return Rfc2217Result::kClosed;
    const uint64_t ticks = static_cast<uint32_t>(tarvik::TickCount() - answerStart_);
    const uint64_t elapsed = std::max(ticks, answerWaited_);
    if (elapsed >= timeoutMs_) return Rfc2217Result::kNoAnswer;
    const uint32_t slice = static_cast<uint32_t>(std::min<uint64_t>(timeoutMs_ - elapsed, kSliceMs));
    if (!socket_.WaitReadable(slice)) answerWaited_ += slice;
    tarvik::PumpUiEvents();
  }
}

Rfc2217Result Rfc2217Session::Connect() {
  Close();
  answered_ = SerialLine{};
  // As on the command port: 0.0.0.0 is what a bad address text becomes and
  // Linux connects it to this host; 255.255.255.255 is no device.
  if (address_ == 0 || address_ == 0xFFFFFFFFu) {
    status_ = "Invalid IP address!";
    return Rfc2217Result::kInvalidAddress;
  }
  int error = 0;
  if (!socket_.Create(&error)) {
    status_ = "Create socket! No net-resource?!";
    return Rfc2217Result::kNoSocket;
  }
  status_ = "Connecting...";
  socket_.StartConnect(address_, port_);
  {
    tarvik::WaitCursor cursor;
    WaitClock clock;
    for (uint32_t elapsed = clock.Elapsed(); elapsed < timeoutMs_; elapsed = clock.Elapsed()) {
      if (socket_.connected == 1 || socket_.ConnectFailed()) break;
      const uint32_t slice = std::min(timeoutMs_ - elapsed, kSliceMs);
      if (!socket_.WaitForConnect(slice)) clock.AddWaited(slice);
      tarvik::PumpUiEvents();
    }
  }
  if (socket_.connected != 1) {
    Close();
    return Rfc2217Result::kNotConnected;
  }

  status_ = "Negotiating RFC 2217...";
  StartWait();
  filter_ = std::make_unique<Rfc2217Filter>();
  filter_->Start(&out_);
  if (!Flush()) {
    status_ = "The server closed the connection.";
    return Finish(Rfc2217Result::kClosed);
  }
  Rfc2217Result r = Pump([this] { return filter_->ComPort() != OptionState::kPending; });
  if (r == Rfc2217Result::kClosed) {
    status_ = "The server closed the connection.";
    return Finish(r);
  }
  if (r == Rfc2217Result::kNoAnswer) {
    status_ = "The server did not answer the RFC 2217 negotiation.";
    return Finish(r);
  }
  if (filter_->ComPort() != OptionState::kOn) {
    status_ = "The server does not take line settings over RFC 2217 (it refused option 44).";
    return Finish(Rfc2217Result::kRefused);
  }
  return Rfc2217Result::kOk;
}

void Rfc2217Session::StartWait() {
  answerStart_ = tarvik::TickCount();
  answerWaited_ = 0;
}

Rfc2217Result Rfc2217Session::Query(SerialLine* line) {
  *line = SerialLine{};
  if (!Connected()) {
    status_ = "Not connected.";
    return Rfc2217Result::kNotConnected;
  }
  status_ = "Asking for the line settings...";
  answered_ = SerialLine{};
  StartWait();
  for (ComPortCommand command : {ComPortCommand::kSetBaudRate, ComPortCommand::kSetDataSize,
                                 ComPortCommand::kSetParity, ComPortCommand::kSetStopSize}) {
    filter_->Query(command, &out_);  // the option is on: each is sent
  }
  if (!Flush()) {
    status_ = "The server closed the connection.";
    return Finish(Rfc2217Result::kClosed);
  }
  const Rfc2217Result r = Pump([this] { return filter_->PendingRequests() == 0; });
  *line = answered_;
  if (r == Rfc2217Result::kOk) {
    status_ = "The server reported " + SerialLineText(answered_) + ".";
    return r;
  }
  status_ = r == Rfc2217Result::kClosed ? "The server closed the connection."
                                        : "The server did not report its line settings.";
  return Finish(r);
}

Rfc2217Result Rfc2217Session::Read(SerialLine* line) {
  *line = SerialLine{};
  Rfc2217Result r = Connect();
  if (r == Rfc2217Result::kOk) r = Query(line);
  Close();
  return r;
}

Rfc2217Result Rfc2217Session::Set(const SerialLine& want, SerialLine* acknowledged) {
  *acknowledged = SerialLine{};
  if (want.baud == 0 && want.dataSize == 0 && want.parity == 0 && want.stopSize == 0) {
    status_ = "Nothing to set.";
    return Rfc2217Result::kInvalid;
  }
  if (!Connected()) {
    status_ = "Not connected.";
    return Rfc2217Result::kNotConnected;
  }
  status_ = "Setting the line...";
  answered_ = SerialLine{};
  StartWait();
  bool sent = true;
  if (want.baud != 0) sent &= filter_->SetBaudRate(want.baud, &out_) == RequestResult::kSent;
  if (want.dataSize != 0) sent &= filter_->SetDataSize(want.dataSize, &out_) == RequestResult::kSent;
  if (want.parity != 0)
    sent &= filter_->SetParity(static_cast<Parity>(want.parity), &out_) == RequestResult::kSent;
  if (want.stopSize != 0)
    sent &= filter_->SetStopSize(static_cast<StopSize>(want.stopSize), &out_) == RequestResult::kSent;
  if (!sent) {
    // The option is on, so only a value the option has no meaning for gets here.
    status_ = "A line setting RFC 2217 cannot carry.";
    return Finish(Rfc2217Result::kInvalid);
  }
  if (!Flush()) {
    status_ = "The server closed the connection.";
    return Finish(Rfc2217Result::kClosed);
  }
  const Rfc2217Result r = Pump([this] { return filter_->PendingRequests() == 0; });
  *acknowledged = answered_;
  if (r == Rfc2217Result::kOk) {
    status_ = "The server confirmed the line settings.";
    return r;
  }
  status_ = r == Rfc2217Result::kClosed ? "The server closed the connection."
                                        : "The server did not confirm the line settings.";
  return Finish(r);
}

Rfc2217Result Rfc2217Session::Write(const SerialLine& want, SerialLine* acknowledged) {
  *acknowledged = SerialLine{};
  if (want.baud == 0 && want.dataSize == 0 && want.parity == 0 && want.stopSize == 0) {
    status_ = "Nothing to set.";
    return Rfc2217Result::kInvalid;
  }
  Rfc2217Result r = Connect();
  if (r == Rfc2217Result::kOk) r = Set(want, acknowledged);
  Close();
  return r;
}

std::string SerialLineText(const SerialLine& line) {
  static const char kParity[] = "?NOEMS";
  std::string text = line.baud != 0 ? std::to_string(line.baud) : std::string("?");
  text += ' ';
  text += line.dataSize >= 5 && line.dataSize <= 8 ? static_cast<char>('0' + line.dataSize) : '?';
  text += line.parity >= 1 && line.parity <= 5 ? kParity[line.parity] : '?';
  switch (line.stopSize) {
    case 1:
      text += '1';
      break;
    case 2:
      text += '2';
      break;
    case 3:
      text += "1.5";
      break;
    default:
      text += '?';
  }
  return text;
}

}  // namespace tarvik::device
