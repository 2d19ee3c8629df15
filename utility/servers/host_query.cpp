#include "host_query.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "tarvik/clock.h"
#include "tarvik/ui_hooks.h"

namespace tarvik::app {

namespace {

// The largest interval whose milliseconds still fit the 32-bit tick.
constexpr int kMaxIntervalSeconds = 2000000;
constexpr uint32_t kFailurePauseMs = 10000;

struct PendingLookup {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  int result = 0;
  uint32_t address = 0;
};

int BlockingSystemResolve(const std::string& host, uint32_t* address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  int rc = getaddrinfo(host.c_str(), nullptr, &hints, &list);
  if (rc != 0) return rc;
  int result = EAI_NONAME;
  for (addrinfo* ai = list; ai; ai = ai->ai_next) {
    if (ai->ai_family != AF_INET) continue;
    const auto* sin = reinterpret_cast<const sockaddr_in*>(ai->ai_addr);
    const auto* b = reinterpret_cast<const unsigned char*>(&sin->sin_addr.s_addr);
    *address = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
    result = 0;
    break;
  }
  freeaddrinfo(list);
  return result;
}

}  // namespace

int ResolveWithin(const HostResolver& blocking, const std::string& host, uint32_t* address,
                  uint32_t timeoutMs) {
  auto pending = std::make_shared<PendingLookup>();
  std::thread worker([pending, blocking, host] {
    uint32_t found = 0;
    int rc = blocking(host, &found);
    std::lock_guard<std::mutex> lock(pending->mutex);
    pending->result = rc;
    pending->address = found;
    pending->finished = true;
    pending->done.notify_all();
  });
  std::unique_lock<std::mutex> lock(pending->mutex);
  bool finished = pending->done.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                         [&] { return pending->finished; });
  lock.unlock();
  if (!finished) {
    // The resolver cannot be cancelled; it finishes on its own and its
    // answer goes nowhere.
    worker.detach();
    return kResolveTimedOut;
  }
  worker.join();
  if (pending->result == 0) *address = pending->address;
  return pending->result;
}

int SystemResolve(const std::string& host, uint32_t* address) {
  return ResolveWithin(BlockingSystemResolve, host, address, kResolveTimeoutMs);
}

HostQuery::HostQuery() : resolver_(SystemResolve) { memset(state_, '?', sizeof state_); }

void HostQuery::LoadInterval(uint32_t seconds) {
  if (intervalMs_ < 0) {
    if (seconds > static_cast<uint32_t>(kMaxIntervalSeconds)) seconds = kMaxIntervalSeconds;
    intervalMs_ = static_cast<int64_t>(seconds) * 1000;
  }
  cycleStart_ = TickCount() - static_cast<uint32_t>(intervalMs_);
  memset(state_, '?', sizeof state_);
}

bool HostQuery::SetIntervalSeconds(int seconds, uint32_t* storeSeconds) {
  if (seconds < 3) seconds = 0;
  if (seconds > kMaxIntervalSeconds) seconds = kMaxIntervalSeconds;
  int64_t ms = static_cast<int64_t>(seconds) * 1000;
  if (ms == intervalMs_) return false;
  intervalMs_ = ms;
  *storeSeconds = static_cast<uint32_t>(seconds);
  return true;
}

char HostQuery::State(int index) const {
  return index >= 0 && index < kMaxServers ? state_[index] : '?';
}

void HostQuery::SetState(int index, char state) {
  if (index >= 0 && index < kMaxServers) state_[index] = state;
}

int HostQuery::QueryOne(ConfigSet& set, int index) {
  if (index < 0 || index >= kMaxServers) return 1;
  ServerRecord& server = set.Records[index];
  std::string host(server.HostName, strnlen(server.HostName, sizeof server.HostName));
  if (host.empty()) return 1;
  uint32_t address = 0;
  int rc;
  {
    WaitCursor wait;
    rc = resolver_ ? resolver_(host, &address) : kResolveTimedOut;
  }
  if (rc != 0) {
    state_[index] = '?';
    return rc;
  }
  server.IPAddress = address;
  state_[index] = ' ';
  if (writer_) writer_(index);
  return 0;
}

bool HostQuery::Step(ConfigSet& set) {
  if (intervalMs_ <= 0) return false;
  uint32_t now = TickCount();
  if (failures_ >= 2) {
    if (now - lastFailure_ < kFailurePauseMs) return false;
    failures_ = 0;
  }
  if (static_cast<int64_t>(now - cycleStart_) <= intervalMs_) return false;
  int count = static_cast<int>(set.Servers > static_cast<uint32_t>(kMaxServers) ? kMaxServers
                                                                                : set.Servers);
  for (int k = cursor_; k < count; ++k) {
    if (set.Records[k].HostName[0] == '\0') continue;
    cursor_ = k + 1;
    if (QueryOne(set, k) == 0) {
      failures_ = 0;
    } else {
      ++failures_;
      lastFailure_ = TickCount();
    }
    return true;
  }
  cursor_ = 0;
  failures_ = 0;
  cycleStart_ = now;
  return false;
}

}  // namespace tarvik::app
