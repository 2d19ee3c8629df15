// tarvikctl boot start|stop: what the boot unit runs. "start" starts every
// service of the store whose start type is automatic, the driver first, so
// the COM ports exist after a reboot without anyone opening the utility;
// "stop" stops them again through the service manager, the driver last.
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "status_words.h"
#include "tarvik/clock.h"
#include "tarvik/registry.h"
#include "tarvik/service_manager.h"
#include "tarvik_driver_iface.h"

namespace tarvikctl {
namespace {

constexpr char kServicesKey[] = TKC_SERVICES_KEY;
constexpr int kPolls = 15;
constexpr uint32_t kPollMs = 1000;

// The automatic-start services, the driver first, the rest by name.
std::vector<std::string> AutomaticServices() {
  std::vector<std::string> names;
  tarvik::RegKey services;
  if (services.Open(kServicesKey, tarvik::RegAccess::kRead) != tarvik::kErrorSuccess) return names;
  char name[256];
  for (uint32_t i = 0;; ++i) {
    uint32_t size = sizeof name;
    if (services.EnumKey(i, name, &size) != tarvik::kErrorSuccess) break;
    tarvik::RegKey key;
    uint32_t start = 0;
    if (key.Open(services, name, tarvik::RegAccess::kRead) == tarvik::kErrorSuccess &&
        key.QueryDword("Start", &start) == tarvik::kErrorSuccess &&
        start == tarvik::kServiceAutoStart) {
      names.push_back(name);
    }
  }
  auto driverFirst = [](const std::string& a, const std::string& b) {
    bool da = strcasecmp(a.c_str(), TKC_SERVICE_NAME) == 0;
    bool db = strcasecmp(b.c_str(), TKC_SERVICE_NAME) == 0;
    if (da != db) return da;
    return a < b;
  };
  std::sort(names.begin(), names.end(), driverFirst);
  return names;
}

bool WaitFor(const tarvik::ServiceHandle& service, uint32_t wanted) {
  for (int poll = 0; poll <= kPolls; ++poll) {
    tarvik::ServiceStatus status;
    if (service.QueryStatus(&status) == tarvik::kErrorSuccess && status.currentState == wanted) {
      return true;
    }
    if (poll < kPolls) tarvik::SleepMs(kPollMs);
  }
  return false;
}

// Starts (or stops) one service and waits up to 15 s for it to get there.
bool Control(const tarvik::ScManager& manager, const std::string& name, bool start) {
  tarvik::ServiceHandle service;
  tarvik::LSTATUS rc = service.Open(manager, name, tarvik::kServiceAllAccess);
  if (rc == tarvik::kErrorSuccess) {
    tarvik::ServiceStatus status;
    rc = start ? service.Start() : service.Stop(&status);
    if (rc == tarvik::kErrorServiceAlreadyRunning || rc == tarvik::kErrorServiceNotActive) rc = 0;
  }
  if (rc != tarvik::kErrorSuccess) {
    std::fprintf(stderr, "tarvikctl: %s: cannot %s it: %s\n", name.c_str(), start ? "start" : "stop",
                 tarvik::words::ErrorCode(rc).c_str());
    return false;
  }
  if (!WaitFor(service, start ? tarvik::kServiceRunning : tarvik::kServiceStopped)) {
    std::fprintf(stderr, "tarvikctl: %s: did not %s within %d s\n", name.c_str(),
                 start ? "start" : "stop", kPolls);
    return false;
  }
  std::printf("%s: %s\n", name.c_str(), start ? "running" : "stopped");
  return true;
}

int Boot(const Args& args) {
  if (args.size() != 1 || (args[0] != "start" && args[0] != "stop")) {
    return Fail("usage: tarvikctl boot start|stop");
  }
  const bool start = args[0] == "start";
  if (RequireWritableStore()) return 1;
  tarvik::ScManager manager;
  tarvik::LSTATUS rc = manager.Open(tarvik::kScManagerAllAccess);
  if (rc != tarvik::kErrorSuccess) return Fail("cannot open the service manager: " + tarvik::words::ErrorCode(rc));
  std::vector<std::string> names = AutomaticServices();
  if (!start) std::reverse(names.begin(), names.end());
  bool ok = true;
  for (const std::string& name : names) ok = Control(manager, name, start) && ok;
  if (names.empty()) std::printf("No automatic-start services.\n");
  return ok ? 0 : 1;
}

const TarvikctlCommand kBoot({"boot", "boot start|stop  (the automatic-start services, driver first)", Boot});

}  // namespace
}  // namespace tarvikctl
