#include "relay_measure.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace bench {

double NowSec() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void SleepMs(long ms) {
  timespec ts{ms / 1000, (ms % 1000) * 1000000L};
  nanosleep(&ts, nullptr);
}

int OpenRaw(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  tcsetattr(fd, TCSANOW, &t);
  return fd;
}

bool WaitForPath(const std::string& path, double seconds) {
  const double end = NowSec() + seconds;
  struct stat st {};
  while (NowSec() < end) {
    if (::stat(path.c_str(), &st) == 0) return true;
    SleepMs(10);
  }
  return false;
}

double Throughput(int fd, const std::string& what, size_t megabytes) {
  if (fd < 0) return 0;
  const size_t total = megabytes << 20;
  std::vector<char> chunk(4096), in(65536);
  for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<char>(i);
  size_t written = 0, read = 0;
  // Warm up: the first byte waits for the connection.
  (void)!::write(fd, "w", 1);
  for (double end = NowSec() + 10; read < 1 && NowSec() < end;) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) > 0 && ::read(fd, in.data(), 1) == 1) read = 1;
  }
  read = 0;
  const double start = NowSec();
  while (read < total && NowSec() - start < 120) {
    pollfd p{fd, static_cast<short>(POLLIN | (written < total ? POLLOUT : 0)), 0};
    if (::poll(&p, 1, 1000) <= 0) continue;
    if ((p.revents & POLLOUT) && written < total) {
      ssize_t n = ::write(fd, chunk.data(), std::min(chunk.size(), total - written));
      if (n > 0) written += static_cast<size_t>(n);
    }
    if (p.revents & POLLIN) {
      ssize_t n = ::read(fd, in.data(), in.size());
      if (n > 0) read += static_cast<size_t>(n);
    }
  }
  const double seconds = NowSec() - start;
  ::close(fd);
  if (read < total) std::fprintf(stderr, "  %s: only %zu of %zu bytes came back\n", what.c_str(), read, total);
  return static_cast<double>(read) / (1 << 20) / seconds;
}

void Latency(int fd, int rounds, double* median, double* p99) {
  *median = *p99 = 0;
  if (fd < 0) return;
  std::vector<double> samples;
  char c = 'l';
  for (int i = 0; i < rounds + 50; ++i) {
    const double start = NowSec();
    if (::write(fd, &c, 1) != 1) break;
    bool got = false;
    for (double end = start + 5; !got && NowSec() < end;) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 100) > 0 && ::read(fd, &c, 1) == 1) got = true;
    }
    if (!got) break;
    if (i >= 50) samples.push_back((NowSec() - start) * 1e6);  // the first ones warm up
  }
  ::close(fd);
  if (samples.empty()) return;
  std::sort(samples.begin(), samples.end());
  *median = samples[samples.size() / 2];
  *p99 = samples[std::min(samples.size() - 1, samples.size() * 99 / 100)];
}

pid_t Spawn(const std::vector<std::string>& argv) {
  pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int null = ::open("/dev/null", O_RDWR);
    dup2(null, 1);
    dup2(null, 2);
    execvp(args[0], args.data());
    _exit(127);
  }
  return pid;
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  int status;
  waitpid(pid, &status, 0);
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace bench
