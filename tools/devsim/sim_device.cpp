#include "sim_device.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>

#include "hostile.h"
#include "word_list.h"

namespace devsim {
namespace {

bool ParseInt(const std::string& text, long low, long high, long* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  long v = strtol(text.c_str(), &end, 10);
  if (*end != '\0' || v < low || v > high) return false;
  *out = v;
  return true;
}

constexpr NamedBits kFaultNames[] = {
    {"none", kFaultNone},           {"silent", kFaultSilent},       {"late", kFaultLate},
    {"duplicate", kFaultDuplicate}, {"malformed", kFaultMalformed}, {"nook", kFaultNoOk},
    {"noconfirm", kFaultNoConfirm},
};

}  // namespace

bool SimDevice::Configure(const std::map<std::string, std::string>& settings, std::string* error) {
  settings_ = settings;
  for (const auto& [key, value] : settings) {
    long number = 0;
    if (key == "name") {
      name_ = value;
    } else if (key == "alias") {
      alias_ = value;
    } else if (key == "ip") {
      ip_ = value;
    } else if (key == "mask") {
      mask_ = value;
    } else if (key == "gateway") {
      gateway_ = value;
    } else if (key == "mac") {
      mac_ = value;
    } else if (key == "dhcp") {
      if (!ParseInt(value, 0, 255, &number)) {
        *error = "dhcp must be a number 0..255";
        return false;
      }
      dhcp_ = static_cast<int>(number);
    } else if (key == "delay") {
      if (!ParseInt(value, 0, 600000, &number)) {
        *error = "delay must be milliseconds 0..600000";
        return false;
      }
      delayMs_ = static_cast<uint32_t>(number);
    } else if (key == "fault") {
      std::string word;
      if (!ParseWordList(value, kFaultNames, &faults_, &word)) {
        *error = "unknown fault \"" + word + "\"";
        return false;
      }
    } else if (key == "hostile") {
      if (!ParseHostile(value, &hostile_, error)) return false;
    } else if (key == "reply") {
      rawReply_ = Unescape(value);
      hasRawReply_ = true;
    }
  }
  if (mac_.empty()) {
    *error = "a device needs a mac";
    return false;
  }
  if ((faults_ & kFaultLate) && !settings.count("delay")) delayMs_ = 1500;
  return true;
}

std::string SimDevice::Setting(const std::string& key) const {
  auto found = settings_.find(key);
  return found == settings_.end() ? std::string() : found->second;
}

std::string SimDevice::DiscoveryReply() const {
  if (hasRawReply_) return rawReply_;
  if (faults_ & kFaultMalformed) return "KORVAXQ410X,8";
  auto shown = [this](uint32_t text, const std::string& value) {
    return Shown(hostile_, text, value);
  };
  return "KORVAXQ410X,80,NAME=" + shown(kHostileName, name_) +
         ",ALIAS=" + shown(kHostileAlias, alias_) + ",DHCP=" + std::to_string(dhcp_) +
         ",IP=" + shown(kHostileAddress, ip_) + ",MASK=" + shown(kHostileAddress, mask_) +
         ",GATEWAY=" + shown(kHostileAddress, gateway_) + ",MAC=" + shown(kHostileMac, mac_) +
         "\r";
}

bool SimDevice::HasMac(const std::string& text) const {
  return strcasecmp(text.c_str(), mac_.c_str()) == 0;
}

bool SimDevice::ApplyField(const std::string& key, const std::string& value) {
  if (key == "ALIAS") {
    alias_ = value;
  } else if (key == "IP") {
    ip_ = value;
  } else if (key == "MASK") {
    mask_ = value;
  } else if (key == "GATEWAY") {
    gateway_ = value;
  } else if (key == "MAC") {
    mac_ = value;
  } else if (key == "DHCP") {
    dhcp_ = atoi(value.c_str());
  } else {
    return false;
  }
  return true;
}

std::string SimDevice::Describe() const {
  return "mac=" + mac_ + " name=" + name_ + " alias=" + alias_ + " ip=" + ip_ + " mask=" + mask_ +
         " gateway=" + gateway_ + " dhcp=" + std::to_string(dhcp_);
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char c = text[++i];
    if (c == 'r') {
      out += '\r';
    } else if (c == 'n') {
      out += '\n';
    } else if (c == 't') {
      out += '\t';
    } else if (c == 'x' && i + 2 < text.size()) {
      out += static_cast<char>(strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace devsim
