#include "name_exchange.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "command_forms.h"
#include "tarvik/text.h"

namespace {

// One receive takes at most this much, as a session's does.
constexpr size_t kReceiveSize = 2048;
// The name and version fields the session's callers give.
constexpr size_t kNameSize = 50;

bool Passed(uint32_t now, uint32_t deadline) {
  return static_cast<int32_t>(now - deadline) >= 0;
}

}  // namespace

NameExchange::NameExchange(uint32_t hostAddress, uint32_t port, uint32_t timeoutMs)
    : address_(hostAddress), port_(port), timeoutMs_(timeoutMs) {}

bool NameExchange::Start(uint32_t now) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) {
    if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) return false;
    Finish(false);
    return true;
  }
  fd_.Reset(fd);
  stage_ = Stage::kConnecting;
  deadline_ = now + timeoutMs_;
  if (port_ > 65535) {
    Finish(false);
    return true;
  }
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(static_cast<uint16_t>(port_));
  peer.sin_addr.s_addr = htonl(address_);
  int rc;
  do {
    rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
  } while (rc < 0 && errno == EINTR);
  if (rc == 0) {
    Ask("10\r", Stage::kAskName, now);
  } else if (errno != EINPROGRESS) {
    Finish(false);
  }
  return true;
}

void NameExchange::FailNoSocket() { Finish(false); }

void NameExchange::OnReady(short revents, uint32_t now) {
  if (stage_ == Stage::kConnecting) {
    if (!(revents & (POLLOUT | POLLERR | POLLHUP))) return;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd_.Get(), SOL_SOCKET, SO_ERROR, &error, &length) < 0) error = errno;
    if (error != 0) return Finish(false);
    return Ask("10\r", Stage::kAskName, now);
  }
  if (stage_ == Stage::kAskName || stage_ == Stage::kAskVersion) {
    if (revents & (POLLIN | POLLERR | POLLHUP)) OnReply(now);
  }
}

void NameExchange::OnTime(uint32_t now) {
  if (Started() && !Done() && Passed(now, deadline_)) Finish(false);
}

void NameExchange::Ask(const char* command, Stage next, uint32_t now) {
  // Whatever is still waiting belongs to the command before.
  char drain[kReceiveSize];
  while (::recv(fd_.Get(), drain, sizeof drain, MSG_DONTWAIT) > 0) {
  }
  const size_t length = std::strlen(command);
  ssize_t sent;
  do {
    sent = ::send(fd_.Get(), command, length, MSG_NOSIGNAL | MSG_DONTWAIT);
  } while (sent < 0 && errno == EINTR);
  if (sent != static_cast<ssize_t>(length)) return Finish(false);
  command_ = command;
  stage_ = next;
  deadline_ = now + timeoutMs_;
}

void NameExchange::OnReply(uint32_t now) {
  char chunk[kReceiveSize];
  ssize_t received;
  do {
    received = ::recv(fd_.Get(), chunk, sizeof chunk, MSG_DONTWAIT);
  } while (received < 0 && errno == EINTR);
  if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
  // A closed or failed connection can bring no reply any more.
  if (received <= 0) return Finish(false);
  const std::string payload =
      tarvik::device::ReplyPayload(command_, chunk, static_cast<size_t>(received));
  // The session keeps 99 characters of a reply; a name field holds 49.
  char reply[100];
  tarvik::CopyText(reply, payload.c_str());
  if (tarvik::device::ClassifyPayload(reply) != tarvik::device::kReply) return Finish(false);
  if (stage_ == Stage::kAskName) {
    char name[kNameSize];
    tarvik::CopyText(name, reply);
    result_.name = name;
    return Ask("01\r", Stage::kAskVersion, now);
  }
  Finish(true);
}

void NameExchange::Finish(bool ok) {
  fd_.Reset();
  stage_ = Stage::kDone;
  result_.ok = ok;
  // A device that names itself but keeps its version to itself is not one
  // whose ports can be trusted to follow the name.
  if (!ok) result_.name.clear();
}
