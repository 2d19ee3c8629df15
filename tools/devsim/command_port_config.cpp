#include "command_port_config.h"

#include "hostile.h"

#include <arpa/inet.h>

#include <cstdlib>
#include <sstream>

namespace devsim {

namespace {

bool Number(const std::string& text, long low, long high, long* out) {
  if (text.empty() || text.size() > 9) return false;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || value < low || value > high) return false;
  *out = value;
  return true;
}

bool YesNo(const std::string& text, bool* out) {
  if (text == "yes" || text == "on" || text == "1") {
    *out = true;
  } else if (text == "no" || text == "off" || text == "0") {
    *out = false;
  } else {
    return false;
  }
  return true;
}

bool IsAddress(const std::string& text) {
  in_addr address{};
  return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

bool ParseFaults(const std::string& text, CommandPortSettings* out, std::string* error) {
  out->faults.clear();
  std::stringstream list(text);
  std::string item;
  while (std::getline(list, item, ',')) {
    const size_t colon = item.find(':');
    const std::string kind = item.substr(0, colon);
    const std::string prefix = colon == std::string::npos ? "" : item.substr(colon + 1);
    if (kind == "noreply") {
      out->faults.push_back({prefix, CommandFault::kNoReply, ""});
    } else if (kind == "error") {
      out->faults.push_back({prefix, CommandFault::kErrorReply, ""});
    } else if (kind == "split") {
      out->faults.push_back({prefix, CommandFault::kSplitReply, ""});
    } else if (kind == "slowaccept" && prefix.empty()) {
      if (out->slowAcceptMs == 0) out->slowAcceptMs = 1500;
    } else if (kind == "refuse" && prefix.empty()) {
      out->refuseConnections = true;
    } else {
      *error = "unknown cmd_fault \"" + item + "\"";
      return false;
    }
  }
  return true;
}

}  // namespace

bool ConfigureCommandPort(const std::map<std::string, std::string>& section,
                          CommandPortSettings* out, std::string* error) {
  CommandPortSettings s = *out;
  std::string faults;
  bool hasAcceptDelay = false;
  long acceptDelay = 0;
  std::map<long, std::string> portLines;
  for (const auto& [key, value] : section) {
    long number = 0;
    if (key == "name") {
      s.name = value;
    } else if (key == "ip" || key == "mask" || key == "gateway") {
      if (!IsAddress(value)) {
        *error = key + " must be an IPv4 address";
        return false;
      }
      (key == "ip" ? s.ip : key == "mask" ? s.mask : s.gateway) = value;
    } else if (key == "mac") {
      s.mac = value;
    } else if (key == "cmd_port") {
      if (!Number(value, 1, 65535, &number)) {
        *error = "cmd_port must be a TCP port 1..65535";
        return false;
      }
      s.tcpPortCmd = static_cast<uint16_t>(number);
    } else if (key == "firmware") {
      s.firmware = value;
    } else if (key == "os_version") {
      s.osVersion = value;
    } else if (key == "max_sockets" || key == "system_timeout") {
      if (!Number(value, 0, 999999999, &number)) {
        *error = key + " must be a number";
        return false;
      }
      (key == "max_sockets" ? s.maxSockets : s.systemTimeoutMs) = static_cast<int>(number);
    } else if (key == "share_mode") {
      s.shareMode = value;
    } else if (key == "password") {
      if (value.size() > 30) {
        *error = "password must be at most 30 characters";
        return false;
      }
      s.password = value;
    } else if (key == "lock" || key == "echo") {
      if (!YesNo(value, key == "lock" ? &s.lockSupported : &s.echo)) {
        *error = key + " must be yes or no";
        return false;
      }
    } else if (key == "key_text") {
      s.keyText = value;
    } else if (key == "ports") {
      if (!Number(value, 1, 68, &number)) {
        *error = "ports must be 1..68";
        return false;
      }
      s.ports.resize(static_cast<size_t>(number));
    } else if (key.rfind("port.", 0) == 0) {
      if (!Number(key.substr(5), 1, 68, &number)) {
        *error = "unknown key " + key + " (port.1 to port.68)";
        return false;
      }
      portLines[number] = value;
    } else if (key == "hostile") {
      if (!ParseHostile(value, &s.hostile, error)) return false;
    } else if (key == "cmd_fault") {
      faults = value;
    } else if (key == "accept_delay") {
      if (!Number(value, 0, 600000, &acceptDelay)) {
        *error = "accept_delay must be milliseconds 0..600000";
        return false;
      }
      hasAcceptDelay = true;
    }
  }
  if (!faults.empty() && !ParseFaults(faults, &s, error)) return false;
  if (hasAcceptDelay && s.slowAcceptMs != 0) s.slowAcceptMs = static_cast<uint32_t>(acceptDelay);
  for (const auto& [port, line] : portLines) {
    if (static_cast<size_t>(port) > s.ports.size()) {
      *error = "port." + std::to_string(port) + " beyond ports = " + std::to_string(s.ports.size());
      return false;
    }
    std::istringstream words(line);
    SerialPortSettings serial{"", ""};
    std::string extra;
    words >> serial.baud >> serial.format;
    const bool baudOk = !serial.baud.empty() && serial.baud.size() <= 15 &&
                        serial.baud.find_first_not_of("0123456789") == std::string::npos;
    const bool formatOk = serial.format.size() == 3 && serial.format[0] >= '5' &&
                          serial.format[0] <= '8' &&
                          std::string("NEOMS").find(serial.format[1]) != std::string::npos &&
                          (serial.format[2] == '1' || serial.format[2] == '2');
    if (!baudOk || !formatOk || (words >> extra)) {
      *error = "port." + std::to_string(port) + " must be \"BAUD FORMAT\", e.g. \"9600 8N1\"";
      return false;
    }
    s.ports[static_cast<size_t>(port - 1)] = serial;
  }
  *out = s;
  return true;
}

}  // namespace devsim
