#include "findra_engine.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "local_addresses.h"
#include "tarvik/clock.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"

namespace findra {
namespace {

constexpr char kCaption[] = "Findra";
// Large enough for a thousand replies that arrive while nobody reads.
constexpr int kListenReceiveBuffer = 4 * 1024 * 1024;
// Datagrams taken per wake-up before the time and stop checks run again.
constexpr int kBatch = 64;

void Message(const char* text) {
  tarvik::ShowMessageBox(text, kCaption, tarvik::kMbOk | tarvik::kMbIconWarning);
}

int ValidPort(int port, int fallback) { return port <= 0 || port > 65535 ? fallback : port; }

bool BindAny(int fd, int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_ANY);
  a.sin_port = htons(static_cast<uint16_t>(port));
  return bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

ssize_t ReceiveNow(int fd, char* buffer, size_t size) {
  ssize_t got;
  do {
    got = recv(fd, buffer, size, MSG_DONTWAIT);
  } while (got < 0 && errno == EINTR);
  return got;
}

bool WaitReadable(int fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN);
}

void CopyOut(char* dst, size_t size, const char* src) {
  if (dst) tarvik::CopyText(dst, size, src);
}

}  // namespace

Engine::~Engine() { StopAndJoin(); }

int Engine::Init(int listenPort) {
  if (initialised_) Close();
  listenPort = ValidPort(listenPort, kDefaultListenPort);
  tarvik::UniqueFd listen(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  tarvik::UniqueFd bootp(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  tarvik::UniqueFd stop(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
  if (!listen.Valid() || !bootp.Valid() || !stop.Valid()) {
    Message("Failed to create server socket.");
    return kErrSocket;
  }
  // Raising the receive buffer beyond the system cap needs privilege; the
  // plain request is the fallback and the reader drains early anyway.
  int size = kListenReceiveBuffer;
  if (setsockopt(listen.Get(), SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0) {
    setsockopt(listen.Get(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  }
  if (!BindAny(listen.Get(), listenPort)) {
    Message("bind() failed");
    return kErrBind;
  }
  // Port 67 needs root; BOOTP capture is optional and the utility never
  // switches it on, so a refused bind only leaves capture unavailable.
  if (!BindAny(bootp.Get(), kBootpPort)) bootp.Reset();

  listen_ = std::move(listen);
  bootp_ = std::move(bootp);
  stop_ = std::move(stop);
  searchTimeMs_ = kMinSearchTimeMs;
  moduleLimit_ = kDefaultModuleLimit;
  bootpCapture_ = false;
  initialised_ = true;
  return kOk;
}

void Engine::Close() {
  StopAndJoin();
  listen_.Reset();
  bootp_.Reset();
  stop_.Reset();
  bootpCapture_ = false;
  initialised_ = false;
}

int Engine::EnableBootp(int on) {
  bootpCapture_ = on != 0 && bootp_.Valid();
  return bootpCapture_ ? 1 : 0;
}

int Engine::SetOptions(uint32_t searchTimeMs, int moduleLimit) {
  searchTimeMs_ = searchTimeMs < kMinSearchTimeMs ? kMinSearchTimeMs : searchTimeMs;
  moduleLimit_ = moduleLimit <= 0 ? kDefaultModuleLimit : moduleLimit;
  return kOk;
}

int Engine::GetModuleInfo(int index, char* name, char* alias, char* ip, char* mask,
                          char* gateway, char* mac, int32_t* dhcp) const {
  ModuleRecord r;
  if (!results_.Get(index, &r)) return kErrNoRecord;
  CopyOut(name, sizeof r.name, r.name);
  CopyOut(alias, sizeof r.alias, r.alias);
  CopyOut(ip, sizeof r.ip, r.ip);
  CopyOut(mask, sizeof r.mask, r.mask);
  CopyOut(gateway, sizeof r.gateway, r.gateway);
  CopyOut(mac, sizeof r.mac, r.mac);
  if (dhcp) *dhcp = r.dhcp;
  return kOk;
}

void Engine::SendFromEachAddress(const char* text, size_t length, uint32_t afterMs) {
  for (uint32_t address : local_) {
    tarvik::UniqueFd s(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!s.Valid()) {
      Message("client socket() failed");
      return;
    }
    int on = 1;
    setsockopt(s.Get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = address;
    if (bind(s.Get(), reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) {
      Message("Sender bind() failed");
      return;
    }
    tarvik::SleepMs(10);
    ssize_t sent;
    do {
      sent = sendto(s.Get(), text, length, 0, reinterpret_cast<const sockaddr*>(&destination_),
                    sizeof destination_);
    } while (sent < 0 && errno == EINTR);
    tarvik::SleepMs(afterMs);
  }
}

int Engine::BroadcastStart(const char* address, int port, const char* request) {
  if (!initialised_) return kErrSocket;
  StopAndJoin();

  std::vector<AddressEntry> table;
  if (!ReadAddressTable(&table)) Message("GetIpAddrTable() failed.\n");
  local_ = ChooseLocalAddresses(table);
  if (local_.empty()) {
    Message("No available IP address (IPv4).");
    return kErrNoAddress;
  }

  destination_ = sockaddr_in{};
  destination_.sin_family = AF_INET;
  destination_.sin_addr.s_addr = inet_addr(address ? address : "");
  destination_.sin_port = htons(static_cast<uint16_t>(ValidPort(port, kDefaultDestinationPort)));
  if (!request) request = kRequestText;

  results_.Clear();
  // A stop asked for just as the previous search ended must not end this one.
  ResetStop();
  timing_ = false;
  running_ = true;
  try {
    thread_ = std::thread(&Engine::ReceiverThread, this);
  } catch (...) {
    running_ = false;
    return kErrThread;
  }
  SendFromEachAddress(request, strlen(request), 100);
  startTime_ = tarvik::TickCount();
  timing_.store(true, std::memory_order_release);
  tarvik::SleepMs(10);
  return kOk;
}

int Engine::BroadcastStop() {
  if (!running_) return 0;
  tarvik::SleepMs(100);
  SignalStop();
  return 1;
}

void Engine::SignalStop() {
  if (!stop_.Valid()) return;
  uint64_t one = 1;
  ssize_t n;
  do {
    n = write(stop_.Get(), &one, sizeof one);
  } while (n < 0 && errno == EINTR);
}

void Engine::ResetStop() {
  uint64_t value;
  while (read(stop_.Get(), &value, sizeof value) < 0 && errno == EINTR) {
  }
}

void Engine::StopAndJoin() {
  if (!thread_.joinable()) return;
  if (running_) SignalStop();
  thread_.join();
  ResetStop();
}

bool Engine::LimitReached() const { return results_.Count() >= moduleLimit_.load(); }

Engine::Take Engine::TakeReply(char* buffer) {
  ssize_t got = ReceiveNow(listen_.Get(), buffer, kReceiveBufferSize);
  if (got < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK) return Take::kNothing;
    Message(" UDPThread recv() failed");
    return Take::kNothing;
  }
  if (!IsDiscoveryReply(buffer, static_cast<size_t>(got))) return Take::kDropped;
  ModuleRecord record;
  if (ParseDiscoveryReply(buffer, static_cast<size_t>(got), &record) == kParsed) {
    results_.Add(record);
  }
  return LimitReached() ? Take::kLimit : Take::kTaken;
}

Engine::Take Engine::TakeBootpRequest(char* buffer) {
  ssize_t got = ReceiveNow(bootp_.Get(), buffer, kReceiveBufferSize);
  if (got < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK) return Take::kNothing;
    Message(" UDPThread recv() failed");
    return Take::kNothing;
  }
  // With capture off the datagram is only taken out of the way, so that it
  // neither keeps the socket readable nor turns up in a later capture.
  if (!bootpCapture_) return Take::kDropped;
  ModuleRecord record;
  if (!ParseBootpRequest(reinterpret_cast<const uint8_t*>(buffer), static_cast<size_t>(got),
                         &record)) {
    return Take::kDropped;
  }
  results_.Add(record);
  return LimitReached() ? Take::kLimit : Take::kTaken;
}

bool Engine::TakeBatch(Take (Engine::*take)(char*), char* buffer) {
  for (int i = 0; i < kBatch; ++i) {
    Take t = (this->*take)(buffer);
    if (t == Take::kLimit) return true;
    if (t == Take::kNothing) break;
  }
  return false;
}

void Engine::ReceiverThread() {
  char buffer[kReceiveBufferSize + 1];
  const bool haveBootp = bootp_.Valid();
  for (;;) {
    pollfd fds[3] = {{listen_.Get(), POLLIN, 0}, {stop_.Get(), POLLIN, 0}, {bootp_.Get(), POLLIN, 0}};
    int ready = poll(fds, haveBootp ? 3 : 2, 1);
    if (ready < 0 && errno != EINTR) Message("Winsock select() error.");
    if (ready > 0) {
      if ((fds[0].revents & POLLIN) && TakeBatch(&Engine::TakeReply, buffer)) break;
      if (haveBootp && (fds[2].revents & POLLIN) && TakeBatch(&Engine::TakeBootpRequest, buffer)) break;
    }
    if (timing_.load(std::memory_order_acquire) &&
        tarvik::TickCount() - startTime_.load() > searchTimeMs_.load()) {
      break;
    }
    uint64_t value;
    if (read(stop_.Get(), &value, sizeof value) == sizeof value) break;
  }
  running_.store(false, std::memory_order_release);
}

void Engine::DrainListenSocket() {
  char buffer[kReceiveBufferSize];
  while (ReceiveNow(listen_.Get(), buffer, sizeof buffer) >= 0) {
  }
}

int Engine::ConfigModule(int index, const ConfigRequest& request) {
  if (!initialised_) return kErrSocket;
  StopAndJoin();
  ModuleRecord record;
  if (!results_.Get(index, &record)) return kErrNoRecord;
  char command[kCommandSize];
  size_t length = BuildConfigCommand(record, request, command);
  if (length == 0) return kErrNothingToChange;
  // The last line against a caller that let a device's or a user's text
  // through: such a command is never sent.
  if (!IsSafeConfigRequest(record, request)) return kErrUnsafeField;

  // A confirmation that arrived too late for an earlier command must not
  // pass for this one's.
  DrainListenSocket();
  const uint32_t start = tarvik::TickCount();
  SendFromEachAddress(command, length, 10);
  char buffer[kReceiveBufferSize + 1];
  for (;;) {
    if (WaitReadable(listen_.Get(), 1)) {
      ssize_t got = ReceiveNow(listen_.Get(), buffer, kReceiveBufferSize);
      if (got < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK) Message(" UDPThread recv() failed");
      } else if (got > 0) {
        int verdict = ClassifyConfirmation(buffer, static_cast<size_t>(got));
        if (verdict == 1) return kOk;
        if (verdict == 0) return kErrRefused;
      }
    }
    if (tarvik::TickCount() - start > kConfirmationTimeMs) return kErrNoConfirmation;
  }
}

}  // namespace findra
