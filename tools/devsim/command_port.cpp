#include "command_port.h"

#include <arpa/inet.h>

#include "hostile.h"
#include "tkcenc2.h"

namespace devsim {

namespace {

constexpr std::string_view kKeyLabel = "PUBKEY=";  // 7 characters, dropped by the client
constexpr std::string_view kNetworkPrefix = "26ISAVE=1,";
constexpr std::string_view kPasswordPrefix = "26password=";
constexpr std::string_view kPasswordSuffix = ",LOCK=0";

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool IsAddress(const std::string& text) {
  in_addr address{};
  return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

bool IsBaudRate(std::string_view text) {
  if (text.empty() || text.size() > 15 || text[0] == '0') return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

bool IsDataFormat(std::string_view text) {
  return text.size() == 3 && text[0] >= '5' && text[0] <= '8' &&
         std::string_view("NEOMS").find(text[1]) != std::string_view::npos &&
         (text[2] == '1' || text[2] == '2');
}

// "IP=..,MASK=..,GATEWAY=.." into *out; false for anything else.
bool ParseNetworkItems(std::string_view items, NetworkSettings* out) {
  if (items.empty()) return false;
  while (!items.empty()) {
    const size_t comma = items.find(',');
    const std::string_view item = items.substr(0, comma);
    items = comma == std::string_view::npos ? std::string_view() : items.substr(comma + 1);
    const size_t equals = item.find('=');
    if (equals == std::string_view::npos) return false;
    const std::string_view key = item.substr(0, equals);
    const std::string value(item.substr(equals + 1));
    if (!IsAddress(value)) return false;
    if (key == "IP") {
      out->ip = value;
    } else if (key == "MASK") {
      out->mask = value;
    } else if (key == "GATEWAY") {
      out->gateway = value;
    } else {
      return false;
    }
    if (comma == std::string_view::npos) return true;
    if (items.empty()) return false;  // a trailing comma
  }
  return true;
}

}  // namespace

int PortFromCharacter(char c) {
  const auto code = static_cast<unsigned char>(c);
  if (code >= '0' && code <= '9') return code - '0';
  if (code >= 'A') return code - 55;
  return -1;
}

std::vector<CommandReply> CommandPortDevice::HandleReceived(CommandConnection& connection,
                                                            std::string_view bytes, bool* reset) {
  received_.append(bytes.data(), bytes.size());
  *reset = false;
  std::vector<CommandReply> replies;
  while (!bytes.empty()) {
    const size_t cr = bytes.find('\r');
    const size_t length = cr == std::string_view::npos ? bytes.size() : cr + 1;
    if (auto reply = HandleCommand(connection, bytes.substr(0, length), reset)) {
      replies.push_back(std::move(*reply));
    }
    if (*reset) break;  // the device reboots; what followed is lost
    bytes.remove_prefix(length);
  }
  return replies;
}

std::optional<CommandReply> CommandPortDevice::HandleCommand(CommandConnection& connection,
                                                             std::string_view command,
                                                             bool* reset) {
  std::string_view body = command;
  if (!body.empty() && body.back() == '\r') body.remove_suffix(1);
  const std::string echo = settings_.echo ? std::string(body.substr(0, 2)) : std::string();

  const FaultRule* fault = nullptr;
  for (const auto& rule : settings_.faults) {
    if (StartsWith(body, rule.prefix)) {
      fault = &rule;
      break;
    }
  }
  if (fault != nullptr && fault->fault == CommandFault::kNoReply) return std::nullopt;
  if (fault != nullptr && fault->fault == CommandFault::kErrorReply) {
    return CommandReply{echo + "ERROR\r", 0};
  }
  if (fault != nullptr && fault->fault == CommandFault::kFixedReply) {
    if (fault->reply.empty()) return std::nullopt;
    return CommandReply{fault->reply, 0};
  }

  bool silent = false;
  const std::string payload = Answer(connection, body, reset, &silent);
  if (silent) return std::nullopt;
  CommandReply reply{echo + payload + "\r", 0};
  if (fault != nullptr && fault->fault == CommandFault::kSplitReply && reply.bytes.size() > 1) {
    reply.splitAt = reply.bytes.size() / 2;
  }
  return reply;
}

std::string CommandPortDevice::Answer(CommandConnection& connection, std::string_view body,
                                      bool* reset, bool* silent) {
  const CommandPortSettings& s = settings_;
  auto shown = [&s](uint32_t text, const std::string& value) {
    return Shown(s.hostile, text, value);
  };
  if (body == "10") return shown(kHostileName, s.name);
  if (body == "01") return shown(kHostileReplies, s.firmware);
  if (body == "22") return shown(kHostileReplies, s.osVersion);
  if (body == "25N") return "N=" + std::to_string(s.maxSockets);
  if (body == "25S") return "S=" + std::to_string(s.systemTimeoutMs);
  if (body == "25M") return "M=" + shown(kHostileReplies, s.shareMode);
  if (body == "13") return shown(kHostileReplies, s.gateway);
  if (body == "15") return shown(kHostileReplies, s.mask);
  if (body == "21") return shown(kHostileReplies, s.mac);

  if (body == "33RESET") {
    if (pending_) {
      if (!pending_->ip.empty()) settings_.ip = pending_->ip;
      if (!pending_->mask.empty()) settings_.mask = pending_->mask;
      if (!pending_->gateway.empty()) settings_.gateway = pending_->gateway;
      pending_.reset();
    }
    ++restarts_;
    *reset = true;
    *silent = true;
    return std::string();
  }

  const bool locked = s.lockSupported && !s.password.empty() && !connection.unlocked;
  if (StartsWith(body, kNetworkPrefix)) {
    NetworkSettings next;
    if (locked || !ParseNetworkItems(body.substr(kNetworkPrefix.size()), &next)) return "ERROR";
    pending_ = next;
    return "OK";
  }

  if (body == "25lock") {
    if (!s.lockSupported) return "ERROR";
    return locked ? "LOCK=1" : "LOCK=0";
  }
  if (body == "25pubkey") {
    if (!s.lockSupported) return "ERROR";
    connection.keyText = s.keyText.empty() ? NextKeyText() : s.keyText;
    return std::string(kKeyLabel) + connection.keyText;
  }
  if (StartsWith(body, kPasswordPrefix) && body.size() >= kPasswordPrefix.size() + kPasswordSuffix.size() &&
      body.substr(body.size() - kPasswordSuffix.size()) == kPasswordSuffix) {
    if (!s.lockSupported) return "ERROR";
    const std::string encoded(body.substr(
        kPasswordPrefix.size(), body.size() - kPasswordPrefix.size() - kPasswordSuffix.size()));
    char plain[64] = {};
    const bool proved = !connection.keyText.empty() &&
                        TkcEnc2_Decode(encoded.c_str(), connection.keyText.c_str(), plain) == 0 &&
                        s.password == plain;
    if (!proved) return "PASSWORD=FAIL";
    connection.unlocked = true;
    return "PASSWORD=OK";
  }

  // Port commands: code, port character, then the argument.
  if (body.size() >= 3 && (StartsWith(body, "16") || StartsWith(body, "06") || StartsWith(body, "07"))) {
    const int port = PortFromCharacter(body[2]);
    if (port < 1 || port > static_cast<int>(s.ports.size())) return "ERROR";
    SerialPortSettings& serial = settings_.ports[static_cast<size_t>(port - 1)];
    const std::string_view argument = body.substr(3);
    if (StartsWith(body, "16")) {
      if (!argument.empty() || serial.format.size() != 3) return "ERROR";
      // Baud rate, then parity, data bits and stop bits: "9600N81".
      return serial.baud + serial.format[1] + serial.format[0] + serial.format[2];
    }
    if (StartsWith(body, "06")) {
      if (!IsBaudRate(argument)) return "ERROR";
      serial.baud = std::string(argument);
      return "OK";
    }
    if (!IsDataFormat(argument)) return "ERROR";
    serial.format = std::string(argument);
    return "OK";
  }
  return "ERROR";
}

std::string CommandPortDevice::NextKeyText() {
  static constexpr char kSymbols[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::string key;
  for (int i = 0; i < 16; ++i) key += kSymbols[random_() % (sizeof kSymbols - 1)];
  return key;
}

}  // namespace devsim
