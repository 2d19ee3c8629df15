// The driver link against real service programs in a private state root:
// the test service program (or the stand-in itself) installed as
// System32/Drivers/Vonderil.sys.
#include "driver_link.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>

#include "service_test_support.h"
#include "tarvik/clock.h"
#include "tarvik/registry.h"
#include "tarvik/service_manager.h"
#include "tarvik/state_root.h"
#include "temp_root.h"

namespace tarvikcfg {
namespace {

using namespace tarvik;

const char kServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\Vonderil";

// Virtual time for the polls, with a real pause of 1/20 of each wait so a
// real program gets the time it needs to start.
class ShortClock : public Clock {
 public:
  uint32_t TickCount() override { return virtual_.TickCount(); }
  void Sleep(uint32_t ms) override {
    virtual_.Sleep(ms);
    timespec ts{0, static_cast<long>(ms / 20) * 1000000L};
    nanosleep(&ts, nullptr);
  }
  uint64_t SleptMs() const { return virtual_.SleptMs(); }

 private:
  VirtualClock virtual_;
};

class DriverLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(EnsureStateRoot());
    SetClock(&clock_);
    SetTestServiceMode("steady");
  }
  void TearDown() override {
    KillService("Vonderil");
    SetClock(nullptr);
    ::unsetenv("TARVIK_TEST_SERVICE_MODE");
  }

  static std::string Installed() { return SystemDirectory() + "/Drivers/Vonderil.sys"; }
  void Install(const char* program) {
    ASSERT_EQ(::symlink(program, Installed().c_str()), 0);
  }
  // The service as the driver link creates it, then started (or not).
  void InstallAndCreate(const char* program) {
    Install(program);
    ASSERT_EQ(DriverServiceCheck(), kDriverServiceNotOpened);
  }
  void StartRunning() {
    ScManager manager;
    ServiceHandle service;
    ASSERT_EQ(manager.Open(kScManagerAllAccess), 0);
    ASSERT_EQ(service.Open(manager, "Vonderil", kServiceAllAccess), 0);
    ASSERT_EQ(service.Start(), 0);
    ASSERT_EQ(WaitForState("Vonderil", kServiceRunning), kServiceRunning);
  }

  TempStateRoot root_;
  ShortClock clock_;
  ServiceReaper reaper_{"Vonderil"};
};

TEST_F(DriverLinkTest, AMissingServiceIsCreatedButNotStarted) {
  // The parameter key may be there before the service (the store makes it).
  RegKey parameter;
  ASSERT_EQ(parameter.Create(std::string(kServiceKey) + "\\Parameter"), 0);
  parameter.Close();
  Install(TEST_SERVICE_PROGRAM);

  EXPECT_EQ(DriverInit(), kDriverServiceNotOpened);
  RegKey key;
  ASSERT_EQ(key.Open(kServiceKey, RegAccess::kRead), 0);
  uint32_t value = 0;
  EXPECT_EQ(key.QueryDword("Type", &value), 0);
  EXPECT_EQ(value, kServiceKernelDriver);
  EXPECT_EQ(key.QueryDword("Start", &value), 0);
  EXPECT_EQ(value, kServiceAutoStart);
  EXPECT_EQ(key.QueryDword("ErrorControl", &value), 0);
  EXPECT_EQ(value, kServiceErrorNormal);
  char text[512];
  EXPECT_EQ(key.QueryString("ImagePath", text, sizeof text), 0);
  EXPECT_EQ(std::string(text), SystemDirectory() + "\\Drivers\\Vonderil.sys");
  EXPECT_EQ(key.QueryString("DisplayName", text, sizeof text), 0);
  EXPECT_STREQ(text, "");
  ASSERT_EQ(parameter.Open(std::string(kServiceKey) + "\\Parameter", RegAccess::kRead), 0);

  EXPECT_EQ(StatusOf("Vonderil").currentState, kServiceStopped);
  EXPECT_FALSE(std::filesystem::exists(RunDirectory() + "/vonderil.log"));
  EXPECT_EQ(clock_.SleptMs(), 0u);

  // The next call starts it.
  EXPECT_EQ(DriverInit(), kDriverOk);
  EXPECT_EQ(StatusOf("Vonderil").currentState, kServiceRunning);
}

TEST_F(DriverLinkTest, CloseAlsoCreatesAMissingService) {
  EXPECT_EQ(DriverClose(), kDriverServiceNotOpened);
  EXPECT_EQ(StatusOf("Vonderil").currentState, kServiceStopped);
}

TEST_F(DriverLinkTest, InitOnARunningDriverSendsNoStartRequest) {
  InstallAndCreate(TEST_SERVICE_PROGRAM);
  StartRunning();
  const uint32_t pid = StatusOf("Vonderil").processId;
  EXPECT_EQ(DriverInit(), kDriverOk);
  EXPECT_EQ(StatusOf("Vonderil").processId, pid);
  EXPECT_EQ(clock_.SleptMs(), 0u);
}

TEST_F(DriverLinkTest, CloseOnAStoppedDriverSendsNoStopRequest) {
  InstallAndCreate(TEST_SERVICE_PROGRAM);
  EXPECT_EQ(DriverClose(), kDriverOk);
  EXPECT_EQ(clock_.SleptMs(), 0u);
}

TEST_F(DriverLinkTest, AStopThatReportsStoppedAtOnceNeedsNoPoll) {
  InstallAndCreate(TEST_SERVICE_PROGRAM);
  StartRunning();
  EXPECT_EQ(DriverClose(), kDriverOk);
  EXPECT_EQ(clock_.SleptMs(), 0u);
  EXPECT_EQ(StatusOf("Vonderil").currentState, kServiceStopped);
}

TEST_F(DriverLinkTest, ADriverStuckPendingTimesOutAfterFifteenPolls) {
  struct Row {
    const char* mode;
    bool init;
  } rows[] = {{"never-runs", true}, {"dies-starting", true}, {"never-stops", false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.mode);
    KillService("Vonderil");
    ::unlink(Installed().c_str());
    RegKey services;
    ASSERT_EQ(services.Create("SYSTEM\\CurrentControlSet\\Services"), 0);
    services.DeleteTree("Vonderil");  // absent the first time round
    InstallAndCreate(TEST_SERVICE_PROGRAM);
    SetTestServiceMode(row.mode);
    if (!row.init) StartRunning();
    VirtualClock virtualTime;
    SetClock(&virtualTime);
    EXPECT_EQ(row.init ? DriverInit() : DriverClose(), kDriverTimedOut);
    EXPECT_EQ(virtualTime.SleptMs(), 15000u);
    SetClock(&clock_);
  }
}

TEST_F(DriverLinkTest, FailedRequestsGiveTheirCodes) {
  // The service exists but its program file does not.
  EXPECT_EQ(DriverServiceCheck(), kDriverServiceNotOpened);
  EXPECT_EQ(DriverInit(), kDriverStartFailed);
  EXPECT_EQ(StatusOf("Vonderil").currentState, kServiceStopped);
}

TEST_F(DriverLinkTest, AStoreThatMayNotBeWrittenCannotOpenTheManager) {
  ASSERT_EQ(RegKey().Create("SOFTWARE"), 0);
  RegCloseStore();
  ASSERT_EQ(::chmod(RegistryPath().c_str(), 0444), 0);
  EXPECT_EQ(DriverInit(), kDriverManagerNotOpened);
  EXPECT_EQ(DriverClose(), kDriverManagerNotOpened);
  RegKey key;
  EXPECT_EQ(key.Open(kServiceKey, RegAccess::kRead), kErrorFileNotFound);
}

TEST_F(DriverLinkTest, StartsAndStopsTheStandIn) {
  InstallAndCreate(DRIVER_PROGRAM);
  EXPECT_EQ(DriverInit(), kDriverOk);
  EXPECT_EQ(StatusOf("Vonderil").currentState, kServiceRunning);
  EXPECT_EQ(DriverInit(), kDriverOk);
  EXPECT_EQ(DriverClose(), kDriverOk);
  EXPECT_EQ(StatusOf("Vonderil").currentState, kServiceStopped);
  EXPECT_EQ(DriverClose(), kDriverOk);
}

}  // namespace
}  // namespace tarvikcfg
