#include "port_set.h"

#include <dirent.h>
#include <sys/epoll.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdint>

#include "pty_pair.h"

namespace vonderil {

namespace {

// Descriptors kept free for the driver's own files: its state and status
// files, the registry store, command-port sessions.
constexpr rlim_t kReservedDescriptors = 32;

// Raises the descriptor limit as far as allowed and returns how many ports
// it leaves room for: each port takes its pty master and, while open, a
// socket. A driver that made ports until the last descriptor could no
// longer even report its state.
size_t PortsWithinDescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return SIZE_MAX;
  if (limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    getrlimit(RLIMIT_NOFILE, &limit);
  }
  if (limit.rlim_cur == RLIM_INFINITY) return SIZE_MAX;
  if (limit.rlim_cur <= kReservedDescriptors) return 0;
  return static_cast<size_t>((limit.rlim_cur - kReservedDescriptors) / 2);
}

bool IsComName(const char* name) {
  if (std::strncmp(name, "COM", 3) != 0 || name[3] == '\0') return false;
  for (const char* c = name + 3; *c; ++c) {
    if (*c < '0' || *c > '9') return false;
  }
  return true;
}

// "COM7, COM9-COM12"
std::string ComList(const std::vector<uint32_t>& numbers) {
  std::string text;
  for (size_t i = 0; i < numbers.size();) {
    size_t j = i;
    while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1) ++j;
    if (!text.empty()) text += ", ";
    text += "COM" + std::to_string(numbers[i]);
    if (j > i) text += "-COM" + std::to_string(numbers[j]);
    i = j + 1;
  }
  return text;
}

}  // namespace

PortSet::PortSet(EventLoop& loop, std::string devDirectory, std::string runDirectory, LogLine log)
    : loop_(loop),
      dev_(std::move(devDirectory)),
      run_(std::move(runDirectory)),
      log_(std::move(log)),
      sender_(loop, [this](const SettingsResult& r) { Deliver(r); }) {}

PortSet::~PortSet() {
  loop_.SetBeforeDispatch(nullptr);
  loop_.Cancel(&tick_);
  loop_.Cancel(&statusTimer_);
  if (inotify_.Valid()) loop_.Unwatch(inotify_.Get());
}

void PortSet::RemoveStaleLinks() {
  DIR* dir = opendir(dev_.c_str());
  if (!dir) return;
  while (dirent* entry = readdir(dir)) {
    if (!IsComName(entry->d_name)) continue;
    const std::string path = dev_ + "/" + entry->d_name;
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) ::unlink(path.c_str());
  }
  closedir(dir);
}

size_t PortSet::Make(const DriverParameters& parameters,
                     const std::function<void(std::unique_ptr<RelayPort>)>& adopt,
                     std::function<void()> released) {
  const size_t room = PortsWithinDescriptorLimit();
  ::mkdir(dev_.c_str(), 0755);
  RemoveStaleLinks();
  inotify_.Reset(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  if (inotify_.Valid() && !loop_.Watch(inotify_.Get(), EPOLLIN, [this](uint32_t) { OnNotices(); },
                                       EventLoop::Order::kFirst)) {
    inotify_.Reset();
  }
  if (inotify_.Valid()) loop_.SetBeforeDispatch([this] { OnNotices(); });
  const DriverOptions options = OptionsFromFlags(parameters.flags);
  std::vector<uint32_t> overLimit;
  for (const MappedPort& mapping : parameters.ports) {
    PtyPair pty;
    std::string error;
    bool limit = ports_.size() >= room;
    // A port whose device is asked shows no baud rate until it answered.
    const bool asked = !mapping.fixedConfig && mapping.devicePort != 0;
    if (limit || !MakePty(&pty, asked ? 0 : 9600, &error, &limit)) {
      if (limit) {
        overLimit.push_back(mapping.comNumber);
      } else {
        log_("COM" + std::to_string(mapping.comNumber) + " not made: " + error);
      }
      continue;
    }
    const std::string link = dev_ + "/COM" + std::to_string(mapping.comNumber);
    if (!PublishLink(pty.slavePath, link, &error)) {
      log_("COM" + std::to_string(mapping.comNumber) + " not made: " + error);
      continue;
    }
    PortSession::Hooks hooks;
    hooks.changed = [this] { StatusChanged(); };
    hooks.quiet = released;
    auto port = std::make_unique<RelayPort>(loop_, mapping, options, std::move(pty), link,
                                            sender_.Ok() ? &sender_ : nullptr, log_, hooks);
    RelayPort* raw = port.get();
    byCom_[mapping.comNumber] = raw;
    int watch = -1;
    if (inotify_.Valid()) {
      watch = inotify_add_watch(inotify_.Get(), raw->SlavePath().c_str(),
                                IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE);
    }
    if (watch >= 0) {
      byWatch_[watch] = raw;
    } else {
      unwatched_.push_back(raw);
    }
    ports_.push_back(raw);
    adopt(std::move(port));
  }
  if (!overLimit.empty()) {
    log_("no pty left for " + std::to_string(overLimit.size()) + " port(s): " + ComList(overLimit) +
         " not made (raise kernel.pty.max or the descriptor limit)");
  }
  if (!unwatched_.empty()) {
    log_(std::to_string(unwatched_.size()) +
         " port(s) without open notices: looked at every " + std::to_string(kSettingsPollMs) +
         " ms instead");
  }
  if (!sender_.Ok()) log_("line settings cannot be sent: no eventfd for the settings workers");
  if (options.fastOpen) {
    for (RelayPort* p : ports_) p->Session().Start();
  }
  tick_ = loop_.After(kSettingsPollMs, [this] { Tick(); });
  WriteStatus();
  return ports_.size();
}

void PortSet::OnNotices() {
  if (!inotify_.Valid()) return;
  std::vector<Notice> notices;
  const bool overflow = ReadNotices(&notices);
  for (const Notice& notice : notices) {
    auto it = byWatch_.find(notice.watch);
    if (it == byWatch_.end()) continue;
    if (notice.mask & IN_OPEN) {
      it->second->Session().OnOpenNotice();
    } else if (notice.mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) {
      it->second->Session().OnCloseNotice();
    }
  }
  if (overflow) {
    log_("open notices overflowed: every port is looked at again");
    LookAtEveryPort();
  }
}

bool PortSet::ReadNotices(std::vector<Notice>* notices) {
  bool overflow = false;
  alignas(inotify_event) char buffer[8192];
  for (;;) {
    ssize_t n = ::read(inotify_.Get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return overflow;
    for (ssize_t at = 0; at < n;) {
      auto* event = reinterpret_cast<inotify_event*>(buffer + at);
      if (event->mask & IN_Q_OVERFLOW) overflow = true;
      notices->push_back({event->wd, event->mask});
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
}

void PortSet::LookAtEveryPort() {
  for (RelayPort* p : ports_) {
    PortSession& session = p->Session();
    if (session.Held()) {
      session.OnMaster(kHangUp);  // ends the session when the pty shows nobody
    } else {
      session.LookForOpen();
    }
  }
}

void PortSet::Tick() {
  tick_ = loop_.After(kSettingsPollMs, [this] { Tick(); });
  for (RelayPort* p : ports_) p->Session().Tick();
  // Ports without an inotify watch learn of opens only here.
  for (RelayPort* p : unwatched_) p->Session().LookForOpen();
}

void PortSet::Deliver(const SettingsResult& result) {
  auto it = byCom_.find(result.comNumber);
  if (it != byCom_.end()) it->second->Session().OnSettingsDone(result);
}

void PortSet::StatusChanged() {
  if (statusTimer_.Armed()) return;
  statusTimer_ = loop_.After(kStatusDelayMs, [this] {
    statusTimer_ = {};
    WriteStatus();
  });
}

void PortSet::SetStopping(bool stopping) {
  stopping_ = stopping;
  WriteStatus();
}

void PortSet::WriteStatus() {
  const std::string path = run_ + "/" + PortStatusFileName();
  const std::string temp = path + ".new";
  FILE* out = std::fopen(temp.c_str(), "w");
  if (!out) return;
  std::fprintf(out, "Vonderil %ld %s\n", static_cast<long>(getpid()),
               stopping_ ? "stopping" : "running");
  for (RelayPort* p : ports_) {
    if (p->ComNumber() == 0) continue;
    std::fprintf(out, "%s\n", FormatPortStatusLine(p->Status()).c_str());
  }
  const bool ok = std::fflush(out) == 0;
  std::fclose(out);
  if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) ::unlink(temp.c_str());
}

void PortSet::RemoveStatus() {
  loop_.Cancel(&statusTimer_);
  ::unlink((run_ + "/" + PortStatusFileName()).c_str());
}

std::vector<uint32_t> PortSet::HeldComNumbers() const {
  std::vector<uint32_t> held;
  for (RelayPort* p : ports_) {
    if (p->HeldOpen()) held.push_back(p->ComNumber());
  }
  return held;
}

}  // namespace vonderil
