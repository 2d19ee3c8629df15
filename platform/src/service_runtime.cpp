#include "service_runtime.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "tarvik/service_manager.h"
#include "tarvik/state_root.h"
#include "tarvik/unique_fd.h"

extern char** environ;

namespace tarvik {
namespace service_runtime {

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool ReadWholeFile(const std::string& path, std::string* text) {
  std::ifstream in(path);
  if (!in) return false;
  std::ostringstream out;
  out << in.rdbuf();
  *text = out.str();
  return true;
}

// Two unsigned numbers from a run file; false for anything else.
bool ReadPair(const std::string& path, uint64_t* first, uint64_t* second) {
  std::string text;
  if (!ReadWholeFile(path, &text)) return false;
  unsigned long long a = 0, b = 0;
  char tail = 0;
  int n = std::sscanf(text.c_str(), "%llu %llu %c", &a, &b, &tail);
  if (n != 2) return false;
  *first = a;
  *second = b;
  return true;
}

LSTATUS ErrnoToStatus(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return kErrorFileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return kErrorAccessDenied;
    case ENOEXEC:
    case ELIBBAD:
      return kErrorBadExeFormat;
    default:
      return kErrorProcessAborted;
  }
}

// Everything the detached child needs, made before fork() so that the child
// calls only async-signal-safe functions.
struct ChildPlan {
  std::vector<std::string> envStrings;
  std::vector<char*> env;
  std::vector<char*> argv;
};

void WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    p += n;
    size -= static_cast<size_t>(n);
  }
}

// Runs in the grandchild: becomes the service program or reports why not.
[[noreturn]] void ExecProgram(const ChildPlan& plan, int logFd, int nullFd, int reportFd) {
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  for (int sig = 1; sig < NSIG; ++sig) signal(sig, SIG_DFL);
  dup2(nullFd, 0);
  dup2(logFd, 1);
  dup2(logFd, 2);
  // Descriptors the caller happened to have open must not live on in the
  // service (sockets would stay bound, pipes would never see EOF).
#ifdef SYS_close_range
  syscall(SYS_close_range, 3u, ~0u, 4u /* CLOSE_RANGE_CLOEXEC */);
#endif
  if (chdir("/") != 0) {
    // A service does not depend on its working folder; carry on.
  }
  execve(plan.argv[0], plan.argv.data(), const_cast<char* const*>(plan.env.data()));
  char report[1 + sizeof(int)];
  report[0] = 'E';
  int error = errno;
  std::memcpy(report + 1, &error, sizeof error);
  WriteAll(reportFd, report, sizeof report);
  _exit(127);
}

}  // namespace

RunFiles FilesOf(const std::string& serviceName) {
  // Service names are case-insensitive, so are the names of their files.
  std::string base = RunDirectory() + "/" + Lower(serviceName);
  return RunFiles{base + ".pid", base + ".state", base + ".log", base + ".lock"};
}

uint64_t ProcessStartTime(pid_t pid) {
  std::string text;
  if (pid <= 0 || !ReadWholeFile("/proc/" + std::to_string(pid) + "/stat", &text)) return 0;
  // The command name (field 2) may hold blanks and parentheses: fields
  // after it are counted from the last ')'.
  size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 1));
  std::string field;
  std::vector<std::string> rest;
  while (fields >> field) rest.push_back(field);
  // rest[0] is field 3 (state), rest[19] is field 22 (start time).
  if (rest.size() < 20) return 0;
  if (rest[0] == "Z" || rest[0] == "X") return 0;
  return std::strtoull(rest[19].c_str(), nullptr, 10);
}

pid_t LivePid(const RunFiles& files) {
  uint64_t pid = 0, started = 0;
  if (!ReadPair(files.pid, &pid, &started)) return 0;
  if (pid == 0 || pid > 0x3fffffff) return 0;
  pid_t p = static_cast<pid_t>(pid);
  if (kill(p, 0) != 0 && errno != EPERM) return 0;
  uint64_t now = ProcessStartTime(p);
  if (now == 0 || now != started) return 0;
  return p;
}

uint32_t ReportedState(const RunFiles& files, pid_t pid) {
  uint64_t who = 0, state = 0;
  if (!ReadPair(files.state, &who, &state)) return 0;
  if (who != static_cast<uint64_t>(pid) || state < kServiceStopped || state > kServicePaused) return 0;
  return static_cast<uint32_t>(state);
}

bool EndedUnreported(const RunFiles& files) {
  uint64_t pid = 0, started = 0, who = 0, state = 0;
  if (!ReadPair(files.pid, &pid, &started)) return false;
  if (!ReadPair(files.state, &who, &state)) return true;
  return who != pid || state != kServiceStopped;
}

LSTATUS WriteFileAtomic(const std::string& path, const std::string& text) {
  std::string temp = path + ".tmp" + std::to_string(getpid());
  UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!fd.Valid()) return errno == EACCES || errno == EROFS ? kErrorAccessDenied : kErrorPathNotFound;
  WriteAll(fd.Get(), text.data(), text.size());
  fd.Reset();
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    int error = errno;
    ::unlink(temp.c_str());
    return error == EACCES || error == EROFS ? kErrorAccessDenied : kErrorPathNotFound;
  }
  return kErrorSuccess;
}

LSTATUS Spawn(const std::string& program, const std::string& serviceName,
              const std::string& stateRoot, const RunFiles& files, pid_t* pid) {
  *pid = 0;
  ChildPlan plan;
  for (char** e = environ; e && *e; ++e) {
    if (std::strncmp(*e, "TARVIK_ROOT=", 12) != 0) plan.envStrings.push_back(*e);
  }
  plan.envStrings.push_back("TARVIK_ROOT=" + stateRoot);
  for (auto& s : plan.envStrings) plan.env.push_back(&s[0]);
  plan.env.push_back(nullptr);
  std::string argv0 = program, argv1 = serviceName;
  plan.argv = {&argv0[0], &argv1[0], nullptr};

  UniqueFd logFd(::open(files.log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
  if (!logFd.Valid()) return ErrnoToStatus(errno);
  UniqueFd nullFd(::open("/dev/null", O_RDWR | O_CLOEXEC));
  if (!nullFd.Valid()) return ErrnoToStatus(errno);
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return ErrnoToStatus(errno);
  UniqueFd readEnd(fds[0]), writeEnd(fds[1]);

  pid_t middle = fork();
  if (middle < 0) return kErrorNotEnoughMemory;
  if (middle == 0) {
    // The middle child leaves the caller's session and hands the program
    // to init, so the caller never has to reap it.
    setsid();
    pid_t child = fork();
    if (child == 0) ExecProgram(plan, logFd.Get(), nullFd.Get(), writeEnd.Get());
    char report[1 + sizeof(pid_t)];
    report[0] = child > 0 ? 'P' : 'F';
    std::memcpy(report + 1, &child, sizeof child);
    WriteAll(writeEnd.Get(), report, sizeof report);
    _exit(0);
  }
  writeEnd.Reset();
  int status = 0;
  while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  // EOF comes once the middle child has gone and the program was executed
  // (the pipe closes on exec) or has failed to be.
  std::string reports;
  char buf[64];
  for (;;) {
    ssize_t n = ::read(readEnd.Get(), buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    reports.append(buf, static_cast<size_t>(n));
  }
  pid_t started = 0;
  size_t at = 0;
  LSTATUS result = kErrorSuccess;
  while (at < reports.size()) {
    char kind = reports[at];
    if (kind == 'P' && at + 1 + sizeof(pid_t) <= reports.size()) {
      std::memcpy(&started, reports.data() + at + 1, sizeof started);
      at += 1 + sizeof(pid_t);
    } else if (kind == 'E' && at + 1 + sizeof(int) <= reports.size()) {
      int error = 0;
      std::memcpy(&error, reports.data() + at + 1, sizeof error);
      result = ErrnoToStatus(error);
      at += 1 + sizeof(int);
    } else {
      return kErrorNotEnoughMemory;  // the middle child could not fork
    }
  }
  if (result != kErrorSuccess) return result;
  if (started <= 0) return kErrorNotEnoughMemory;
  *pid = started;
  return kErrorSuccess;
}

bool WaitForExit(pid_t pid, uint32_t ms) {
#ifdef SYS_pidfd_open
  UniqueFd fd(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
  if (fd.Valid()) {
    pollfd p{fd.Get(), POLLIN, 0};
    int n;
    while ((n = poll(&p, 1, static_cast<int>(ms))) < 0 && errno == EINTR) {
    }
    if (n > 0) return true;
    return ProcessStartTime(pid) == 0;
  }
  if (errno == ESRCH) return true;
#endif
  // Without pidfds: look again after the wait.
  usleep(ms * 1000);
  return kill(pid, 0) != 0 && errno == ESRCH;
}

}  // namespace service_runtime
}  // namespace tarvik
