#include "tcp_connect.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>

namespace vonderil {

ConnectStart StartTcpConnect(uint32_t address, uint32_t port, uint32_t keepAliveMs,
                             tarvik::UniqueFd* out, int* error) {
  tarvik::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd.Valid() || port == 0 || port > 65535) {
    *error = fd.Valid() ? EINVAL : errno;
    return ConnectStart::kFailed;
  }
  int on = 1;
  setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  if (keepAliveMs > 0) {
    int idle = static_cast<int>(keepAliveMs / 1000 > 0 ? keepAliveMs / 1000 : 1);
    if (idle > 32767) idle = 32767;
    int interval = idle / 4 > 0 ? idle / 4 : 1;
    int count = 4;
    setsockopt(fd.Get(), SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(fd.Get(), IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(fd.Get(), IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(fd.Get(), IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
  }
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  to.sin_addr.s_addr = address;  // already in network byte order in memory
  // Non-blocking: an interrupted connect goes on in the background.
  const int rc = ::connect(fd.Get(), reinterpret_cast<sockaddr*>(&to), sizeof to);
  *out = std::move(fd);
  if (rc == 0) return ConnectStart::kConnected;
  if (errno == EINPROGRESS || errno == EINTR) return ConnectStart::kInProgress;
  *error = errno;
  out->Reset();
  return ConnectStart::kFailed;
}

int FinishTcpConnect(int fd) {
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
  return error;
}

}  // namespace vonderil
