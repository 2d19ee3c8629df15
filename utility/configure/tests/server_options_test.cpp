// The server options' checks and how they go into and out of a record.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "server_options.h"

namespace {

using namespace tarvik::device;

struct NumbersCase {
  const char* name;
  std::string texts[kServerOptionNumbers];
  int failed;  // -1: all pass
  const char* message;
};

const char kKeepAlive[] = "Input a value between 0 to 1800 seconds for Keep Alive Time.";
const char kBroken[] = "Input a value between 0 to 4000000 seconds for Connection Broken.";
const char kTimeout[] = "Input a value between 1 to 180 seconds for Connect Timeout.";
const char kCmdPort[] = "Input a value between 10 to 65500 for Command Port.";
const char kIoPort[] = "Input a value between 10 to 65500 for Virtual I/O Port.";

class OptionNumbers : public ::testing::TestWithParam<NumbersCase> {};

TEST_P(OptionNumbers, FirstFailingCheckInOrder) {
  const NumbersCase& c = GetParam();
  int32_t values[kServerOptionNumbers] = {};
  const char* message = "untouched";
  EXPECT_EQ(CheckOptionNumbers(c.texts, values, &message), c.failed);
  if (c.failed < 0) {
    EXPECT_EQ(message, nullptr);
  } else {
    EXPECT_STREQ(message, c.message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, OptionNumbers,
    ::testing::Values(
        NumbersCase{"UpperLimitsPass", {"1800", "4000000", "180", "65500", "65500"}, -1, nullptr},
        NumbersCase{"LowerLimitsPass", {"0", "0", "1", "10", "10"}, -1, nullptr},
        NumbersCase{"BlanksAroundAndPlusSignPass", {" 30 ", "+5", "3", "10000", "9999"}, -1, nullptr},
        NumbersCase{"NegativeKeepAlive", {"-1", "0", "3", "10000", "9999"}, 0, kKeepAlive},
        NumbersCase{"KeepAliveAboveRange", {"1801", "0", "3", "10000", "9999"}, 0, kKeepAlive},
        NumbersCase{"BrokenAboveRange", {"30", "4000001", "3", "10000", "9999"}, 1, kBroken},
        NumbersCase{"ConnectTimeoutZero", {"30", "0", "0", "10000", "9999"}, 2, kTimeout},
        NumbersCase{"ConnectTimeoutAboveRange", {"30", "0", "181", "10000", "9999"}, 2, kTimeout},
        NumbersCase{"CommandPortAboveRange", {"30", "0", "3", "65501", "9999"}, 3, kCmdPort},
        NumbersCase{"CommandPortBelowRange", {"30", "0", "3", "9", "9999"}, 3, kCmdPort},
        NumbersCase{"IoPortBelowRange", {"30", "0", "3", "10000", "9"}, 4, kIoPort},
        NumbersCase{"EmptyIsNotANumber", {"", "0", "3", "10000", "9999"}, 0, kKeepAlive},
        NumbersCase{"TrailingLettersAreNotANumber", {"30", "12s", "3", "10000", "9999"}, 1, kBroken},
        NumbersCase{"BeyondThirtyTwoBitsIsNotANumber",
                    {"30", "0", "3", "10000", "4294977296"}, 4, kIoPort},
        NumbersCase{"OnlyTheFirstOfSeveralFailuresCounts",
                    {"30", "-2", "0", "0", "0"}, 1, kBroken}),
    [](const ::testing::TestParamInfo<NumbersCase>& info) { return info.param.name; });

TEST(OptionNumbers, ValuesReadAreReturned) {
  const std::string texts[kServerOptionNumbers] = {" 30", "4000000", "180", "10000", "+9999"};
  int32_t values[kServerOptionNumbers] = {};
  ASSERT_EQ(CheckOptionNumbers(texts, values, nullptr), -1);
  EXPECT_EQ(values[kKeepAliveTime], 30);
  EXPECT_EQ(values[kConnectionBroken], 4000000);
  EXPECT_EQ(values[kTcpPort7000], 9999);
}

TkcServerRecord Record() {
  TkcServerRecord r;
  std::memset(&r, 0, sizeof r);
  r.IPAddress = 0x0A00000A;   // 10.0.0.10
  r.IPAddress2 = 0x0B00000A;  // 10.0.0.11
  r.KeepAliveTime = 30500;
  r.ConnectionBroken = 4000000000u;
  r.ConnectTimeout = 3000;
  r.TcpPortCmd = 10000;
  r.TcpPort7000 = 9999;
  return r;
}

TEST(OptionsRecord, ShownInSecondsAndDottedTexts) {
  TkcServerRecord r = Record();
  r.IPAddress2 = 0;
  const ServerOptions o = OptionsFromRecord(r);
  EXPECT_EQ(o.numbers[kKeepAliveTime], 30);  // whole seconds
  EXPECT_EQ(o.numbers[kConnectionBroken], 4000000);
  EXPECT_EQ(o.numbers[kConnectTimeout], 3);
  EXPECT_EQ(o.address, "10.0.0.10");
  EXPECT_EQ(o.address2, "0.0.0.0");
}

TEST(OptionsRecord, StoredBackInMillisecondsWithBothPorts) {
  TkcServerRecord r = Record();
  ServerOptions o = OptionsFromRecord(r);
  o.numbers[kKeepAliveTime] = 1800;
  o.numbers[kConnectionBroken] = 4000000;  // 4e9 ms still fits the record
  o.numbers[kConnectTimeout] = 180;
  o.numbers[kTcpPortCmd] = 10;
  o.numbers[kTcpPort7000] = 65500;
  const OptionsMerge merge = MergeOptionsIntoRecord(OptionsFromRecord(r), o, r, nullptr);
  EXPECT_TRUE(merge.changed);
  EXPECT_EQ(r.KeepAliveTime, 1800000u);
  EXPECT_EQ(r.ConnectionBroken, 4000000000u);
  EXPECT_EQ(r.ConnectTimeout, 180000u);
  EXPECT_EQ(r.TcpPortCmd, 10u);
  EXPECT_EQ(r.TcpPort7000, 65500u);
  EXPECT_EQ(r.IPAddress, 0x0A00000Au);
}

struct RedundantCase {
  const char* name;
  const char* text;
  uint32_t stored;
};

class RedundantAddress : public ::testing::TestWithParam<RedundantCase> {};

TEST_P(RedundantAddress, ClearedOrReplaced) {
  TkcServerRecord r = Record();
  ServerOptions o = OptionsFromRecord(r);
  o.address2 = GetParam().text;
  EXPECT_EQ(CheckOptionAddresses(o), nullptr);
  MergeOptionsIntoRecord(OptionsFromRecord(r), o, r, nullptr);
  EXPECT_EQ(r.IPAddress2, GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RedundantAddress,
    ::testing::Values(RedundantCase{"ZeroAddressClears", "0.0.0.0", 0},
                      RedundantCase{"EmptyClears", "", 0},
                      RedundantCase{"SingleBlankClears", " ", 0},
                      RedundantCase{"NewAddressIsStored", "10.0.0.12", 0x0C00000A}),
    [](const ::testing::TestParamInfo<RedundantCase>& info) { return info.param.name; });

TEST(OptionsRecord, NothingChangedLeavesTheRecordAsItIs) {
  TkcServerRecord r = Record();  // 30.5 s keep-alive: shown as 30
  r.IPAddress2 = 0;
  const TkcServerRecord before = r;
  ServerOptions o = OptionsFromRecord(r);
  o.address2 = "";  // another way to write "no address"
  EXPECT_TRUE(SameOptions(OptionsFromRecord(r), o));
  const OptionsMerge merge = MergeOptionsIntoRecord(OptionsFromRecord(r), o, r, nullptr);
  EXPECT_FALSE(merge.changed);
  EXPECT_EQ(std::memcmp(&r, &before, sizeof r), 0);
  o.numbers[kTcpPort7000] = 9998;
  EXPECT_FALSE(SameOptions(OptionsFromRecord(r), o));
}

// The page was filled from a record that changed while it was open (a
// host-name lookup, another program): each side's changes survive.
struct MergeCase {
  const char* name;
  const char* typed;      // "IP Address (Primary)" on OK; shown was 10.0.0.10
  uint32_t now;           // the record's address by then
  int decide;             // what a conflict is answered: 1 the typed one, 0 keep, -1 not asked
  uint32_t stored;
  bool keptNewer;
};

class AddressMerge : public ::testing::TestWithParam<MergeCase> {};

TEST_P(AddressMerge, TypedAgainstChangedMeanwhile) {
  const MergeCase& c = GetParam();
  TkcServerRecord r = Record();
  const ServerOptions shown = OptionsFromRecord(r);
  ServerOptions chosen = shown;
  chosen.address = c.typed;
  chosen.numbers[kConnectTimeout] = 7;
  r.IPAddress = c.now;
  r.KeepAliveTime = 45000;  // changed meanwhile too, and left alone on the page
  int asked = 0;
  const OptionsMerge merge = MergeOptionsIntoRecord(
      shown, chosen, r, [&](OptionAddress which, uint32_t typed, uint32_t now) {
        ++asked;
        EXPECT_EQ(which, kPrimaryAddress);
        EXPECT_EQ(now, c.now);
        EXPECT_EQ(typed, 0x1400000Au);  // 10.0.0.20
        return c.decide == 1;
      });
  EXPECT_EQ(asked, c.decide < 0 ? 0 : 1);
  EXPECT_EQ(r.IPAddress, c.stored);
  EXPECT_EQ(merge.keptNewer[kPrimaryAddress], c.keptNewer);
  EXPECT_FALSE(merge.keptNewer[kRedundantAddress]);
  EXPECT_EQ(r.ConnectTimeout, 7000u);
  EXPECT_EQ(r.KeepAliveTime, 45000u);
  EXPECT_EQ(r.IPAddress2, 0x0B00000Au);
  EXPECT_TRUE(merge.changed);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AddressMerge,
    ::testing::Values(
        MergeCase{"TypedOverUnchanged", "10.0.0.20", 0x0A00000A, -1, 0x1400000A, false},
        MergeCase{"LeftAloneKeepsTheNewer", "10.0.0.10", 0x0900000A, -1, 0x0900000A, true},
        MergeCase{"BothTheSame", "10.0.0.20", 0x1400000A, -1, 0x1400000A, false},
        MergeCase{"ConflictAnsweredTyped", "10.0.0.20", 0x0900000A, 1, 0x1400000A, false},
        MergeCase{"ConflictAnsweredKeep", "10.0.0.20", 0x0900000A, 0, 0x0900000A, false}),
    [](const ::testing::TestParamInfo<MergeCase>& info) { return info.param.name; });

TEST(OptionAddresses, PrimaryMustBeValid) {
  ServerOptions o = OptionsFromRecord(Record());
  for (const char* bad : {"", "0.0.0.0", "10.0.0.300", "010.0.0.1", "10.0.0.1 "}) {
    o.address = bad;
    EXPECT_STREQ(CheckOptionAddresses(o),
                 "Invalid IP Address (Primary) on Server-Options setting!")
        << bad;
  }
}

TEST(OptionAddresses, RedundantMustBeValidUnlessCleared) {
  ServerOptions o = OptionsFromRecord(Record());
  for (const char* bad : {"  ", "10.0.0", "1.2.3.4.5", "10.0.0.01"}) {
    o.address2 = bad;
    EXPECT_STREQ(CheckOptionAddresses(o),
                 "Invalid Redundant IP (Secondary) on Server-Options setting!")
        << bad;
  }
}

}  // namespace
