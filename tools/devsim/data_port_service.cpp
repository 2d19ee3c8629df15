#include "data_port_service.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace devsim {

DataPortService::DataPortService(EventLoop* loop, Log* log, DataPortSettings settings,
                                 PortSettingsText describe)
    : loop_(loop), log_(log), settings_(std::move(settings)), describe_(std::move(describe)) {}

bool DataPortService::Start(const std::string& ip, uint16_t cmdPort, int ports,
                            std::string* error) {
  ip_ = ip;
  for (int n = 1; n <= ports; ++n) {
    if (cmdPort + n > 65535) break;
    listeners_.push_back({n, static_cast<uint16_t>(cmdPort + n), {}});
  }
  listeners_.push_back({0, settings_.ioPort, {}});
  if (settings_.refuseMs > 0) {
    Refuse("at start");
    return true;
  }
  for (Listener& l : listeners_) {
    if (!OpenListener(&l, error)) return false;
  }
  return true;
}

bool DataPortService::OpenListener(Listener* l, std::string* error) {
  tarvik::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  int on = 1;
  setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(l->tcpPort);
  if (inet_pton(AF_INET, ip_.c_str(), &at.sin_addr) != 1 ||
      ::bind(fd.Get(), reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
      ::listen(fd.Get(), 16) != 0) {
    *error = "cannot listen on " + ip_ + ":" + std::to_string(l->tcpPort) + ": " +
             std::strerror(errno);
    return false;
  }
  l->fd = std::move(fd);
  loop_->Add(l->fd.Get(), EPOLLIN, [this, l](uint32_t) { Accept(l); });
  return true;
}

void DataPortService::OpenAll() {
  refusing_ = false;
  for (Listener& l : listeners_) {
    std::string error;
    if (!l.fd.Valid() && !OpenListener(&l, &error)) log_->Line("data " + error);
  }
}

void DataPortService::CloseListeners() {
  for (Listener& l : listeners_) {
    if (!l.fd.Valid()) continue;
    loop_->Remove(l.fd.Get());
    l.fd.Reset();
  }
}

void DataPortService::Refuse(const std::string& why) {
  if (settings_.refuseMs == 0 || refusing_) return;
  refusing_ = true;
  CloseListeners();
  log_->Line("data refuse " + ip_ + " for " + std::to_string(settings_.refuseMs) + " ms " + why);
  loop_->RunAfter(settings_.refuseMs, [this] { OpenAll(); });
}

void DataPortService::Accept(Listener* l) {
  for (;;) {
    int fd = ::accept4(l->fd.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    Connection c;
    c.devicePort = l->devicePort;
    c.where = ip_ + ":" + std::to_string(l->tcpPort);
    c.fd.Reset(fd);
    c.session = std::make_unique<DataSession>(&settings_);
    log_->Line("data open " + c.where + " port " + std::to_string(l->devicePort) + " " +
               describe_(l->devicePort));
    const std::string greeting = c.session->Open();
    if (!greeting.empty() && ::send(fd, greeting.data(), greeting.size(), MSG_NOSIGNAL) > 0)
      c.sent += greeting.size();
    connections_.push_back(std::move(c));
    auto it = std::prev(connections_.end());
    loop_->Add(fd, EPOLLIN, [this, it](uint32_t) { Read(it); });
  }
}

void DataPortService::Read(std::list<Connection>::iterator c) {
  char buffer[65536];
  ssize_t n = ::recv(c->fd.Get(), buffer, sizeof buffer, 0);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
  if (n <= 0) {
    Drop(c, "close");
    return;
  }
  bool drop = false;
  const std::string out = c->session->Receive(std::string(buffer, static_cast<size_t>(n)), &drop);
  for (const std::string& note : c->session->TakeNotes())
    log_->Line("data rfc2217 " + c->where + " port " + std::to_string(c->devicePort) + " " + note);
  // A simulated device answers small amounts; what the socket does not
  // take at once is lost, as on a device whose buffer overflows.
  if (!out.empty()) {
    ssize_t sent = ::send(c->fd.Get(), out.data(), out.size(), MSG_NOSIGNAL);
    if (sent > 0) c->sent += static_cast<uint64_t>(sent);
  }
  if (drop) {
    Drop(c, "drop");
    Refuse("after a drop");
  }
}

void DataPortService::Drop(std::list<Connection>::iterator c, const char* how) {
  log_->Line(std::string("data ") + how + " " + c->where + " in=" +
             std::to_string(c->session->Received()) + " out=" + std::to_string(c->sent) +
             " port " + std::to_string(c->devicePort) + " " + describe_(c->devicePort));
  loop_->Remove(c->fd.Get());
  connections_.erase(c);
}

}  // namespace devsim
