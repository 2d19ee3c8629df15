#include "command_listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace devsim {

bool CommandListener::Open(std::string* error) {
  listen_.Reset();
  acceptDue_.reset();
  const CommandPortSettings& settings = device_->Settings();
  if (settings.refuseConnections) return true;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port_ != 0 ? port_ : settings.tcpPortCmd);
  if (inet_pton(AF_INET, settings.ip.c_str(), &address.sin_addr) != 1) {
    if (error) *error = "not an IPv4 address: " + settings.ip;
    return false;
  }
  tarvik::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd.Valid()) {
    if (error) *error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  const int one = 1;
  ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0 ||
      ::listen(fd.Get(), 16) < 0) {
    if (error) {
      *error = "command port " + settings.ip + ":" + std::to_string(ntohs(address.sin_port)) +
               ": " + std::strerror(errno);
    }
    return false;
  }
  socklen_t length = sizeof address;
  ::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  boundIp_ = settings.ip;
  listen_ = std::move(fd);
  return true;
}

void CommandListener::CloseAll() {
  connections_.clear();
  listen_.Reset();
  acceptDue_.reset();
}

void CommandListener::Sync() {
  const CommandPortSettings& settings = device_->Settings();
  if (settings.refuseConnections) {
    // shutdown() stops the listening at once, even while another thread
    // still waits in poll() on the descriptor (close() alone would keep the
    // socket alive, and accepting, until that wait returns).
    if (listen_.Valid()) ::shutdown(listen_.Get(), SHUT_RDWR);
    listen_.Reset();
    acceptDue_.reset();
    return;
  }
  if (!listen_.Valid() || boundIp_ != settings.ip) {
    // A failure leaves the port closed; the next turn tries again.
    Open(nullptr);
  }
}

void CommandListener::AddPollFds(std::vector<pollfd>* fds) {
  Sync();
  if (listen_.Valid() && !acceptDue_) fds->push_back(pollfd{listen_.Get(), POLLIN, 0});
  for (const auto& connection : connections_) {
    fds->push_back(pollfd{connection.fd.Get(), POLLIN, 0});
  }
}

int CommandListener::NextTimeoutMs() const {
  std::optional<Clock::time_point> next = acceptDue_;
  for (const auto& connection : connections_) {
    for (const auto& send : connection.later) {
      if (!next || send.due < *next) next = send.due;
    }
  }
  if (!next) return -1;
  const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(*next - Clock::now());
  return static_cast<int>(std::max<long long>(0, wait.count() + 1));
}

void CommandListener::HandlePoll(const std::vector<pollfd>& fds) {
  auto readyFor = [&fds](int fd) {
    for (const auto& p : fds) {
      if (p.fd == fd) return (p.revents & (POLLIN | POLLERR | POLLHUP)) != 0;
    }
    return false;
  };
  bool reset = false;
  for (auto it = connections_.begin(); it != connections_.end();) {
    if (readyFor(it->fd.Get()) && !Read(*it, &reset)) {
      it = connections_.erase(it);
    } else {
      ++it;
    }
    if (reset) break;
  }
  if (reset) {
    // The device reboots: every connection drops, and the port comes back
    // on whatever address the restart put into effect.
    connections_.clear();
    listen_.Reset();
    acceptDue_.reset();
    Sync();
    return;
  }
  if (listen_.Valid() && !acceptDue_ && readyFor(listen_.Get())) {
    const uint32_t slow = device_->Settings().slowAcceptMs;
    if (slow > 0) {
      acceptDue_ = Clock::now() + std::chrono::milliseconds(slow);
    } else {
      AcceptWaiting();
    }
  }
  RunDue();
}

void CommandListener::AcceptWaiting() {
  for (;;) {
    const int fd = ::accept4(listen_.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;
    }
    connections_.emplace_back();
    connections_.back().fd.Reset(fd);
  }
}

bool CommandListener::Read(Connection& connection, bool* reset) {
  char buffer[4096];
  ssize_t n;
  do {
    n = ::recv(connection.fd.Get(), buffer, sizeof buffer, 0);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK;
  if (n == 0) return false;
  for (const auto& reply : device_->HandleReceived(connection.state,
                                                   std::string_view(buffer, static_cast<size_t>(n)), reset)) {
    Send(connection, reply);
  }
  return true;
}

void CommandListener::Send(Connection& connection, const CommandReply& reply) {
  std::string now = reply.bytes;
  if (reply.splitAt > 0 && reply.splitAt < reply.bytes.size()) {
    now = reply.bytes.substr(0, reply.splitAt);
    connection.later.push_back(PendingSend{
        Clock::now() + std::chrono::milliseconds(device_->Settings().splitDelayMs),
        reply.bytes.substr(reply.splitAt)});
  }
  // Replies are short; a full socket buffer means the client stopped
  // reading, and what does not fit is dropped like a lost answer.
  ::send(connection.fd.Get(), now.data(), now.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

void CommandListener::RunDue() {
  const auto now = Clock::now();
  if (acceptDue_ && *acceptDue_ <= now) {
    acceptDue_.reset();
    if (listen_.Valid()) AcceptWaiting();
  }
  for (auto& connection : connections_) {
    auto& later = connection.later;
    for (auto it = later.begin(); it != later.end();) {
      if (it->due <= now) {
        ::send(connection.fd.Get(), it->bytes.data(), it->bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        it = later.erase(it);
      } else {
        ++it;
      }
    }
  }
}

}  // namespace devsim
