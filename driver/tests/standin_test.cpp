// The stand-in run as the service manager runs it, in a private state root.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "service_test_support.h"
#include "tarvik/file_version.h"
#include "tarvik/registry.h"
#include "tarvik/service_manager.h"
#include "tarvik/state_root.h"
#include "temp_root.h"

namespace tarvik {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

class StandInTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(EnsureStateRoot());
    installed_ = SystemDirectory() + "/Drivers/Vonderil.sys";
    std::filesystem::copy_file(DRIVER_PROGRAM, installed_);
    ASSERT_EQ(CreateTestService("Vonderil", SystemDirectory() + "\\Drivers\\Vonderil.sys",
                                kServiceAutoStart),
              kErrorSuccess);
    RegKey parameter;
    ASSERT_EQ(parameter.Create("SYSTEM\\CurrentControlSet\\Services\\Vonderil\\Parameter"), 0);
    parameter.SetDword("Servers", 1);
    parameter.SetDword("Ports", 3);
    RegKey server;
    ASSERT_EQ(server.Create(parameter, "Server1"), 0);
    server.SetString("ServerName", "NP-5210");
    server.SetDword("IPAddress", 192 | 168 << 8 | 0 << 16 | 10 << 24);
    server.SetDword("PortNo", 2);
    server.SetDword("ComNo1", 5 | 1 << 13);
  }

  ServiceHandle Open() {
    ServiceHandle service;
    EXPECT_EQ(manager_.Open(kScManagerAllAccess), kErrorSuccess);
    EXPECT_EQ(service.Open(manager_, "Vonderil", kServiceAllAccess), kErrorSuccess);
    return service;
  }

  TempStateRoot root_;
  ScManager manager_;
  std::string installed_;
};

TEST_F(StandInTest, StartsReadsItsParametersAndStops) {
  ServiceReaper reaper("Vonderil");
  ServiceHandle service = Open();
  ASSERT_EQ(service.Start(), kErrorSuccess);
  ASSERT_EQ(WaitForState("Vonderil", kServiceRunning), kServiceRunning);

  // Changes after the start are not seen by the running driver.
  RegKey server;
  ASSERT_EQ(server.Open("SYSTEM\\CurrentControlSet\\Services\\Vonderil\\Parameter\\Server1",
                        RegAccess::kFullAccess),
            0);
  server.SetDword("ComNo2", 6 | 2 << 13);

  ServiceStatus status;
  ASSERT_EQ(service.Stop(&status), kErrorSuccess);
  EXPECT_EQ(WaitForState("Vonderil", kServiceStopped), kServiceStopped);
  ASSERT_EQ(service.QueryStatus(&status), kErrorSuccess);
  EXPECT_EQ(status.win32ExitCode, 0u);

  const std::string log = ReadFile(RunDirectory() + "/vonderil.log");
  EXPECT_NE(log.find("Vonderil: read 1 server(s), 1 mapped port(s)"), std::string::npos) << log;
  EXPECT_NE(log.find("Vonderil: COM5 -> 192.168.0.10:10001 (Server1 \"NP-5210\", port 1)"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("COM6"), std::string::npos) << log;
  EXPECT_NE(log.find("Vonderil: stopped"), std::string::npos) << log;
}

TEST_F(StandInTest, KilledReadsAsStoppedAndStartsAgain) {
  ServiceReaper reaper("Vonderil");
  ServiceHandle service = Open();
  ASSERT_EQ(service.Start(), kErrorSuccess);
  ASSERT_EQ(WaitForState("Vonderil", kServiceRunning), kServiceRunning);
  ServiceStatus status;
  ASSERT_EQ(service.QueryStatus(&status), kErrorSuccess);
  ASSERT_EQ(::kill(static_cast<pid_t>(status.processId), SIGKILL), 0);
  EXPECT_EQ(WaitForState("Vonderil", kServiceStopped), kServiceStopped);
  EXPECT_EQ(service.Stop(&status), kErrorServiceNotActive);
  ASSERT_EQ(service.Start(), kErrorSuccess);
  EXPECT_EQ(WaitForState("Vonderil", kServiceRunning), kServiceRunning);
}

TEST_F(StandInTest, TheInstalledFileCarriesTheProductVersion) {
  char version[32];
  ASSERT_EQ(ReadFileVersionString(MapPath(SystemDirectory() + "\\Drivers\\Vonderil.sys"),
                                  "ProductVersion", version, sizeof version),
            kErrorSuccess);
  EXPECT_STREQ(version, "2.14.03");
}

}  // namespace
}  // namespace tarvik
