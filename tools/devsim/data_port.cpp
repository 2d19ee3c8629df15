#include "data_port.h"

#include <algorithm>
#include <cstdlib>

#include "sim_device.h"

namespace devsim {

namespace {

bool Number(const std::string& text, uint64_t max, uint64_t* out) {
  if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  *out = std::strtoull(text.c_str(), nullptr, 10);
  return *out <= max;
}

}  // namespace

bool ConfigureDataPorts(const std::map<std::string, std::string>& section, DataPortSettings* out,
                        std::string* error) {
  DataPortSettings s;
  auto get = [&](const char* key) {
    auto it = section.find(key);
    return it == section.end() ? std::string() : it->second;
  };
  const std::string mode = get("data_mode");
  if (mode.empty() || mode == "echo") {
    s.mode = DataMode::kEcho;
  } else if (mode == "sink") {
    s.mode = DataMode::kSink;
  } else if (mode == "scripted") {
    s.mode = DataMode::kScripted;
  } else {
    *error = "data_mode must be echo, sink or scripted";
    return false;
  }
  const std::string script = get("data_script");
  for (size_t at = 0; at < script.size();) {
    size_t end = script.find(';', at);
    if (end == std::string::npos) end = script.size();
    const std::string rule = script.substr(at, end - at);
    at = end + 1;
    if (rule.empty()) continue;
    const size_t arrow = rule.find("=>");
    if (arrow == std::string::npos || arrow == 0) {
      *error = "data_script rule \"" + rule + "\" is not REQUEST=>REPLY";
      return false;
    }
    s.script.emplace_back(Unescape(rule.substr(0, arrow)), Unescape(rule.substr(arrow + 2)));
  }
  if (s.mode == DataMode::kScripted && s.script.empty()) {
    *error = "data_mode scripted needs a data_script";
    return false;
  }
  const std::string io = get("io_port");
  uint64_t v = 0;
  if (!io.empty()) {
    if (!Number(io, 65535, &v) || v == 0) {
      *error = "io_port must be 1..65535";
      return false;
    }
    s.ioPort = static_cast<uint16_t>(v);
  }
  const std::string protocol = get("data_protocol");
  if (protocol == "rfc2217") {
    s.rfc2217 = true;
  } else if (!protocol.empty() && protocol != "raw") {
    *error = "data_protocol must be raw or rfc2217";
    return false;
  }
  const std::string manner = get("rfc2217_mode");
  if (manner == "refuse") {
    s.rfc2217Manner = Rfc2217Manner::kRefuse;
  } else if (manner == "noack") {
    s.rfc2217Manner = Rfc2217Manner::kNoAck;
  } else if (!manner.empty() && manner != "ack") {
    *error = "rfc2217_mode must be ack, refuse or noack";
    return false;
  }
  const std::string faults = get("data_fault");
  for (size_t at = 0; at < faults.size();) {
    size_t end = faults.find(',', at);
    if (end == std::string::npos) end = faults.size();
    std::string item = faults.substr(at, end - at);
    at = end + 1;
    while (!item.empty() && item.front() == ' ') item.erase(0, 1);
    while (!item.empty() && item.back() == ' ') item.pop_back();
    if (item.empty() || item == "none") continue;
    if (item.compare(0, 5, "drop:") == 0 && Number(item.substr(5), UINT64_MAX / 2, &v) && v > 0) {
      s.dropAfterBytes = v;
    } else if (item.compare(0, 7, "refuse:") == 0 && Number(item.substr(7), 3600000, &v)) {
      s.refuseMs = static_cast<uint32_t>(v);
    } else {
      *error = "data_fault \"" + item + "\" is not drop:N or refuse:MS";
      return false;
    }
  }
  *out = std::move(s);
  return true;
}

DataSession::DataSession(const DataPortSettings* settings) : settings_(settings) {
  if (settings->rfc2217) rfc2217_ = std::make_unique<Rfc2217Server>(settings->rfc2217Manner);
}

std::string DataSession::Open() { return rfc2217_ ? rfc2217_->Greeting() : std::string(); }

std::vector<std::string> DataSession::TakeNotes() {
  std::vector<std::string> notes;
  notes.swap(notes_);
  return notes;
}

std::string DataSession::Receive(const std::string& bytes, bool* drop) {
  if (!rfc2217_) return Serve(bytes, drop);
  std::string line, reply;
  rfc2217_->FromClient(bytes, &line, &reply, &notes_);
  return reply + Rfc2217Server::ToClient(Serve(line, drop));
}

std::string DataSession::Serve(const std::string& bytes, bool* drop) {
  *drop = false;
  std::string in = bytes;
  if (settings_->dropAfterBytes > 0 && received_ + in.size() >= settings_->dropAfterBytes) {
    in.resize(static_cast<size_t>(settings_->dropAfterBytes - received_));
    *drop = true;
  }
  received_ += in.size();
  switch (settings_->mode) {
    case DataMode::kEcho:
      return in;
    case DataMode::kSink:
      return std::string();
    case DataMode::kScripted:
      break;
  }
  pending_ += in;
  std::string out;
  for (;;) {
    size_t best = std::string::npos, bestEnd = 0;
    const std::string* reply = nullptr;
    for (const auto& rule : settings_->script) {
      const size_t at = pending_.find(rule.first);
      if (at != std::string::npos && (best == std::string::npos || at < best)) {
        best = at;
        bestEnd = at + rule.first.size();
        reply = &rule.second;
      }
    }
    if (!reply) break;
    out += *reply;
    pending_.erase(0, bestEnd);
  }
  // Keep no more than the longest request could still need.
  size_t keep = 0;
  for (const auto& rule : settings_->script) keep = std::max(keep, rule.first.size());
  if (pending_.size() > keep) pending_.erase(0, pending_.size() - keep);
  return out;
}

}  // namespace devsim
