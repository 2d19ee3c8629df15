#include "host_query.h"

#include <gtest/gtest.h>

#include <future>
#include <map>
#include <vector>

#include "record_fixture.h"
#include "tarvik/clock.h"

namespace tarvik::app {
namespace {
using testing::AddServer;
using testing::MakeServer;
using testing::MakeSet;

// Names resolve from a table; nothing reaches a real resolver.
class HostQueryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetClock(&clock_);
    set_ = MakeSet();
    query_.SetResolver([this](const std::string& host, uint32_t* address) {
      asked_.push_back(host);
      auto it = names_.find(host);
      if (it == names_.end()) return -2;
      *address = it->second;
      return 0;
    });
    query_.SetWriter([this](int index) { written_.push_back(index); });
  }
  void TearDown() override { SetClock(nullptr); }

  uint32_t Ip(const char* text) {
    uint32_t a = 0;
    ParseIpv4(text, &a);
    return a;
  }

  VirtualClock clock_{100000};
  std::unique_ptr<ConfigSet> set_;
  HostQuery query_;
  std::map<std::string, uint32_t> names_;
  std::vector<std::string> asked_;
  std::vector<int> written_;
};

TEST_F(HostQueryTest, IntervalBelowThreeSecondsSwitchesTheQueryOff) {
  query_.LoadInterval(60);
  uint32_t stored = 99;
  EXPECT_TRUE(query_.SetIntervalSeconds(2, &stored));
  EXPECT_EQ(stored, 0u);
  EXPECT_EQ(query_.IntervalMs(), 0);
  EXPECT_FALSE(query_.SetIntervalSeconds(-5, &stored));  // already off: nothing to store
  EXPECT_TRUE(query_.SetIntervalSeconds(3, &stored));
  EXPECT_EQ(stored, 3u);
  EXPECT_EQ(query_.IntervalMs(), 3000);
  EXPECT_FALSE(query_.SetIntervalSeconds(3, &stored));
}

TEST_F(HostQueryTest, LoadedIntervalIsKeptOnASecondLoad) {
  query_.LoadInterval(7);
  query_.LoadInterval(30);
  EXPECT_EQ(query_.IntervalMs(), 7000);
}

TEST_F(HostQueryTest, QueryOneUpdatesAddressStateAndStore) {
  AddServer(*set_, MakeServer("VK-8", "10.0.0.1", "", "plc.lab"));
  names_["plc.lab"] = Ip("10.9.8.7");
  EXPECT_EQ(query_.State(0), '?');
  EXPECT_EQ(query_.QueryOne(*set_, 0), 0);
  EXPECT_EQ(set_->Records[0].IPAddress, Ip("10.9.8.7"));
  EXPECT_EQ(query_.State(0), ' ');
  EXPECT_EQ(written_, std::vector<int>{0});
}

TEST_F(HostQueryTest, FailedQueryKeepsTheAddressAndMarksTheName) {
  AddServer(*set_, MakeServer("VK-8", "10.0.0.1", "", "gone.lab"));
  query_.SetState(0, ' ');
  EXPECT_EQ(query_.QueryOne(*set_, 0), -2);
  EXPECT_EQ(set_->Records[0].IPAddress, Ip("10.0.0.1"));
  EXPECT_EQ(query_.State(0), '?');
  EXPECT_TRUE(written_.empty());
}

TEST_F(HostQueryTest, ServerWithoutHostNameIsNotAsked) {
  AddServer(*set_, MakeServer("VK-8", "10.0.0.1"));
  EXPECT_EQ(query_.QueryOne(*set_, 0), 1);
  EXPECT_TRUE(asked_.empty());
}

TEST_F(HostQueryTest, PeriodicQueryTakesOneServerPerStepThenWaitsTheInterval) {
  AddServer(*set_, MakeServer("VK-8", "10.0.0.1", "", "a.lab"));
  AddServer(*set_, MakeServer("VK-8", "10.0.0.2"));
  AddServer(*set_, MakeServer("VK-8", "10.0.0.3", "", "c.lab"));
  names_["a.lab"] = Ip("10.1.0.1");
  names_["c.lab"] = Ip("10.1.0.3");
  query_.LoadInterval(5);

  clock_.Advance(1);  // the first round may begin at once
  EXPECT_TRUE(query_.Step(*set_));
  EXPECT_TRUE(query_.Step(*set_));
  EXPECT_EQ(asked_, (std::vector<std::string>{"a.lab", "c.lab"}));
  EXPECT_FALSE(query_.Step(*set_));  // round over
  clock_.Advance(5000);
  EXPECT_FALSE(query_.Step(*set_));
  EXPECT_EQ(asked_.size(), 2u);
  clock_.Advance(1);
  EXPECT_TRUE(query_.Step(*set_));
  EXPECT_EQ(asked_.size(), 3u);
  EXPECT_EQ(set_->Records[2].IPAddress, Ip("10.1.0.3"));
}

TEST_F(HostQueryTest, TwoFailuresInARowPauseTheQueryForTenSeconds) {
  AddServer(*set_, MakeServer("VK-8", "10.0.0.1", "", "dead1.lab"));
  AddServer(*set_, MakeServer("VK-8", "10.0.0.2", "", "dead2.lab"));
  AddServer(*set_, MakeServer("VK-8", "10.0.0.3", "", "live.lab"));
  names_["live.lab"] = Ip("10.2.0.3");
  query_.LoadInterval(3);
  clock_.Advance(1);
  EXPECT_TRUE(query_.Step(*set_));
  EXPECT_TRUE(query_.Step(*set_));
  clock_.Advance(9999);
  EXPECT_FALSE(query_.Step(*set_));
  EXPECT_EQ(asked_.size(), 2u);
  clock_.Advance(1);
  EXPECT_TRUE(query_.Step(*set_));
  EXPECT_EQ(asked_.back(), "live.lab");
  EXPECT_EQ(query_.State(2), ' ');
}

TEST_F(HostQueryTest, OneFailureDoesNotPause) {
  AddServer(*set_, MakeServer("VK-8", "10.0.0.1", "", "dead.lab"));
  AddServer(*set_, MakeServer("VK-8", "10.0.0.2", "", "live.lab"));
  names_["live.lab"] = Ip("10.2.0.2");
  query_.LoadInterval(3);
  clock_.Advance(1);
  EXPECT_TRUE(query_.Step(*set_));
  EXPECT_TRUE(query_.Step(*set_));
  EXPECT_EQ(asked_.size(), 2u);
}

TEST_F(HostQueryTest, SwitchedOffQueryNeverAsks) {
  AddServer(*set_, MakeServer("VK-8", "10.0.0.1", "", "a.lab"));
  query_.LoadInterval(0);
  clock_.Advance(100000);
  EXPECT_FALSE(query_.Step(*set_));
  EXPECT_TRUE(asked_.empty());
}

TEST(ResolveWithin, ADeadResolverIsAbandonedAfterTheDeadline) {
  std::promise<void> release;
  std::shared_future<void> gate = release.get_future().share();
  uint32_t address = 77;
  int rc = ResolveWithin(
      [gate](const std::string&, uint32_t* a) {
        gate.wait();
        *a = 1;
        return 0;
      },
      "slow.lab", &address, 20);
  release.set_value();
  EXPECT_EQ(rc, kResolveTimedOut);
  EXPECT_EQ(address, 77u);
}

TEST(ResolveWithin, AnswerInTimeIsPassedOn) {
  uint32_t address = 0;
  int rc = ResolveWithin(
      [](const std::string& host, uint32_t* a) {
        *a = host == "ok.lab" ? 0x0100000Au : 0;
        return 0;
      },
      "ok.lab", &address, 10000);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(address, 0x0100000Au);
  rc = ResolveWithin([](const std::string&, uint32_t*) { return -2; }, "x", &address, 10000);
  EXPECT_EQ(rc, -2);
}

}  // namespace
}  // namespace tarvik::app
