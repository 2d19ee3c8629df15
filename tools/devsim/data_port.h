// The data side of one simulated device server: its serial ports' TCP data
// ports (TcpPortCmd + port number) and its I/O port, on the device's own
// address. What a connection gets is the device's data mode:
//
//   echo      every byte comes back
//   sink      bytes are counted and dropped
//   scripted  when the bytes received so far contain a rule's request, the
//             rule's reply is sent and the bytes up to the request dropped
//
// and its faults: drop a connection once it has received N bytes, and
// refuse connections for a while (at start, and after each drop). A data
// port may speak RFC 2217 (Telnet Com Port Control) instead of raw TCP, as
// an access server that acknowledges, refuses the option or never answers
// (rfc2217_server.h); the data mode then applies to the data inside the
// Telnet stream. The transport-free part (DataSession) is tested on its own.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <memory>
#include <vector>

#include "rfc2217_server.h"

namespace devsim {

enum class DataMode { kEcho, kSink, kScripted };

struct DataPortSettings {
  DataMode mode = DataMode::kEcho;
  std::vector<std::pair<std::string, std::string>> script;  // request, reply
  uint16_t ioPort = 9999;        // TcpPort7000
  uint64_t dropAfterBytes = 0;   // 0: never
  uint32_t refuseMs = 0;         // 0: never
  bool rfc2217 = false;          // data_protocol rfc2217
  Rfc2217Manner rfc2217Manner = Rfc2217Manner::kAck;
};

// Reads the data keys of a device section:
//   data_mode   echo (default), sink or scripted
//   data_script "REQUEST=>REPLY" rules separated by ";" (escapes as in
//               reply: \r \n \t \\ \xHH; "\x3b" for a ";" inside a rule)
//   io_port     TcpPort7000, 1..65535 (default 9999)
//   data_fault  comma list of drop:N (drop a connection after N bytes) and
//               refuse:MS (refuse connections MS ms at start and after a drop)
//   data_protocol  raw (default) or rfc2217
//   rfc2217_mode   ack (default), refuse or noack
bool ConfigureDataPorts(const std::map<std::string, std::string>& section,
                        DataPortSettings* out, std::string* error);

// One data connection, without its socket.
class DataSession {
 public:
  explicit DataSession(const DataPortSettings* settings);
  // What to send as soon as the connection is accepted.
  std::string Open();
  // Takes received bytes; returns what to send back. *drop is set when the
  // connection is to be dropped now.
  std::string Receive(const std::string& bytes, bool* drop);
  // Data bytes received (inside the Telnet stream for RFC 2217).
  uint64_t Received() const { return received_; }
  // The line settings an RFC 2217 client set since the last call, as
  // "baud=57600", "stopsize=2", ...
  std::vector<std::string> TakeNotes();

 private:
  std::string Serve(const std::string& bytes, bool* drop);

  const DataPortSettings* settings_;
  std::unique_ptr<Rfc2217Server> rfc2217_;
  std::vector<std::string> notes_;
  std::string pending_;
  uint64_t received_ = 0;
};

}  // namespace devsim
