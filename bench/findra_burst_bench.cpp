// How a search copes with a burst of replies, and what its receiver thread
// costs. Runs inside the namespace harness with the device simulator:
//
//   tests/netns/run-in-netns.sh [--addr 10.77.N.1/24]... --
//       build/bin/findra_burst_bench build/bin/tarvik-devsim [DEVICES]
//
// Figures, each beside the baseline measured in the same run:
//  - records after one search of 1000 ms against DEVICES devices answering
//    at once, against a plain reader that starts reading only after the
//    requests' pacing, with the default receive buffer (what is lost in the
//    kernel when nobody reads early);
//  - CPU time of the receiver thread per second of search, busy and idle,
//    against a thread that only waits in 1 ms poll() calls.
#include <arpa/inet.h>
#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "../tools/devsim/netns_check.h"
#include "findra.h"
#include "tarvik/clock.h"
#include "tarvik/unique_fd.h"

namespace {

double NowSeconds() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

pid_t StartDevsim(const char* program, int devices, const std::string& folder) {
  std::string file = folder + "/devices.txt";
  std::ofstream out(file);
  for (int i = 1; i <= devices; ++i) {
    char mac[18];
    snprintf(mac, sizeof mac, "02:4E:A7:%02X:%02X:%02X", (i >> 16) & 255, (i >> 8) & 255, i & 255);
    out << "[device]\nname = Q410X-" << i % 9 << "\nmac = " << mac << "\n";
  }
  out.close();
  int ready[2];
  if (pipe(ready) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(ready[1], STDOUT_FILENO);
    execl(program, program, file.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(ready[1]);
  char line[256];
  FILE* in = fdopen(ready[0], "r");
  if (!in || !fgets(line, sizeof line, in)) pid = -1;
  if (in) fclose(in);
  return pid;
}

void StopDevsim(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

// The local addresses a search would use here: 10.77.x.1 on lo.
std::vector<uint32_t> NamespaceAddresses() {
  std::vector<uint32_t> found;
  FILE* p = popen("ip -4 -o addr show dev lo | awk '{print $4}' | cut -d/ -f1", "r");
  char line[64];
  while (p && fgets(line, sizeof line, p)) {
    line[strcspn(line, "\n")] = '\0';
    if (strcmp(line, "127.0.0.1") != 0) found.push_back(inet_addr(line));
  }
  if (p) pclose(p);
  return found;
}

// Baseline: requests paced as the library paces them, and a reader with the
// default buffer that starts only afterwards.
size_t LateReaderBaseline(const std::vector<uint32_t>& addresses) {
  tarvik::UniqueFd listen(socket(AF_INET, SOCK_DGRAM, 0));
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_port = htons(54321);
  if (bind(listen.Get(), reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) return 0;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(57188);
  to.sin_addr.s_addr = INADDR_BROADCAST;
  for (uint32_t a : addresses) {
    tarvik::UniqueFd s(socket(AF_INET, SOCK_DGRAM, 0));
    int on = 1;
    setsockopt(s.Get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = a;
    bind(s.Get(), reinterpret_cast<sockaddr*>(&from), sizeof from);
    usleep(10000);
    sendto(s.Get(), "KORVAXQ410X,00\r", 15, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    usleep(100000);
  }
  std::set<std::string> distinct;
  char buffer[2048];
  double until = NowSeconds() + 1.0;
  while (NowSeconds() < until) {
    pollfd p{listen.Get(), POLLIN, 0};
    if (poll(&p, 1, 10) <= 0) continue;
    ssize_t n = recv(listen.Get(), buffer, sizeof buffer, 0);
    if (n > 0) distinct.insert(std::string(buffer, static_cast<size_t>(n)));
  }
  return distinct.size();
}

// CPU nanoseconds of the library's receiver thread (the one thread of this
// process that is neither main nor ignored); 0 when none runs.
uint64_t ReceiverThreadCpuNs(pid_t mainTid) {
  uint64_t found = 0;
  DIR* d = opendir("/proc/self/task");
  while (dirent* e = d ? readdir(d) : nullptr) {
    if (e->d_name[0] == '.' || atoi(e->d_name) == mainTid) continue;
    std::ifstream in(std::string("/proc/self/task/") + e->d_name + "/schedstat");
    uint64_t ns = 0;
    if (in >> ns) found = ns;
  }
  if (d) closedir(d);
  return found;
}

struct SearchFigures {
  int atReturn;
  int records;
  double cpuMsPerSecond;
};

// A limit above the device count, so that the search ends by its time.
SearchFigures MeasureSearch(unsigned searchMs, int limit = 1000000) {
  SearchFigures f{};
  pid_t mainTid = static_cast<pid_t>(gettid());
  Findra_SetOptions(searchMs, limit);
  if (Findra_BroadcastStart("255.255.255.255", 57188, nullptr) != 0) return f;
  double started = NowSeconds();
  f.atReturn = Findra_GetCount();
  uint64_t cpu = 0;
  double sampled = started;
  while (Findra_GetState() == 1) {
    uint64_t now = ReceiverThreadCpuNs(mainTid);
    if (now) {
      cpu = now;
      sampled = NowSeconds();
    }
    usleep(20000);
  }
  f.records = Findra_GetCount();
  // The thread ran during the sending too (from before started).
  double seconds = sampled - started + 0.11 * Findra_GetLocalIPCount();
  f.cpuMsPerSecond = seconds > 0 ? cpu / 1e6 / seconds : 0;
  return f;
}

double PollOnlyBaselineCpuMsPerSecond() {
  std::atomic<double> result{0};
  std::thread t([&] {
    timespec a, b;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &a);
    double until = NowSeconds() + 2.0;
    while (NowSeconds() < until) poll(nullptr, 0, 1);
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &b);
    result = ((b.tv_sec - a.tv_sec) * 1e3 + (b.tv_nsec - a.tv_nsec) / 1e6) / 2.0;
  });
  t.join();
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: findra_burst_bench TARVIK-DEVSIM [DEVICES]\n");
    return 2;
  }
  std::string why;
  if (!tarvik::OnlyLoopbackNetwork(&why)) {
    fprintf(stderr, "findra_burst_bench: %s\n", why.c_str());
    return 3;
  }
  const int devices = argc > 2 ? atoi(argv[2]) : 1000;
  char folder[] = "/tmp/findra-bench.XXXXXX";
  if (!mkdtemp(folder)) return 1;
  pid_t devsim = StartDevsim(argv[1], devices, folder);
  if (devsim <= 0) {
    fprintf(stderr, "findra_burst_bench: tarvik-devsim did not start\n");
    return 1;
  }
  const std::vector<uint32_t> addresses = NamespaceAddresses();
  printf("devices: %d, local addresses: %zu\n", devices, addresses.size());

  size_t baseline = LateReaderBaseline(addresses);
  printf("baseline (reader starts after pacing, default buffer): %zu of %d recorded\n", baseline,
         devices);

  if (Findra_Init(0) != 0) return 1;
  SearchFigures limited = MeasureSearch(1000, 0);
  printf("findra search 1000 ms, default module limit 1000: %d of %d recorded\n", limited.records,
         devices);
  SearchFigures busy = MeasureSearch(1000);
  printf("findra search 1000 ms: %d of %d recorded (%d already when BroadcastStart returned); "
         "ratio to baseline %.2f\n",
         busy.records, devices, busy.atReturn, baseline ? double(busy.records) / baseline : 0.0);
  StopDevsim(devsim);

  SearchFigures idle = MeasureSearch(3000);
  double pollOnly = PollOnlyBaselineCpuMsPerSecond();
  printf("receiver thread CPU per second of search: busy %.2f ms, idle %.2f ms; "
         "1 ms poll() loop baseline %.2f ms (idle ratio %.2f)\n",
         busy.cpuMsPerSecond, idle.cpuMsPerSecond, pollOnly,
         pollOnly > 0 ? idle.cpuMsPerSecond / pollOnly : 0.0);
  Findra_Close();
  unlink((std::string(folder) + "/devices.txt").c_str());
  rmdir(folder);
  return busy.records == devices ? 0 : 1;
}
