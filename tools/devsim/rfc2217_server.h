// The access-server side of the Telnet Com Port Control Option (RFC 2217)
// for a simulated data port, without its socket. It answers a client's
// option offers, takes the line settings it asks for and keeps the data
// 8-bit clean (IAC doubled on the wire), in one of three manners:
//
//   ack     accepts COM-PORT-OPTION and answers every request with the
//           value it set (a query, value 0, with the current one)
//   refuse  refuses COM-PORT-OPTION (DONT 44) and carries the data only
//   noack   accepts COM-PORT-OPTION, takes the settings, never answers
//
// BINARY and SUPPRESS-GO-AHEAD are accepted both ways; every other option
// is refused. Written apart from the driver's client so that the two test
// each other rather than share their mistakes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace devsim {

enum class Rfc2217Manner { kAck, kRefuse, kNoAck };

struct Rfc2217Line {
  uint32_t baud = 9600;
  uint8_t dataSize = 8;
  uint8_t parity = 1;    // none
  uint8_t stopSize = 1;  // one
  uint8_t control = 1;   // no flow control
};

class Rfc2217Server {
 public:
  explicit Rfc2217Server(Rfc2217Manner manner) : manner_(manner) {}

  // What the server says first on a new connection.
  std::string Greeting();
  // Takes bytes from the client: the data for the serial line go to *line,
  // the answers to *reply; *notes gets one text per setting taken
  // ("baud=57600", "purge=3", ...).
  void FromClient(const std::string& bytes, std::string* line, std::string* reply,
                  std::vector<std::string>* notes);
  // Data from the serial line, as they go to the client.
  static std::string ToClient(const std::string& data);

  const Rfc2217Line& Line() const { return line_; }
  bool ComPortOn() const { return comPort_; }

 private:
  enum class State { kData, kIac, kVerb, kSbOption, kSb, kSbIac };
  void Negotiate(uint8_t verb, uint8_t option, std::string* reply);
  void Request(std::string* reply, std::vector<std::string>* notes);

  Rfc2217Manner manner_;
  State state_ = State::kData;
  uint8_t verb_ = 0;
  uint8_t sbOption_ = 0;
  std::string sb_;
  // Options this server does (WILL sent) and the client does (DO sent).
  bool weDo_[256] = {};
  bool theyDo_[256] = {};
  bool comPort_ = false;
  Rfc2217Line line_;
};

}  // namespace devsim
