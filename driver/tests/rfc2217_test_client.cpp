#include "rfc2217_test_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace tarvik::testing {

namespace {
constexpr auto kStepLimit = std::chrono::seconds(10);
}  // namespace

bool WriteAll(int fd, const std::string& bytes) {
  size_t at = 0;
  while (at < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + at, bytes.size() - at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      pollfd p{fd, POLLOUT, 0};
      poll(&p, 1, 1000);
      continue;
    }
    if (n <= 0) return false;
    at += static_cast<size_t>(n);
  }
  return true;
}

std::string AllByteValuesTwice() {
  std::string s;
  for (int round = 0; round < 2; ++round)
    for (int v = 0; v < 256; ++v) s.push_back(static_cast<char>(v));
  return s;
}

Rfc2217TestClient::Rfc2217TestClient(const std::string& address, uint16_t port)
    : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(port);
  connected_ = inet_pton(AF_INET, address.c_str(), &at.sin_addr) == 1 &&
               ::connect(socket_, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
  int on = 1;
  setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

Rfc2217TestClient::~Rfc2217TestClient() {
  if (socket_ >= 0) close(socket_);
}

bool Rfc2217TestClient::Start() {
  filter.Start(&out);
  return Flush();
}

bool Rfc2217TestClient::Send(const std::string& bytes) {
  filter.FromApplication(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &out);
  return Flush();
}

bool Rfc2217TestClient::Flush() {
  const bool ok = WriteAll(socket_, out.network);
  events.insert(events.end(), out.events.begin(), out.events.end());
  application += out.application;
  out.Clear();
  return ok;
}

bool Rfc2217TestClient::Until(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + kStepLimit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    pollfd p{socket_, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    uint8_t buffer[4096];
    const ssize_t n = recv(socket_, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    filter.FromNetwork(buffer, static_cast<size_t>(n), &out);
    if (!Flush()) return false;
  }
  return true;
}

bool Rfc2217TestClient::Acknowledged(tarvik::device::ComPortCommand command, uint32_t value) const {
  for (const tarvik::device::Rfc2217Event& e : events) {
    if (e.kind == tarvik::device::Rfc2217Event::Kind::kAcknowledged && e.command == command &&
        e.value == value)
      return true;
  }
  return false;
}

bool Rfc2217TestClient::Saw(tarvik::device::Rfc2217Event::Kind kind) const {
  for (const tarvik::device::Rfc2217Event& e : events) {
    if (e.kind == kind) return true;
  }
  return false;
}

}  // namespace tarvik::testing
