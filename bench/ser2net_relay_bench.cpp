// The driver's relay through Debian's ser2net on loopback, raw TCP against
// RFC 2217 in one run: two ports of the driver, one on a server whose
// DataProtocol is 0 (ser2net's raw tcp accepter, the baseline) and one on a
// server whose DataProtocol is 1 (a telnet(rfc2217) accepter). Each
// accepter serves one pty pair whose other end this program echoes, so a
// byte goes application -> driver -> ser2net -> serial line -> echo and
// back. Measured: throughput both ways through one port (with the CPU the
// driver and ser2net spent per MB) and the round trip of 1-byte writes,
// each the median of three runs, as ratios against raw.
// The ports keep their line settings (FixedConfig): what is measured is the
// data path, the negotiation at connect included. Not run by CTest.
//
// usage: ser2net_relay_bench [--megabytes M] [--rounds N]
// The driver program is Vonderil.sys beside this program; ser2net must be
// installed (/usr/sbin/ser2net).
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
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
#include <iterator>
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



// A TCP port of 127.0.0.1 that was free a moment ago.
uint16_t FreePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof at;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length) != 0) {
    std::perror("free port");
    std::exit(1);
  }
  ::close(fd);
  return ntohs(at.sin_port);
}

bool Accepts(uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
  ::close(fd);
  return ok;
}

// A serial line with a device that echoes: a pty pair whose slave ser2net
// opens, and a thread that writes back whatever reaches the master.
class EchoLine {
 public:
  EchoLine() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
      std::perror("pty");
      std::exit(1);
    }
    path_ = ptsname(master_);
    // Holding the slave keeps the master from reporting a hang-up between
    // ser2net's opens.
    keep_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    tcgetattr(keep_, &t);
    cfmakeraw(&t);
    tcsetattr(keep_, TCSANOW, &t);
    thread_ = std::thread([this] { Echo(); });
  }
  ~EchoLine() {
    quit_ = true;
    thread_.join();
    ::close(keep_);
    ::close(master_);
  }
  const std::string& Path() const { return path_; }

 private:
  void Echo() {
    std::vector<char> buffer(1 << 16);
    std::string out;
    while (!quit_) {
      pollfd p{master_, static_cast<short>(POLLIN | (out.empty() ? 0 : POLLOUT)), 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      if (p.revents & POLLHUP) {
        SleepMs(10);
        continue;
      }
      if ((p.revents & POLLIN) && out.size() < buffer.size()) {
        const ssize_t n = ::read(master_, buffer.data(), buffer.size());
        if (n > 0) out.append(buffer.data(), static_cast<size_t>(n));
      }
      if (!out.empty()) {
        const ssize_t n = ::write(master_, out.data(), out.size());
        if (n > 0) out.erase(0, static_cast<size_t>(n));
      }
    }
  }
  int master_ = -1;
  int keep_ = -1;
  std::string path_;
  std::atomic<bool> quit_{false};
  std::thread thread_;
};





// CPU seconds a process has used so far.
double CpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream in(text.substr(close + 2));
  std::string field;
  long ticks = 0;
  for (int i = 3; i <= 15 && in >> field; ++i) {
    if (i == 14 || i == 15) ticks += std::atol(field.c_str());
  }
  return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}



// COM1 on ser2net's raw accepter, COM2 on its RFC 2217 one; each data
// port 1 sits at TcpPortCmd + 1.
void MapPorts(uint16_t rawPort, uint16_t rfc2217Port) {
  tarvik::RegTransaction write(tarvik::RegTransaction::Mode::kWrite);
  tarvik::RegKey parameter;
  parameter.Create("SYSTEM\\CurrentControlSet\\Services\\Vonderil\\Parameter");
  parameter.SetDword("Servers", 2);
  parameter.SetDword("Flags", 1);
  const uint16_t targets[] = {rawPort, rfc2217Port};
  for (uint32_t i = 1; i <= 2; ++i) {
    tarvik::RegKey server;
    server.Create(parameter, "Server" + std::to_string(i));
    server.SetString("ServerName", "Q410X-1");
    server.SetDword("IPAddress", 127 | 1u << 24);
    server.SetDword("PortNo", 1);
    server.SetDword("TcpPortCmd", static_cast<uint32_t>(targets[i - 1] - 1));
    server.SetDword("DataProtocol", i - 1);
    server.SetDword("ComNo1", i | 1u << 13 | 1u << 20 | 1u << 21);
  }
  write.Commit();
}


}  // namespace

int main(int argc, char** argv) {
  size_t megabytes = 16;
  int rounds = 1000;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--megabytes") megabytes = static_cast<size_t>(std::atol(argv[i + 1]));
    if (a == "--rounds") rounds = std::atoi(argv[i + 1]);
  }
  signal(SIGPIPE, SIG_IGN);
  const std::string ser2net = "/usr/sbin/ser2net";
  if (::access(ser2net.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "ser2net is not installed (%s)\n", ser2net.c_str());
    return 1;
  }
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  std::string dir(self, n > 0 ? static_cast<size_t>(n) : 0);
  dir = dir.substr(0, dir.rfind('/') + 1);
  const std::string driver = dir + "Vonderil.sys";
  char rootTemplate[] = "/tmp/tarvik-ser2net-bench-XXXXXX";
  const std::string root = mkdtemp(rootTemplate);
  setenv("TARVIK_ROOT", root.c_str(), 1);
  tarvik::EnsureStateRoot();

  EchoLine rawLine, rfc2217Line;
  const uint16_t rawPort = FreePort(), rfc2217Port = FreePort();
  const std::string config = root + "/ser2net.yaml";
  {
    std::ofstream yaml(config);
    yaml << "connection: &raw\n"
         << "  accepter: tcp,127.0.0.1," << rawPort << "\n"
         << "  connector: serialdev," << rawLine.Path() << ",115200n81,local\n"
         << "  options:\n    mdns: false\n"
         << "connection: &rfc2217\n"
         << "  accepter: telnet(rfc2217),tcp,127.0.0.1," << rfc2217Port << "\n"
         << "  connector: serialdev," << rfc2217Line.Path() << ",115200n81,local\n"
         << "  options:\n    mdns: false\n";
  }
  const pid_t ser2netPid = Spawn({ser2net, "-n", "-u", "-c", config, "-P", root + "/ser2net.pid"});
  bool up = false;
  for (double end = NowSec() + 10; !up && NowSec() < end; SleepMs(50)) {
    up = Accepts(rawPort) && Accepts(rfc2217Port);
  }
  if (!up) {
    std::fprintf(stderr, "ser2net does not listen on %u and %u\n", rawPort, rfc2217Port);
    Stop(ser2netPid);
    return 1;
  }
  MapPorts(rawPort, rfc2217Port);
  tarvik::RegCloseStore();
  const pid_t driverPid = Spawn({driver, "Vonderil"});
  const std::string com1 = root + "/dev/COM1", com2 = root + "/dev/COM2";
  if (!WaitForPath(com2, 60)) {
    std::fprintf(stderr, "the driver did not publish its ports\n");
    Stop(driverPid);
    Stop(ser2netPid);
    return 1;
  }

  std::printf("ser2net relay bench: %zu MB through one port, %d round trips, ser2net on loopback "
              "serving an echoing pty\n\n",
              megabytes, rounds);
  constexpr int kRuns = 3;
  std::vector<double> rawThroughput, rfcThroughput, rawMedian, rfcMedian, rawP99, rfcP99;
  // CPU seconds of the driver and of ser2net per MB carried.
  std::vector<double> rawDriverCpu, rfcDriverCpu, rawSer2netCpu, rfcSer2netCpu;
  const auto measure = [&](const std::string& com, const char* what, std::vector<double>* rate,
                           std::vector<double>* driverCpu, std::vector<double>* ser2netCpu) {
    const double d0 = CpuSeconds(driverPid), s0 = CpuSeconds(ser2netPid);
    rate->push_back(Throughput(OpenRaw(com), what, megabytes));
    driverCpu->push_back((CpuSeconds(driverPid) - d0) / static_cast<double>(megabytes));
    ser2netCpu->push_back((CpuSeconds(ser2netPid) - s0) / static_cast<double>(megabytes));
  };
  for (int run = 0; run < kRuns; ++run) {
    measure(com1, "raw", &rawThroughput, &rawDriverCpu, &rawSer2netCpu);
    measure(com2, "RFC 2217", &rfcThroughput, &rfcDriverCpu, &rfcSer2netCpu);
    double m, p;
    Latency(OpenRaw(com1), rounds, &m, &p);
    rawMedian.push_back(m);
    rawP99.push_back(p);
    Latency(OpenRaw(com2), rounds, &m, &p);
    rfcMedian.push_back(m);
    rfcP99.push_back(p);
  }
  auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
  const double t = Median(rawThroughput), tr = Median(rfcThroughput);
  const double m = Median(rawMedian), mr = Median(rfcMedian);
  const double p = Median(rawP99), pr = Median(rfcP99);
  std::printf("medians of %d runs each; baseline: raw TCP through the same ser2net\n\n", kRuns);
  std::printf("| measure | raw (baseline) | RFC 2217 | RFC 2217 / raw |\n");
  std::printf("|---|---|---|---|\n");
  std::printf("| throughput, echoed through one port (MB/s each way) | %.2f | %.2f | %.2f |\n", t, tr,
              ratio(tr, t));
  const double dc = Median(rawDriverCpu), dcr = Median(rfcDriverCpu);
  const double sc = Median(rawSer2netCpu), scr = Median(rfcSer2netCpu);
  std::printf("| the driver's CPU per MB carried (ms) | %.1f | %.1f | %.2f |\n", dc * 1e3, dcr * 1e3,
              ratio(dcr, dc));
  std::printf("| ser2net's CPU per MB carried (ms) | %.1f | %.1f | %.2f |\n", sc * 1e3, scr * 1e3,
              ratio(scr, sc));
  std::printf("| 1-byte round trip, median (us) | %.0f | %.0f | %.2f |\n", m, mr, ratio(mr, m));
  std::printf("| 1-byte round trip, p99 (us) | %.0f | %.0f | %.2f |\n", p, pr, ratio(pr, p));

  Stop(driverPid);
  Stop(ser2netPid);
  std::system(("rm -rf " + root).c_str());
  return 0;
}
