#include "command_port_service.h"

#include <poll.h>
#include <sys/epoll.h>

#include <vector>

#include "tarvik/text.h"

namespace devsim {

namespace {

// How often the port looks at changes the UDP side made (a new address).
constexpr uint32_t kFollowIntervalMs = 200;

}  // namespace

CommandPortService::CommandPortService(EventLoop* loop, SimDevice* device, Log* log,
                                       CommandPortSettings settings)
    : loop_(loop), sim_(device), log_(log), device_(std::move(settings)), listener_(&device_) {}

bool CommandPortService::Start(std::string* error) {
  FollowDevice();
  const bool open = listener_.Open(error);
  // Joins the loop either way: a port that cannot open now is tried again
  // at every turn (the device may move to a free address).
  Register();
  return open;
}

void CommandPortService::FollowDevice() {
  CommandPortSettings& s = device_.Settings();
  s.name = sim_->Name();
  s.mac = sim_->Mac();
  s.ip = sim_->Ip();
  s.mask = sim_->Mask();
  s.gateway = sim_->Gateway();
}

void CommandPortService::Turn(int fd, uint32_t events) {
  FollowDevice();
  std::vector<pollfd> ready;
  if (fd >= 0) {
    short revents = 0;
    if (events & EPOLLIN) revents |= POLLIN;
    if (events & EPOLLERR) revents |= POLLERR;
    if (events & EPOLLHUP) revents |= POLLHUP;
    ready.push_back(pollfd{fd, POLLIN, revents});
  }
  const size_t before = device_.Received().size();
  const int restarts = device_.RestartCount();
  const std::string where = device_.Settings().ip + ":" + std::to_string(listener_.Port());
  listener_.HandlePoll(ready);
  LogNewBytes(where, before);
  if (device_.RestartCount() != restarts) {
    const CommandPortSettings& s = device_.Settings();
    sim_->ApplyField("IP", s.ip);
    sim_->ApplyField("MASK", s.mask);
    sim_->ApplyField("GATEWAY", s.gateway);
    log_->Line("cmd restart state " + sim_->Describe());
  }
  Register();
}

void CommandPortService::LogNewBytes(const std::string& where, size_t from) {
  const std::string& received = device_.Received();
  if (received.size() <= from) return;
  log_->Line("cmd recv " + where + " " + tarvik::EscapeText(received.substr(from)));
  // The record only feeds the log here; keep it from growing for ever.
  if (received.size() > 65536) device_.ClearReceived();
}

void CommandPortService::Register() {
  // Descriptors come and go with connections (and their numbers are
  // reused), so the loop gets the current set anew each turn.
  for (int fd : registered_) loop_->Remove(fd);
  registered_.clear();
  std::vector<pollfd> wanted;
  listener_.AddPollFds(&wanted);
  for (const pollfd& p : wanted) {
    const int fd = p.fd;
    if (loop_->Add(fd, EPOLLIN, [this, fd](uint32_t events) { Turn(fd, events); })) {
      registered_.insert(fd);
    }
  }
  int wait = listener_.NextTimeoutMs();
  if (wait < 0 || static_cast<uint32_t>(wait) > kFollowIntervalMs) wait = kFollowIntervalMs;
  const uint64_t due = NowMs() + static_cast<uint64_t>(wait);
  if (timerDue_ == 0 || due < timerDue_) {
    timerDue_ = due;
    loop_->RunAfter(static_cast<uint32_t>(wait), [this, due] {
      if (timerDue_ == due) timerDue_ = 0;
      Turn(-1, 0);
    });
  }
}

}  // namespace devsim
