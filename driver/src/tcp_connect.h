// Connections to a device: a non-blocking TCP connect with the socket
// options every device connection carries, and the connection as a port's
// DeviceLink on the event loop.
//
// Options: TCP_NODELAY (the driver coalesces in its own buffer where a port
// asks for it; Nagle with delayed ACK would add tens of milliseconds to
// every short reply); keep-alive after keepAliveMs of silence (0: none);
// and TCP_USER_TIMEOUT of the server's ConnectionBroken, so a device that
// vanishes while bytes to it are unacknowledged is noticed then, not after
// the kernel's retransmissions give up (about 15 minutes).
#pragma once
#include <cstdint>
#include <functional>
#include <memory>

#include "event_loop.h"
#include "port_ops.h"
#include "tarvik/unique_fd.h"

namespace vonderil {

struct LinkOptions {
  uint32_t keepAliveMs = 0;
  uint32_t userTimeoutMs = 0;  // 0: the kernel's own
};

enum class ConnectStart { kInProgress, kConnected, kFailed };

// address: first octet in the low byte. *error holds errno on kFailed.
ConnectStart StartTcpConnect(uint32_t address, uint32_t port, const LinkOptions& options,
                             tarvik::UniqueFd* out, int* error);

// The outcome of a connect that was in progress: 0 connected, else errno.
int FinishTcpConnect(int fd);

class TcpLink : public DeviceLink {
 public:
  // Watches fd for writability (the end of the connect) at once.
  TcpLink(EventLoop& loop, tarvik::UniqueFd fd, const std::function<void(uint32_t)>& ready);
  ~TcpLink() override;
  TcpLink(const TcpLink&) = delete;
  TcpLink& operator=(const TcpLink&) = delete;

  int Fd() const { return fd_.Get(); }

  int ConnectError() override { return FinishTcpConnect(fd_.Get()); }
  ssize_t Send(const char* data, size_t size, int* error) override;
  ssize_t Receive(char* into, size_t room, int* error) override;
  void Watch(bool read, bool write) override;

 private:
  EventLoop& loop_;
  tarvik::UniqueFd fd_;
  uint32_t events_ = 0;
};

class TcpLinkMaker : public LinkMaker {
 public:
  TcpLinkMaker(EventLoop& loop, LinkOptions options, std::function<void(uint32_t)> ready)
      : loop_(loop), options_(options), ready_(std::move(ready)) {}
  std::unique_ptr<DeviceLink> Start(uint32_t address, uint32_t port, int* error) override;

 private:
  EventLoop& loop_;
  LinkOptions options_;
  std::function<void(uint32_t)> ready_;
};

}  // namespace vonderil
