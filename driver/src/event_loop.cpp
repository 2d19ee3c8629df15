#include "event_loop.h"

#include <signal.h>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace vonderil {

EventLoop::EventLoop()
    : epoll_(epoll_create1(EPOLL_CLOEXEC)),
      random_(static_cast<std::minstd_rand::result_type>(getpid() ^ MonotonicMs())) {}

uint64_t EventLoop::MonotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1000000;
}

bool EventLoop::Watch(int fd, uint32_t events, Handler handler, Order order, uint32_t hookFor) {
  if (byFd_.count(fd) != 0) return false;
  const uint64_t token = nextToken_++;
  epoll_event ev{};
  ev.events = events;
  ev.data.u64 = token;
  if (epoll_ctl(epoll_.Get(), EPOLL_CTL_ADD, fd, &ev) != 0) return false;
  byToken_[token] = std::make_shared<Watcher>(Watcher{fd, order, hookFor, std::move(handler)});
  byFd_[fd] = token;
  return true;
}

bool EventLoop::Modify(int fd, uint32_t events) {
  auto it = byFd_.find(fd);
  if (it == byFd_.end()) return false;
  epoll_event ev{};
  ev.events = events;
  ev.data.u64 = it->second;
  return epoll_ctl(epoll_.Get(), EPOLL_CTL_MOD, fd, &ev) == 0;
}

void EventLoop::Unwatch(int fd) {
  auto it = byFd_.find(fd);
  if (it == byFd_.end()) return;
  epoll_ctl(epoll_.Get(), EPOLL_CTL_DEL, fd, nullptr);
  byToken_.erase(it->second);
  byFd_.erase(it);
}

EventLoop::TimerId EventLoop::After(uint32_t delayMs, Task task) {
  TimerId id{NowMs() + delayMs, nextSequence_++};
  timers_.emplace(id, std::move(task));
  return id;
}

void EventLoop::Cancel(TimerId* id) {
  if (id->Armed()) timers_.erase(*id);
  *id = TimerId{};
}

uint32_t EventLoop::Random(uint32_t below) {
  if (below <= 1) return 0;
  return static_cast<uint32_t>(random_() % below);
}

bool EventLoop::WatchSignals(std::initializer_list<int> signals, SignalHandler handler) {
  sigset_t set;
  sigemptyset(&set);
  for (int s : signals) sigaddset(&set, s);
  if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0) return false;
  signals_.Reset(signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
  if (!signals_.Valid()) return false;
  const int fd = signals_.Get();
  return Watch(fd, EPOLLIN, [fd, handler](uint32_t) {
    signalfd_siginfo info;
    while (read(fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
      handler(static_cast<int>(info.ssi_signo));
    }
  });
}

int EventLoop::NextWaitMs() const {
  if (timers_.empty()) return -1;
  const uint64_t now = NowMs();
  const uint64_t due = timers_.begin()->first.due;
  if (due <= now) return 0;
  return static_cast<int>(std::min<uint64_t>(due - now, 60000));
}

void EventLoop::RunDueTimers() {
  const uint64_t now = NowMs();
  // A timer armed by a task of this turn waits for the next turn, even when due.
  const uint64_t last = nextSequence_;
  while (!quit_ && !timers_.empty()) {
    auto it = timers_.begin();
    if (it->first.due > now || it->first.sequence >= last) break;
    Task task = std::move(it->second);
    timers_.erase(it);
    task();
  }
}

void EventLoop::Dispatch(uint64_t token, uint32_t events) {
  auto it = byToken_.find(token);
  if (it == byToken_.end()) return;
  if (beforeDispatch_ && (events & it->second->hookFor) != 0) {
    beforeDispatch_();
    it = byToken_.find(token);
  }
  // Unwatched by an earlier handler of this batch, or by the hook.
  if (it == byToken_.end()) return;
  std::shared_ptr<Watcher> watcher = it->second;
  watcher->handler(events);
}

int EventLoop::Run() {
  quit_ = false;
  epoll_event events[64];
  while (!quit_) {
    int n = epoll_wait(epoll_.Get(), events, 64, NextWaitMs());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    for (Order pass : {Order::kFirst, Order::kNormal}) {
      for (int i = 0; i < n && !quit_; ++i) {
        auto it = byToken_.find(events[i].data.u64);
        if (it == byToken_.end() || it->second->order != pass) continue;
        Dispatch(events[i].data.u64, events[i].events);
      }
    }
    RunDueTimers();
  }
  return 0;
}

}  // namespace vonderil
