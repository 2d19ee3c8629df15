// The driver's relay against socat and against a direct TCP connection (no
// pty: the floor no relay can beat), on loopback against an echo server:
// throughput both ways through one port and round-trip latency of 1-byte
// writes (each the median of three runs); with every mapped port open and
// idle, the driver's memory per port and its CPU; and with one port held on
// a device that accepts every connection and closes it at once, the
// driver's CPU and its connections a second. Not run by CTest.
//
// usage: relay_bench [--ports N] [--megabytes M] [--idle-seconds S] [--socats K]
// The driver program is Vonderil.sys beside this program; socat must be on
// PATH (it is skipped with a note when missing).
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "relay_measure.h"
#include "tarvik/registry.h"
#include "tarvik/state_root.h"

namespace {

using bench::Latency;
using bench::Median;
using bench::NowSec;
using bench::OpenRaw;
using bench::SleepMs;
using bench::Spawn;
using bench::Stop;
using bench::Throughput;
using bench::WaitForPath;



// A listening socket on any free port of 127.0.0.1; the program ends when
// none can be made.
int Listen(int flags, int backlog, const char* what, uint16_t* port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | flags, 0);
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof at;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || ::listen(fd, backlog) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length) != 0) {
    std::perror(what);
    std::exit(1);
  }
  *port = ntohs(at.sin_port);
  return fd;
}

// An echo server on 127.0.0.1 for any number of connections, on its own
// thread.
class EchoServer {
 public:
  EchoServer() {
    listen_ = Listen(SOCK_NONBLOCK, 4096, "echo server", &port_);
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    Add(listen_, EPOLLIN);
    thread_ = std::thread([this] { Serve(); });
  }
  ~EchoServer() {
    quit_ = true;
    thread_.join();
  }
  uint16_t Port() const { return port_; }

 private:
  void Add(int fd, uint32_t events) {
    epoll_event ev{};
    ev.events = events;
    ev.data.fd = fd;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev);
  }
  void Mod(int fd, uint32_t events) {
    epoll_event ev{};
    ev.events = events;
    ev.data.fd = fd;
    epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &ev);
  }
  void Serve() {
    std::map<int, std::string> pending;
    std::vector<char> buffer(1 << 16);
    epoll_event events[256];
    while (!quit_) {
      int n = epoll_wait(epoll_, events, 256, 100);
      for (int i = 0; i < n; ++i) {
        const int fd = events[i].data.fd;
        if (fd == listen_) {
          int c;
          while ((c = ::accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0) {
            int on = 1;
            setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            Add(c, EPOLLIN);
          }
          continue;
        }
        std::string& out = pending[fd];
        if (out.empty()) {
          ssize_t got = ::recv(fd, buffer.data(), buffer.size(), 0);
          if (got <= 0) {
            if (got == 0 || errno != EAGAIN) {
              ::close(fd);
              pending.erase(fd);
            }
            continue;
          }
          out.assign(buffer.data(), static_cast<size_t>(got));
        }
        ssize_t sent = ::send(fd, out.data(), out.size(), MSG_NOSIGNAL);
        if (sent > 0) out.erase(0, static_cast<size_t>(sent));
        Mod(fd, out.empty() ? EPOLLIN : EPOLLOUT);
      }
    }
  }
  int listen_ = -1;
  int epoll_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> quit_{false};
  std::thread thread_;
};

// A device whose port another host holds: every connection is accepted and
// closed at once. Counts them.
class AcceptCloser {
 public:
  AcceptCloser() {
    listen_ = Listen(0, 64, "accept-close server", &port_);
    thread_ = std::thread([this] {
      while (!quit_) {
        pollfd p{listen_, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        int c = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (c >= 0) {
          ::close(c);
          ++accepted_;
        }
      }
    });
  }
  ~AcceptCloser() {
    quit_ = true;
    thread_.join();
    ::close(listen_);
  }
  uint16_t Port() const { return port_; }
  long Accepted() const { return accepted_; }

 private:
  int listen_ = -1;
  uint16_t port_ = 0;
  std::atomic<long> accepted_{0};
  std::atomic<bool> quit_{false};
  std::thread thread_;
};

int OpenTcp(uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    ::close(fd);
    return -1;
  }
  fcntl(fd, F_SETFL, O_NONBLOCK);
  return fd;
}





struct ProcUse {
  long rssKb = 0;
  long anonKb = 0;
  long ticks = 0;
};

ProcUse Use(pid_t pid) {
  ProcUse u;
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  long value;
  std::string line;
  while (std::getline(status, line)) {
    std::istringstream in(line);
    in >> key >> value;
    if (key == "VmRSS:") u.rssKb = value;
    if (key == "RssAnon:") u.anonKb = value;
  }
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const size_t close = text.rfind(')');
  if (close != std::string::npos) {
    std::istringstream in(text.substr(close + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && in >> field; ++i) {
      if (i == 14) utime = std::atol(field.c_str());
      if (i == 15) stime = std::atol(field.c_str());
    }
    u.ticks = utime + stime;
  }
  return u;
}



// COM1..COMcount reach the echo server, COMcount+1 the accept-close one.
// The ports keep their device's settings (FixedConfig): what is measured is
// the relay, not command-port conversations.
void MapPorts(int count, uint16_t echoPort, uint16_t closerPort) {
  tarvik::RegTransaction write(tarvik::RegTransaction::Mode::kWrite);
  tarvik::RegKey parameter;
  parameter.Create("SYSTEM\\CurrentControlSet\\Services\\Vonderil\\Parameter");
  parameter.SetDword("Servers", static_cast<uint32_t>(count + 1));
  parameter.SetDword("Flags", 1);
  for (int i = 1; i <= count + 1; ++i) {
    tarvik::RegKey server;
    server.Create(parameter, "Server" + std::to_string(i));
    server.SetString("ServerName", "Q410X-1");
    server.SetDword("IPAddress", 127 | 1u << 24);
    server.SetDword("PortNo", 1);
    // Data port 1 of each server, at TcpPortCmd + 1.
    const uint16_t target = i <= count ? echoPort : closerPort;
    server.SetDword("TcpPortCmd", static_cast<uint32_t>(target - 1));
    server.SetDword("ComNo1", static_cast<uint32_t>(i) | 1u << 13 | 1u << 20 | 1u << 21);
  }
  write.Commit();
}


// socat for one measurement: a fresh process each time (it ends when its pty closes).
pid_t StartSocat(const std::string& link, const std::string& target) {
  ::unlink(link.c_str());
  pid_t pid = Spawn({"socat", "PTY,link=" + link + ",raw,echo=0", target});
  WaitForPath(link, 10);
  return pid;
}

int CountConnected(const std::string& statusPath) {
  std::ifstream in(statusPath);
  std::string line;
  int n = 0;
  while (std::getline(in, line)) n += line.find(" connected ") != std::string::npos ? 1 : 0;
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  int ports = 1000, socats = 100, idleSeconds = 10;
  size_t megabytes = 64;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--ports") ports = std::atoi(argv[i + 1]);
    if (a == "--megabytes") megabytes = static_cast<size_t>(std::atol(argv[i + 1]));
    if (a == "--idle-seconds") idleSeconds = std::atoi(argv[i + 1]);
    if (a == "--socats") socats = std::atoi(argv[i + 1]);
  }
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
  signal(SIGPIPE, SIG_IGN);

  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  std::string dir(self, n > 0 ? static_cast<size_t>(n) : 0);
  dir = dir.substr(0, dir.rfind('/') + 1);
  const std::string driver = dir + "Vonderil.sys";
  char rootTemplate[] = "/tmp/tarvik-relay-bench-XXXXXX";
  const std::string root = mkdtemp(rootTemplate);
  setenv("TARVIK_ROOT", root.c_str(), 1);
  tarvik::EnsureStateRoot();

  EchoServer echo;
  AcceptCloser closer;
  MapPorts(ports, echo.Port(), closer.Port());
  tarvik::RegCloseStore();
  const bool haveSocat = std::system("command -v socat >/dev/null 2>&1") == 0;

  pid_t driverPid = Spawn({driver, "Vonderil"});
  if (!WaitForPath(root + "/dev/COM" + std::to_string(ports + 1), 60)) {
    std::fprintf(stderr, "the driver did not publish its ports\n");
    Stop(driverPid);
    return 1;
  }
  const ProcUse idleUse = Use(driverPid);
  const std::string socatLink = root + "/socat0";
  const std::string target = "TCP:127.0.0.1:" + std::to_string(echo.Port()) + ",nodelay";
  const std::string com1 = root + "/dev/COM1";

  std::printf("relay bench: %d mapped ports, %zu MB through one port, loopback echo server\n\n",
              ports, megabytes);
  constexpr int kRuns = 3;
  std::vector<double> ours, theirs, direct;
  std::vector<double> oursMedian, oursP99, theirsMedian, theirsP99, directMedian, directP99;
  for (int run = 0; run < kRuns; ++run) {
    ours.push_back(Throughput(OpenRaw(com1), com1, megabytes));
    if (haveSocat) {
      pid_t s = StartSocat(socatLink, target);
      theirs.push_back(Throughput(OpenRaw(socatLink), "socat", megabytes));
      Stop(s);
    }
    direct.push_back(Throughput(OpenTcp(echo.Port()), "direct TCP", megabytes));
    double m, p;
    Latency(OpenRaw(com1), 2000, &m, &p);
    oursMedian.push_back(m);
    oursP99.push_back(p);
    if (haveSocat) {
      pid_t s = StartSocat(socatLink, target);
      Latency(OpenRaw(socatLink), 2000, &m, &p);
      theirsMedian.push_back(m);
      theirsP99.push_back(p);
      Stop(s);
    }
    Latency(OpenTcp(echo.Port()), 2000, &m, &p);
    directMedian.push_back(m);
    directP99.push_back(p);
  }

  // Every port open and idle.
  std::vector<int> open;
  for (int i = 1; i <= ports; ++i) {
    int fd = OpenRaw(root + "/dev/COM" + std::to_string(i));
    if (fd >= 0) open.push_back(fd);
  }
  const std::string statusPath = root + "/run/Vonderil.ports";
  for (double end = NowSec() + 60; NowSec() < end && CountConnected(statusPath) < ports;) SleepMs(100);
  const int connected = CountConnected(statusPath);
  SleepMs(1000);
  const ProcUse before = Use(driverPid);
  SleepMs(idleSeconds * 1000L);
  const ProcUse after = Use(driverPid);
  const double cpu = 100.0 * static_cast<double>(after.ticks - before.ticks) /
                     static_cast<double>(sysconf(_SC_CLK_TCK)) / idleSeconds;
  for (int fd : open) ::close(fd);
  open.clear();

  // One port held on the device that accepts and closes; the first
  // seconds (the waits growing) are left out.
  int held = OpenRaw(root + "/dev/COM" + std::to_string(ports + 1));
  SleepMs(5000);
  const ProcUse closerBefore = Use(driverPid);
  const long acceptedBefore = closer.Accepted();
  SleepMs(idleSeconds * 1000L);
  const ProcUse closerAfter = Use(driverPid);
  const double closerRate = static_cast<double>(closer.Accepted() - acceptedBefore) / idleSeconds;
  const double closerCpu = 100.0 * static_cast<double>(closerAfter.ticks - closerBefore.ticks) /
                           static_cast<double>(sysconf(_SC_CLK_TCK)) / idleSeconds;
  if (held >= 0) ::close(held);

  // socat for comparison: one process per port.
  double socatRssPerPort = 0, socatCpu = 0;
  int socatOpen = 0;
  if (haveSocat && socats > 0) {
    std::vector<pid_t> pids;
    for (int i = 0; i < socats; ++i) {
      pids.push_back(Spawn({"socat", "PTY,link=" + root + "/s" + std::to_string(i) + ",raw,echo=0",
                            target}));
    }
    std::vector<int> sfds;
    for (int i = 0; i < socats; ++i) {
      const std::string link = root + "/s" + std::to_string(i);
      if (WaitForPath(link, 10)) {
        int fd = OpenRaw(link);
        if (fd >= 0) sfds.push_back(fd);
      }
    }
    socatOpen = static_cast<int>(sfds.size());
    SleepMs(1000);
    long rss = 0, ticks0 = 0, ticks1 = 0;
    for (pid_t p : pids) {
      ProcUse u = Use(p);
      rss += u.rssKb;
      ticks0 += u.ticks;
    }
    SleepMs(idleSeconds * 1000L);
    for (pid_t p : pids) ticks1 += Use(p).ticks;
    socatRssPerPort = static_cast<double>(rss) / socats;
    socatCpu = 100.0 * static_cast<double>(ticks1 - ticks0) /
               static_cast<double>(sysconf(_SC_CLK_TCK)) / idleSeconds;
    for (int fd : sfds) ::close(fd);
    for (pid_t p : pids) Stop(p);
  }

  auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
  const double t = Median(ours), ts = Median(theirs), td = Median(direct);
  const double lm = Median(oursMedian), lms = Median(theirsMedian), lmd = Median(directMedian);
  const double lp = Median(oursP99), lps = Median(theirsP99), lpd = Median(directP99);
  std::printf("medians of %d runs each\n\n", kRuns);
  std::printf("| measure | Vonderil.sys | socat | direct TCP (no pty) | Vonderil.sys / socat | Vonderil.sys / direct |\n");
  std::printf("|---|---|---|---|---|---|\n");
  std::printf("| throughput, echoed through one port (MB/s each way) | %.1f | %.1f | %.1f | %.2f | %.2f |\n",
              t, ts, td, ratio(t, ts), ratio(t, td));
  std::printf("| 1-byte round trip, median (us) | %.0f | %.0f | %.0f | %.2f | %.2f |\n", lm, lms, lmd,
              ratio(lm, lms), ratio(lm, lmd));
  std::printf("| 1-byte round trip, p99 (us) | %.0f | %.0f | %.0f | %.2f | %.2f |\n", lp, lps, lpd,
              ratio(lp, lps), ratio(lp, lpd));
  std::printf("| ports open and connected | %d of %d | %d (one process each) | - | | |\n", connected,
              ports, socatOpen);
  std::printf("| RSS per port, all open (KiB) | %.1f (total %ld, %ld before opening) | %.0f | - | | |\n",
              static_cast<double>(after.rssKb) / ports, after.rssKb, idleUse.rssKb,
              socatRssPerPort);
  std::printf("| anonymous (heap) RSS per port, all open (KiB) | %.1f | - | - | | |\n",
              static_cast<double>(after.anonKb) / ports);
  std::printf("| CPU while all ports open and idle (%% of a core) | %.2f | %.2f (%d processes) | - | | |\n",
              cpu, socatCpu, socatOpen);
  std::printf("| one port held on a device that accepts and closes: CPU (%% of a core) | %.2f | - | - | | |\n",
              closerCpu);
  std::printf("| the same: connections a second | %.2f | - | - | | |\n", closerRate);

  Stop(driverPid);
  std::system(("rm -rf " + root).c_str());
  return 0;
}
