#include "restart_procedure.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>

#include <fstream>
#include <memory>
#include <string>

#include "restart_front_double.h"
#include "service_test_support.h"
#include "tarvik/clock.h"
#include "tarvik/registry.h"
#include "tarvik/service_manager.h"
#include "tarvik/state_root.h"
#include "temp_root.h"

namespace {

using namespace tarvik;

const char kStopFailed[] =
    "Failed to stop the driver!\n\nMake sure virtual COM ports are all closed.\n"
    "Make sure related software/services that using virtual COM ports are all closed.\n\n"
    "If you still have problem to restart the driver, you may need to reboot the computer.";
const char kNoMappings[] = "No mappings for virtual COM ports.\n\nDriver is stopped!";

std::unique_ptr<TkcConfigSet> NewSet(uint32_t servers) {
  auto set = std::make_unique<TkcConfigSet>();
  set->Servers = servers;
  set->SizeStamp = 3800176;
  for (uint32_t s = 0; s < servers; ++s) set->Records[s].PortNo = 4;
  return set;
}

void RealSleepMs(long ms) {
  timespec ts{0, ms * 1000000L};
  nanosleep(&ts, nullptr);
}

class RestartProcedureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetClock(&clock_);
    RestartCancelCounter().store(0);
  }
  void TearDown() override {
    KillService("Vonderil");
    SetClock(nullptr);
    ::unsetenv("TARVIK_TEST_SERVICE_MODE");
  }
  // The test program as the driver's service, running in mode.
  void RunningService(const char* mode) {
    ASSERT_EQ(CreateTestService("Vonderil", TEST_SERVICE_PROGRAM), kErrorSuccess);
    SetTestServiceMode(mode);
    ScManager manager;
    ServiceHandle service;
    ASSERT_EQ(manager.Open(kScManagerAllAccess), kErrorSuccess);
    ASSERT_EQ(service.Open(manager, "Vonderil", kServiceAllAccess), kErrorSuccess);
    ASSERT_EQ(service.Start(), kErrorSuccess);
    ASSERT_EQ(WaitForState("Vonderil", kServiceRunning), kServiceRunning);
  }
  // A real program needs real time to take a request; the virtual clock
  // alone would run every round before it moves.
  void GiveTheProgramTime() {
    front_.onPump = [] { RealSleepMs(2); };
  }

  TempStateRoot root_;
  VirtualClock clock_;
  RestartFrontDouble front_;
};

TEST(CountMappedPorts, CountsEveryEntryOfTheValidRecordsOnly) {
  auto set = NewSet(2);
  set->Records[0].PortNo = 1;
  set->Records[0].PortMap[2].Com = 3;            // data port 1
  set->Records[0].PortMap[69].Com = 0x1000 | 7;  // beyond PortNo, still counted
  set->Records[0].PortMap[3].Com = 0x1000;       // DisablePurge alone is no COM number
  set->Records[1].PortMap[0].Com = 4095;         // the I/O port
  set->Records[2].PortMap[2].Com = 9;            // record beyond Servers
  EXPECT_EQ(CountMappedPorts(*set), 3);
  set->Servers = 0xFFFFFFFF;  // a corrupt count reads only the 4095 records
  EXPECT_EQ(CountMappedPorts(*set), 4);
}

TEST_F(RestartProcedureTest, ServersWithoutComNumbersEndStoppedAndOk) {
  RunningService("steady");
  GiveTheProgramTime();
  auto set = NewSet(2);
  EXPECT_EQ(RunDriverRestart(*set, &front_), RestartOutcome::kStoppedNoMappings);
  EXPECT_EQ(StatusOf("Vonderil").currentState, kServiceStopped);
  ASSERT_EQ(front_.messages.size(), 1u);
  EXPECT_EQ(front_.messages[0], kNoMappings);
  EXPECT_EQ(front_.begins, 1);
  EXPECT_EQ(front_.closings, 1);
}

TEST_F(RestartProcedureTest, AMissingServiceIsCreatedForTheStandInAndLeftStoppedWithoutMappings) {
  auto set = NewSet(1);
  EXPECT_EQ(RunDriverRestart(*set, &front_), RestartOutcome::kStoppedNoMappings);
  ScManager manager;
  ServiceHandle service;
  ASSERT_EQ(manager.Open(kScManagerConnect), kErrorSuccess);
  ASSERT_EQ(service.Open(manager, "Vonderil", kServiceQueryConfig), kErrorSuccess);
  ServiceConfig config;
  ASSERT_EQ(service.QueryConfig(&config), kErrorSuccess);
  EXPECT_EQ(config.imagePath, SystemDirectory() + "\\Drivers\\Vonderil.sys");
  EXPECT_EQ(config.startType, kServiceAutoStart);
  EXPECT_EQ(config.serviceType, kServiceKernelDriver);
  EXPECT_EQ(front_.messages, std::vector<std::string>{kNoMappings});
}

TEST_F(RestartProcedureTest, AMappedPortRestartsTheDriver) {
  RunningService("steady");
  const uint32_t firstPid = StatusOf("Vonderil").processId;
  GiveTheProgramTime();
  auto set = NewSet(1);
  set->Records[0].PortMap[2].Com = 5;
  EXPECT_EQ(RunDriverRestart(*set, &front_), RestartOutcome::kRestarted);
  const ServiceStatus now = StatusOf("Vonderil");
  EXPECT_EQ(now.currentState, kServiceRunning);
  EXPECT_NE(now.processId, firstPid);
  EXPECT_TRUE(front_.messages.empty());
  EXPECT_EQ(front_.statusLines.back(), "Status: Driver is running!");
}

TEST_F(RestartProcedureTest, ADriverThatIgnoresTheStopFailsAfterFifteenRounds) {
  RunningService("never-stops");
  auto set = NewSet(1);
  set->Records[0].PortMap[2].Com = 5;
  EXPECT_EQ(RunDriverRestart(*set, &front_), RestartOutcome::kFailed);
  EXPECT_EQ(front_.messages, std::vector<std::string>{kStopFailed});
  EXPECT_EQ(front_.MaxProgress(), kRestartRounds);
  EXPECT_TRUE(front_.SawStatus("Status: Stopping Driver!!"));
  // Fifteen one-second rounds and the closing half second, in virtual time.
  EXPECT_EQ(clock_.SleptMs(), 15u * 1000 + 500);
  EXPECT_EQ(front_.states.back(), kServiceStopPending);
}

TEST_F(RestartProcedureTest, SkipEndsTheStopWaitAtTheNextRound) {
  RunningService("never-stops");
  front_.skipAtProgress = 3;
  auto set = NewSet(1);
  set->Records[0].PortMap[2].Com = 5;
  EXPECT_EQ(RunDriverRestart(*set, &front_), RestartOutcome::kFailed);
  EXPECT_EQ(front_.MaxProgress(), 3);
  EXPECT_FALSE(front_.SawStatus("Status: Stopping Driver!!"));
  EXPECT_EQ(front_.messages, std::vector<std::string>{kStopFailed});
  // Two full rounds, none of the third, then the closing pause.
  EXPECT_EQ(clock_.SleptMs(), 2u * 1000 + 500);
}

TEST_F(RestartProcedureTest, TheStopFailureNamesThePortsTheDriverStillHolds) {
  RunningService("never-stops");
  const uint32_t pid = StatusOf("Vonderil").processId;
  std::ofstream(RunDirectory() + "/Vonderil.ports")
      << "Vonderil " << pid << " stopping\n"
      << "COM5 connected 10.0.0.5:950 - primary held 10 20\n"
      << "COM6 idle 10.0.0.5:951 - - free 0 0\n"
      << "COM12 broken 10.0.0.5:952 - - held 0 0\n";
  front_.skipAtProgress = 1;
  auto set = NewSet(1);
  set->Records[0].PortMap[2].Com = 5;
  EXPECT_EQ(RunDriverRestart(*set, &front_), RestartOutcome::kFailed);
  ASSERT_EQ(front_.messages.size(), 1u);
  EXPECT_EQ(front_.messages[0], std::string(kStopFailed) + "\n\nStill open: COM5, COM12");
}

TEST_F(RestartProcedureTest, AStartTheManagerRefusesIsReportedWithoutWaiting) {
  // The service exists but its program file does not.
  ScManager manager;
  ASSERT_EQ(manager.Open(kScManagerAllAccess), kErrorSuccess);
  ServiceConfig config;
  config.startType = kServiceAutoStart;
  config.imagePath = SystemDirectory() + "\\Drivers\\Vonderil.sys";
  ServiceHandle created;
  ASSERT_EQ(created.Create(manager, "Vonderil", config, kServiceAllAccess), kErrorSuccess);
  auto set = NewSet(1);
  set->Records[0].PortMap[0].Com = 2;
  EXPECT_EQ(RunDriverRestart(*set, &front_), RestartOutcome::kFailed);
  EXPECT_EQ(front_.messages, std::vector<std::string>{"Failed to start the driver!\n\nError:2"});
  EXPECT_EQ(clock_.SleptMs(), 500u);
}

TEST_F(RestartProcedureTest, ADriverThatDiesWhileStartingFailsAtOnce) {
  ASSERT_EQ(CreateTestService("Vonderil", TEST_SERVICE_PROGRAM), kErrorSuccess);
  SetTestServiceMode("dies-starting");
  GiveTheProgramTime();
  auto set = NewSet(1);
  set->Records[0].PortMap[2].Com = 5;
  EXPECT_EQ(RunDriverRestart(*set, &front_), RestartOutcome::kFailed);
  EXPECT_EQ(front_.messages, std::vector<std::string>{"Failed to start the driver!"});
  EXPECT_LT(front_.MaxProgress(), kRestartRounds);
}

TEST_F(RestartProcedureTest, AReadOnlyStoreCannotOpenTheManager) {
  auto set = NewSet(1);
  {
    ScManager writable;  // makes the store
    ASSERT_EQ(writable.Open(kScManagerAllAccess), kErrorSuccess);
  }
  RegCloseStore();
  ASSERT_EQ(::chmod(RegistryPath().c_str(), 0444), 0);
  EXPECT_EQ(RunDriverRestart(*set, &front_), RestartOutcome::kFailed);
  EXPECT_EQ(front_.messages,
            std::vector<std::string>{"Error:5\nFailed to open SC-Manager,\nplease use "
                                     "Administrator account of the computer and then try again!"});
  EXPECT_EQ(front_.closings, 0);
}

}  // namespace
