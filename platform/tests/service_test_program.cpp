// A service program for the service-manager tests. What it does is chosen by
// TARVIK_TEST_SERVICE_MODE (inherited from the test that starts it):
//   steady        start pending, running; on SIGTERM stop pending, stopped
//   never-runs    start pending, then waits for ever
//   dies-starting start pending, then exits without another report
//   never-stops   running; on SIGTERM stop pending for ever
//   silent        never reports
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tarvik/service_manager.h"
#include "tarvik/state_root.h"

namespace {

int WaitForTerm() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigprocmask(SIG_BLOCK, &set, nullptr);
  int sig = 0;
  while (sigwait(&set, &sig) != 0) {
  }
  return sig;
}

[[noreturn]] void WaitForEver() {
  for (;;) pause();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string name = argv[1];
  const char* env = std::getenv("TARVIK_TEST_SERVICE_MODE");
  const std::string mode = env ? env : "steady";
  std::printf("argument=%s root=%s mode=%s\n", name.c_str(), tarvik::StateRoot().c_str(),
              mode.c_str());
  std::fflush(stdout);
  using namespace tarvik;
  if (mode == "silent") WaitForEver();
  if (mode == "never-stops") {
    ReportServiceState(name, kServiceRunning);
    WaitForTerm();
    ReportServiceState(name, kServiceStopPending);
    WaitForEver();
  }
  ReportServiceState(name, kServiceStartPending);
  if (mode == "dies-starting") return 3;
  if (mode == "never-runs") WaitForEver();
  ReportServiceState(name, kServiceRunning);
  WaitForTerm();
  ReportServiceState(name, kServiceStopPending);
  ReportServiceState(name, kServiceStopped);
  return 0;
}
