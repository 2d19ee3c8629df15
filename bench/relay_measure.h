// What the relay benches measure with: the clock, a raw pty opened
// non-blocking, echo throughput and 1-byte round trips on a descriptor,
// child processes, and the median of runs.
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace bench {

double NowSec();
void SleepMs(long ms);
// The path opened read-write, non-blocking, raw; -1 when it cannot be.
int OpenRaw(const std::string& path);
bool WaitForPath(const std::string& path, double seconds);
// MB/s of echoed bytes: megabytes written (every byte value, 255 included)
// and the same read back, on fd (a port or a socket), which it closes.
double Throughput(int fd, const std::string& what, size_t megabytes);
// Median and 99th percentile of 1-byte round trips on fd, in microseconds;
// closes fd.
void Latency(int fd, int rounds, double* median, double* p99);
// argv run with its output to /dev/null; Stop ends it with SIGTERM.
pid_t Spawn(const std::vector<std::string>& argv);
void Stop(pid_t pid);
double Median(std::vector<double> v);

}  // namespace bench
