// The command port of one simulated device server, without any transport:
// the device's own settings, its lock, the serial settings of its ports and
// the fault injection, and HandleReceived, which turns the bytes a client
// sent into the device's replies. A listener (command_listener.h) carries
// those bytes over TCP.
//
// Replies echo the two-digit command code unless echo is off, and end with
// a CR. The lock is per connection: a device with a password answers
// "LOCK=1" until the password was proved on that connection, and refuses
// new network settings until then. Network settings sent with 26ISAVE are
// kept aside and take effect at "33RESET", as on a device.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace devsim {

enum class CommandFault {
  kNoReply,     // the command is ignored
  kErrorReply,  // the device answers "ERROR" and does nothing
  kSplitReply,  // the reply goes out in two pieces, a moment apart
  kFixedReply,  // the device answers exactly FaultRule::reply and does nothing
};

// A fault applies to every command that begins with prefix ("" = all); the
// first matching rule counts.
struct FaultRule {
  std::string prefix;
  CommandFault fault;
  std::string reply;  // for kFixedReply: the bytes sent, as they are
};

struct SerialPortSettings {
  std::string baud = "9600";
  std::string format = "8N1";  // data bits, parity letter, stop bits
};

struct CommandPortSettings {
  std::string name = "Q410X-2";
  std::string firmware = "V2.14";
  std::string osVersion = "V1.3";
  int maxSockets = 8;
  int systemTimeoutMs = 3000;
  std::string shareMode = "0";
  std::string ip = "127.0.0.1";
  std::string mask = "255.255.255.0";
  std::string gateway = "0.0.0.0";
  std::string mac = "00-60-E9-00-00-01";
  uint16_t tcpPortCmd = 10000;
  // HostileText bits (hostile.h): which answers are forged. The values
  // above stay the real ones, which the device acts on.
  uint32_t hostile = 0;

  bool lockSupported = true;
  std::string password;  // empty: the device is not locked
  std::string keyText;   // handed out by "25pubkey"; empty: a fresh one each time

  bool echo = true;
  std::vector<SerialPortSettings> ports = std::vector<SerialPortSettings>(2);

  std::vector<FaultRule> faults;
  uint32_t slowAcceptMs = 0;      // connections wait this long to be accepted
  bool refuseConnections = false;  // nothing listens while set
  uint32_t splitDelayMs = 30;      // pause between the pieces of a split reply
};

// What one connection has done so far.
struct CommandConnection {
  bool unlocked = false;
  std::string keyText;  // the key text last handed out on this connection
};

struct CommandReply {
  std::string bytes;
  size_t splitAt = 0;  // > 0: send bytes[0, splitAt) first, the rest later
};

struct NetworkSettings {
  std::string ip, mask, gateway;  // empty: unchanged
};

class CommandPortDevice {
 public:
  CommandPortDevice() = default;
  explicit CommandPortDevice(CommandPortSettings settings) : settings_(std::move(settings)) {}

  CommandPortSettings& Settings() { return settings_; }
  const CommandPortSettings& Settings() const { return settings_; }

  // Records the bytes, splits them into commands (each up to and including
  // a CR; a rest without CR is one command, as the lock commands are sent)
  // and handles each. Sets *reset when "33RESET" was among them.
  std::vector<CommandReply> HandleReceived(CommandConnection& connection, std::string_view bytes,
                                           bool* reset);
  // One command; nothing when the device does not answer it.
  std::optional<CommandReply> HandleCommand(CommandConnection& connection,
                                            std::string_view command, bool* reset);

  // Every byte received on any connection, in order.
  const std::string& Received() const { return received_; }
  void ClearReceived() { received_.clear(); }
  int RestartCount() const { return restarts_; }
  const std::optional<NetworkSettings>& PendingNetwork() const { return pending_; }

 private:
  std::string Answer(CommandConnection& connection, std::string_view command, bool* reset,
                     bool* silent);
  std::string NextKeyText();

  CommandPortSettings settings_;
  std::string received_;
  std::optional<NetworkSettings> pending_;
  int restarts_ = 0;
  std::mt19937 random_{std::random_device{}()};
};

// The port number a command carries as one character ('1' = 1, 'A' = 10);
// -1 for a character that stands for no port.
int PortFromCharacter(char c);

}  // namespace devsim
