// A device connection that speaks RFC 2217 (Telnet Com Port Control): a
// DeviceLink over the real one, with one filter (device/rfc2217_filter.h)
// for the connection's life. The port's session sees plain data both ways;
// the telnet around it stays in here.
//
// - The connect's end (ConnectError() giving 0) starts the filter: its
//   offers go out first, and the negotiation time-out starts on the port's
//   clock. A server that has not answered COM-PORT-OPTION when it is over
//   counts as refusing it: data go on, settings go nowhere.
// - Send takes the application's bytes whole (IAC doubled) unless the
//   bytes of the connection the socket has not taken yet pass kBacklog;
//   those are kept here and sent at the next readiness (OnReady), with the
//   real link asked for writability meanwhile.
// - Receive hands on the data only. A read that brought telnet alone is
//   read on, and reports "none yet" (EAGAIN) rather than the 0 that would
//   mean the server closed.
// - Answers, notices and the server's line and modem states go to the
//   listener (the port's in-band settings channel) as they come.
//
// The maker wraps another one (TCP on the loop), so the connect, its
// time-out and the socket options stay as they are for raw ports.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "port_ops.h"
#include "rfc2217_filter.h"

namespace vonderil {

class Rfc2217Link;

class Rfc2217Listener {
 public:
  virtual ~Rfc2217Listener() = default;
  // The filter started on a new connection: requests may be made on it.
  virtual void LinkStarted(Rfc2217Link& link) = 0;
  virtual void LinkEvent(Rfc2217Link& link, const tarvik::device::Rfc2217Event& event) = 0;
  // The connection is being closed.
  virtual void LinkGone(Rfc2217Link& link) = 0;
};

class Rfc2217Link : public DeviceLink {
 public:
  static constexpr uint32_t kNegotiationMs = 3000;
  static constexpr size_t kBacklog = 16384;

  Rfc2217Link(std::unique_ptr<DeviceLink> inner, PortClock& clock, Rfc2217Listener& listener);
  ~Rfc2217Link() override;
  Rfc2217Link(const Rfc2217Link&) = delete;
  Rfc2217Link& operator=(const Rfc2217Link&) = delete;

  // DeviceLink
  int ConnectError() override;
  ssize_t Send(const char* data, size_t size, int* error) override;
  ssize_t Receive(char* into, size_t room, int* error) override;
  void Watch(bool read, bool write) override;
  void OnReady(uint32_t ready) override;
  void Purge(uint32_t flushed) override;

  // Requests for the listener; what they send goes out at once.
  tarvik::device::RequestResult SetBaudRate(uint32_t baud);
  tarvik::device::RequestResult SetStopSize(tarvik::device::StopSize stop);
  void ForgetPendingRequests() { filter_.ForgetPendingRequests(); }
  tarvik::device::OptionState ComPort() const { return filter_.ComPort(); }
  const tarvik::device::ReportedLine& Reported() const { return filter_.Reported(); }

 private:
  // Sends what the filter gave for the network and hands on its events.
  void Take();
  void Flush();
  void UpdateWatch();

  std::unique_ptr<DeviceLink> inner_;
  PortClock& clock_;
  Rfc2217Listener& listener_;
  tarvik::device::Rfc2217Filter filter_;
  tarvik::device::Rfc2217Output out_;
  std::string backlog_;  // connection bytes the socket has not taken yet
  size_t backlogAt_ = 0;
  int failed_ = 0;       // errno of a send that failed, reported at the next call
  bool started_ = false;
  bool wantRead_ = false, wantWrite_ = false;
  TimerId negotiationTimer_;
};

class Rfc2217LinkMaker : public LinkMaker {
 public:
  Rfc2217LinkMaker(LinkMaker& inner, PortClock& clock, Rfc2217Listener& listener)
      : inner_(inner), clock_(clock), listener_(listener) {}
  std::unique_ptr<DeviceLink> Start(uint32_t address, uint32_t port, int* error) override;

 private:
  LinkMaker& inner_;
  PortClock& clock_;
  Rfc2217Listener& listener_;
};

}  // namespace vonderil
