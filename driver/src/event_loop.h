// The stand-in's event loop: one epoll set for every descriptor the driver
// serves (signals now; ptys and TCP connections of mapped ports later), so
// the program sleeps in the kernel until something happens and never polls.
#pragma once
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>

#include "tarvik/unique_fd.h"

namespace vonderil {

class EventLoop {
 public:
  using Handler = std::function<void(uint32_t events)>;
  using SignalHandler = std::function<void(int signal)>;

  EventLoop();
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  // False when the epoll set could not be made.
  bool Ok() const { return epoll_.Valid(); }

  // Calls handler with the epoll events whenever fd is ready for events.
  // The caller keeps the descriptor open until Unwatch.
  bool Watch(int fd, uint32_t events, Handler handler);
  void Unwatch(int fd);

  // Delivers the signals through a signalfd. The signals are blocked for
  // the calling thread; a process must block them before it starts threads.
  bool WatchSignals(std::initializer_list<int> signals, SignalHandler handler);

  // Dispatches events until Quit(). Returns 0, or the errno of a failed wait.
  int Run();
  void Quit() { quit_ = true; }

 private:
  tarvik::UniqueFd epoll_;
  tarvik::UniqueFd signals_;
  std::map<int, Handler> handlers_;
  bool quit_ = false;
};

}  // namespace vonderil
