// The line settings of a port whose data connection speaks RFC 2217: a
// SettingsChannel whose jobs become requests on the port's current
// connection (SET-BAUDRATE, SET-STOPSIZE) instead of command-port
// conversations, and whose results come back when the server's answers
// have. It listens to the port's Rfc2217Link, one connection at a time.
//
// - A question (kAsk) has nothing to ask in-band: it is answered at once,
//   with what this connection's server has acknowledged, or as not known;
//   LineSync then sends what the pty shows.
// - A change goes on the connection at once, or when the next one has
//   started; its result is ok when every request of it was acknowledged
//   (kConfirmed), when kAckTimeoutMs passed first (kTimedOut: the bytes held
//   behind it go on), or when the server does not do com-port control
//   (kNotCarried, logged once while it lasts).
// - A new connection takes the last settings sent, since a server may
//   start each connection from its own.
// Results are handed over from the clock (a zero delay), never from within
// a call of the session's, which is on the stack when the answers arrive.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>

#include "line_settings.h"
#include "port_log.h"
#include "port_ops.h"
#include "rfc2217_link.h"
#include "tarvik/port_status.h"

namespace vonderil {

class Rfc2217Channel : public SettingsChannel, public Rfc2217Listener {
 public:
  using Deliver = std::function<void(const SettingsResult& result)>;
  static constexpr uint32_t kAckTimeoutMs = 2000;

  Rfc2217Channel(uint32_t comNumber, PortClock& clock, const PortLog::Sink& log, Deliver deliver);
  ~Rfc2217Channel() override;
  Rfc2217Channel(const Rfc2217Channel&) = delete;
  Rfc2217Channel& operator=(const Rfc2217Channel&) = delete;

  // SettingsChannel
  void Send(const SettingsJob& job) override;

  // Rfc2217Listener
  void LinkStarted(Rfc2217Link& link) override;
  void LinkEvent(Rfc2217Link& link, const tarvik::device::Rfc2217Event& event) override;
  void LinkGone(Rfc2217Link& link) override;

  // The server's reports on this connection, into the port table's line.
  void FillStatus(PortStatusLine* status) const;

 private:
  // Requests whose answers are due on the current connection.
  struct Wait {
    bool baud = false;
    bool stop = false;
    LineSettings settings;
  };
  void Issue(bool baud, bool stop);
  void ArmAckTimer();
  void Answered();
  void Finish(SettingsResult::Ack ack);
  void Post(const SettingsResult& result);

  uint32_t comNumber_;
  PortClock& clock_;
  PortLog log_;
  Deliver deliver_;
  Rfc2217Link* link_ = nullptr;  // started, not gone
  std::optional<SettingsJob> job_;       // the change under way
  std::optional<LineSettings> last_;     // the settings last sent
  std::optional<LineSettings> confirmed_;  // acknowledged on this connection
  std::optional<Wait> wait_;
  bool refused_ = false;  // the last connection's server refused com-port control
  TimerId ackTimer_, postTimer_;
  std::deque<SettingsResult> results_;
};

}  // namespace vonderil
