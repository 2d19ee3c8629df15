#include "event_loop.h"

#include <signal.h>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <time.h>

#include <cerrno>

namespace devsim {

uint64_t NowMs() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<uint64_t>(t.tv_sec) * 1000 + static_cast<uint64_t>(t.tv_nsec) / 1000000;
}

EventLoop::EventLoop() : epoll_(epoll_create1(EPOLL_CLOEXEC)) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigprocmask(SIG_BLOCK, &set, nullptr);
  signals_.Reset(signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK));
  if (Valid()) {
    Add(signals_.Get(), EPOLLIN, [this](uint32_t) { running_ = false; });
  }
}

bool EventLoop::Add(int fd, uint32_t events, Handler handler) {
  epoll_event e{};
  e.events = events;
  e.data.fd = fd;
  if (epoll_ctl(epoll_.Get(), EPOLL_CTL_ADD, fd, &e) != 0) return false;
  handlers_[fd] = std::move(handler);
  return true;
}

bool EventLoop::Modify(int fd, uint32_t events) {
  epoll_event e{};
  e.events = events;
  e.data.fd = fd;
  return epoll_ctl(epoll_.Get(), EPOLL_CTL_MOD, fd, &e) == 0;
}

void EventLoop::Remove(int fd) {
  epoll_ctl(epoll_.Get(), EPOLL_CTL_DEL, fd, nullptr);
  handlers_.erase(fd);
}

void EventLoop::RunAfter(uint32_t delayMs, Task task) {
  uint64_t sequence = nextSequence_++;
  timers_.push({NowMs() + delayMs, sequence});
  tasks_[sequence] = std::move(task);
}

int EventLoop::NextTimeout() const {
  if (timers_.empty()) return -1;
  uint64_t now = NowMs();
  return timers_.top().due <= now ? 0 : static_cast<int>(timers_.top().due - now);
}

void EventLoop::RunDueTimers() {
  uint64_t now = NowMs();
  while (!timers_.empty() && timers_.top().due <= now) {
    uint64_t sequence = timers_.top().sequence;
    timers_.pop();
    auto found = tasks_.find(sequence);
    Task task = std::move(found->second);
    tasks_.erase(found);
    task();
  }
}

int EventLoop::Run() {
  running_ = true;
  epoll_event events[64];
  while (running_) {
    int n = epoll_wait(epoll_.Get(), events, 64, NextTimeout());
    if (n < 0) {
      if (errno == EINTR) continue;
      return 1;
    }
    for (int i = 0; i < n && running_; ++i) {
      auto found = handlers_.find(events[i].data.fd);
      // A handler may have removed another descriptor of this batch.
      if (found == handlers_.end()) continue;
      Handler handler = found->second;
      handler(events[i].events);
    }
    RunDueTimers();
  }
  return 0;
}

}  // namespace devsim
