// Doubles of a port's world (port_ops.h) for tests that feed a PortSession
// an exact order of events: a pty with an application on its far side, TCP
// links a test connects, refuses and feeds, a clock that moves only when
// told, and a settings channel that keeps the jobs for the test to answer.
#pragma once
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "port_ops.h"

namespace vonderil {

class FakeClock : public PortClock {
 public:
  uint64_t NowMs() const override { return now; }
  TimerId After(uint32_t delayMs, Task task) override {
    TimerId id{now + delayMs, sequence++};
    timers[id] = std::move(task);
    return id;
  }
  void Cancel(TimerId* id) override {
    if (id->Armed()) timers.erase(*id);
    *id = TimerId{};
  }
  // 0 (the shortest wait) unless told otherwise.
  uint32_t Random(uint32_t below) override { return longest && below > 0 ? below - 1 : 0; }

  // Moves the clock on by ms, running every timer that comes due on the way.
  void Advance(uint64_t ms) {
    const uint64_t end = now + ms;
    while (!timers.empty() && timers.begin()->first.due <= end) {
      auto it = timers.begin();
      now = std::max(now, it->first.due);
      Task task = std::move(it->second);
      timers.erase(it);
      task();
    }
    now = end;
  }
  // Moves the clock to the next timer and runs it (and any due with it).
  void RunNext() {
    if (!timers.empty()) Advance(timers.begin()->first.due - std::min(now, timers.begin()->first.due));
  }

  uint64_t now = 1000000;
  bool longest = false;
  uint64_t sequence = 1;
  std::map<TimerId, Task> timers;
};

class FakePty : public PtyEnd {
 public:
  // The application's side.
  void AppOpens() { hungUp = false; }
  void AppCloses() { hungUp = true; }
  void AppWrites(const std::string& bytes) { written.push_back({false, 0, bytes}); }
  void AppFlushes(uint32_t status) { written.push_back({true, status, ""}); }
  std::string AppReads() { return std::exchange(slaveInput, std::string()); }

  PtyPacket Read(char* into, size_t room) override {
    PtyPacket p;
    if (written.empty()) {
      p.kind = hungUp ? PtyPacket::Kind::kGone : PtyPacket::Kind::kEmpty;
      return p;
    }
    Written& w = written.front();
    if (w.status) {
      p.kind = PtyPacket::Kind::kStatus;
      p.status = w.flags;
      written.pop_front();
      return p;
    }
    p.kind = PtyPacket::Kind::kData;
    p.size = std::min(room, w.bytes.size());
    std::memcpy(into, w.bytes.data(), p.size);
    w.bytes.erase(0, p.size);
    if (w.bytes.empty()) written.pop_front();
    return p;
  }
  size_t Write(const char* data, size_t size) override {
    const size_t n = std::min(size, slaveRoom - std::min(slaveRoom, slaveInput.size()));
    slaveInput.append(data, n);
    return n;
  }
  bool HungUp() override { return hungUp; }
  bool GetLine(LineSettings* out) override {
    *out = line;
    return true;
  }
  bool ShowLine(const LineSettings& expected, const LineSettings& settings) override {
    if (beforeShow) beforeShow();
    if (line != expected) return false;
    line = settings;
    ++lineSets;
    return true;
  }
  void DropInput() override {
    dropped += slaveInput;
    slaveInput.clear();
    ++drops;
    // The kernel reports the flush to the master's reader, first.
    written.push_front({true, kFlushedInput, ""});
  }
  void Watch(bool read, bool write) override {
    watched = true;
    wantRead = read;
    wantWrite = write;
  }
  void Unwatch() override { watched = wantRead = wantWrite = false; }

  struct Written {
    bool status;
    uint32_t flags;
    std::string bytes;
  };
  std::deque<Written> written;  // by the application, not yet read by the driver
  std::string slaveInput;       // written by the driver, not yet read by the application
  size_t slaveRoom = 4096;
  bool hungUp = true;
  LineSettings line;  // the slave's settings, as the application set them
  int lineSets = 0;   // by the driver
  std::function<void()> beforeShow;  // the application, just before the driver shows its
  std::string dropped;
  int drops = 0;
  bool watched = false, wantRead = false, wantWrite = false;
};

class FakeLinks;

class FakeLink : public DeviceLink {
 public:
  explicit FakeLink(FakeLinks* owner) : owner_(owner) {}
  ~FakeLink() override;
  int ConnectError() override { return connectError; }
  ssize_t Send(const char* data, size_t size, int* error) override;
  ssize_t Receive(char* into, size_t room, int* error) override {
    if (!incoming.empty()) {
      std::string& chunk = incoming.front();
      const size_t n = std::min(room, chunk.size());
      std::memcpy(into, chunk.data(), n);
      chunk.erase(0, n);
      if (chunk.empty()) incoming.pop_front();
      return static_cast<ssize_t>(n);
    }
    if (fin) return 0;
    *error = EAGAIN;
    return -1;
  }
  void Watch(bool read, bool write) override {
    wantRead = read;
    wantWrite = write;
  }

  int connectError = 0;
  std::deque<std::string> incoming;
  bool fin = false;
  size_t sendRoom = static_cast<size_t>(-1);
  bool wantRead = false, wantWrite = false;

 private:
  FakeLinks* owner_;
};

class FakeLinks : public LinkMaker {
 public:
  struct Attempt {
    uint32_t address;
    uint64_t at;
  };
  explicit FakeLinks(const FakeClock& clock) : clock_(clock) {}
  std::unique_ptr<DeviceLink> Start(uint32_t address, uint32_t, int* error) override {
    attempts.push_back({address, clock_.NowMs()});
    if (refuseAtOnce != 0) {
      *error = refuseAtOnce;
      return nullptr;
    }
    auto link = std::make_unique<FakeLink>(this);
    current = link.get();
    return link;
  }

  std::vector<Attempt> attempts;
  FakeLink* current = nullptr;  // the link that exists now, if any
  std::string sent;             // every byte every link took, in order
  int refuseAtOnce = 0;         // an errno: Start fails at once

 private:
  const FakeClock& clock_;
};

inline FakeLink::~FakeLink() {
  if (owner_->current == this) owner_->current = nullptr;
}

inline ssize_t FakeLink::Send(const char* data, size_t size, int* error) {
  const size_t n = std::min(size, sendRoom);
  if (n == 0) {
    *error = EAGAIN;
    return -1;
  }
  owner_->sent.append(data, n);
  if (sendRoom != static_cast<size_t>(-1)) sendRoom -= n;
  return static_cast<ssize_t>(n);
}

class FakeSettings : public SettingsChannel {
 public:
  void Send(const SettingsJob& job) override { jobs.push_back(job); }
  std::vector<SettingsJob> jobs;
};

}  // namespace vonderil
