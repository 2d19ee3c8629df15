#include "tarvik/service_manager.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "service_test_support.h"
#include "tarvik/registry.h"
#include "tarvik/state_root.h"
#include "temp_root.h"

namespace tarvik {
namespace {

const char kProgram[] = TEST_SERVICE_PROGRAM;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const std::string& path, const std::string& text, mode_t mode) {
  std::ofstream(path) << text;
  ::chmod(path.c_str(), mode);
}

class ServiceManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(EnsureStateRoot());
    SetTestServiceMode("steady");
  }
  void TearDown() override { ::unsetenv("TARVIK_TEST_SERVICE_MODE"); }

  // Opens the service with the given access (manager with all access).
  LSTATUS OpenService(const std::string& name, uint32_t access, ServiceHandle* service) {
    LSTATUS rc = manager_.Open(kScManagerAllAccess);
    if (rc != kErrorSuccess) return rc;
    return service->Open(manager_, name, access);
  }

  TempStateRoot root_;
  ScManager manager_;
};

TEST_F(ServiceManagerTest, CreateWritesTheConfigurationWhereTheRegistryKeepsIt) {
  ASSERT_EQ(manager_.Open(kScManagerAllAccess), kErrorSuccess);
  ServiceConfig config;
  config.serviceType = kServiceKernelDriver;
  config.startType = kServiceAutoStart;
  config.errorControl = kServiceErrorNormal;
  config.imagePath = "C:\\x\\Drivers\\Demo.sys";
  ServiceHandle service;
  ASSERT_EQ(service.Create(manager_, "Demo", config, kServiceAllAccess), kErrorSuccess);

  RegKey key;
  ASSERT_EQ(key.Open("SYSTEM\\CurrentControlSet\\Services\\Demo", RegAccess::kRead), kErrorSuccess);
  uint32_t value = 0;
  EXPECT_EQ(key.QueryDword("Type", &value), kErrorSuccess);
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(key.QueryDword("Start", &value), kErrorSuccess);
  EXPECT_EQ(value, 2u);
  EXPECT_EQ(key.QueryDword("ErrorControl", &value), kErrorSuccess);
  EXPECT_EQ(value, 1u);
  char text[64];
  uint32_t type = 0, length = sizeof text;
  EXPECT_EQ(key.QueryValue("ImagePath", &type, text, &length), kErrorSuccess);
  EXPECT_EQ(type, kRegExpandSz);
  EXPECT_STREQ(text, "C:\\x\\Drivers\\Demo.sys");
  length = sizeof text;
  EXPECT_EQ(key.QueryValue("DisplayName", &type, text, &length), kErrorSuccess);
  EXPECT_EQ(length, 1u);  // empty, with its NUL

  // Names are case-insensitive: the same service cannot be made twice.
  ServiceHandle again;
  EXPECT_EQ(again.Create(manager_, "DEMO", config, kServiceAllAccess), kErrorServiceExists);
  ServiceHandle opened;
  ASSERT_EQ(opened.Open(manager_, "demo", kServiceQueryConfig), kErrorSuccess);
  ServiceConfig read;
  ASSERT_EQ(opened.QueryConfig(&read), kErrorSuccess);
  EXPECT_EQ(read.startType, kServiceAutoStart);
  EXPECT_EQ(read.imagePath, config.imagePath);
}

TEST_F(ServiceManagerTest, AKeyWithoutTypeAndImagePathIsNoServiceAndKeepsItsSubkeys) {
  RegKey parameter;
  ASSERT_EQ(parameter.Create("SYSTEM\\CurrentControlSet\\Services\\Demo\\Parameter"), kErrorSuccess);
  ASSERT_EQ(parameter.SetDword("Servers", 3), kErrorSuccess);
  parameter.Close();

  ASSERT_EQ(manager_.Open(kScManagerAllAccess), kErrorSuccess);
  ServiceHandle service;
  EXPECT_EQ(service.Open(manager_, "Demo", kServiceAllAccess), kErrorServiceDoesNotExist);
  EXPECT_FALSE(service.IsOpen());

  ServiceConfig config;
  config.imagePath = kProgram;
  ASSERT_EQ(service.Create(manager_, "Demo", config, kServiceAllAccess), kErrorSuccess);
  uint32_t servers = 0;
  ASSERT_EQ(parameter.Open("SYSTEM\\CurrentControlSet\\Services\\Demo\\Parameter", RegAccess::kRead),
            kErrorSuccess);
  EXPECT_EQ(parameter.QueryDword("Servers", &servers), kErrorSuccess);
  EXPECT_EQ(servers, 3u);
}

TEST_F(ServiceManagerTest, RefusesBadNamesArgumentsAndClosedHandles) {
  ServiceHandle service;
  ServiceStatus status;
  EXPECT_EQ(service.Open(manager_, "Demo", kServiceAllAccess), kErrorInvalidHandle);
  EXPECT_EQ(service.QueryStatus(&status), kErrorInvalidHandle);
  EXPECT_EQ(service.Start(), kErrorInvalidHandle);
  ASSERT_EQ(manager_.Open(kScManagerAllAccess), kErrorSuccess);
  EXPECT_EQ(service.Open(manager_, "", kServiceAllAccess), kErrorInvalidName);
  EXPECT_EQ(service.Open(manager_, "a\\b", kServiceAllAccess), kErrorInvalidName);
  EXPECT_EQ(service.Open(manager_, "../x", kServiceAllAccess), kErrorInvalidName);
  EXPECT_EQ(service.Open(manager_, "Missing", kServiceAllAccess), kErrorServiceDoesNotExist);

  ServiceConfig config;
  EXPECT_EQ(service.Create(manager_, "Demo", config, kServiceAllAccess), kErrorInvalidParameter);
  config.imagePath = kProgram;
  config.startType = 5;
  EXPECT_EQ(service.Create(manager_, "Demo", config, kServiceAllAccess), kErrorInvalidParameter);

  ScManager connectOnly;
  ASSERT_EQ(connectOnly.Open(kScManagerConnect), kErrorSuccess);
  config.startType = kServiceDemandStart;
  EXPECT_EQ(service.Create(connectOnly, "Demo", config, kServiceAllAccess), kErrorAccessDenied);
}

TEST_F(ServiceManagerTest, StartRunsTheProgramDetachedAndStopEndsIt) {
  ASSERT_EQ(CreateTestService("Demo", kProgram), kErrorSuccess);
  ServiceReaper reaper("Demo");
  ServiceHandle service;
  ASSERT_EQ(OpenService("Demo", kServiceAllAccess, &service), kErrorSuccess);
  ServiceStatus status;
  ASSERT_EQ(service.QueryStatus(&status), kErrorSuccess);
  EXPECT_EQ(status.currentState, kServiceStopped);
  EXPECT_EQ(service.Stop(&status), kErrorServiceNotActive);

  ASSERT_EQ(service.Start(), kErrorSuccess);
  ASSERT_EQ(WaitForState("Demo", kServiceRunning), kServiceRunning);
  ASSERT_EQ(service.QueryStatus(&status), kErrorSuccess);
  EXPECT_EQ(status.serviceType, kServiceKernelDriver);
  EXPECT_EQ(status.controlsAccepted, kServiceAcceptStop);
  EXPECT_NE(status.processId, 0u);
  // Detached: the program runs in a session of its own.
  EXPECT_NE(getsid(static_cast<pid_t>(status.processId)), getsid(0));
  EXPECT_NE(getsid(static_cast<pid_t>(status.processId)), -1);
  EXPECT_EQ(service.Start(), kErrorServiceAlreadyRunning);

  ASSERT_EQ(service.Stop(&status), kErrorSuccess);
  EXPECT_EQ(status.currentState, kServiceStopped);
  EXPECT_EQ(status.win32ExitCode, 0u);
  EXPECT_EQ(WaitForState("Demo", kServiceStopped), kServiceStopped);

  // The program got the service name and the caller's state root, and its
  // output went to the service's log.
  std::string log = ReadFile(RunDirectory() + "/demo.log");
  EXPECT_NE(log.find("argument=Demo root=" + root_.Path() + " "), std::string::npos) << log;

  // A second run starts afresh.
  ASSERT_EQ(service.Start(), kErrorSuccess);
  EXPECT_EQ(WaitForState("Demo", kServiceRunning), kServiceRunning);
}

TEST_F(ServiceManagerTest, StartsAtTheSameTimeRunTheProgramOnce) {
  SetTestServiceMode("never-runs");
  ASSERT_EQ(CreateTestService("Demo", kProgram), kErrorSuccess);
  ServiceReaper reaper("Demo");
  LSTATUS results[4] = {};
  std::vector<std::thread> callers;
  for (LSTATUS& result : results) {
    callers.emplace_back([&result] {
      ScManager manager;
      ServiceHandle service;
      result = manager.Open(kScManagerAllAccess);
      if (result == kErrorSuccess) result = service.Open(manager, "Demo", kServiceStart);
      if (result == kErrorSuccess) result = service.Start();
    });
  }
  for (auto& t : callers) t.join();
  int started = 0;
  for (LSTATUS result : results) {
    if (result == kErrorSuccess) {
      ++started;
    } else {
      EXPECT_EQ(result, kErrorServiceAlreadyRunning);
    }
  }
  EXPECT_EQ(started, 1);
  std::string log = ReadFile(RunDirectory() + "/demo.log");
  EXPECT_EQ(log.find("argument="), log.rfind("argument=")) << log;
}

TEST_F(ServiceManagerTest, AKilledProgramReadsAsStopped) {
  ASSERT_EQ(CreateTestService("Demo", kProgram), kErrorSuccess);
  ServiceReaper reaper("Demo");
  ServiceHandle service;
  ASSERT_EQ(OpenService("Demo", kServiceAllAccess, &service), kErrorSuccess);
  ASSERT_EQ(service.Start(), kErrorSuccess);
  ASSERT_EQ(WaitForState("Demo", kServiceRunning), kServiceRunning);
  ServiceStatus status;
  ASSERT_EQ(service.QueryStatus(&status), kErrorSuccess);
  ASSERT_EQ(::kill(static_cast<pid_t>(status.processId), SIGKILL), 0);

  EXPECT_EQ(WaitForState("Demo", kServiceStopped), kServiceStopped);
  ASSERT_EQ(service.QueryStatus(&status), kErrorSuccess);
  EXPECT_EQ(status.processId, 0u);
  EXPECT_EQ(status.win32ExitCode, static_cast<uint32_t>(kErrorProcessAborted));
  EXPECT_EQ(service.Stop(&status), kErrorServiceNotActive);
  ASSERT_EQ(service.Start(), kErrorSuccess);
  EXPECT_EQ(WaitForState("Demo", kServiceRunning), kServiceRunning);
}

TEST_F(ServiceManagerTest, AProgramThatDiesWhileStartingLeavesTheServiceStopped) {
  SetTestServiceMode("dies-starting");
  ASSERT_EQ(CreateTestService("Demo", kProgram), kErrorSuccess);
  ServiceHandle service;
  ASSERT_EQ(OpenService("Demo", kServiceAllAccess, &service), kErrorSuccess);
  ASSERT_EQ(service.Start(), kErrorSuccess);
  EXPECT_EQ(WaitForState("Demo", kServiceStopped), kServiceStopped);
  ServiceStatus status;
  ASSERT_EQ(service.QueryStatus(&status), kErrorSuccess);
  EXPECT_EQ(status.win32ExitCode, static_cast<uint32_t>(kErrorProcessAborted));
}

TEST_F(ServiceManagerTest, PendingStatesRefuseTheStopControl) {
  for (const char* mode : {"silent", "never-runs"}) {
    SCOPED_TRACE(mode);
    SetTestServiceMode(mode);
    ASSERT_EQ(CreateTestService(mode, kProgram), kErrorSuccess);
    ServiceReaper reaper(mode);
    ServiceHandle service;
    ASSERT_EQ(OpenService(mode, kServiceAllAccess, &service), kErrorSuccess);
    ASSERT_EQ(service.Start(), kErrorSuccess);
    // Before its first report and after it, the program is start pending.
    ServiceStatus status;
    ASSERT_EQ(service.QueryStatus(&status), kErrorSuccess);
    EXPECT_EQ(status.currentState, kServiceStartPending);
    EXPECT_EQ(status.controlsAccepted, 0u);
    EXPECT_EQ(service.Stop(&status), kErrorServiceCannotAcceptCtrl);
    EXPECT_EQ(status.currentState, kServiceStartPending);
    EXPECT_EQ(service.Start(), kErrorServiceAlreadyRunning);
  }
}

TEST_F(ServiceManagerTest, AStopThatTheProgramCannotFinishStaysPending) {
  SetTestServiceMode("never-stops");
  ASSERT_EQ(CreateTestService("Demo", kProgram), kErrorSuccess);
  ServiceReaper reaper("Demo");
  ServiceHandle service;
  ASSERT_EQ(OpenService("Demo", kServiceAllAccess, &service), kErrorSuccess);
  ASSERT_EQ(service.Start(), kErrorSuccess);
  ASSERT_EQ(WaitForState("Demo", kServiceRunning), kServiceRunning);
  ServiceStatus status;
  ASSERT_EQ(service.Stop(&status), kErrorSuccess);
  EXPECT_EQ(status.currentState, kServiceStopPending);
  EXPECT_EQ(service.Stop(&status), kErrorServiceCannotAcceptCtrl);
}

TEST_F(ServiceManagerTest, StartReportsWhyTheProgramCannotRun) {
  const std::string dir = SystemDirectory() + "/Drivers/";
  WriteFile(dir + "plain.txt", "not a program\n", 0755);
  WriteFile(dir + "noexec", "#!/bin/sh\nexit 0\n", 0644);
  struct Row {
    const char* name;
    std::string image;
    LSTATUS expected;
  } rows[] = {
      {"Missing", SystemDirectory() + "\\Drivers\\Missing.sys", kErrorFileNotFound},
      {"NotExecutable", dir + "noexec", kErrorAccessDenied},
      {"NoProgram", dir + "plain.txt", kErrorBadExeFormat},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_EQ(CreateTestService(row.name, row.image), kErrorSuccess);
    ServiceHandle service;
    ASSERT_EQ(OpenService(row.name, kServiceAllAccess, &service), kErrorSuccess);
    EXPECT_EQ(service.Start(), row.expected);
    EXPECT_EQ(StatusOf(row.name).currentState, kServiceStopped);
  }

  ASSERT_EQ(CreateTestService("Disabled", kProgram, kServiceDisabled), kErrorSuccess);
  ServiceHandle disabled;
  ASSERT_EQ(OpenService("Disabled", kServiceAllAccess, &disabled), kErrorSuccess);
  EXPECT_EQ(disabled.Start(), kErrorServiceDisabled);
}

TEST_F(ServiceManagerTest, AHandleDoesOnlyWhatItsAccessAllows) {
  ASSERT_EQ(CreateTestService("Demo", kProgram), kErrorSuccess);
  ServiceHandle service;
  ASSERT_EQ(OpenService("Demo", kServiceQueryStatus, &service), kErrorSuccess);
  ServiceStatus status;
  EXPECT_EQ(service.QueryStatus(&status), kErrorSuccess);
  EXPECT_EQ(service.Start(), kErrorAccessDenied);
  EXPECT_EQ(service.Stop(&status), kErrorAccessDenied);
  ServiceConfig config;
  EXPECT_EQ(service.QueryConfig(&config), kErrorAccessDenied);
  EXPECT_EQ(StatusOf("Demo").currentState, kServiceStopped);
}

TEST_F(ServiceManagerTest, AReadOnlyStoreAllowsQueriesOnly) {
  ASSERT_EQ(CreateTestService("Demo", kProgram), kErrorSuccess);
  RegCloseStore();
  ASSERT_EQ(::chmod(RegistryPath().c_str(), 0444), 0);

  ScManager manager;
  EXPECT_EQ(manager.Open(kScManagerAllAccess), kErrorAccessDenied);
  EXPECT_FALSE(manager.IsOpen());
  ASSERT_EQ(manager.Open(kScManagerConnect), kErrorSuccess);
  ServiceHandle service;
  EXPECT_EQ(service.Open(manager, "Demo", kServiceAllAccess), kErrorAccessDenied);
  ASSERT_EQ(service.Open(manager, "Demo", kServiceQueryStatus), kErrorSuccess);
  ServiceStatus status;
  EXPECT_EQ(service.QueryStatus(&status), kErrorSuccess);
  EXPECT_EQ(status.currentState, kServiceStopped);
}

TEST_F(ServiceManagerTest, ARecordedPidIsTrustedOnlyWhileItIsTheSameProcess) {
  ASSERT_EQ(CreateTestService("Demo", kProgram), kErrorSuccess);
  const std::string pidFile = RunDirectory() + "/demo.pid";
  std::string stat = ReadFile("/proc/self/stat");
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string field, started;
  for (int i = 3; fields >> field; ++i) {
    if (i == 22) started = field;
  }
  ASSERT_FALSE(started.empty());
  const std::string me = std::to_string(getpid());

  // This very process, as if the service program: alive but unreported.
  WriteFile(pidFile, me + " " + started + "\n", 0644);
  EXPECT_EQ(StatusOf("Demo").currentState, kServiceStartPending);
  ASSERT_EQ(ReportServiceState("Demo", kServiceRunning), kErrorSuccess);
  EXPECT_EQ(StatusOf("Demo").currentState, kServiceRunning);
  EXPECT_EQ(StatusOf("Demo").processId, static_cast<uint32_t>(getpid()));

  // The same pid with another start time is another process: the service
  // program is gone.
  WriteFile(pidFile, me + " 1\n", 0644);
  EXPECT_EQ(StatusOf("Demo").currentState, kServiceStopped);
  WriteFile(pidFile, "garbage\n", 0644);
  EXPECT_EQ(StatusOf("Demo").currentState, kServiceStopped);
  EXPECT_EQ(ReportServiceState("Demo", 8), kErrorInvalidParameter);
}

}  // namespace
}  // namespace tarvik
