#include "rfc2217_server.h"

namespace devsim {

namespace {

constexpr uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
constexpr uint8_t BINARY = 0, SGA = 3, COMPORT = 44;
constexpr uint8_t ANSWER = 100;  // server's code = client's code + 100

std::string Three(uint8_t a, uint8_t b, uint8_t c) {
  return std::string{static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)};
}

// A subnegotiation of option 44 with its value bytes escaped.
std::string Sb(uint8_t code, const std::string& value) {
  std::string out = Three(IAC, SB, COMPORT);
  out.push_back(static_cast<char>(code));
  out += Rfc2217Server::ToClient(value);
  out.push_back(static_cast<char>(IAC));
  out.push_back(static_cast<char>(SE));
  return out;
}

std::string OneByte(uint8_t v) { return std::string(1, static_cast<char>(v)); }

// Takes a one-byte setting: 0 asks for the current value, anything in
// [low, high] sets it, the rest leaves it.
void TakeByte(uint8_t asked, uint8_t low, uint8_t high, uint8_t* field) {
  if (asked >= low && asked <= high) *field = asked;
}

}  // namespace

std::string Rfc2217Server::Greeting() {
  // The server offers binary itself, so the client meets an offer that
  // crosses its own.
  weDo_[BINARY] = theyDo_[BINARY] = true;
  return Three(IAC, WILL, BINARY) + Three(IAC, DO, BINARY);
}

std::string Rfc2217Server::ToClient(const std::string& data) {
  std::string out;
  out.reserve(data.size());
  for (char c : data) {
    out.push_back(c);
    if (static_cast<uint8_t>(c) == IAC) out.push_back(c);
  }
  return out;
}

void Rfc2217Server::Negotiate(uint8_t verb, uint8_t option, std::string* reply) {
  const bool known = option == BINARY || option == SGA;
  switch (verb) {
    case WILL:  // the client offers to do it
      if (option == COMPORT) {
        if (manner_ == Rfc2217Manner::kRefuse) {
          *reply += Three(IAC, DONT, COMPORT);
        } else if (!comPort_) {
          comPort_ = true;
          *reply += Three(IAC, DO, COMPORT);
        }
      } else if (!known) {
        *reply += Three(IAC, DONT, option);
      } else if (!theyDo_[option]) {
        theyDo_[option] = true;
        *reply += Three(IAC, DO, option);
      }
      break;
    case WONT:
      if (option == COMPORT) comPort_ = false;
      if (theyDo_[option]) {
        theyDo_[option] = false;
        *reply += Three(IAC, DONT, option);
      }
      break;
    case DO:  // the client asks this server to do it
      if (!known) {
        *reply += Three(IAC, WONT, option);
      } else if (!weDo_[option]) {
        weDo_[option] = true;
        *reply += Three(IAC, WILL, option);
      }
      break;
    case DONT:
      if (weDo_[option]) {
        weDo_[option] = false;
        *reply += Three(IAC, WONT, option);
      }
      break;
  }
}

void Rfc2217Server::Request(std::string* reply, std::vector<std::string>* notes) {
  if (sbOption_ != COMPORT || !comPort_ || sb_.empty()) return;
  const uint8_t code = static_cast<uint8_t>(sb_[0]);
  const std::string value = sb_.substr(1);
  std::string answer;
  switch (code) {
    case 1:  // SET-BAUDRATE
      if (value.size() != 4) return;
      {
        uint32_t baud = 0;
        for (char c : value) baud = baud << 8 | static_cast<uint8_t>(c);
        if (baud != 0) {
          line_.baud = baud;
          notes->push_back("baud=" + std::to_string(baud));
        }
        for (int shift = 24; shift >= 0; shift -= 8)
          answer.push_back(static_cast<char>(line_.baud >> shift));
      }
      break;
    case 2:  // SET-DATASIZE
    case 3:  // SET-PARITY
    case 4:  // SET-STOPSIZE
    case 5:  // SET-CONTROL
    case 12: {  // PURGE-DATA
      if (value.size() != 1) return;
      const uint8_t v = static_cast<uint8_t>(value[0]);
      uint8_t shown = v;
      if (code == 2) {
        TakeByte(v, 5, 8, &line_.dataSize);
        shown = line_.dataSize;
        if (v) notes->push_back("datasize=" + std::to_string(v));
      } else if (code == 3) {
        TakeByte(v, 1, 5, &line_.parity);
        shown = line_.parity;
        if (v) notes->push_back("parity=" + std::to_string(v));
      } else if (code == 4) {
        TakeByte(v, 1, 3, &line_.stopSize);
        shown = line_.stopSize;
        if (v) notes->push_back("stopsize=" + std::to_string(v));
      } else if (code == 5) {
        notes->push_back("control=" + std::to_string(v));
      } else {
        notes->push_back("purge=" + std::to_string(v));
      }
      answer = OneByte(shown);
      break;
    }
    default:
      return;
  }
  if (manner_ == Rfc2217Manner::kAck) *reply += Sb(static_cast<uint8_t>(code + ANSWER), answer);
}

void Rfc2217Server::FromClient(const std::string& bytes, std::string* line, std::string* reply,
                               std::vector<std::string>* notes) {
  for (char c : bytes) {
    const uint8_t b = static_cast<uint8_t>(c);
    switch (state_) {
      case State::kData:
        if (b == IAC) {
          state_ = State::kIac;
        } else {
          line->push_back(c);
        }
        break;
      case State::kIac:
        if (b == IAC) {
          line->push_back(c);
          state_ = State::kData;
        } else if (b >= WILL && b <= DONT) {
          verb_ = b;
          state_ = State::kVerb;
        } else if (b == SB) {
          state_ = State::kSbOption;
        } else {
          state_ = State::kData;
        }
        break;
      case State::kVerb:
        Negotiate(verb_, b, reply);
        state_ = State::kData;
        break;
      case State::kSbOption:
        sbOption_ = b;
        sb_.clear();
        state_ = State::kSb;
        break;
      case State::kSb:
        if (b == IAC) {
          state_ = State::kSbIac;
        } else if (sb_.size() < 64) {
          sb_.push_back(c);
        }
        break;
      case State::kSbIac:
        if (b == SE) {
          Request(reply, notes);
          state_ = State::kData;
        } else {
          if (sb_.size() < 64) sb_.push_back(c);  // IAC IAC: a 255 in the value
          state_ = State::kSb;
        }
        break;
    }
  }
}

}  // namespace devsim
