#include "cmip.h"

#include <gtest/gtest.h>

namespace {

struct ParseCase {
  const char* name;
  const char* text;
  uint32_t value;
  const char* stored;
  bool valid;  // IsValidText
};

const ParseCase kParseCases[] = {
    {"Plain", "192.168.0.1", 0x0100A8C0u, "192.168.0.1", true},
    {"FirstOctetLowestByte", "10.1.2.3", 0x0302010Au, "10.1.2.3", true},
    {"LeadingBlank", " 10.1.2.3", 0x0302010Au, "10.1.2.3", false},
    {"TrailingBlank", "192.168.0.1 ", 0x0100A8C0u, "192.168.0.1", false},
    {"LeadingZeros", "192.168.000.001", 0x0100A8C0u, "192.168.0.1", false},
    {"LeadingZeroFirst", "010.1.2.3", 0x0302010Au, "10.1.2.3", false},
    {"OctetAbove255", "10.0.0.300", 0, "0.0.0.0", false},
    {"ThreeFields", "1.2.3", 0, "0.0.0.0", false},
    {"FiveFieldsKeepsFour", "1.2.3.4.5", 0x04030201u, "1.2.3.4", false},
    {"AllZero", "0.0.0.0", 0, "0.0.0.0", false},
    {"Empty", "", 0, "0.0.0.0", false},
    {"LeadingDot", ".1.2.3", 0, "0.0.0.0", false},
    {"TrailingDot", "1.2.3.", 0, "0.0.0.0", false},
    {"Letter", "1.2.3.a", 0, "0.0.0.0", false},
    {"Minus", "1.2.-3.4", 0, "0.0.0.0", false},
    {"EmptyFieldReadsZero", "1..3.4", 0x04030001u, "1.0.3.4", false},
    {"BlankInsideField", "1.2 5.3.4", 0x04030201u, "1.2.3.4", false},
    {"HugeNumberNoOverflow", "1.99999999999999999999.3.4", 0, "0.0.0.0", false},
    {"Broadcast", "255.255.255.255", 0xFFFFFFFFu, "255.255.255.255", true},
};

class CmipParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CmipParse, StoresValueTextAndValidity) {
  const ParseCase& c = GetParam();
  CMIP ip;
  EXPECT_EQ(ip.SetTextGetValue(c.text), c.value);
  EXPECT_EQ(ip.GetText(), c.stored);
  EXPECT_EQ(ip.IsValidText(c.text), c.valid);
}

INSTANTIATE_TEST_SUITE_P(Texts, CmipParse, ::testing::ValuesIn(kParseCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Cmip, FreshValueIsZeroAddress) {
  CMIP ip;
  EXPECT_EQ(ip.GetValue(), 0u);
  EXPECT_EQ(ip.GetText(), "0.0.0.0");
}

TEST(Cmip, FailedParseClearsEarlierValue) {
  CMIP ip;
  ip.SetText("10.0.0.1");
  ip.SetText("10.0.0.256");
  EXPECT_EQ(ip.GetValue(), 0u);
  EXPECT_EQ(ip.GetText(), "0.0.0.0");
}

TEST(Cmip, SetValueShowsZeroAsZeroAddress) {
  CMIP ip;
  ip.SetValue(0x0100A8C0u);
  EXPECT_EQ(ip.GetText(), "192.168.0.1");
  ip.SetValue(0);
  EXPECT_EQ(ip.GetText(), "0.0.0.0");
}

TEST(Cmip, NullTextIsInvalid) {
  CMIP ip;
  ip.SetText(nullptr);
  EXPECT_EQ(ip.GetValue(), 0u);
  EXPECT_FALSE(ip.IsValidText(nullptr));
}

}  // namespace
