#include "tcp_connect.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>

#include <cerrno>

namespace vonderil {

ConnectStart StartTcpConnect(uint32_t address, uint32_t port, const LinkOptions& options,
                             tarvik::UniqueFd* out, int* error) {
  tarvik::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd.Valid() || port == 0 || port > 65535) {
    *error = fd.Valid() ? EINVAL : errno;
    return ConnectStart::kFailed;
  }
  int on = 1;
  setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  if (options.keepAliveMs > 0) {
    int idle = static_cast<int>(options.keepAliveMs / 1000 > 0 ? options.keepAliveMs / 1000 : 1);
    if (idle > 32767) idle = 32767;
    int interval = idle / 4 > 0 ? idle / 4 : 1;
    int count = 4;
    setsockopt(fd.Get(), SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(fd.Get(), IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(fd.Get(), IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(fd.Get(), IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
  }
  if (options.userTimeoutMs > 0) {
    unsigned int ms = options.userTimeoutMs;
    setsockopt(fd.Get(), IPPROTO_TCP, TCP_USER_TIMEOUT, &ms, sizeof ms);
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

TcpLink::TcpLink(EventLoop& loop, tarvik::UniqueFd fd, const std::function<void(uint32_t)>& ready)
    : loop_(loop), fd_(std::move(fd)) {
  events_ = EPOLLOUT;
  loop_.Watch(fd_.Get(), events_, [ready](uint32_t e) {
    uint32_t flags = 0;
    if (e & EPOLLIN) flags |= kReadable;
    if (e & EPOLLOUT) flags |= kWritable;
    if (e & (EPOLLHUP | EPOLLRDHUP)) flags |= kHangUp;
    if (e & EPOLLERR) flags |= kFailed;
    ready(flags);
  });
}

TcpLink::~TcpLink() { loop_.Unwatch(fd_.Get()); }

ssize_t TcpLink::Send(const char* data, size_t size, int* error) {
  for (;;) {
    ssize_t n = ::send(fd_.Get(), data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) *error = errno == EWOULDBLOCK ? EAGAIN : errno;
    return n;
  }
}

ssize_t TcpLink::Receive(char* into, size_t room, int* error) {
  for (;;) {
    ssize_t n = ::recv(fd_.Get(), into, room, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) *error = errno == EWOULDBLOCK ? EAGAIN : errno;
    return n;
  }
}

void TcpLink::Watch(bool read, bool write) {
  // EPOLLRDHUP says when the device's FIN waits behind its bytes.
  const uint32_t want = (read ? EPOLLIN | EPOLLRDHUP : 0u) | (write ? EPOLLOUT : 0u);
  if (want != events_ && loop_.Modify(fd_.Get(), want)) events_ = want;
}

std::unique_ptr<DeviceLink> TcpLinkMaker::Start(uint32_t address, uint32_t port, int* error) {
  tarvik::UniqueFd fd;
  if (StartTcpConnect(address, port, options_, &fd, error) == ConnectStart::kFailed) return nullptr;
  if (!fd.Valid()) return nullptr;
  auto link = std::make_unique<TcpLink>(loop_, std::move(fd), ready_);
  if (!loop_.Watched(link->Fd())) {
    *error = errno != 0 ? errno : EMFILE;
    return nullptr;
  }
  return link;
}

}  // namespace vonderil
