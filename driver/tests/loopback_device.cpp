#include "loopback_device.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vonderil {

LoopbackDevice::LoopbackDevice(uint16_t port, bool echo) : echo_(echo) {
  listen_.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  int on = 1;
  setsockopt(listen_.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(port);
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof at;
  if (::bind(listen_.Get(), reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
      ::listen(listen_.Get(), 64) != 0 ||
      getsockname(listen_.Get(), reinterpret_cast<sockaddr*>(&at), &length) != 0) {
    listen_.Reset();
    return;
  }
  port_ = ntohs(at.sin_port);
  wake_.Reset(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  thread_ = std::thread([this] { Serve(); });
}

LoopbackDevice::~LoopbackDevice() {
  if (thread_.joinable()) {
    quit_ = true;
    Wake();
    thread_.join();
  }
  for (int fd : open_) ::close(fd);
}

void LoopbackDevice::Wake() {
  uint64_t one = 1;
  (void)!::write(wake_.Get(), &one, sizeof one);
}

void LoopbackDevice::Send(const std::string& bytes) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    outgoing_.push_back(bytes);
  }
  Wake();
}

void LoopbackDevice::DropConnections() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    drop_ = true;
  }
  Wake();
}

void LoopbackDevice::SendAndVanish(const std::string& bytes) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    outgoing_.push_back(bytes);
    vanish_ = true;
  }
  Wake();
}

void LoopbackDevice::GoSilent() {
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(port_);
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  silent_.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  int on = 1;
  setsockopt(silent_.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (::bind(silent_.Get(), reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
      ::listen(silent_.Get(), 0) != 0) {
    silent_.Reset();
    return;
  }
  filler_.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  (void)!::connect(filler_.Get(), reinterpret_cast<sockaddr*>(&at), sizeof at);
}

void LoopbackDevice::OnData(std::function<void(const std::string& received)> call) {
  std::lock_guard<std::mutex> lock(mutex_);
  onData_ = std::move(call);
}

void LoopbackDevice::StopListening() {
  std::lock_guard<std::mutex> lock(mutex_);
  // A listening socket shut down stops listening but stays bound.
  ::shutdown(listen_.Get(), SHUT_RDWR);
}

void LoopbackDevice::ListenAgain() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ::listen(listen_.Get(), 64);
  }
  Wake();
}

void LoopbackDevice::CloseOnAccept() {
  std::lock_guard<std::mutex> lock(mutex_);
  closeOnAccept_ = true;
}

std::string LoopbackDevice::Received() {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}
int LoopbackDevice::Connections() {
  std::lock_guard<std::mutex> lock(mutex_);
  return connections_;
}
int LoopbackDevice::OpenConnections() {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(open_.size());
}
int LoopbackDevice::Reads() {
  std::lock_guard<std::mutex> lock(mutex_);
  return reads_;
}

void LoopbackDevice::Serve() {
  while (!quit_) {
    // A negative descriptor is skipped by poll: a device that vanished.
    std::vector<pollfd> fds{{listen_.Get(), POLLIN, 0}, {wake_.Get(), POLLIN, 0}};
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (int fd : open_) fds.push_back({fd, POLLIN, 0});
    }
    if (::poll(fds.data(), fds.size(), 1000) < 0) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    if (fds[1].revents) {
      uint64_t n;
      (void)!::read(wake_.Get(), &n, sizeof n);
    }
    if (fds[0].revents & POLLIN) {
      int fd = ::accept4(listen_.Get(), nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0) {
        ++connections_;
        if (closeOnAccept_) {
          ::close(fd);
        } else {
          open_.push_back(fd);
        }
      }
    }
    for (size_t i = 2; i < fds.size(); ++i) {
      if (!fds[i].revents) continue;
      char buffer[65536];
      ssize_t n = ::recv(fds[i].fd, buffer, sizeof buffer, MSG_DONTWAIT);
      if (n > 0) {
        ++reads_;
        received_.append(buffer, static_cast<size_t>(n));
        if (onData_) onData_(received_);
        if (echo_) (void)!::send(fds[i].fd, buffer, static_cast<size_t>(n), MSG_NOSIGNAL);
      } else if (n == 0 || (fds[i].revents & (POLLHUP | POLLERR))) {
        ::close(fds[i].fd);
        for (auto it = open_.begin(); it != open_.end(); ++it) {
          if (*it == fds[i].fd) {
            open_.erase(it);
            break;
          }
        }
      }
    }
    // Before a vanish the bytes are held back (MSG_MORE) so that the close
    // sends them in the same segment as the FIN.
    for (const std::string& bytes : outgoing_) {
      for (int fd : open_) {
        (void)!::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | (vanish_ ? MSG_MORE : 0));
      }
    }
    outgoing_.clear();
    if (vanish_) {
      listen_.Reset();
      GoSilent();
      vanish_ = false;
      drop_ = true;
    }
    if (drop_) {
      for (int fd : open_) ::close(fd);
      open_.clear();
      drop_ = false;
    }
  }
}

}  // namespace vonderil
