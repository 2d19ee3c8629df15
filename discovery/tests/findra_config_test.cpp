// Configuration by UDP against simulated devices: the bytes the device
// gets, what it changes, and the confirmation's verdict.
#include <string>

#include "netns_fixture.h"

namespace findra_test {
namespace {

class Config : public NetnsTest {
 protected:
  void StartAndSearch(const std::string& devices) {
    ASSERT_TRUE(devsim_.Start(devices));
    ASSERT_EQ(Findra_Init(0), 0);
    SearchToEnd();
  }
  std::vector<std::string> Commands() {
    std::vector<std::string> found;
    for (const std::string& line : devsim_.LogLinesStarting("recv ")) {
      if (line.find("KORVAXQ410X,01") != std::string::npos) found.push_back(line.substr(line.find(' ', 5) + 1));
    }
    return found;
  }
};

TEST_F(Config, ChangedSettingsReachTheDeviceAndTheNextSearchShowsThem) {
  StartAndSearch(DeviceSection("Q410X-2", "02:4E:A7:00:00:01",
                               "alias = old\nip = 10.77.0.21\nmask = 255.255.255.0\n"
                               "gateway = 10.77.0.254\n"));
  ASSERT_EQ(Findra_GetCount(), 1);
  // Same mask in other letters' case is no change; the gateway is.
  EXPECT_EQ(Findra_ConfigModule(1, "10.77.0.31", "255.255.255.0", "10.77.0.1", nullptr, 0, "new"),
            0);
  ASSERT_EQ(Commands().size(), 1u);
  EXPECT_EQ(Commands()[0],
            "KORVAXQ410X,01,TO=02:4E:A7:00:00:01,ALIAS=new,IP=10.77.0.31,GATEWAY=10.77.0.1\\r");
  SearchToEnd();
  Info r{};
  ASSERT_EQ(Get(1, &r), 0);
  EXPECT_STREQ(r.alias, "new");
  EXPECT_STREQ(r.ip, "10.77.0.31");
  EXPECT_STREQ(r.gateway, "10.77.0.1");
  EXPECT_STREQ(r.mask, "255.255.255.0");
}

TEST_F(Config, DhcpAloneIsSentWithItsCommaBlank) {
  StartAndSearch(DeviceSection("Q410X", "02:4E:A7:00:00:01", "dhcp = 0\n"));
  EXPECT_EQ(Findra_ConfigModule(1, nullptr, nullptr, nullptr, nullptr, 1, nullptr), 0);
  ASSERT_EQ(Commands().size(), 1u);
  EXPECT_EQ(Commands()[0], "KORVAXQ410X,01,TO=02:4E:A7:00:00:01,DHCP=1, \\r");
}

TEST_F(Config, NothingIsSentWhenNothingChangesOrNoRecordIsThere) {
  StartAndSearch(DeviceSection("Q410X", "02:4E:A7:00:00:01", "alias = same\n"));
  EXPECT_EQ(Findra_ConfigModule(1, nullptr, nullptr, nullptr, nullptr, 0, nullptr), -9);
  EXPECT_EQ(Findra_ConfigModule(2, nullptr, nullptr, nullptr, nullptr, 1, "x"), -5);
  EXPECT_TRUE(Commands().empty());
  // The alias goes even when it equals the recorded one.
  EXPECT_EQ(Findra_ConfigModule(1, nullptr, nullptr, nullptr, nullptr, 0, "same"), 0);
  EXPECT_EQ(Commands().size(), 1u);
}

TEST_F(Config, RefusalAndSilenceGiveTheirCodes) {
  StartAndSearch(DeviceSection("refuses", MacOf(1), "fault = nook\n") +
                 DeviceSection("mute", MacOf(2), "fault = noconfirm\n"));
  EXPECT_EQ(Findra_ConfigModule(1, nullptr, nullptr, nullptr, nullptr, 0, "a"), -14);
  EXPECT_EQ(Findra_ConfigModule(2, nullptr, nullptr, nullptr, nullptr, 0, "b"), -6);
  // The silent device took the change all the same.
  EXPECT_EQ(devsim_.LogLinesStarting("state mac=" + MacOf(2) + " name=mute alias=b").size(), 1u);
}

TEST_F(Config, TextsThatWouldMakeFieldsOfTheirOwnAreNeverSent) {
  StartAndSearch(DeviceSection("Q410X", MacOf(1), "ip = 10.77.0.21\n") +
                 DeviceSection("Q410X", MacOf(2), "hostile = mac\n"));
  EXPECT_EQ(Findra_ConfigModule(1, nullptr, nullptr, nullptr, nullptr, 0, "a,IP=10.0.0.9"), -15);
  EXPECT_EQ(Findra_ConfigModule(1, "10.0.0.9\r", nullptr, nullptr, nullptr, 0, "a"), -15);
  // A device that reports a forged MAC cannot be the target of a command.
  EXPECT_EQ(Findra_ConfigModule(2, nullptr, nullptr, nullptr, nullptr, 0, "b"), -15);
  EXPECT_TRUE(Commands().empty());
  EXPECT_EQ(Findra_ConfigModule(1, nullptr, nullptr, nullptr, nullptr, 0, "a IP 10.0.0.9"), 0);
  EXPECT_EQ(Commands().size(), 1u);
}

TEST_F(Config, ConfigurationDuringARunningSearchStopsItFirst) {
  ASSERT_TRUE(devsim_.Start(DeviceSection("Q410X", MacOf(1))));
  ASSERT_EQ(Findra_Init(0), 0);
  ASSERT_EQ(Findra_SetOptions(60000, 0), 0);
  ASSERT_EQ(Findra_BroadcastStart("255.255.255.255", 57188, nullptr), 0);
  for (int i = 0; i < 2000 && Findra_GetCount() < 1; ++i) tarvik::SleepMs(5);
  ASSERT_EQ(Findra_GetCount(), 1);
  // Without the stop the receiver thread would race for the confirmation.
  EXPECT_EQ(Findra_ConfigModule(1, nullptr, nullptr, nullptr, nullptr, 0, "x"), 0);
  EXPECT_EQ(Findra_GetState(), 0);
  EXPECT_EQ(Findra_GetCount(), 1);
}

}  // namespace
}  // namespace findra_test
