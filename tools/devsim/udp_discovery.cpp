#include "udp_discovery.h"

#include <arpa/inet.h>
#include <sys/epoll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "tarvik/text.h"

namespace devsim {
namespace {

constexpr char kRequestPrefix[] = "KORVAXQ410X,00";
constexpr char kConfigPrefix[] = "KORVAXQ410X,01,TO=";

std::string Peer(const sockaddr_in& a) {
  char text[INET_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
  return std::string(text) + ":" + std::to_string(ntohs(a.sin_port));
}

bool StartsWith(const std::string& s, const char* prefix) {
  return s.compare(0, strlen(prefix), prefix) == 0;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

}  // namespace

void Log::Line(const std::string& text) {
  if (!file_) return;
  fprintf(file_, "%s\n", text.c_str());
  fflush(file_);
}

UdpDiscovery::UdpDiscovery(EventLoop* loop, std::vector<std::unique_ptr<SimDevice>>* devices,
                           Log* log, int replyPort)
    : loop_(loop), devices_(devices), log_(log), replyPort_(replyPort) {}

bool UdpDiscovery::Start(int port, std::string* error) {
  socket_.Reset(socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!socket_.Valid()) {
    *error = std::string("UDP socket: ") + strerror(errno);
    return false;
  }
  int on = 1;
  setsockopt(socket_.Get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  int size = 4 * 1024 * 1024;
  setsockopt(socket_.Get(), SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_ANY);
  a.sin_port = htons(static_cast<uint16_t>(port));
  if (bind(socket_.Get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    *error = "bind UDP port " + std::to_string(port) + ": " + strerror(errno);
    return false;
  }
  return loop_->Add(socket_.Get(), EPOLLIN, [this](uint32_t) { OnReadable(); });
}

void UdpDiscovery::OnReadable() {
  char buffer[4096];
  for (;;) {
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    ssize_t got = recvfrom(socket_.Get(), buffer, sizeof buffer, 0,
                           reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (got < 0) {
      if (errno == EINTR) continue;
      return;  // EAGAIN: drained
    }
    std::string datagram(buffer, static_cast<size_t>(got));
    log_->Line("recv " + Peer(from) + " " + tarvik::EscapeText(datagram));
    if (StartsWith(datagram, kRequestPrefix)) {
      Answer(from);
    } else if (StartsWith(datagram, kConfigPrefix)) {
      Configure(datagram, from);
    }
  }
}

void UdpDiscovery::Answer(const sockaddr_in& from) {
  sockaddr_in to = from;
  to.sin_port = htons(static_cast<uint16_t>(replyPort_));
  for (const auto& device : *devices_) {
    if (device->Has(kFaultSilent)) continue;
    const int copies = device->Has(kFaultDuplicate) ? 2 : 1;
    const std::string reply = device->DiscoveryReply();
    if (device->DelayMs() == 0) {
      for (int i = 0; i < copies; ++i) Send(reply, to);
    } else {
      loop_->RunAfter(device->DelayMs(), [this, reply, to, copies] {
        for (int i = 0; i < copies; ++i) Send(reply, to);
      });
    }
  }
}

void UdpDiscovery::Configure(const std::string& command, const sockaddr_in& from) {
  // "KORVAXQ410X,01,TO=<mac>,KEY=value,...\r"
  std::vector<std::string> parts;
  size_t start = strlen(kConfigPrefix);
  for (size_t comma; (comma = command.find(',', start)) != std::string::npos; start = comma + 1) {
    parts.push_back(Trim(command.substr(start, comma - start)));
  }
  parts.push_back(Trim(command.substr(start)));
  const std::string mac = parts.front();
  bool any = false;
  // Every device with that MAC takes the command, as every box on a LAN
  // would; each confirms on its own.
  for (const auto& device : *devices_) {
    if (!device->HasMac(mac)) continue;
    any = true;
    std::string applied;
    for (size_t i = 1; i < parts.size(); ++i) {
      if (parts[i].empty()) continue;
      size_t eq = parts[i].find('=');
      std::string key = parts[i].substr(0, eq);
      std::string value = eq == std::string::npos ? std::string() : parts[i].substr(eq + 1);
      applied += device->ApplyField(key, value) ? " " + parts[i] : " ignored:" + parts[i];
    }
    log_->Line("config " + mac + applied);
    log_->Line("state " + device->Describe());
    if (device->Has(kFaultNoConfirm)) continue;
    sockaddr_in to = from;
    to.sin_port = htons(static_cast<uint16_t>(replyPort_));
    Send(device->Has(kFaultNoOk) ? "KORVAXQ410X,81,ER\r" : "KORVAXQ410X,81,OK\r", to);
  }
  if (!any) log_->Line("config " + mac + " no such device");
}

void UdpDiscovery::Send(const std::string& datagram, const sockaddr_in& to) {
  ssize_t sent;
  do {
    sent = sendto(socket_.Get(), datagram.data(), datagram.size(), 0,
                  reinterpret_cast<const sockaddr*>(&to), sizeof to);
  } while (sent < 0 && errno == EINTR);
  if (sent < 0) log_->Line("send-failed " + Peer(to) + " " + strerror(errno));
}

}  // namespace devsim
