// The service manager: installs, starts, stops and queries services, with
// calls shaped like the Windows service control manager calls the suite
// uses (open the manager, open / create a service, query its status, start,
// send stop, close).
//
// How it works
// - A service's configuration lives in the registry store under
//   SYSTEM\CurrentControlSet\Services\<name>: "Type", "Start",
//   "ErrorControl", "ImagePath" and "DisplayName". A key that lacks "Type"
//   or "ImagePath" is not a service (the driver's Parameter key may exist
//   before its service does).
// - Starting a service runs the program named by "ImagePath" (backslashes
//   mapped to slashes) detached from the caller, in its own session, with
//   the service name as its one argument and TARVIK_ROOT set to the current
//   state root. Its standard output and error go to run/<name>.log.
// - The program reports its states with ReportServiceState(), which keeps
//   them in run/<name>.state; the manager keeps the pid in run/<name>.pid.
//   A program that has not reported yet is start pending. A pid that no
//   longer lives (or now belongs to another process) reads as stopped, so
//   a program that dies, even while starting, leaves its service stopped.
// - A stop request is a SIGTERM. The call waits briefly (at most 3 s) for
//   the program to take the request and reports the state it reached.
// - Access control is the registry store's: where the store may not be
//   written, every open that asks for more than reading gives 5.
// - Results are Windows error codes: 0, 2 (program file missing),
//   5 (access denied), 6 (handle not open), 87 (bad argument), 123 (bad
//   service name), 193 (not a program), 1056, 1058, 1060, 1061, 1062, 1073
//   (see below), 1016 (store failure).
// - Handles are RAII objects and close on every path. Any thread may call;
//   one handle belongs to one thread at a time.
#pragma once
#include <cstdint>
#include <string>

#include "tarvik/win_errors.h"

namespace tarvik {

constexpr LSTATUS kErrorInvalidName = 123;               // ERROR_INVALID_NAME
constexpr LSTATUS kErrorBadExeFormat = 193;              // ERROR_BAD_EXE_FORMAT
constexpr LSTATUS kErrorServiceRequestTimeout = 1053;    // ERROR_SERVICE_REQUEST_TIMEOUT
constexpr LSTATUS kErrorServiceAlreadyRunning = 1056;    // ERROR_SERVICE_ALREADY_RUNNING
constexpr LSTATUS kErrorServiceDisabled = 1058;          // ERROR_SERVICE_DISABLED
constexpr LSTATUS kErrorServiceDoesNotExist = 1060;      // ERROR_SERVICE_DOES_NOT_EXIST
constexpr LSTATUS kErrorServiceCannotAcceptCtrl = 1061;  // ERROR_SERVICE_CANNOT_ACCEPT_CTRL
constexpr LSTATUS kErrorServiceNotActive = 1062;         // ERROR_SERVICE_NOT_ACTIVE
constexpr LSTATUS kErrorProcessAborted = 1067;           // ERROR_PROCESS_ABORTED
constexpr LSTATUS kErrorServiceExists = 1073;            // ERROR_SERVICE_EXISTS

// Service types, start types and error control, with their Windows numbers.
constexpr uint32_t kServiceKernelDriver = 0x1;
constexpr uint32_t kServiceWin32OwnProcess = 0x10;
constexpr uint32_t kServiceBootStart = 0;
constexpr uint32_t kServiceSystemStart = 1;
constexpr uint32_t kServiceAutoStart = 2;
constexpr uint32_t kServiceDemandStart = 3;
constexpr uint32_t kServiceDisabled = 4;
constexpr uint32_t kServiceErrorIgnore = 0;
constexpr uint32_t kServiceErrorNormal = 1;
constexpr uint32_t kServiceErrorSevere = 2;
constexpr uint32_t kServiceErrorCritical = 3;

// Service states.
constexpr uint32_t kServiceStopped = 1;
constexpr uint32_t kServiceStartPending = 2;
constexpr uint32_t kServiceStopPending = 3;
constexpr uint32_t kServiceRunning = 4;
constexpr uint32_t kServiceContinuePending = 5;
constexpr uint32_t kServicePausePending = 6;
constexpr uint32_t kServicePaused = 7;

// Controls a service accepts (controlsAccepted).
constexpr uint32_t kServiceAcceptStop = 0x1;

// Access rights of the manager and of a service.
constexpr uint32_t kScManagerConnect = 0x1;
constexpr uint32_t kScManagerCreateService = 0x2;
constexpr uint32_t kScManagerEnumerateService = 0x4;
constexpr uint32_t kScManagerAllAccess = 0xF003F;
constexpr uint32_t kServiceQueryConfig = 0x1;
constexpr uint32_t kServiceChangeConfig = 0x2;
constexpr uint32_t kServiceQueryStatus = 0x4;
constexpr uint32_t kServiceStart = 0x10;
constexpr uint32_t kServiceStop = 0x20;
constexpr uint32_t kServiceInterrogate = 0x80;
constexpr uint32_t kServiceAllAccess = 0xF01FF;

struct ServiceStatus {
  uint32_t serviceType = 0;
  uint32_t currentState = 0;      // 1..7
  uint32_t controlsAccepted = 0;  // kServiceAcceptStop while running
  uint32_t win32ExitCode = 0;     // 1067 when the program died without reporting stopped
  uint32_t processId = 0;         // 0 while stopped
};

struct ServiceConfig {
  uint32_t serviceType = kServiceKernelDriver;
  uint32_t startType = kServiceDemandStart;
  uint32_t errorControl = kServiceErrorNormal;
  std::string imagePath;    // Windows form allowed ("...\Drivers\x.sys")
  std::string displayName;  // may be empty
};

class ScManager {
 public:
  ScManager() = default;
  ~ScManager() { Close(); }
  ScManager(ScManager&& other) noexcept;
  ScManager& operator=(ScManager&& other) noexcept;
  ScManager(const ScManager&) = delete;
  ScManager& operator=(const ScManager&) = delete;

  // Opens the manager. Connect access needs only a readable store; more
  // (create service, all access) needs a writable one, else 5. 1016 when
  // the store cannot be used.
  LSTATUS Open(uint32_t access);
  void Close() { access_ = 0; }
  bool IsOpen() const { return access_ != 0; }
  uint32_t Access() const { return access_; }

 private:
  uint32_t access_ = 0;
};

class ServiceHandle {
 public:
  ServiceHandle() = default;
  ~ServiceHandle() { Close(); }
  ServiceHandle(ServiceHandle&& other) noexcept;
  ServiceHandle& operator=(ServiceHandle&& other) noexcept;
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;

  // Opens the service by name (case-insensitive). 6 manager not open,
  // 123 bad name, 1060 no such service, 5 write access asked of a read-only
  // store.
  LSTATUS Open(const ScManager& manager, const std::string& name, uint32_t access);
  // Creates the service (an existing key that is no service yet keeps its
  // subkeys). 5 manager lacks create access or store read-only, 87 bad
  // type / start type / error control / empty image path, 123 bad name,
  // 1073 the service exists already.
  LSTATUS Create(const ScManager& manager, const std::string& name, const ServiceConfig& config,
                 uint32_t access);
  void Close();
  bool IsOpen() const { return !name_.empty(); }
  const std::string& Name() const { return name_; }

  // 5 without query access; 1060 when the service was deleted meanwhile.
  LSTATUS QueryStatus(ServiceStatus* status) const;
  LSTATUS QueryConfig(ServiceConfig* config) const;
  // Runs the service's program. 5 without start access, 1056 it runs
  // already, 1058 start type disabled, 2 / 5 / 193 the program file is
  // missing / not executable / no program.
  LSTATUS Start();
  // Sends the stop request and fills *status with the state reached (also
  // on failure). 5 without stop access, 1062 not running, 1061 the service
  // is start or stop pending.
  LSTATUS Stop(ServiceStatus* status);

 private:
  std::string name_;
  uint32_t access_ = 0;
};

// For the service's own program: records the state it has reached (1..7)
// for the service of that name. 87 for another state; 5 or 1016 when the
// state file cannot be written.
LSTATUS ReportServiceState(const std::string& name, uint32_t state);

// SYSTEM\CurrentControlSet\Services
extern const char kServicesKeyPath[];

}  // namespace tarvik
