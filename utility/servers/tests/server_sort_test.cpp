#include "server_sort.h"

#include <gtest/gtest.h>

#include "record_fixture.h"

namespace tarvik::app {
namespace {
using testing::AddServer;
using testing::MakeServer;
using testing::MakeSet;

std::vector<uint16_t> Order(std::initializer_list<int> v) {
  return std::vector<uint16_t>(v.begin(), v.end());
}

class ServerSort : public ::testing::Test {
 protected:
  void SetUp() override {
    set_ = MakeSet();
    AddServer(*set_, MakeServer("VK-8", "9.0.0.3", "beta", "c.lab"));
    AddServer(*set_, MakeServer("NGR-3", "10.0.0.2", "", "a.lab"));
    AddServer(*set_, MakeServer("4629", "192.168.0.1", "alpha", ""));
  }
  std::unique_ptr<ConfigSet> set_;
};

TEST_F(ServerSort, NoneKeepsStoreOrder) {
  EXPECT_EQ(SortOrder(*set_, kSortNone), Order({0, 1, 2}));
}

TEST_F(ServerSort, UnknownTypeKeepsStoreOrder) {
  EXPECT_EQ(SortOrder(*set_, 7), Order({0, 1, 2}));
  EXPECT_EQ(SortOrder(*set_, -1), Order({0, 1, 2}));
}

TEST_F(ServerSort, ModelNameIsBytewise) {
  // Digits sort before upper-case letters.
  EXPECT_EQ(SortOrder(*set_, kSortModelName), Order({2, 1, 0}));
}

TEST_F(ServerSort, EmptyAliasComesFirst) {
  EXPECT_EQ(SortOrder(*set_, kSortAliasName), Order({1, 2, 0}));
}

TEST_F(ServerSort, AddressWeighsTheFourthOctetMost) {
  // 10.0.0.2 before 9.0.0.3: the fourth octets 2 and 3 decide; 192.168.0.1
  // has the smallest fourth octet.
  EXPECT_EQ(SortOrder(*set_, kSortIpAddress), Order({2, 1, 0}));
}

TEST_F(ServerSort, HostName) {
  EXPECT_EQ(SortOrder(*set_, kSortHostName), Order({2, 1, 0}));
}

TEST(ServerSortSizes, EmptyAndSingleSets) {
  auto set = MakeSet();
  EXPECT_TRUE(SortOrder(*set, kSortIpAddress).empty());
  AddServer(*set, MakeServer("VK-8", "1.1.1.1"));
  EXPECT_EQ(SortOrder(*set, kSortIpAddress), Order({0}));
}

TEST(ServerSortSizes, CountAboveTheSetIsCapped) {
  auto set = MakeSet();
  set->Servers = 70000;
  EXPECT_EQ(SortOrder(*set, kSortNone).size(), static_cast<size_t>(kMaxServers));
}

}  // namespace
}  // namespace tarvik::app
