#include "driver_link.h"

#include "tarvik/clock.h"
#include "tarvik_driver_iface.h"
#include "tarvik/service_manager.h"
#include "tarvik/state_root.h"

namespace tarvikcfg {

namespace {

constexpr char kServiceName[] = TKC_SERVICE_NAME;
constexpr int kPolls = 15;
constexpr uint32_t kPollMs = 1000;
constexpr uint16_t kCheckStopped = 2;
constexpr uint16_t kCheckRunning = 3;

// Opens manager and service for a start or stop request.
uint16_t OpenForControl(tarvik::ScManager* manager, tarvik::ServiceHandle* service) {
  if (manager->Open(tarvik::kScManagerAllAccess) != tarvik::kErrorSuccess) {
    return kDriverManagerNotOpened;
  }
  if (service->Open(*manager, kServiceName, tarvik::kServiceAllAccess) != tarvik::kErrorSuccess) {
    return kDriverServiceNotOpened;
  }
  return kDriverOk;
}

bool QueryState(const tarvik::ServiceHandle& service, uint32_t* state) {
  tarvik::ServiceStatus status;
  if (service.QueryStatus(&status) != tarvik::kErrorSuccess) return false;
  *state = status.currentState;
  return true;
}

}  // namespace

uint16_t DriverServiceCheck() {
  tarvik::ScManager manager;
  if (manager.Open(tarvik::kScManagerAllAccess) != tarvik::kErrorSuccess) {
    return kDriverManagerNotOpened;
  }
  tarvik::ServiceHandle service;
  if (service.Open(manager, kServiceName, tarvik::kServiceAllAccess) != tarvik::kErrorSuccess) {
    // A driver whose file is installed but whose service was never
    // registered gets its service now; the caller starts it next time.
    tarvik::ServiceConfig config;
    config.serviceType = TKC_SERVICE_TYPE_KERNEL_DRIVER;
    config.startType = TKC_SERVICE_START_AUTO;
    config.errorControl = TKC_SERVICE_ERROR_NORMAL;
    config.imagePath = tarvik::SystemDirectory() + TKC_DRIVER_FILE;
    config.displayName = TKC_SERVICE_DISPLAY_NAME;
    tarvik::ServiceHandle created;
    created.Create(manager, kServiceName, config, tarvik::kServiceAllAccess);
    return kDriverServiceNotOpened;
  }
  uint32_t state = 0;
  return QueryState(service, &state) && state == tarvik::kServiceRunning ? kCheckRunning
                                                                          : kCheckStopped;
}

uint16_t DriverInit() {
  uint16_t check = DriverServiceCheck();
  if (check == kCheckRunning) return kDriverOk;
  if (check != kCheckStopped) return check;

  tarvik::ScManager manager;
  tarvik::ServiceHandle service;
  uint16_t rc = OpenForControl(&manager, &service);
  if (rc != kDriverOk) return rc;
  if (service.Start() != tarvik::kErrorSuccess) return kDriverStartFailed;
  for (int poll = 0; poll < kPolls; ++poll) {
    tarvik::SleepMs(kPollMs);
    uint32_t state = 0;
    if (QueryState(service, &state) && state == tarvik::kServiceRunning) return kDriverOk;
  }
  return kDriverTimedOut;
}

uint16_t DriverClose() {
  uint16_t check = DriverServiceCheck();
  if (check == kCheckStopped) return kDriverOk;
  if (check != kCheckRunning) return check;

  tarvik::ScManager manager;
  tarvik::ServiceHandle service;
  uint16_t rc = OpenForControl(&manager, &service);
  if (rc != kDriverOk) return rc;
  tarvik::ServiceStatus status;
  if (service.Stop(&status) != tarvik::kErrorSuccess) return kDriverStopFailed;
  if (status.currentState == tarvik::kServiceStopped) return kDriverOk;
  for (int poll = 0; poll < kPolls; ++poll) {
    uint32_t state = 0;
    if (!QueryState(service, &state)) break;
    tarvik::SleepMs(kPollMs);
    if (state == tarvik::kServiceStopped) return kDriverOk;
  }
  return kDriverTimedOut;
}

}  // namespace tarvikcfg
