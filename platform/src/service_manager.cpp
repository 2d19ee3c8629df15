#include "tarvik/service_manager.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "service_runtime.h"
#include "tarvik/registry.h"
#include "tarvik/state_root.h"
#include "tarvik/unique_fd.h"

namespace tarvik {

const char kServicesKeyPath[] = "SYSTEM\\CurrentControlSet\\Services";

namespace rt = service_runtime;

namespace {

// Rights that only read the configuration or the status.
constexpr uint32_t kServiceReadRights = kServiceQueryConfig | kServiceQueryStatus |
                                        kServiceInterrogate | 0x8 /* enumerate dependents */ |
                                        0x20000 /* read control */;
constexpr uint32_t kManagerReadRights = kScManagerConnect | kScManagerEnumerateService |
                                        0x10 /* query lock status */ | 0x20000;

// How long a stop request waits for the program to take it.
constexpr uint32_t kStopAckMs = 3000;
// Once the program is stop pending, how much longer to give it to finish.
constexpr uint32_t kStopGraceMs = 500;

bool ValidName(const std::string& name) {
  if (name.empty() || name.size() > 256) return false;
  for (char c : name) {
    if (c == '\\' || c == '/' || static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

std::string KeyPathOf(const std::string& name) { return std::string(kServicesKeyPath) + "\\" + name; }

// Reads the configuration; 1060 when the key is missing or is no service.
LSTATUS ReadConfig(const std::string& name, ServiceConfig* config) {
  RegKey key;
  LSTATUS rc = key.Open(KeyPathOf(name), RegAccess::kRead);
  if (rc == kErrorFileNotFound) return kErrorServiceDoesNotExist;
  if (rc != kErrorSuccess) return rc;
  ServiceConfig c;
  if (key.QueryDword("Type", &c.serviceType) != kErrorSuccess) return kErrorServiceDoesNotExist;
  char text[4096];
  if (key.QueryString("ImagePath", text, sizeof text) != kErrorSuccess || text[0] == '\0') {
    return kErrorServiceDoesNotExist;
  }
  c.imagePath = text;
  if (key.QueryDword("Start", &c.startType) != kErrorSuccess) c.startType = kServiceDemandStart;
  if (key.QueryDword("ErrorControl", &c.errorControl) != kErrorSuccess) {
    c.errorControl = kServiceErrorNormal;
  }
  if (key.QueryString("DisplayName", text, sizeof text) == kErrorSuccess) c.displayName = text;
  *config = c;
  return kErrorSuccess;
}

uint64_t NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

// The state of a service from its run files.
ServiceStatus CurrentStatus(const std::string& name, uint32_t serviceType) {
  ServiceStatus s;
  s.serviceType = serviceType;
  rt::RunFiles files = rt::FilesOf(name);
  pid_t pid = rt::LivePid(files);
  uint32_t reported = pid ? rt::ReportedState(files, pid) : 0;
  if (pid == 0 || reported == kServiceStopped) {
    s.currentState = kServiceStopped;
    // A program that went away without saying so was killed or crashed.
    if (pid == 0 && rt::EndedUnreported(files)) s.win32ExitCode = kErrorProcessAborted;
    return s;
  }
  s.processId = static_cast<uint32_t>(pid);
  s.currentState = reported ? reported : kServiceStartPending;
  if (s.currentState == kServiceRunning) s.controlsAccepted = kServiceAcceptStop;
  return s;
}

}  // namespace

// ---- ScManager ----

ScManager::ScManager(ScManager&& other) noexcept : access_(std::exchange(other.access_, 0)) {}

ScManager& ScManager::operator=(ScManager&& other) noexcept {
  access_ = std::exchange(other.access_, 0);
  return *this;
}

LSTATUS ScManager::Open(uint32_t access) {
  Close();
  if (access == 0) return kErrorInvalidParameter;
  RegKey services;
  LSTATUS rc;
  if ((access & ~kManagerReadRights) == 0) {
    rc = services.Open(kServicesKeyPath, RegAccess::kRead);
    if (rc == kErrorFileNotFound) rc = kErrorSuccess;  // no services yet
  } else {
    // Asking to change the service database needs a store we may write.
    rc = services.Create(kServicesKeyPath);
  }
  if (rc != kErrorSuccess) return rc;
  access_ = access;
  return kErrorSuccess;
}

// ---- ServiceHandle ----

ServiceHandle::ServiceHandle(ServiceHandle&& other) noexcept
    : name_(std::exchange(other.name_, std::string())), access_(std::exchange(other.access_, 0)) {}

ServiceHandle& ServiceHandle::operator=(ServiceHandle&& other) noexcept {
  name_ = std::exchange(other.name_, std::string());
  access_ = std::exchange(other.access_, 0);
  return *this;
}

void ServiceHandle::Close() {
  name_.clear();
  access_ = 0;
}

LSTATUS ServiceHandle::Open(const ScManager& manager, const std::string& name, uint32_t access) {
  Close();
  if (!manager.IsOpen()) return kErrorInvalidHandle;
  if (!ValidName(name)) return kErrorInvalidName;
  if (access == 0) return kErrorInvalidParameter;
  ServiceConfig config;
  LSTATUS rc = ReadConfig(name, &config);
  if (rc != kErrorSuccess) return rc;
  if ((access & ~kServiceReadRights) != 0) {
    RegKey key;
    rc = key.Open(KeyPathOf(name), RegAccess::kFullAccess);
    if (rc != kErrorSuccess) return rc;
  }
  name_ = name;
  access_ = access;
  return kErrorSuccess;
}

LSTATUS ServiceHandle::Create(const ScManager& manager, const std::string& name,
                              const ServiceConfig& config, uint32_t access) {
  Close();
  if (!manager.IsOpen()) return kErrorInvalidHandle;
  if ((manager.Access() & kScManagerCreateService) == 0) return kErrorAccessDenied;
  if (!ValidName(name)) return kErrorInvalidName;
  if (access == 0 || config.imagePath.empty() ||
      (config.serviceType != kServiceKernelDriver && config.serviceType != kServiceWin32OwnProcess) ||
      config.startType > kServiceDisabled || config.errorControl > kServiceErrorCritical) {
    return kErrorInvalidParameter;
  }
  RegTransaction transaction;
  if (transaction.Status() != kErrorSuccess) return transaction.Status();
  ServiceConfig existing;
  LSTATUS rc = ReadConfig(name, &existing);
  if (rc == kErrorSuccess) return kErrorServiceExists;
  if (rc != kErrorServiceDoesNotExist) return rc;
  RegKey key;
  rc = key.Create(KeyPathOf(name));
  if (rc != kErrorSuccess) return rc;
  LSTATUS writes[] = {
      key.SetDword("Type", config.serviceType),
      key.SetDword("Start", config.startType),
      key.SetDword("ErrorControl", config.errorControl),
      key.SetString("ImagePath", config.imagePath.c_str(), kRegExpandSz),
      key.SetString("DisplayName", config.displayName.c_str()),
  };
  for (LSTATUS w : writes) {
    if (w != kErrorSuccess) return w;
  }
  key.Close();
  rc = transaction.Commit();
  if (rc != kErrorSuccess) return rc;
  name_ = name;
  access_ = access;
  return kErrorSuccess;
}

LSTATUS ServiceHandle::QueryConfig(ServiceConfig* config) const {
  if (!IsOpen()) return kErrorInvalidHandle;
  if ((access_ & kServiceQueryConfig) == 0) return kErrorAccessDenied;
  return ReadConfig(name_, config);
}

LSTATUS ServiceHandle::QueryStatus(ServiceStatus* status) const {
  if (!IsOpen()) return kErrorInvalidHandle;
  if ((access_ & kServiceQueryStatus) == 0) return kErrorAccessDenied;
  ServiceConfig config;
  LSTATUS rc = ReadConfig(name_, &config);
  if (rc != kErrorSuccess) return rc;
  *status = CurrentStatus(name_, config.serviceType);
  return kErrorSuccess;
}

LSTATUS ServiceHandle::Start() {
  if (!IsOpen()) return kErrorInvalidHandle;
  if ((access_ & kServiceStart) == 0) return kErrorAccessDenied;
  ServiceConfig config;
  LSTATUS rc = ReadConfig(name_, &config);
  if (rc != kErrorSuccess) return rc;
  if (config.startType == kServiceDisabled) return kErrorServiceDisabled;
  std::string runDir = RunDirectory();
  if (::mkdir(runDir.c_str(), 0755) != 0 && errno != EEXIST) {
    return errno == EACCES || errno == EROFS ? kErrorAccessDenied : kErrorPathNotFound;
  }
  rt::RunFiles files = rt::FilesOf(name_);
  // Two callers starting the same service at once must not run it twice.
  UniqueFd lock(::open(files.lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
  if (!lock.Valid()) return errno == EACCES || errno == EROFS ? kErrorAccessDenied : kErrorPathNotFound;
  while (::flock(lock.Get(), LOCK_EX) != 0 && errno == EINTR) {
  }
  if (CurrentStatus(name_, config.serviceType).currentState != kServiceStopped) {
    return kErrorServiceAlreadyRunning;
  }
  // The previous run's report must not speak for the new process.
  ::unlink(files.state.c_str());
  pid_t pid = 0;
  rc = rt::Spawn(MapPath(config.imagePath), name_, StateRoot(), files, &pid);
  if (rc != kErrorSuccess) return rc;
  // A program that is gone already gets start time 0, which never matches:
  // the service reads as stopped, and as aborted unless it said stopped.
  uint64_t started = rt::ProcessStartTime(pid);
  return rt::WriteFileAtomic(files.pid, std::to_string(pid) + " " + std::to_string(started) + "\n");
}

LSTATUS ServiceHandle::Stop(ServiceStatus* status) {
  if (!IsOpen()) return kErrorInvalidHandle;
  if ((access_ & kServiceStop) == 0) return kErrorAccessDenied;
  ServiceConfig config;
  LSTATUS rc = ReadConfig(name_, &config);
  if (rc != kErrorSuccess) return rc;
  ServiceStatus s = CurrentStatus(name_, config.serviceType);
  *status = s;
  if (s.currentState == kServiceStopped) return kErrorServiceNotActive;
  if (s.currentState == kServiceStartPending || s.currentState == kServiceStopPending) {
    return kErrorServiceCannotAcceptCtrl;
  }
  pid_t pid = static_cast<pid_t>(s.processId);
  if (kill(pid, SIGTERM) != 0) {
    if (errno == EPERM) return kErrorAccessDenied;
  }
  // Like a control handler's reply: wait until the program has taken the
  // request (left running) or gone, then report where it stands.
  uint64_t deadline = NowMs() + kStopAckMs;
  bool graceGiven = false;
  for (;;) {
    s = CurrentStatus(name_, config.serviceType);
    if (s.currentState == kServiceStopped) break;
    uint64_t now = NowMs();
    if (s.currentState != kServiceRunning && !graceGiven) {
      graceGiven = true;
      if (now + kStopGraceMs < deadline) deadline = now + kStopGraceMs;
    }
    if (now >= deadline) break;
    rt::WaitForExit(pid, static_cast<uint32_t>(std::min<uint64_t>(10, deadline - now)));
  }
  *status = s;
  return kErrorSuccess;
}

LSTATUS ReportServiceState(const std::string& name, uint32_t state) {
  if (!ValidName(name) || state < kServiceStopped || state > kServicePaused) {
    return kErrorInvalidParameter;
  }
  std::string runDir = RunDirectory();
  if (::mkdir(runDir.c_str(), 0755) != 0 && errno != EEXIST) {
    return errno == EACCES || errno == EROFS ? kErrorAccessDenied : kErrorPathNotFound;
  }
  return rt::WriteFileAtomic(rt::FilesOf(name).state,
                             std::to_string(getpid()) + " " + std::to_string(state) + "\n");
}

}  // namespace tarvik
