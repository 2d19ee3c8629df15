// What the ping and diagnostic launchers start, seen through the shell hook.
#include "launchers.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tarvik/ui_hooks.h"

namespace {

struct Started {
  std::string file, parameters;
};

class Launchers : public ::testing::Test {
 protected:
  void SetUp() override {
    tarvik::SetShellOpenHook([this](const std::string& f, const std::string& p, const std::string&) {
      started.push_back({f, p});
      return 33;
    });
    set = std::make_unique<TkcConfigSet>();
  }
  void TearDown() override { tarvik::SetShellOpenHook(nullptr); }

  void AddServer(uint32_t address, uint32_t cmdPort) {
    TkcServerRecord& r = set->Records[set->Servers++];
    r.IPAddress = address;
    r.TcpPortCmd = cmdPort;
  }

  std::vector<Started> started;
  std::unique_ptr<TkcConfigSet> set;
};

constexpr uint32_t kFirst = 0x1e01a8c0;   // 192.168.1.30
constexpr uint32_t kSecond = 0x0a00000a;  // 10.0.0.10

TEST_F(Launchers, ServersPaneTargets) {
  LaunchTarget none = ServersPaneTarget(*set, -1);
  EXPECT_EQ(none.address, 0u);
  EXPECT_EQ(none.defaultText, "192.168.0.1");
  EXPECT_TRUE(none.ask);
  EXPECT_EQ(none.port, 10000u);

  AddServer(kFirst, 10100);
  AddServer(kSecond, 10200);
  LaunchTarget first = ServersPaneTarget(*set, -1);
  EXPECT_EQ(first.address, kFirst);
  EXPECT_TRUE(first.ask);
  EXPECT_EQ(first.port, 10100u);

  LaunchTarget selected = ServersPaneTarget(*set, 1);
  EXPECT_EQ(selected.address, kSecond);
  EXPECT_FALSE(selected.ask);
  EXPECT_EQ(selected.port, 10200u);

  // A selection past the servers counts as none.
  EXPECT_TRUE(ServersPaneTarget(*set, 2).ask);
}

TEST_F(Launchers, PingWithNothingConfiguredAsksWith192168And0Dot1) {
  std::string asked;
  auto cancel = [&](char* target, size_t) {
    asked = target;
    return false;
  };
  EXPECT_FALSE(LaunchPing(0, kNoServerTarget, true, cancel));
  EXPECT_EQ(asked, "192.168.0.1");
  EXPECT_TRUE(started.empty()) << "Cancel starts nothing";
}

TEST_F(Launchers, PingStartsWithTheTargetEnteredOrGiven) {
  auto enter = [](char* target, size_t size) {
    snprintf(target, size, "plc-hall-2");
    return true;
  };
  EXPECT_TRUE(LaunchPing(kFirst, kNoServerTarget, true, enter));
  EXPECT_TRUE(LaunchPing(kSecond, kNoServerTarget, false, nullptr));
  EXPECT_TRUE(LaunchPing(0, "device-7", false, nullptr));
  ASSERT_EQ(started.size(), 3u);
  EXPECT_EQ(started[0].file, "Ping.exe");
  EXPECT_EQ(started[0].parameters, "-a -t plc-hall-2");
  EXPECT_EQ(started[1].parameters, "-a -t 10.0.0.10");
  EXPECT_EQ(started[2].parameters, "-a -t device-7");
}

TEST_F(Launchers, DiagnosticArgumentsForEachCase) {
  LaunchDiagnostic("/opt/tarvik/Diag.exe", kFirst, kNoServerTarget, 10100);
  LaunchDiagnostic("/opt/tarvik/Diag.exe", 0, kNoServerTarget, kNoServerCommandPort);
  ASSERT_EQ(started.size(), 2u);
  EXPECT_EQ(started[0].file, "/opt/tarvik/Diag.exe");
  EXPECT_EQ(started[0].parameters, "TCP=192.168.1.30,10100");
  EXPECT_EQ(started[1].parameters, "TCP=192.168.0.1,10000");
}

TEST_F(Launchers, ArgumentsAreCutTo79Characters) {
  const std::string longName(120, 'h');
  LaunchPing(0, longName.c_str(), false, nullptr);
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].parameters.size(), 79u);
  EXPECT_EQ(started[0].parameters.rfind("-a -t hhh", 0), 0u);
}

}  // namespace
