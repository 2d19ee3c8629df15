#include "relay_port.h"

#include <poll.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "tcp_connect.h"

namespace vonderil {

namespace {

constexpr uint32_t kFirstBackoffMs = 250;
constexpr uint32_t kMaxBackoffMs = 5000;
// What one turn reads from one descriptor, so a busy port cannot starve
// the others.
constexpr int kReadsPerTurn = 4;

}  // namespace

const char* LinkStateName(LinkState state) {
  switch (state) {
    case LinkState::kIdle: return "idle";
    case LinkState::kConnecting: return "connecting";
    case LinkState::kConnected: return "connected";
    case LinkState::kReconnecting: return "reconnecting";
    case LinkState::kBroken: return "broken";
  }
  return "idle";
}

RelayPort::RelayPort(EventLoop& loop, const MappedPort& mapping, const DriverOptions& options,
                     PtyPair pty, std::string linkPath, Hooks hooks)
    : loop_(loop),
      mapping_(mapping),
      options_(options),
      master_(std::move(pty.master)),
      slavePath_(std::move(pty.slavePath)),
      linkPath_(std::move(linkPath)),
      hooks_(std::move(hooks)) {
  flushDue_ = !mapping_.writeBuffer;
}

RelayPort::~RelayPort() { Close(); }

void RelayPort::Close() {
  loop_.Cancel(&connectTimer_);
  loop_.Cancel(&retryTimer_);
  loop_.Cancel(&flushTimer_);
  loop_.Cancel(&closeTimer_);
  if (socket_.Valid()) {
    loop_.Unwatch(socket_.Get());
    socket_.Reset();
  }
  if (masterWatched_) loop_.Unwatch(master_.Get());
  masterWatched_ = false;
  master_.Reset();
  if (!linkPath_.empty()) ::unlink(linkPath_.c_str());
  linkPath_.clear();
  held_ = false;
  state_ = LinkState::kIdle;
}

std::string RelayPort::Endpoint(int which) const {
  const uint32_t address = which == 0 ? mapping_.address : mapping_.address2;
  return DottedAddress(address) + ":" + std::to_string(mapping_.tcpPort);
}

PortStatusLine RelayPort::Status() const {
  PortStatusLine s;
  s.comNumber = mapping_.comNumber;
  s.state = LinkStateName(state_);
  s.address = Endpoint(0);
  s.address2 = mapping_.address2 != 0 ? Endpoint(1) : "-";
  s.inUse = state_ != LinkState::kConnected ? "-" : addressInUse_ == 1 ? "redundant" : "primary";
  s.held = held_;
  s.toDevice = bytesToDevice_;
  s.fromDevice = bytesFromDevice_;
  return s;
}

void RelayPort::Log(const std::string& line) const {
  if (hooks_.log) hooks_.log("COM" + std::to_string(mapping_.comNumber) + ": " + line);
}

void RelayPort::Changed() {
  if (hooks_.changed) hooks_.changed();
}

void RelayPort::Start() {
  if (options_.fastOpen && state_ == LinkState::kIdle) StartRound(LinkState::kConnecting);
}

// --- the application's side ---------------------------------------------

bool RelayPort::MasterHungUp() const {
  pollfd p{master_.Get(), POLLIN, 0};
  return ::poll(&p, 1, 0) >= 0 && (p.revents & (POLLHUP | POLLERR)) != 0;
}

void RelayPort::OnOpenNotice() {
  if (held_ || !master_.Valid()) return;
  pollfd p{master_.Get(), POLLIN, 0};
  if (::poll(&p, 1, 0) < 0) return;
  // Still hung up: the notice was of an open that has already ended. Bytes
  // it left behind are still carried.
  if ((p.revents & POLLHUP) && !(p.revents & POLLIN)) return;
  BecomeHeld();
}

void RelayPort::BecomeHeld() {
  held_ = true;
  closeWhenSent_ = false;
  loop_.Cancel(&closeTimer_);
  if (!masterWatched_) {
    masterEvents_ = 0;
    masterWatched_ = loop_.Watch(master_.Get(), 0, [this](uint32_t e) { OnMaster(e); });
  }
  if (state_ == LinkState::kIdle || state_ == LinkState::kBroken) {
    StartRound(LinkState::kConnecting);
  }
  UpdateInterest();
  Changed();
}

void RelayPort::Release() {
  if (masterWatched_) loop_.Unwatch(master_.Get());
  masterWatched_ = false;
  held_ = false;
  toApplication_.Clear();
  DropSlaveInput(master_.Get());
  // The last bytes the application wrote still go out.
  flushDue_ = true;
  if (state_ == LinkState::kConnected) SendToDevice();
  if (!options_.fastOpen) {
    loop_.Cancel(&closeTimer_);
    closeTimer_ = loop_.After(options_.closeDelayMs, [this] {
      closeTimer_ = {};
      CloseAfterDelay();
    });
  }
  UpdateInterest();
  Changed();
  if (hooks_.released) hooks_.released();
}

void RelayPort::CloseAfterDelay() {
  if (held_) return;
  if (state_ == LinkState::kConnected && !toDevice_.Empty()) {
    closeWhenSent_ = true;
    return;
  }
  if (state_ == LinkState::kConnecting || state_ == LinkState::kReconnecting) {
    if (!toDevice_.Empty()) {
      closeWhenSent_ = true;
      return;
    }
  }
  GoIdle();
}

bool RelayPort::DiscardsApplicationBytes() const {
  return options_.ignoreWriteError && state_ != LinkState::kConnected;
}

void RelayPort::OnMaster(uint32_t events) {
  if (events & (EPOLLIN | EPOLLHUP | EPOLLERR)) ReadApplication();
  if (!master_.Valid() || !masterWatched_) return;
  if (events & EPOLLOUT) WriteApplication();
  // A close and a quick reopen can fall between two waits: the hang-up
  // reported here may be over already, and the reopen's notice came while
  // the port still counted as held. Only a master that is still hung up
  // means that no application holds the port.
  if ((events & (EPOLLHUP | EPOLLERR)) && MasterHungUp()) {
    Release();
    return;
  }
  UpdateInterest();
}

void RelayPort::ReadApplication() {
  char packet[kQueueBytes + 1];
  bool data = false;
  for (int turn = 0; turn < kReadsPerTurn; ++turn) {
    const bool discard = DiscardsApplicationBytes();
    const size_t room = discard ? kQueueBytes : toDevice_.Room();
    if (room == 0) break;
    // Packet mode: one leading status byte, then the data.
    ssize_t n = ::read(master_.Get(), packet, room + 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // nothing waiting, or EIO once the last holder is gone
    if (packet[0] != TIOCPKT_DATA) {
      if (!mapping_.disablePurge) {
        if (packet[0] & TIOCPKT_FLUSHWRITE) toDevice_.Clear();
        if (packet[0] & TIOCPKT_FLUSHREAD) toApplication_.Clear();
      }
      continue;
    }
    if (n == 1) continue;
    data = true;
    if (!discard) toDevice_.Append(packet + 1, static_cast<size_t>(n - 1));
  }
  if (!data) return;
  if (held_) CheckLineSettings();
  if (state_ == LinkState::kBroken) {
    StartRound(LinkState::kConnecting);
  } else if (state_ == LinkState::kIdle && !toDevice_.Empty()) {
    // A short-lived writer (echo text > COM5) that was gone before the
    // driver saw it open.
    StartRound(LinkState::kConnecting);
  }
  QueueForDevice();
}

void RelayPort::WriteApplication() {
  while (held_ && !toApplication_.Empty()) {
    ssize_t n = ::write(master_.Get(), toApplication_.Data(), toApplication_.Size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    toApplication_.Consume(static_cast<size_t>(n));
  }
}

void RelayPort::CheckLineSettings() {
  if (mapping_.fixedConfig || mapping_.devicePort == 0 || !master_.Valid()) return;
  LineSettings now;
  if (!ReadLineSettings(master_.Get(), &now) || now.baud == 0 || now == lastSent_) return;
  SettingsJob job;
  job.comNumber = mapping_.comNumber;
  // The command port of the address that answers now.
  job.address = addressInUse_ == 1 ? mapping_.address2 : mapping_.address;
  job.cmdPort = mapping_.tcpPortCmd;
  job.timeoutMs = mapping_.connectTimeoutMs;
  job.devicePort = mapping_.devicePort;
  job.settings = now;
  job.sendBaud = now.baud != lastSent_.baud;
  job.sendStopBits = now.twoStopBits != lastSent_.twoStopBits;
  lastSent_ = now;
  if (hooks_.settings) hooks_.settings(job);
}

// --- the device's side ---------------------------------------------------

void RelayPort::QueueForDevice() {
  if (toDevice_.Empty()) return;
  if (!mapping_.writeBuffer || toDevice_.Size() >= kCollectBytes) {
    flushDue_ = true;
  } else if (!flushDue_ && !flushTimer_.Armed()) {
    flushTimer_ = loop_.After(mapping_.autoFlushMs, [this] {
      flushTimer_ = {};
      flushDue_ = true;
      SendToDevice();
      UpdateInterest();
    });
  }
  if (flushDue_) SendToDevice();
  UpdateInterest();
  Changed();
}

void RelayPort::SendToDevice() {
  if (state_ != LinkState::kConnected || !flushDue_) return;
  while (!toDevice_.Empty()) {
    ssize_t n = ::send(socket_.Get(), toDevice_.Data(), toDevice_.Size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (n <= 0) {
      LinkLost(std::strerror(errno));
      return;
    }
    toDevice_.Consume(static_cast<size_t>(n));
    bytesToDevice_ += static_cast<uint64_t>(n);
  }
  if (mapping_.writeBuffer && held_) {
    flushDue_ = false;
    loop_.Cancel(&flushTimer_);
  }
  if (closeWhenSent_ && !held_) GoIdle();
}

void RelayPort::OnSocket(uint32_t events) {
  if (state_ != LinkState::kConnected) {
    const int error = FinishTcpConnect(socket_.Get());
    if (error == 0 && !(events & EPOLLERR)) {
      Connected();
    } else {
      AttemptFailed(error != 0 ? error : ECONNREFUSED);
    }
    return;
  }
  if (events & (EPOLLIN | EPOLLHUP | EPOLLERR)) ReadDevice();
  if (state_ != LinkState::kConnected) return;
  if (events & EPOLLOUT) SendToDevice();
  if (state_ != LinkState::kConnected) return;
  if (events & (EPOLLERR | EPOLLHUP)) {
    LinkLost("connection reset");
    return;
  }
  UpdateInterest();
}

void RelayPort::ReadDevice() {
  bool got = false;
  for (int turn = 0; turn < kReadsPerTurn; ++turn) {
    char scratch[4096];
    char* into = held_ ? toApplication_.Tail() : scratch;
    const size_t room = held_ ? toApplication_.Room() : sizeof scratch;
    if (room == 0) break;
    ssize_t n = ::recv(socket_.Get(), into, room, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (n <= 0) {
      LinkLost(n == 0 ? "closed by the device" : std::strerror(errno));
      return;
    }
    bytesFromDevice_ += static_cast<uint64_t>(n);
    got = true;
    // Nobody holds the port: the bytes are dropped, never left for the
    // next application.
    if (held_) toApplication_.Commit(static_cast<size_t>(n));
  }
  if (got) {
    WriteApplication();
    Changed();
  }
}

// --- the connection ------------------------------------------------------

bool RelayPort::WantsLink() const {
  return held_ || options_.fastOpen || (!toDevice_.Empty() && closeTimer_.Armed()) ||
         (closeWhenSent_ && !toDevice_.Empty());
}

void RelayPort::StartRound(LinkState state) {
  if (state_ != LinkState::kConnecting && state_ != LinkState::kReconnecting) {
    outageStart_ = EventLoop::NowMs();
    backoffMs_ = 0;
  }
  state_ = state;
  loop_.Cancel(&retryTimer_);
  Changed();
  Attempt(0);
}

void RelayPort::Attempt(int which) {
  attempting_ = which;
  const uint32_t address = which == 0 ? mapping_.address : mapping_.address2;
  int error = 0;
  ConnectStart started = StartTcpConnect(address, mapping_.tcpPort, mapping_.keepAliveMs, &socket_,
                                         &error);
  if (started == ConnectStart::kFailed) {
    AttemptFailed(error);
    return;
  }
  socketEvents_ = EPOLLOUT;
  if (!loop_.Watch(socket_.Get(), socketEvents_, [this](uint32_t e) { OnSocket(e); })) {
    socket_.Reset();
    AttemptFailed(errno);
    return;
  }
  if (started == ConnectStart::kConnected) {
    Connected();
    return;
  }
  connectTimer_ = loop_.After(mapping_.connectTimeoutMs, [this] {
    connectTimer_ = {};
    AttemptFailed(ETIMEDOUT);
  });
}

void RelayPort::AttemptFailed(int error) {
  loop_.Cancel(&connectTimer_);
  if (socket_.Valid()) {
    loop_.Unwatch(socket_.Get());
    socket_.Reset();
  }
  if (state_ == LinkState::kConnecting || backoffMs_ == 0) {
    Log("cannot connect to " + Endpoint(attempting_) + ": " + std::strerror(error));
  }
  if (attempting_ == 0 && mapping_.address2 != 0) {
    Attempt(1);
    return;
  }
  RoundFailed();
}

void RelayPort::RoundFailed() {
  if (!WantsLink()) {
    GoIdle();
    return;
  }
  const uint64_t elapsed = EventLoop::NowMs() - outageStart_;
  // A FastOpen port that nobody holds keeps trying for as long as it runs.
  if (held_ || !options_.fastOpen) {
    if (elapsed >= mapping_.connectionBrokenMs) {
      Log("connection broken: no answer for " + std::to_string(elapsed) + " ms" +
          (toDevice_.Empty() ? "" : ", " + std::to_string(toDevice_.Size()) + " bytes dropped"));
      loop_.Cancel(&retryTimer_);
      state_ = LinkState::kBroken;
      // The application's writes have failed; its next write starts over.
      toDevice_.Clear();
      if (!held_) {
        GoIdle();
        return;
      }
      UpdateInterest();
      Changed();
      return;
    }
  }
  backoffMs_ = backoffMs_ == 0 ? kFirstBackoffMs : std::min(backoffMs_ * 2, kMaxBackoffMs);
  uint32_t wait = backoffMs_;
  if (held_ || !options_.fastOpen) {
    const uint64_t left = mapping_.connectionBrokenMs - elapsed;
    if (wait > left) wait = static_cast<uint32_t>(left);
  }
  retryTimer_ = loop_.After(wait, [this] {
    retryTimer_ = {};
    if (state_ == LinkState::kConnecting || state_ == LinkState::kReconnecting) Attempt(0);
  });
  UpdateInterest();
}

void RelayPort::Connected() {
  loop_.Cancel(&connectTimer_);
  loop_.Cancel(&retryTimer_);
  state_ = LinkState::kConnected;
  addressInUse_ = attempting_;
  backoffMs_ = 0;
  Log("connected to " + Endpoint(addressInUse_));
  flushDue_ = flushDue_ || !held_;
  if (mapping_.writeBuffer && !toDevice_.Empty()) QueueForDevice();
  SendToDevice();
  if (state_ == LinkState::kConnected) UpdateInterest();
  Changed();
}

void RelayPort::LinkLost(const char* why) {
  Log(std::string("link to ") + Endpoint(addressInUse_) + " lost: " + why);
  if (socket_.Valid()) {
    loop_.Unwatch(socket_.Get());
    socket_.Reset();
  }
  addressInUse_ = -1;
  state_ = LinkState::kReconnecting;
  if (!WantsLink()) {
    GoIdle();
    return;
  }
  outageStart_ = EventLoop::NowMs();
  backoffMs_ = 0;
  Changed();
  Attempt(0);
}

void RelayPort::GoIdle() {
  loop_.Cancel(&connectTimer_);
  loop_.Cancel(&retryTimer_);
  loop_.Cancel(&flushTimer_);
  if (socket_.Valid()) {
    loop_.Unwatch(socket_.Get());
    socket_.Reset();
    Log("connection closed");
  }
  state_ = LinkState::kIdle;
  addressInUse_ = -1;
  closeWhenSent_ = false;
  if (!held_) {
    toDevice_.Release();
    toApplication_.Release();
    flushDue_ = !mapping_.writeBuffer;
  }
  Changed();
}

void RelayPort::UpdateInterest() {
  if (masterWatched_) {
    uint32_t want = 0;
    if (toDevice_.Room() > 0 || DiscardsApplicationBytes()) want |= EPOLLIN;
    if (!toApplication_.Empty()) want |= EPOLLOUT;
    if (want != masterEvents_ && loop_.Modify(master_.Get(), want)) masterEvents_ = want;
  }
  if (socket_.Valid() && state_ == LinkState::kConnected) {
    uint32_t want = 0;
    if (!held_ || toApplication_.Room() > 0) want |= EPOLLIN;
    if (!toDevice_.Empty() && flushDue_) want |= EPOLLOUT;
    if (want != socketEvents_ && loop_.Modify(socket_.Get(), want)) socketEvents_ = want;
  }
}

}  // namespace vonderil
