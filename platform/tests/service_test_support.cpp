#include "service_test_support.h"

#include <signal.h>
#include <time.h>

#include <cstdlib>

namespace tarvik {

namespace {

void RealSleepMs(long ms) {
  timespec ts{ms / 1000, (ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

}  // namespace

LSTATUS CreateTestService(const std::string& name, const std::string& program, uint32_t startType) {
  ScManager manager;
  LSTATUS rc = manager.Open(kScManagerAllAccess);
  if (rc != kErrorSuccess) return rc;
  ServiceConfig config;
  config.serviceType = kServiceKernelDriver;
  config.startType = startType;
  config.imagePath = program;
  ServiceHandle service;
  return service.Create(manager, name, config, kServiceAllAccess);
}

ServiceStatus StatusOf(const std::string& name) {
  ServiceStatus status;
  ScManager manager;
  ServiceHandle service;
  if (manager.Open(kScManagerConnect) != kErrorSuccess ||
      service.Open(manager, name, kServiceQueryStatus) != kErrorSuccess ||
      service.QueryStatus(&status) != kErrorSuccess) {
    status.currentState = 0;
  }
  return status;
}

uint32_t WaitForState(const std::string& name, uint32_t state) {
  uint32_t seen = 0;
  for (int i = 0; i < 1000; ++i) {
    seen = StatusOf(name).currentState;
    if (seen == state) break;
    RealSleepMs(10);
  }
  return seen;
}

void SetTestServiceMode(const char* mode) { ::setenv("TARVIK_TEST_SERVICE_MODE", mode, 1); }

void KillService(const std::string& name) {
  ServiceStatus status = StatusOf(name);
  if (status.processId == 0) return;
  ::kill(static_cast<pid_t>(status.processId), SIGKILL);
  WaitForState(name, kServiceStopped);
}

}  // namespace tarvik
