// A short RFC 2217 conversation on a device server's data port, for the
// port page and tarvikctl: connect, negotiate COM-PORT-OPTION, ask for or
// set the serial line, wait for the server's answers, close. The protocol
// is Rfc2217Filter's; this class adds the TCP connection and the clock.
//
// How it works
// Read() and Write() each open their own connection and close it before
// they return, on every path. Connect(), Query(), Set() and Close() are the
// same steps one by one, for a caller that does several on one connection;
// a step that fails closes the connection. Every step blocks its caller:
// the connect and every wait for the server run in slices of at most 20 ms
// with tarvik::PumpUiEvents() between them, so a dialog keeps drawing (its
// owner locks the controls meanwhile). The time-out bounds the connect,
// the negotiation, and each step's wait for its answers, so a server that
// accepts the option and then never answers costs one time-out after the
// connect. Time is read from tarvik::TickCount(); waits that ran their full
// length count as well, so a frozen test clock still ends a wait.
//
// RFC 2217 has no pure read. Read() sends the value-0 forms of SET-BAUDRATE,
// SET-DATASIZE, SET-PARITY and SET-STOPSIZE, which ask the server for its
// current value and change nothing. Write() never sends a baud rate 0.
//
// What the server acknowledged is reported as it said it: a server may take
// a value other than the one asked for (the nearest rate it can make).
// Not thread-safe: one thread drives a session.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "cclientsocket.h"
#include "rfc2217_filter.h"

namespace tarvik::device {

// A serial line as RFC 2217 codes it. 0 in a field: not asked for (in a
// request) or not reported (in an answer).
struct SerialLine {
  uint32_t baud = 0;
  uint8_t dataSize = 0;  // 5..8
  uint8_t parity = 0;    // Parity: 1 none, 2 odd, 3 even, 4 mark, 5 space
  uint8_t stopSize = 0;  // StopSize: 1 one, 2 two, 3 one and a half
};

enum class Rfc2217Result {
  kOk,              // every value asked for was answered
  kInvalidAddress,  // 0.0.0.0 or 255.255.255.255: nothing tried
  kNoSocket,        // no socket could be made
  kNotConnected,    // the connect failed or timed out
  kRefused,         // the server refuses COM-PORT-OPTION (44)
  kNoAnswer,        // the negotiation or an answer did not come in time
  kClosed,          // the server closed the connection (or a send failed)
  kInvalid,         // a request with nothing to set, or a baud rate 0
};

// The TCP port of device port n's data connection, as the driver connects
// it: the command port plus n (the I/O port, 0, has a port of its own).
uint32_t DataTcpPort(uint32_t tcpPortCmd, uint32_t devicePort);

class Rfc2217Session {
 public:
  Rfc2217Session() = default;
  ~Rfc2217Session();
  Rfc2217Session(const Rfc2217Session&) = delete;
  Rfc2217Session& operator=(const Rfc2217Session&) = delete;

  // address has its first octet in the lowest byte (as CMIP keeps it).
  void SetAddress(uint32_t address, uint32_t tcpPort);
  void SetTimeout(uint32_t ms) { timeoutMs_ = ms; }

  // The server's current line. kOk only when all four values came; *line
  // holds whatever came, also on kNoAnswer.
  Rfc2217Result Read(SerialLine* line);
  // Sends the fields of want that are not 0 and waits for their answers.
  // *acknowledged holds, per field, the value the server answered with;
  // kOk only when every field sent was answered. kInvalid, without a
  // connection, when want has no field set.
  Rfc2217Result Write(const SerialLine& want, SerialLine* acknowledged);

  // Connects and negotiates: kOk once the server does COM-PORT-OPTION.
  Rfc2217Result Connect();
  bool Connected() const { return filter_ != nullptr && filter_->ComPort() == OptionState::kOn; }
  // Read() and Write() on the connection Connect() made (kNotConnected
  // without one).
  Rfc2217Result Query(SerialLine* line);
  Rfc2217Result Set(const SerialLine& want, SerialLine* acknowledged);
  void Close();

  // What the last Read or Write came to, or how far it got, as one line
  // for a status line ("Connecting...", "Invalid IP address!", ...).
  const std::string& StatusText() const { return status_; }

 private:
  Rfc2217Result Finish(Rfc2217Result result);
  void StartWait();
  // Sends what the filter made for the network. False when the connection
  // cannot take it.
  bool Flush();
  // Feeds the filter from the network until done() holds or the deadline
  // (from the start of the exchange) passes.
  template <typename Done>
  Rfc2217Result Pump(Done done);
  void TakeEvents();

  uint32_t address_ = 0;
  uint32_t port_ = 0;
  uint32_t timeoutMs_ = 3000;
  std::string status_;
  CClientSocket socket_;
  std::unique_ptr<Rfc2217Filter> filter_;
  Rfc2217Output out_;
  uint32_t answerStart_ = 0;  // tick of the start of the current wait
  uint64_t answerWaited_ = 0;
  SerialLine answered_;  // values the server answered to requests and queries
};

// "57600 8N1", with "1.5" for one and a half stop bits and "?" for what is
// not known; for status lines and tarvikctl.
std::string SerialLineText(const SerialLine& line);

}  // namespace tarvik::device
