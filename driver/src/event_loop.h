// The stand-in's event loop: one epoll set for every descriptor the driver
// serves (signals, the ptys and TCP connections of every mapped port, the
// open notices of their slaves) and one ordered set of timers, so the
// program sleeps in the kernel until something happens and never polls.
// Single-threaded: every call comes from the thread that runs the loop.
#pragma once
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <unordered_map>
#include <utility>

#include "tarvik/unique_fd.h"

namespace vonderil {

class EventLoop {
 public:
  using Handler = std::function<void(uint32_t events)>;
  using SignalHandler = std::function<void(int signal)>;
  using Task = std::function<void()>;
  // Names one armed timer; a default TimerId names none.
  struct TimerId {
    uint64_t due = 0;
    uint64_t sequence = 0;
    bool Armed() const { return sequence != 0; }
    bool operator<(const TimerId& o) const {
      return due != o.due ? due < o.due : sequence < o.sequence;
    }
  };

  EventLoop();
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  // False when the epoll set could not be made.
  bool Ok() const { return epoll_.Valid(); }

  // Calls handler with the epoll events whenever fd is ready for events.
  // The caller keeps the descriptor open until Unwatch.
  bool Watch(int fd, uint32_t events, Handler handler);
  bool Modify(int fd, uint32_t events);
  void Unwatch(int fd);

  // Runs task once, delayMs from now. Cancel takes it back (harmless when
  // it has run or was never armed) and clears *id.
  TimerId After(uint32_t delayMs, Task task);
  void Cancel(TimerId* id);

  // Delivers the signals through a signalfd. The signals are blocked for
  // the calling thread; a process must block them before it starts threads.
  bool WatchSignals(std::initializer_list<int> signals, SignalHandler handler);

  // Dispatches events until Quit(). Returns 0, or the errno of a failed wait.
  int Run();
  void Quit() { quit_ = true; }

  // Milliseconds of the monotonic clock the timers run on.
  static uint64_t NowMs();

 private:
  void RunDueTimers();
  int NextWaitMs() const;

  tarvik::UniqueFd epoll_;
  tarvik::UniqueFd signals_;
  // Shared so that a handler may unwatch its own descriptor while it runs.
  std::unordered_map<int, std::shared_ptr<Handler>> handlers_;
  std::map<TimerId, Task> timers_;
  uint64_t nextSequence_ = 1;
  bool quit_ = false;
};

}  // namespace vonderil
