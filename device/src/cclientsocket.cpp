#include "cclientsocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

bool CClientSocket::Create(int* error) {
  Close();
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) {
    *error = errno;
    return false;
  }
  fd_.Reset(fd);
  *error = 0;
  return true;
}

void CClientSocket::StartConnect(uint32_t address, uint32_t port) {
  connectPending_ = false;
  connectError_ = 0;
  finishedEarly_ = false;
  if (!fd_.Valid() || port > 65535) {
    connectError_ = fd_.Valid() ? EINVAL : EBADF;
    finishedEarly_ = true;
    return;
  }
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(static_cast<uint16_t>(port));
  peer.sin_addr.s_addr = address;  // already in network order as it lies in memory
  int rc;
  do {
    rc = ::connect(fd_.Get(), reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
  } while (rc < 0 && errno == EINTR);
  if (rc == 0) {
    finishedEarly_ = true;
  } else if (errno == EINPROGRESS) {
    connectPending_ = true;
  } else {
    connectError_ = errno;
    finishedEarly_ = true;
  }
}

bool CClientSocket::WaitForConnect(uint32_t ms) {
  if (finishedEarly_) {
    finishedEarly_ = false;
    OnConnect(connectError_);
    return true;
  }
  if (!connectPending_ || !fd_.Valid()) return false;
  pollfd p{fd_.Get(), POLLOUT, 0};
  const int ready = ::poll(&p, 1, static_cast<int>(ms));
  if (ready <= 0) return false;  // ran out, or interrupted: the caller's loop looks again
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(fd_.Get(), SOL_SOCKET, SO_ERROR, &error, &length) < 0) error = errno;
  connectPending_ = false;
  connectError_ = error;
  OnConnect(error);
  return true;
}

bool CClientSocket::WaitReadable(uint32_t ms) {
  if (!fd_.Valid()) return false;
  pollfd p{fd_.Get(), POLLIN, 0};
  return ::poll(&p, 1, static_cast<int>(ms)) > 0;
}

ssize_t CClientSocket::Receive(char* buffer, size_t size, int* error) {
  *error = 0;
  if (!fd_.Valid()) {
    *error = ENOTCONN;
    return -1;
  }
  ssize_t n;
  do {
    n = ::recv(fd_.Get(), buffer, size, MSG_DONTWAIT);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    *error = errno;
    return -1;
  }
  if (n == 0) {
    OnClose(0);
  } else {
    OnReceive(0);
  }
  return n;
}

ssize_t CClientSocket::Send(const char* data, size_t length) {
  if (!fd_.Valid()) {
    errno = ENOTCONN;
    return -1;
  }
  ssize_t n;
  do {
    n = ::send(fd_.Get(), data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
  } while (n < 0 && errno == EINTR);
  return n;
}

void CClientSocket::Close() {
  fd_.Reset();
  connected = 0;
  connectPending_ = false;
  connectError_ = 0;
  finishedEarly_ = false;
}

void CClientSocket::OnReceive(int /*errorCode*/) {}

void CClientSocket::OnSend(int /*errorCode*/) {}

void CClientSocket::OnConnect(int errorCode) { connected = errorCode == 0 ? 1 : 0; }

void CClientSocket::OnClose(int /*errorCode*/) { connected = 0; }
