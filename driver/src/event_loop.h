// The stand-in's event loop: one epoll set for every descriptor the driver
// serves (signals, the ptys and TCP connections of every mapped port, the
// open notices of their slaves) and one ordered set of timers, so the
// program sleeps in the kernel until something happens and never polls.
// Single-threaded: every call comes from the thread that runs the loop.
//
// Dispatch. Each watch gets a token of its own, and the kernel hands the
// token back with the event, never the descriptor number: a handler that
// closes a socket and makes a new one (which may get the same number) never
// receives an event of the old one that waits later in the same batch.
// Unwatched descriptors' waiting events are dropped. Watches marked first
// are dispatched before the others of a batch, and the before-dispatch hook
// runs before every handler, so the open and close notices of the ptys are
// always taken before the data of the same moment.
#pragma once
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <random>
#include <unordered_map>
#include <utility>

#include "port_ops.h"
#include "tarvik/unique_fd.h"

namespace vonderil {

class EventLoop : public PortClock {
 public:
  using Handler = std::function<void(uint32_t events)>;
  using SignalHandler = std::function<void(int signal)>;
  using TimerId = vonderil::TimerId;
  enum class Order { kNormal, kFirst };

  EventLoop();
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  // False when the epoll set could not be made.
  bool Ok() const { return epoll_.Valid(); }

  // Calls handler with the epoll events whenever fd is ready for events.
  // The caller keeps the descriptor open until Unwatch. The before-dispatch
  // hook runs before the events that share a bit with hookFor.
  bool Watch(int fd, uint32_t events, Handler handler, Order order = Order::kNormal,
             uint32_t hookFor = ~0u);
  bool Modify(int fd, uint32_t events);
  void Unwatch(int fd);
  bool Watched(int fd) const { return byFd_.count(fd) != 0; }

  // Runs before each handler of a batch (may unwatch anything, even the
  // descriptor whose event comes next).
  void SetBeforeDispatch(std::function<void()> hook) { beforeDispatch_ = std::move(hook); }

  // PortClock
  uint64_t NowMs() const override { return MonotonicMs(); }
  TimerId After(uint32_t delayMs, Task task) override;
  void Cancel(TimerId* id) override;
  uint32_t Random(uint32_t below) override;

  // Delivers the signals through a signalfd. The signals are blocked for
  // the calling thread; a process must block them before it starts threads.
  bool WatchSignals(std::initializer_list<int> signals, SignalHandler handler);

  // Dispatches events until Quit(). Returns 0, or the errno of a failed wait.
  int Run();
  void Quit() { quit_ = true; }

  // Milliseconds of the monotonic clock the timers run on.
  static uint64_t MonotonicMs();

 private:
  struct Watcher {
    int fd;
    Order order;
    uint32_t hookFor;
    Handler handler;
  };
  void Dispatch(uint64_t token, uint32_t events);
  void RunDueTimers();
  int NextWaitMs() const;

  tarvik::UniqueFd epoll_;
  tarvik::UniqueFd signals_;
  // Shared so that a handler may unwatch its own descriptor while it runs.
  std::unordered_map<uint64_t, std::shared_ptr<Watcher>> byToken_;
  std::unordered_map<int, uint64_t> byFd_;
  uint64_t nextToken_ = 1;
  std::function<void()> beforeDispatch_;
  std::map<TimerId, Task> timers_;
  uint64_t nextSequence_ = 1;
  std::minstd_rand random_;
  bool quit_ = false;
};

}  // namespace vonderil
