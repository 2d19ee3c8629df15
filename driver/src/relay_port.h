// One mapped COM port as the driver runs it: its pty master and its TCP
// connections on the event loop, and the port's life (PortSession) on top
// of them. The loop calls the session when the master or a connection is
// ready; the port set calls it with the slave's open and close notices, the
// tick, and the results of line-settings jobs. See port_session.h for what
// the port does.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "driver_parameters.h"
#include "event_loop.h"
#include "port_log.h"
#include "port_session.h"
#include "pty_pair.h"
#include "rfc2217_channel.h"
#include "rfc2217_link.h"
#include "tcp_connect.h"
#include "virtual_port.h"
#include "tarvik/port_status.h"

namespace vonderil {

class RelayPort : public VirtualPort {
 public:
  RelayPort(EventLoop& loop, const MappedPort& mapping, const DriverOptions& options, PtyPair pty,
            std::string linkPath, SettingsChannel* settings, PortLog::Sink log,
            PortSession::Hooks hooks);
  ~RelayPort() override;
  RelayPort(const RelayPort&) = delete;
  RelayPort& operator=(const RelayPort&) = delete;

  // VirtualPort
  uint32_t ComNumber() const override { return comNumber_; }
  bool HeldOpen() const override { return session_.Held(); }
  bool Quiet() const override { return session_.Quiet(); }
  void Stopping() override { session_.Stopping(); }
  void Close() override;

  const std::string& SlavePath() const { return slavePath_; }
  PortSession& Session() { return session_; }
  PortStatusLine Status() const;

 private:
  uint32_t comNumber_;
  std::string slavePath_;
  std::string linkPath_;
  PtyMaster pty_;
  TcpLinkMaker links_;
  // A server whose data connection speaks RFC 2217: the settings travel on
  // it, and its connections run through the RFC 2217 link.
  std::unique_ptr<Rfc2217Channel> inBand_;
  std::unique_ptr<Rfc2217LinkMaker> rfc2217Links_;
  PortSession session_;
};

}  // namespace vonderil
