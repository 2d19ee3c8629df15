// One epoll loop for the whole simulator: file descriptors with a handler
// each, one-shot timers, and SIGINT/SIGTERM ending the loop. Every service
// of the simulator (UDP discovery now, TCP command ports later) registers
// here, so all devices run on one thread without locks.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <queue>
#include <vector>

#include "tarvik/unique_fd.h"

namespace devsim {

class EventLoop {
 public:
  using Handler = std::function<void(uint32_t events)>;
  using Task = std::function<void()>;

  EventLoop();
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  bool Valid() const { return epoll_.Valid() && signals_.Valid(); }
  // Watches fd for events (EPOLLIN, EPOLLOUT, ...) until Remove(fd).
  bool Add(int fd, uint32_t events, Handler handler);
  bool Modify(int fd, uint32_t events);
  void Remove(int fd);
  // Runs task once, delayMs from now.
  void RunAfter(uint32_t delayMs, Task task);
  // Runs until Stop() or a SIGINT/SIGTERM. Returns the exit code.
  int Run();
  void Stop() { running_ = false; }

 private:
  struct Timer {
    uint64_t due;
    uint64_t sequence;
    bool operator>(const Timer& o) const {
      return due != o.due ? due > o.due : sequence > o.sequence;
    }
  };
  void RunDueTimers();
  int NextTimeout() const;

  tarvik::UniqueFd epoll_;
  tarvik::UniqueFd signals_;
  std::map<int, Handler> handlers_;
  std::priority_queue<Timer, std::vector<Timer>, std::greater<Timer>> timers_;
  std::map<uint64_t, Task> tasks_;
  uint64_t nextSequence_ = 0;
  bool running_ = false;
};

// Milliseconds of a monotonic clock.
uint64_t NowMs();

}  // namespace devsim
