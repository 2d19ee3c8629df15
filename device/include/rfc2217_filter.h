// The client side of the Telnet Com Port Control Option (RFC 2217, on the
// Telnet of RFC 854/855 with BINARY, RFC 856, and SUPPRESS-GO-AHEAD, RFC
// 858): a protocol layer between a serial port's application and a byte
// transport to the device server. It has no socket, timer or thread of its
// own, so it stacks on any transport and tests feed it exact byte orders.
//
// How it works
// The owner calls Start() once when the transport is up, then feeds the
// filter whatever arrives from the network (FromNetwork) and whatever the
// application writes (FromApplication), and asks for line settings with the
// Set* requests. Every call appends to an Rfc2217Output: bytes for the
// application, bytes for the network and events. The owner sends the network
// bytes on its transport in the order they were appended and hands the
// application bytes to the port; nothing is kept back that the owner must
// ask for later.
//
// - Negotiation. Start() offers WILL COM-PORT-OPTION (44), BINARY both ways
//   and SUPPRESS-GO-AHEAD both ways; every other option the server raises is
//   refused (DONT/WONT). A server that refuses 44 still carries data
//   (kComPortRefused); requests then go nowhere (kNotAvailable). Requests made
//   while 44 is unanswered wait inside the filter, and the application's data
//   written after them waits behind them, so settings and data reach the
//   server in the order they were made. A server that never answers is the
//   owner's time-out: NegotiationTimedOut() takes 44 as refused.
// - Data. IAC (255) is doubled towards the network and undoubled from it,
//   also inside subnegotiations (a baud rate may hold a 255 byte). Telnet
//   commands and subnegotiations never reach the application, however the
//   transport splits them. Data pass unchanged both ways unless the server
//   refuses BINARY for a direction: then that direction follows the Telnet
//   network virtual terminal (a CR travels as CR NUL).
// - Requests and answers. SET-BAUDRATE, SET-DATASIZE, SET-PARITY,
//   SET-STOPSIZE, SET-CONTROL and PURGE-DATA. Each answer of the server is
//   matched to the oldest unanswered request of its command
//   (kAcknowledged, with the value the server has now, which may differ from
//   the one asked for); an answer no request waits for is a kNotice.
//   NOTIFY-LINESTATE and NOTIFY-MODEMSTATE are events and kept as the last
//   values seen. Waiting for an answer is the owner's: PendingRequests()
//   tells whether any is due, ForgetPendingRequests() ends the wait after a
//   time-out (some servers never answer some requests).
//
// One filter per connection; a new connection takes a new filter. Not
// thread-safe: one thread drives it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace tarvik::device {

namespace telnet {
constexpr uint8_t kIac = 255;
constexpr uint8_t kDont = 254;
constexpr uint8_t kDo = 253;
constexpr uint8_t kWont = 252;
constexpr uint8_t kWill = 251;
constexpr uint8_t kSb = 250;
constexpr uint8_t kSe = 240;
constexpr uint8_t kBinary = 0;
constexpr uint8_t kSuppressGoAhead = 3;
constexpr uint8_t kComPortOption = 44;
}  // namespace telnet

// The commands of the option, as the client sends them; the server answers
// with the same code plus kServerAnswer.
enum class ComPortCommand : uint8_t {
  kSignature = 0,
  kSetBaudRate = 1,
  kSetDataSize = 2,
  kSetParity = 3,
  kSetStopSize = 4,
  kSetControl = 5,
  kNotifyLineState = 6,
  kNotifyModemState = 7,
  kFlowControlSuspend = 8,
  kFlowControlResume = 9,
  kSetLineStateMask = 10,
  kSetModemStateMask = 11,
  kPurgeData = 12,
};
constexpr uint8_t kServerAnswer = 100;

enum class Parity : uint8_t { kNone = 1, kOdd = 2, kEven = 3, kMark = 4, kSpace = 5 };
enum class StopSize : uint8_t { kOne = 1, kTwo = 2, kOneAndAHalf = 3 };
// The server's buffers to empty: what it received from the serial line and
// has not sent yet (the application's input), what it holds to write to the
// line (the application's output), or both.
enum class PurgeTarget : uint8_t { kReceived = 1, kToTransmit = 2, kBoth = 3 };

// How far the negotiation of one option has come.
enum class OptionState { kPending, kOn, kOff };

struct Rfc2217Event {
  enum class Kind {
    kComPortAccepted,  // the server does COM-PORT-OPTION: requests go out
    kComPortRefused,   // it does not (or never answered): data only
    kNegotiated,       // no option offered at Start is unanswered any more
    kAcknowledged,     // an answer matched to a request: command, requested, value
    kNotice,           // an answer no request waits for: command, value
    kRequestDropped,   // a request that waited for 44, which was refused
    kLineState,        // NOTIFY-LINESTATE: value
    kModemState,       // NOTIFY-MODEMSTATE: value
    kFlowSuspend,      // the server asks for a pause in the data sent to it
    kFlowResume,       // ... and for the data again
  };
  Kind kind;
  ComPortCommand command = ComPortCommand::kSignature;
  uint32_t requested = 0;
  uint32_t value = 0;
};

struct Rfc2217Output {
  std::string application;  // bytes for the application, in order
  std::string network;      // bytes for the server, in order
  std::vector<Rfc2217Event> events;
  void Clear() {
    application.clear();
    network.clear();
    events.clear();
  }
};

enum class RequestResult {
  kSent,          // appended to the network bytes
  kQueued,        // waits in the filter for the server's answer to 44
  kNotAvailable,  // the server refused 44: nothing is sent
  kInvalid,       // a value the option has no meaning for (e.g. baud rate 0, a query)
};

// What the server last reported of its line (answers and notices); 0 where
// it has reported nothing.
struct ReportedLine {
  uint32_t baudRate = 0;
  uint8_t dataSize = 0;
  uint8_t parity = 0;    // Parity
  uint8_t stopSize = 0;  // StopSize
  uint8_t control = 0;   // last SET-CONTROL answer
  uint8_t lineState = 0;
  uint8_t modemState = 0;
  bool lineStateSeen = false;
  bool modemStateSeen = false;
};

class Rfc2217Filter {
 public:
  Rfc2217Filter() = default;

  // The opening offers. Call once, before anything else goes to the network.
  void Start(Rfc2217Output* out);
  void FromNetwork(const uint8_t* data, size_t size, Rfc2217Output* out);
  void FromApplication(const uint8_t* data, size_t size, Rfc2217Output* out);
  // The owner's wait for the server's answers ended: offers still
  // unanswered count as refused (BINARY excepted: data keep passing
  // unchanged, as most servers do without saying so).
  void NegotiationTimedOut(Rfc2217Output* out);

  // SET-BAUDRATE: any rate but 0, which the option reserves for "tell me".
  RequestResult SetBaudRate(uint32_t baud, Rfc2217Output* out);
  // SET-DATASIZE: 5..8 bits.
  RequestResult SetDataSize(uint8_t bits, Rfc2217Output* out);
  RequestResult SetParity(Parity parity, Rfc2217Output* out);
  RequestResult SetStopSize(StopSize stop, Rfc2217Output* out);
  // SET-CONTROL with the option's value as is (flow control, BREAK, DTR,
  // RTS and their queries).
  RequestResult SetControl(uint8_t value, Rfc2217Output* out);
  RequestResult Purge(PurgeTarget what, Rfc2217Output* out);
  // The value-0 form of SET-BAUDRATE, SET-DATASIZE, SET-PARITY or
  // SET-STOPSIZE, which asks the server for what it has now; its answer is a
  // kAcknowledged with requested 0. kInvalid for any other command.
  RequestResult Query(ComPortCommand command, Rfc2217Output* out);

  OptionState ComPort() const { return Summary(us_[kComPortSlot]); }
  // Whether the server takes (kOn) and sends (kOn) the data unchanged.
  OptionState BinaryToServer() const { return Summary(us_[kBinarySlot]); }
  OptionState BinaryFromServer() const { return Summary(him_[kBinarySlot]); }
  bool Negotiating() const;
  // Requests sent or queued that no answer has matched yet.
  size_t PendingRequests() const { return pending_.size() + heldRequests_; }
  // Stops waiting: answers that come later are notices.
  void ForgetPendingRequests();
  const ReportedLine& Reported() const { return reported_; }

 private:
  // RFC 1143's states, without the "want no" ones: this side never
  // withdraws an option it offered.
  enum class Q : uint8_t { kNo, kYes, kWantYes };
  enum Slot { kBinarySlot, kSgaSlot, kComPortSlot, kSlots };
  enum class Parse : uint8_t { kData, kIac, kOption, kSbOption, kSb, kSbIac };
  struct Request {
    ComPortCommand command;
    uint32_t value;
  };
  // Network output that waits for the answer to 44: a request, or data.
  struct Held {
    bool isRequest;
    Request request;
    std::string data;
  };

  static OptionState Summary(Q q);
  static int SlotOf(uint8_t option);
  void Verb(uint8_t verb, uint8_t option, Rfc2217Output* out);
  void UsChanged(int slot, Q was, Rfc2217Output* out);
  void CheckNegotiated(Rfc2217Output* out);
  void Subnegotiation(Rfc2217Output* out);
  void Answer(ComPortCommand command, uint32_t value, Rfc2217Output* out);
  RequestResult Ask(ComPortCommand command, uint32_t value, Rfc2217Output* out);
  RequestResult Issue(ComPortCommand command, uint32_t value, Rfc2217Output* out);
  void SendRequest(const Request& r, Rfc2217Output* out);
  void SendData(const uint8_t* data, size_t size, Rfc2217Output* out) const;
  void ReleaseHeld(Rfc2217Output* out);
  static void SendCommand(uint8_t verb, uint8_t option, Rfc2217Output* out);

  Q us_[kSlots] = {Q::kNo, Q::kNo, Q::kNo};   // what we do (WILL)
  Q him_[kSlots] = {Q::kNo, Q::kNo, Q::kNo};  // what the server does (DO)
  bool started_ = false;
  bool negotiatedTold_ = false;

  Parse parse_ = Parse::kData;
  uint8_t verb_ = 0;
  bool crSeen_ = false;  // a CR arrived in virtual-terminal mode; a NUL after it is dropped
  std::string sb_;       // subnegotiation bytes after the option
  bool sbOverflow_ = false;
  uint8_t sbOption_ = 0;

  std::deque<Request> pending_;  // sent, unanswered, oldest first
  std::vector<Held> held_;
  size_t heldRequests_ = 0;
  ReportedLine reported_;
};

}  // namespace tarvik::device
