// The simulator's RFC 2217 data port (devsim::DataSession with
// data_protocol = rfc2217) on 127.0.0.1, served from a thread of its own so
// that a blocking session in the test's thread can talk to it. One
// connection at a time, as many device servers take; it counts the
// connections it accepted and keeps the settings clients took.
#pragma once
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "data_port.h"

class Rfc2217DataServer {
 public:
  // manner: ack, refuse or noack; port 0: one the system picks.
  explicit Rfc2217DataServer(const char* manner, uint16_t port = 0) {
    std::string error;
    if (!devsim::ConfigureDataPorts({{"data_protocol", "rfc2217"}, {"rfc2217_mode", manner}},
                                    &settings_, &error))
      throw std::runtime_error(error);
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    socklen_t size = sizeof a;
    if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listen_, 4) != 0 ||
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &size) != 0 ||
        ::pipe(wake_) != 0) {
      if (listen_ >= 0) ::close(listen_);
      throw std::runtime_error("cannot listen on loopback");
    }
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~Rfc2217DataServer() {
    stop_ = true;
    (void)!::write(wake_[1], "x", 1);
    thread_.join();
    for (int fd : {listen_, wake_[0], wake_[1]}) ::close(fd);
  }

  uint16_t Port() const { return port_; }
  int Connections() const { return connections_; }
  // "baud=57600", "datasize=7", ... in the order clients set them.
  std::vector<std::string> Notes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return notes_;
  }

 private:
  void Run() {
    int client = -1;
    std::unique_ptr<devsim::DataSession> session;
    while (!stop_) {
      pollfd fds[3] = {{wake_[0], POLLIN, 0}, {listen_, POLLIN, 0}, {client, POLLIN, 0}};
      if (::poll(fds, client >= 0 ? 3 : 2, -1) <= 0) continue;
      // A client's close is taken before a new connection: it left first.
      if (client >= 0 && (fds[2].revents & (POLLIN | POLLHUP | POLLERR))) {
        char buffer[1024];
        bool drop = false;
        for (;;) {  // up to what is waiting, the close included
          const ssize_t n = ::recv(client, buffer, sizeof buffer, MSG_DONTWAIT);
          if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
          if (n <= 0) {
            drop = true;
            break;
          }
          const std::string reply =
              session->Receive(std::string(buffer, static_cast<size_t>(n)), &drop);
          {
            // Kept before the answer goes out: a client that has the answer
            // finds the setting here.
            std::lock_guard<std::mutex> lock(mutex_);
            for (auto& note : session->TakeNotes()) notes_.push_back(note);
          }
          Send(client, reply);
          if (drop) break;
        }
        if (drop) {
          ::close(client);
          client = -1;
        }
      }
      if (fds[1].revents & POLLIN) {
        const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0 && client >= 0) {
          ::close(fd);  // one data connection at a time
        } else if (fd >= 0) {
          client = fd;
          ++connections_;
          session = std::make_unique<devsim::DataSession>(&settings_);
          Send(client, session->Open());
        }
      }
    }
    if (client >= 0) ::close(client);
  }
  static void Send(int fd, const std::string& bytes) {
    if (!bytes.empty()) (void)!::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  }

  devsim::DataPortSettings settings_;
  int listen_ = -1;
  int wake_[2] = {-1, -1};
  uint16_t port_ = 0;
  std::atomic<int> connections_{0};
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::string> notes_;
  std::thread thread_;
};
