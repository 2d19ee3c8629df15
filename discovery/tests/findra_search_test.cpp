// Searches against simulated devices: what ends up in the result list and
// when the search ends.
#include <set>
#include <string>

#include "netns_fixture.h"

namespace findra_test {
namespace {

class Search : public NetnsTest {};

TEST_F(Search, FindsEachDeviceWithTheFieldsItReports) {
  ASSERT_TRUE(devsim_.Start(
      DeviceSection("Q410X-2", "02:4E:A7:00:00:01",
                    "alias = lab\nip = 10.77.0.21\nmask = 255.255.0.0\ngateway = 10.77.0.254\n"
                    "dhcp = 1\n") +
      DeviceSection("NH-0408", "02:4E:A7:00:00:02", "ip = 10.77.0.22\n")));
  ASSERT_EQ(Findra_Init(0), 0);
  EXPECT_EQ(Findra_GetLocalIPCount(), 0);
  SearchToEnd();
  EXPECT_EQ(Findra_GetLocalIPCount(), 1);  // 10.77.0.1; 127.0.0.1 never counts
  ASSERT_EQ(Findra_GetCount(), 2);
  Info a{}, b{};
  ASSERT_EQ(Get(1, &a), 0);
  EXPECT_STREQ(a.name, "Q410X-2");
  EXPECT_STREQ(a.alias, "lab");
  EXPECT_STREQ(a.ip, "10.77.0.21");
  EXPECT_STREQ(a.mask, "255.255.0.0");
  EXPECT_STREQ(a.gateway, "10.77.0.254");
  EXPECT_STREQ(a.mac, "02:4E:A7:00:00:01");
  EXPECT_EQ(a.dhcp, 1);
  ASSERT_EQ(Get(2, &b), 0);
  EXPECT_STREQ(b.name, "NH-0408");
  EXPECT_STREQ(b.alias, "");
  EXPECT_EQ(b.dhcp, 0);
  // Index rules: 0 is the first record, count+1 is none and leaves the
  // buffers alone.
  Info first{};
  ASSERT_EQ(Get(0, &first), 0);
  EXPECT_STREQ(first.name, "Q410X-2");
  Info untouched{};
  strcpy(untouched.name, "keep");
  EXPECT_EQ(Get(3, &untouched), -5);
  EXPECT_STREQ(untouched.name, "keep");
  // The devices saw the default request, once, from the namespace's address.
  std::vector<std::string> received = devsim_.LogLinesStarting("recv ");
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].substr(0, 15), "recv 10.77.0.1:");
  EXPECT_NE(received[0].find(" KORVAXQ410X,00\\r"), std::string::npos);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(Search, RepeatsAreDroppedAndCutPrefixesIgnored) {
  ASSERT_TRUE(devsim_.Start(
      DeviceSection("Q410X", MacOf(1), "fault = duplicate\n") +
      DeviceSection("Q410X-B", MacOf(1)) +  // same MAC, other name: another record
      DeviceSection("cut", MacOf(2), "fault = malformed\n") +
      DeviceSection("empty1", MacOf(3), "reply = KORVAXQ410X,80\\r\n") +
      DeviceSection("empty2", MacOf(4), "reply = KORVAXQ410X,80\\r\n") +
      DeviceSection("quiet", MacOf(5), "fault = silent\n") +
      DeviceSection("long", MacOf(6),
                    "reply = KORVAXQ410X,80,NAME=ABCDEFGHIJKLMNOPQRSTUVWXY,IP=12345678901234567890,"
                    "MAC=02:4E:A7:00:00:06\\r\n")));
  ASSERT_EQ(Findra_Init(0), 0);
  SearchToEnd();
  ASSERT_EQ(Findra_GetCount(), 4);
  Info r{};
  ASSERT_EQ(Get(1, &r), 0);
  EXPECT_STREQ(r.name, "Q410X");
  ASSERT_EQ(Get(2, &r), 0);
  EXPECT_STREQ(r.name, "Q410X-B");
  ASSERT_EQ(Get(3, &r), 0);  // the two bare replies make one empty record
  EXPECT_STREQ(r.name, "");
  EXPECT_STREQ(r.mac, "");
  EXPECT_EQ(r.dhcp, 0);
  ASSERT_EQ(Get(4, &r), 0);
  EXPECT_STREQ(r.name, "ABCDEFGHIJKLMNOPQRS");
  EXPECT_STREQ(r.ip, "123456789012345");
}

TEST_F(Search, ModuleLimitEndsTheSearchAtTheFirstReply) {
  std::string devices;
  for (int i = 1; i <= 5; ++i) devices += DeviceSection("Q410X", MacOf(i));
  ASSERT_TRUE(devsim_.Start(devices));
  ASSERT_EQ(Findra_Init(0), 0);
  SearchToEnd(60000, 1);  // ends by the limit, long before its time
  EXPECT_EQ(Findra_GetState(), 0);
  EXPECT_EQ(Findra_GetCount(), 1);
}

TEST_F(Search, AnswerWithinTheSearchTimeCountsAndALateOneDoesNot) {
  ASSERT_TRUE(devsim_.Start(DeviceSection("prompt", MacOf(1), "delay = 200\n") +
                            DeviceSection("late", MacOf(2), "fault = late\ndelay = 4000\n")));
  ASSERT_EQ(Findra_Init(0), 0);
  SearchToEnd(1000);
  ASSERT_EQ(Findra_GetCount(), 1);
  Info r{};
  ASSERT_EQ(Get(1, &r), 0);
  EXPECT_STREQ(r.name, "prompt");
}

TEST_F(Search, StopEndsARunningSearchAndIsANoOpWhenIdle) {
  ASSERT_TRUE(devsim_.Start(DeviceSection("Q410X", MacOf(1))));
  ASSERT_EQ(Findra_Init(0), 0);
  EXPECT_EQ(Findra_BroadcastStop(), 0);
  ASSERT_EQ(Findra_SetOptions(60000, 0), 0);
  ASSERT_EQ(Findra_BroadcastStart("255.255.255.255", 57188, nullptr), 0);
  EXPECT_EQ(Findra_GetState(), 1);
  EXPECT_EQ(Findra_BroadcastStop(), 1);
  ASSERT_TRUE(WaitSearchEnd());
  EXPECT_EQ(Findra_GetCount(), 1);  // results stay after the stop
  EXPECT_EQ(Findra_BroadcastStop(), 0);
}

TEST_F(Search, NewSearchDuringARunningOneStartsAfreshSafely) {
  std::string devices;
  for (int i = 1; i <= 50; ++i) devices += DeviceSection("Q410X", MacOf(i));
  ASSERT_TRUE(devsim_.Start(devices));
  ASSERT_EQ(Findra_Init(0), 0);
  ASSERT_EQ(Findra_SetOptions(60000, 0), 0);
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(Findra_BroadcastStart("255.255.255.255", 57188, nullptr), 0);
  }
  // The last search's own replies: each device once.
  for (int i = 0; i < 2000 && Findra_GetCount() < 50; ++i) tarvik::SleepMs(5);
  EXPECT_EQ(Findra_GetCount(), 50);
  EXPECT_EQ(Findra_GetState(), 1);
  EXPECT_EQ(Findra_BroadcastStop(), 1);
  ASSERT_TRUE(WaitSearchEnd());
  EXPECT_EQ(devsim_.LogLinesStarting("recv ").size(), 3u);
}

TEST_F(Search, CloseDuringASearchEndsItAndKeepsTheResults) {
  ASSERT_TRUE(devsim_.Start(DeviceSection("Q410X", MacOf(1))));
  ASSERT_EQ(Findra_Init(0), 0);
  ASSERT_EQ(Findra_SetOptions(60000, 0), 0);
  ASSERT_EQ(Findra_BroadcastStart("255.255.255.255", 57188, nullptr), 0);
  for (int i = 0; i < 2000 && Findra_GetCount() < 1; ++i) tarvik::SleepMs(5);
  Findra_Close();
  EXPECT_EQ(Findra_GetState(), 0);
  EXPECT_EQ(Findra_GetCount(), 1);
  Info r{};
  EXPECT_EQ(Get(1, &r), 0);
  EXPECT_STREQ(r.mac, MacOf(1).c_str());
}

TEST_F(Search, FiveHundredDevicesEachRecordedOnce) {
  std::string devices;
  for (int i = 1; i <= 500; ++i) {
    devices += DeviceSection("Q410X-" + std::to_string(i % 7), MacOf(i),
                             i % 10 == 0 ? "fault = duplicate\n" : "");
  }
  ASSERT_TRUE(devsim_.Start(devices));
  ASSERT_EQ(Findra_Init(0), 0);
  SearchToEnd(2000);  // ends by its time: the limit of 1000 is never reached
  ASSERT_EQ(Findra_GetCount(), 500);
  std::set<std::string> macs;
  for (int i = 1; i <= 500; ++i) {
    Info r{};
    ASSERT_EQ(Get(i, &r), 0);
    macs.insert(r.mac);
  }
  EXPECT_EQ(macs.size(), 500u);
  EXPECT_EQ(macs.count(MacOf(1)), 1u);
  EXPECT_EQ(macs.count(MacOf(500)), 1u);
}

TEST_F(Search, RepliesArrivingWhileRequestsArePacedAreAllKept) {
  // Ten primary addresses: the search sends from nine, about a second of
  // pacing, and every device answers each request at once.
  for (int net = 1; net <= 9; ++net) {
    std::string add = "ip addr add 10.77." + std::to_string(net) + ".1/24 dev lo";
    ASSERT_EQ(system(add.c_str()), 0);
  }
  std::string devices;
  for (int i = 1; i <= 500; ++i) devices += DeviceSection("Q410X", MacOf(i));
  ASSERT_TRUE(devsim_.Start(devices));
  ASSERT_EQ(Findra_Init(0), 0);
  SearchToEnd(1000);
  const int sentFrom = Findra_GetLocalIPCount();
  const int count = Findra_GetCount();
  for (int net = 1; net <= 9; ++net) {
    std::string del = "ip addr del 10.77." + std::to_string(net) + ".1/24 dev lo";
    ASSERT_EQ(system(del.c_str()), 0);
  }
  EXPECT_EQ(sentFrom, 9);
  EXPECT_EQ(count, 500);
  EXPECT_EQ(devsim_.LogLinesStarting("recv ").size(), 9u);
}

}  // namespace
}  // namespace findra_test
