#include "rfc2217_filter.h"

#include <cstring>

namespace tarvik::device {

namespace {

using namespace telnet;

constexpr uint8_t kCr = '\r';
constexpr uint8_t kNul = 0;
// The longest subnegotiation kept: a signature text is the only long one.
constexpr size_t kMaxSubnegotiation = 256;
// What this side says when the server asks for its signature.
constexpr char kSignature[] = "Tarvik";

const uint8_t kOptions[] = {kBinary, kSuppressGoAhead, kComPortOption};

// Values a request may carry; 0 is a query for every command here but
// SET-CONTROL, whose queries are values of their own.
bool Valid(ComPortCommand command, uint32_t value) {
  switch (command) {
    case ComPortCommand::kSetBaudRate: return value != 0;
    case ComPortCommand::kSetDataSize: return value >= 5 && value <= 8;
    case ComPortCommand::kSetParity: return value >= 1 && value <= 5;
    case ComPortCommand::kSetStopSize: return value >= 1 && value <= 3;
    case ComPortCommand::kPurgeData: return value >= 1 && value <= 3;
    case ComPortCommand::kSetControl: return value <= 0xFF;
    default: return false;
  }
}

void AppendEscaped(uint8_t byte, std::string* out) {
  out->push_back(static_cast<char>(byte));
  if (byte == kIac) out->push_back(static_cast<char>(kIac));
}

}  // namespace

OptionState Rfc2217Filter::Summary(Q q) {
  switch (q) {
    case Q::kYes: return OptionState::kOn;
    case Q::kNo: return OptionState::kOff;
    default: return OptionState::kPending;
  }
}

int Rfc2217Filter::SlotOf(uint8_t option) {
  for (int slot = 0; slot < kSlots; ++slot) {
    if (kOptions[slot] == option) return slot;
  }
  return -1;
}

void Rfc2217Filter::SendCommand(uint8_t verb, uint8_t option, Rfc2217Output* out) {
  const char bytes[] = {static_cast<char>(kIac), static_cast<char>(verb), static_cast<char>(option)};
  out->network.append(bytes, sizeof bytes);
}

void Rfc2217Filter::Start(Rfc2217Output* out) {
  if (started_) return;
  started_ = true;
  // An option the server already asked for and got is not offered again.
  for (int slot = 0; slot < kSlots; ++slot) {
    if (us_[slot] != Q::kNo) continue;
    us_[slot] = Q::kWantYes;
    SendCommand(kWill, kOptions[slot], out);
  }
  // The server sends binary and suppresses go-ahead; it has no
  // COM-PORT-OPTION of its own to offer (44 runs from client to server).
  for (int slot : {kBinarySlot, kSgaSlot}) {
    if (him_[slot] != Q::kNo) continue;
    him_[slot] = Q::kWantYes;
    SendCommand(kDo, kOptions[slot], out);
  }
  CheckNegotiated(out);
}

bool Rfc2217Filter::Negotiating() const {
  for (int slot = 0; slot < kSlots; ++slot) {
    if (us_[slot] == Q::kWantYes || him_[slot] == Q::kWantYes) return true;
  }
  return false;
}

void Rfc2217Filter::CheckNegotiated(Rfc2217Output* out) {
  if (!started_ || negotiatedTold_ || Negotiating()) return;
  negotiatedTold_ = true;
  out->events.push_back({Rfc2217Event::Kind::kNegotiated});
}

void Rfc2217Filter::UsChanged(int slot, Q was, Rfc2217Output* out) {
  if (slot != kComPortSlot || was == us_[slot]) return;
  if (us_[slot] == Q::kYes) {
    out->events.push_back({Rfc2217Event::Kind::kComPortAccepted});
    ReleaseHeld(out);
  } else if (us_[slot] == Q::kNo) {
    out->events.push_back({Rfc2217Event::Kind::kComPortRefused});
    // Answers to requests sent before a later refusal will not come.
    pending_.clear();
    ReleaseHeld(out);
  }
}

// RFC 1143's rules for the states used here. Unknown options are refused;
// an answer that only confirms the state is not answered again, so two
// sides never loop.
void Rfc2217Filter::Verb(uint8_t verb, uint8_t option, Rfc2217Output* out) {
  const int slot = SlotOf(option);
  switch (verb) {
    case kWill:
    case kWont: {
      // The server offers or withdraws something it does. It may do BINARY
      // and SUPPRESS-GO-AHEAD; COM-PORT-OPTION is the client's to do.
      const bool wanted = slot == kBinarySlot || slot == kSgaSlot;
      if (!wanted) {
        if (verb == kWill) SendCommand(kDont, option, out);
        break;
      }
      Q& q = him_[slot];
      if (verb == kWill) {
        if (q == Q::kNo) SendCommand(kDo, option, out);
        q = Q::kYes;
      } else {
        if (q == Q::kYes) SendCommand(kDont, option, out);
        q = Q::kNo;
      }
      break;
    }
    case kDo:
    case kDont: {
      if (slot < 0) {
        if (verb == kDo) SendCommand(kWont, option, out);
        break;
      }
      Q& q = us_[slot];
      const Q was = q;
      if (verb == kDo) {
        if (q == Q::kNo) SendCommand(kWill, option, out);
        q = Q::kYes;
      } else {
        if (q == Q::kYes) SendCommand(kWont, option, out);
        q = Q::kNo;
      }
      UsChanged(slot, was, out);
      break;
    }
    default:
      break;
  }
  CheckNegotiated(out);
}

void Rfc2217Filter::NegotiationTimedOut(Rfc2217Output* out) {
  for (int slot : {kSgaSlot, kComPortSlot}) {
    if (us_[slot] == Q::kWantYes) {
      us_[slot] = Q::kNo;
      UsChanged(slot, Q::kWantYes, out);
    }
    if (him_[slot] == Q::kWantYes) him_[slot] = Q::kNo;
  }
  // Silence about BINARY is not a refusal: data keep passing unchanged.
  if (us_[kBinarySlot] == Q::kWantYes) us_[kBinarySlot] = Q::kYes;
  if (him_[kBinarySlot] == Q::kWantYes) him_[kBinarySlot] = Q::kYes;
  CheckNegotiated(out);
}

void Rfc2217Filter::FromNetwork(const uint8_t* data, size_t size, Rfc2217Output* out) {
  size_t i = 0;
  while (i < size) {
    // The server's virtual-terminal mode needs each byte looked at; binary
    // data are copied in runs up to the next IAC. A command in this very
    // read may switch the mode.
    const bool terminal = him_[kBinarySlot] == Q::kNo;
    if (parse_ == Parse::kData && !terminal) {
      const void* iac = std::memchr(data + i, kIac, size - i);
      const size_t end = iac ? static_cast<size_t>(static_cast<const uint8_t*>(iac) - data) : size;
      if (end > i) crSeen_ = false;
      out->application.append(reinterpret_cast<const char*>(data + i), end - i);
      i = end;
      if (i == size) break;
    }
    const uint8_t byte = data[i++];
    switch (parse_) {
      case Parse::kData:
        if (byte == kIac) {
          parse_ = Parse::kIac;
        } else if (terminal && crSeen_ && byte == kNul) {
          crSeen_ = false;  // CR NUL is a lone CR
        } else {
          crSeen_ = terminal && byte == kCr;
          out->application.push_back(static_cast<char>(byte));
        }
        break;
      case Parse::kIac:
        if (byte == kIac) {
          parse_ = Parse::kData;
          crSeen_ = false;
          out->application.push_back(static_cast<char>(kIac));
        } else if (byte == kWill || byte == kWont || byte == kDo || byte == kDont) {
          verb_ = byte;
          parse_ = Parse::kOption;
        } else if (byte == kSb) {
          parse_ = Parse::kSbOption;
        } else {
          // NOP, GA, DM, BRK, AYT and the rest: nothing for a serial line.
          parse_ = Parse::kData;
        }
        break;
      case Parse::kOption:
        parse_ = Parse::kData;
        Verb(verb_, byte, out);
        break;
      case Parse::kSbOption:
        sbOption_ = byte;
        sb_.clear();
        sbOverflow_ = false;
        parse_ = Parse::kSb;
        break;
      case Parse::kSb:
        if (byte == kIac) {
          parse_ = Parse::kSbIac;
        } else if (sb_.size() < kMaxSubnegotiation) {
          sb_.push_back(static_cast<char>(byte));
        } else {
          sbOverflow_ = true;
        }
        break;
      case Parse::kSbIac:
        if (byte == kIac) {
          parse_ = Parse::kSb;
          if (sb_.size() < kMaxSubnegotiation) {
            sb_.push_back(static_cast<char>(kIac));
          } else {
            sbOverflow_ = true;
          }
        } else if (byte == kSe) {
          parse_ = Parse::kData;
          Subnegotiation(out);
        } else {
          // IAC and a command inside a subnegotiation: the server broke it
          // off. Take what came as finished and read the command.
          Subnegotiation(out);
          parse_ = Parse::kIac;
          --i;
        }
        break;
    }
  }
}

void Rfc2217Filter::Subnegotiation(Rfc2217Output* out) {
  if (sbOption_ != kComPortOption || sbOverflow_ || sb_.empty()) return;
  const uint8_t code = static_cast<uint8_t>(sb_[0]);
  if (code < kServerAnswer) return;  // a client's command: not for us to answer
  const auto command = static_cast<ComPortCommand>(code - kServerAnswer);
  const size_t length = sb_.size() - 1;
  const uint8_t* value = reinterpret_cast<const uint8_t*>(sb_.data()) + 1;
  switch (command) {
    case ComPortCommand::kSignature:
      // An empty signature asks for ours; a text is the server's own.
      if (length == 0) {
        out->network.append({static_cast<char>(kIac), static_cast<char>(kSb),
                             static_cast<char>(kComPortOption),
                             static_cast<char>(ComPortCommand::kSignature)});
        out->network.append(kSignature);
        out->network.append({static_cast<char>(kIac), static_cast<char>(kSe)});
      }
      break;
    case ComPortCommand::kSetBaudRate:
      if (length == 4) {
        Answer(command,
               uint32_t(value[0]) << 24 | uint32_t(value[1]) << 16 | uint32_t(value[2]) << 8 |
                   value[3],
               out);
      }
      break;
    case ComPortCommand::kNotifyLineState:
      if (length == 1) {
        reported_.lineState = value[0];
        reported_.lineStateSeen = true;
        out->events.push_back({Rfc2217Event::Kind::kLineState, command, 0, value[0]});
      }
      break;
    case ComPortCommand::kNotifyModemState:
      if (length == 1) {
        reported_.modemState = value[0];
        reported_.modemStateSeen = true;
        out->events.push_back({Rfc2217Event::Kind::kModemState, command, 0, value[0]});
      }
      break;
    case ComPortCommand::kFlowControlSuspend:
      out->events.push_back({Rfc2217Event::Kind::kFlowSuspend, command});
      break;
    case ComPortCommand::kFlowControlResume:
      out->events.push_back({Rfc2217Event::Kind::kFlowResume, command});
      break;
    case ComPortCommand::kSetDataSize:
    case ComPortCommand::kSetParity:
    case ComPortCommand::kSetStopSize:
    case ComPortCommand::kSetControl:
    case ComPortCommand::kSetLineStateMask:
    case ComPortCommand::kSetModemStateMask:
    case ComPortCommand::kPurgeData:
      if (length == 1) Answer(command, value[0], out);
      break;
  }
}

void Rfc2217Filter::Answer(ComPortCommand command, uint32_t value, Rfc2217Output* out) {
  switch (command) {
    case ComPortCommand::kSetBaudRate: reported_.baudRate = value; break;
    case ComPortCommand::kSetDataSize: reported_.dataSize = static_cast<uint8_t>(value); break;
    case ComPortCommand::kSetParity: reported_.parity = static_cast<uint8_t>(value); break;
    case ComPortCommand::kSetStopSize: reported_.stopSize = static_cast<uint8_t>(value); break;
    case ComPortCommand::kSetControl: reported_.control = static_cast<uint8_t>(value); break;
    default: break;
  }
  for (auto it = pending_.begin(); it != pending_.end(); ++it) {
    if (it->command != command) continue;
    out->events.push_back({Rfc2217Event::Kind::kAcknowledged, command, it->value, value});
    pending_.erase(it);
    return;
  }
  out->events.push_back({Rfc2217Event::Kind::kNotice, command, 0, value});
}

void Rfc2217Filter::ForgetPendingRequests() { pending_.clear(); }

RequestResult Rfc2217Filter::Ask(ComPortCommand command, uint32_t value, Rfc2217Output* out) {
  if (!Valid(command, value)) return RequestResult::kInvalid;
  return Issue(command, value, out);
}

RequestResult Rfc2217Filter::Issue(ComPortCommand command, uint32_t value, Rfc2217Output* out) {
  switch (us_[kComPortSlot]) {
    case Q::kYes:
      SendRequest({command, value}, out);
      return RequestResult::kSent;
    case Q::kWantYes:
      held_.push_back({true, {command, value}, {}});
      ++heldRequests_;
      return RequestResult::kQueued;
    default:
      return RequestResult::kNotAvailable;
  }
}

void Rfc2217Filter::SendRequest(const Request& r, Rfc2217Output* out) {
  std::string& n = out->network;
  n.append({static_cast<char>(kIac), static_cast<char>(kSb), static_cast<char>(kComPortOption),
            static_cast<char>(r.command)});
  if (r.command == ComPortCommand::kSetBaudRate) {
    for (int shift = 24; shift >= 0; shift -= 8) AppendEscaped(uint8_t(r.value >> shift), &n);
  } else {
    AppendEscaped(static_cast<uint8_t>(r.value), &n);
  }
  n.append({static_cast<char>(kIac), static_cast<char>(kSe)});
  pending_.push_back(r);
}

void Rfc2217Filter::ReleaseHeld(Rfc2217Output* out) {
  const bool accepted = us_[kComPortSlot] == Q::kYes;
  for (const Held& h : held_) {
    if (!h.isRequest) {
      SendData(reinterpret_cast<const uint8_t*>(h.data.data()), h.data.size(), out);
    } else if (accepted) {
      SendRequest(h.request, out);
    } else {
      out->events.push_back(
          {Rfc2217Event::Kind::kRequestDropped, h.request.command, h.request.value, 0});
    }
  }
  held_.clear();
  heldRequests_ = 0;
}

void Rfc2217Filter::FromApplication(const uint8_t* data, size_t size, Rfc2217Output* out) {
  if (size == 0) return;
  if (!held_.empty()) {
    // Behind a request that waits: keeps the order the application made.
    if (held_.back().isRequest) held_.push_back({false, {}, {}});
    held_.back().data.append(reinterpret_cast<const char*>(data), size);
    return;
  }
  SendData(data, size, out);
}

void Rfc2217Filter::SendData(const uint8_t* data, size_t size, Rfc2217Output* out) const {
  std::string& n = out->network;
  if (us_[kBinarySlot] != Q::kNo) {
    size_t i = 0;
    while (i < size) {
      const void* iac = std::memchr(data + i, kIac, size - i);
      const size_t end = iac ? static_cast<size_t>(static_cast<const uint8_t*>(iac) - data) + 1 : size;
      n.append(reinterpret_cast<const char*>(data + i), end - i);
      if (iac) n.push_back(static_cast<char>(kIac));
      i = end;
    }
    return;
  }
  // The server refused binary from us: a lone CR must travel as CR NUL.
  for (size_t i = 0; i < size; ++i) {
    AppendEscaped(data[i], &n);
    if (data[i] == kCr) n.push_back(static_cast<char>(kNul));
  }
}

RequestResult Rfc2217Filter::SetBaudRate(uint32_t baud, Rfc2217Output* out) {
  return Ask(ComPortCommand::kSetBaudRate, baud, out);
}

RequestResult Rfc2217Filter::SetDataSize(uint8_t bits, Rfc2217Output* out) {
  return Ask(ComPortCommand::kSetDataSize, bits, out);
}

RequestResult Rfc2217Filter::SetParity(Parity parity, Rfc2217Output* out) {
  return Ask(ComPortCommand::kSetParity, static_cast<uint32_t>(parity), out);
}

RequestResult Rfc2217Filter::SetStopSize(StopSize stop, Rfc2217Output* out) {
  return Ask(ComPortCommand::kSetStopSize, static_cast<uint32_t>(stop), out);
}

RequestResult Rfc2217Filter::SetControl(uint8_t value, Rfc2217Output* out) {
  return Ask(ComPortCommand::kSetControl, value, out);
}

RequestResult Rfc2217Filter::Purge(PurgeTarget what, Rfc2217Output* out) {
  return Ask(ComPortCommand::kPurgeData, static_cast<uint32_t>(what), out);
}

RequestResult Rfc2217Filter::Query(ComPortCommand command, Rfc2217Output* out) {
  switch (command) {
    case ComPortCommand::kSetBaudRate:
    case ComPortCommand::kSetDataSize:
    case ComPortCommand::kSetParity:
    case ComPortCommand::kSetStopSize:
      return Issue(command, 0, out);
    default:
      return RequestResult::kInvalid;
  }
}

}  // namespace tarvik::device
