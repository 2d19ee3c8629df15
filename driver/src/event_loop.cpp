#include "event_loop.h"

#include <signal.h>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>

namespace vonderil {

EventLoop::EventLoop() : epoll_(epoll_create1(EPOLL_CLOEXEC)) {}

bool EventLoop::Watch(int fd, uint32_t events, Handler handler) {
  epoll_event ev{};
  ev.events = events;
  ev.data.fd = fd;
  if (epoll_ctl(epoll_.Get(), EPOLL_CTL_ADD, fd, &ev) != 0) return false;
  handlers_[fd] = std::move(handler);
  return true;
}

void EventLoop::Unwatch(int fd) {
  epoll_ctl(epoll_.Get(), EPOLL_CTL_DEL, fd, nullptr);
  handlers_.erase(fd);
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

int EventLoop::Run() {
  quit_ = false;
  epoll_event events[16];
  while (!quit_) {
    int n = epoll_wait(epoll_.Get(), events, 16, -1);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    for (int i = 0; i < n && !quit_; ++i) {
      auto it = handlers_.find(events[i].data.fd);
      // A handler may unwatch another descriptor of the same batch.
      if (it == handlers_.end()) continue;
      Handler handler = it->second;
      handler(events[i].events);
    }
  }
  return 0;
}

}  // namespace vonderil
