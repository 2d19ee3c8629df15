#include "search_rows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "model_filter.h"
#include "record_fixture.h"

namespace tarvik::app {
namespace {
using testing::AddServer;
using testing::MakeServer;
using testing::MakeSet;

ModuleInfo Device(const char* name, const char* ip, const char* alias, int dhcp = 0) {
  ModuleInfo m;
  memset(&m, 0, sizeof m);
  CopyText(m.name, name);
  CopyText(m.alias, alias);
  CopyText(m.ip, ip);
  CopyText(m.mask, "255.255.255.0");
  CopyText(m.gateway, "10.77.0.254");
  CopyText(m.mac, "02:4E:A7:00:00:01");
  m.dhcp = dhcp;
  return m;
}

struct FilterCase {
  const char* name;
  bool listed;
};

class ModelFilter : public ::testing::TestWithParam<FilterCase> {};

TEST_P(ModelFilter, Prefix) { EXPECT_EQ(IsListedModel(GetParam().name), GetParam().listed); }

INSTANTIATE_TEST_SUITE_P(
    Names, ModelFilter,
    ::testing::Values(FilterCase{"RRB-341", true}, FilterCase{"rrb-341", false},
                      FilterCase{"983", true}, FilterCase{"98", false},
                      FilterCase{"4629-T", true}, FilterCase{"462", false},
                      FilterCase{"kV-2000", true}, FilterCase{"KV-2000", false},
                      FilterCase{"Q410X-4", true}, FilterCase{"Q410-4", false},
                      FilterCase{"ZH-BW779", true}, FilterCase{"ZH-B", false},
                      FilterCase{"vWQV1L", true}, FilterCase{"vWQV1", false},
                      FilterCase{"BOOTP", false}, FilterCase{"", false}),
    [](const ::testing::TestParamInfo<FilterCase>& info) {
      std::string n;
      for (const char* p = info.param.name; *p; ++p) n += isalnum((unsigned char)*p) ? *p : '_';
      return "n" + n + (info.param.listed ? "_listed" : "_dropped");
    });

TEST(SearchColumnTexts, EmptyAliasAndDhcpWords) {
  auto cols = SearchColumnTexts(Device("Q410X-4", "10.77.0.2", "", 2));
  EXPECT_EQ(cols[0], "Q410X-4");
  EXPECT_EQ(cols[1], "N/A");
  EXPECT_EQ(cols[2], "10.77.0.2");
  EXPECT_EQ(cols[3], "255.255.255.0");
  EXPECT_EQ(cols[4], "10.77.0.254");
  EXPECT_EQ(cols[5], "02:4E:A7:00:00:01");
  EXPECT_EQ(cols[6], "OFF");
  EXPECT_EQ(SearchColumnTexts(Device("Q410X-4", "10.77.0.2", "hall", 1))[6], "ON");
  EXPECT_EQ(SearchColumnTexts(Device("Q410X-4", "10.77.0.2", "hall", 0))[6], "OFF");
  EXPECT_EQ(SearchColumnTexts(Device("Q410X-4", "10.77.0.2", "hall", 1))[1], "hall");
}

TEST(SearchRowMap, RowsMapToRecordsAndStopAtCapacity) {
  SearchRowMap map;
  EXPECT_TRUE(map.Append(1));
  EXPECT_TRUE(map.Append(3));
  EXPECT_EQ(map.RecordOf(0), 1);
  EXPECT_EQ(map.RecordOf(1), 3);
  EXPECT_EQ(map.RecordOf(2), 0);
  EXPECT_EQ(map.RecordOf(-1), 0);
  for (int i = 4; map.Append(i);) ++i;
  EXPECT_EQ(map.Rows(), 255);
  EXPECT_TRUE(map.Full());
  map.Clear();
  EXPECT_EQ(map.Rows(), 0);
  EXPECT_EQ(map.RecordOf(0), 0);
}

TEST(ParseIpv4, StoreEncoding) {
  uint32_t a = 0;
  EXPECT_TRUE(ParseIpv4("10.77.0.2", &a));
  EXPECT_EQ(a, 0x02004D0Au);
  EXPECT_FALSE(ParseIpv4("10.77.0", &a));
  EXPECT_FALSE(ParseIpv4("", &a));
}

class CopyAlias : public ::testing::Test {
 protected:
  void SetUp() override {
    set_ = MakeSet();
    AddServer(*set_, MakeServer("Q410X-4", "10.77.0.2", "old"));
    AddServer(*set_, MakeServer("Q410X-4T", "10.77.0.2", "old"));
    AddServer(*set_, MakeServer("Q410X-4", "10.77.0.3", "old"));
    AddServer(*set_, MakeServer("Q410X-4", "10.77.0.2", ""));
  }
  int Copy(const ModuleInfo& m) {
    return CopyAliasToServers(*set_, m, [this](int i) { written_.push_back(i); });
  }
  std::unique_ptr<ConfigSet> set_;
  std::vector<int> written_;
};

TEST_F(CopyAlias, OnlyServersWithTheSameAddressAndName) {
  EXPECT_EQ(Copy(Device("Q410X-4", "10.77.0.2", "hall")), 2);
  EXPECT_STREQ(set_->Records[0].AliasName, "hall");
  EXPECT_STREQ(set_->Records[1].AliasName, "old");  // name differs, address matches
  EXPECT_STREQ(set_->Records[2].AliasName, "old");  // address differs
  EXPECT_STREQ(set_->Records[3].AliasName, "hall");
  EXPECT_EQ(written_, (std::vector<int>{0, 3}));
}

TEST_F(CopyAlias, SameAliasWritesNothing) {
  EXPECT_EQ(Copy(Device("Q410X-4", "10.77.0.3", "old")), 0);
  EXPECT_TRUE(written_.empty());
}

TEST_F(CopyAlias, EmptyDeviceAliasClearsTheServerAlias) {
  EXPECT_EQ(Copy(Device("Q410X-4", "10.77.0.3", "")), 1);
  EXPECT_STREQ(set_->Records[2].AliasName, "");
}

TEST_F(CopyAlias, DeviceWithoutAValidAddressMatchesNothing) {
  set_->Records[0].IPAddress = 0;
  EXPECT_EQ(Copy(Device("Q410X-4", "", "hall")), 0);
  EXPECT_STREQ(set_->Records[0].AliasName, "old");
}

}  // namespace
}  // namespace tarvik::app
