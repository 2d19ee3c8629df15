#include <gtest/gtest.h>

#include "add_choices.h"
#include "app_state.h"
#include "free_com_list.h"

namespace {

struct CheckCase {
  const char* name;
  void (*edit)(AddServersChoices&);
  const char* message;  // null: passes
};

class ChoicesCheckTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(ChoicesCheckTest, FirstFailingCheckSpeaks) {
  AddServersChoices c;
  c.rangeStart = c.rangeEnd = "10.0.0.1";
  GetParam().edit(c);
  const char* message = CheckAddServersChoices(&c);
  if (GetParam().message == nullptr) {
    EXPECT_EQ(message, nullptr) << message;
  } else {
    ASSERT_NE(message, nullptr);
    EXPECT_STREQ(message, GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Order, ChoicesCheckTest,
    ::testing::Values(
        CheckCase{"defaults_pass", [](AddServersChoices&) {}, nullptr},
        CheckCase{"negative_keep_alive",
                  [](AddServersChoices& c) { c.keepAliveSeconds = -1; },
                  "Input a value between 0 to 1800 seconds for Keep Alive Time."},
        CheckCase{"timeout_zero_before_bad_port",
                  [](AddServersChoices& c) {
                    c.connectTimeoutSeconds = 0;
                    c.commandPort = 65501;
                  },
                  "Input a value between 1 to 180 seconds for Connect Timeout."},
        CheckCase{"io_port_low", [](AddServersChoices& c) { c.ioPort = 9; },
                  "Input a value between 10 to 65500 for Virtual I/O Port."},
        CheckCase{"auto_flush_read_while_write_buffer_off",
                  [](AddServersChoices& c) {
                    c.writeBuffer = false;
                    c.autoFlushMs = 501;
                    c.rangeStart = "";
                  },
                  "Input a value between 10 to 500 ms for Auto-Flush Interval."},
        CheckCase{"blank_name_without_fetch",
                  [](AddServersChoices& c) {
                    c.getNameAutomatically = false;
                    c.serverName = "  \t";
                  },
                  "Server Name is required."},
        CheckCase{"blank_name_with_fetch_passes",
                  [](AddServersChoices& c) { c.serverName = " "; }, nullptr},
        CheckCase{"blank_end", [](AddServersChoices& c) { c.rangeEnd = "   "; },
                  "IP Address is required."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ChoicesTest, TextsComeBackTrimmed) {
  AddServersChoices c;
  c.serverName = " Q410X4 ";
  c.rangeStart = "\t10.0.0.1 ";
  c.rangeEnd = " 10.0.0.9";
  ASSERT_EQ(CheckAddServersChoices(&c), nullptr);
  EXPECT_EQ(c.serverName, "Q410X4");
  EXPECT_EQ(c.rangeStart, "10.0.0.1");
  EXPECT_EQ(c.rangeEnd, "10.0.0.9");
}

TEST(FreeComListTest, OursAtLoadCountsFreeEvenWhereTheMachineListsIt) {
  static uint8_t atLoad[kComMapSize], own[kComMapSize], occupied[kComMapSize];
  atLoad[2] = 1;                // COM3 was ours at load, the driver still holds it
  occupied[2] = 1;
  occupied[3] = 1;              // COM4: another port of the machine
  own[0] = 1;                   // COM1: a port of the set now
  FreeComList list = BuildFreeComList(atLoad, own, occupied);
  ASSERT_GE(list.size(), 3u);
  EXPECT_EQ(list[0], 2);
  EXPECT_EQ(list[1], 3);
  EXPECT_EQ(list[2], 5);
  EXPECT_EQ(occupied[2], 0);
  EXPECT_EQ(list.size(), 4095u - 2);
}

TEST(FreeComListTest, OfferedItemsStopAboveMaxVcomAndSelectionNeedsTwo) {
  FreeComList list = {3, 7, 600, 700};
  EXPECT_EQ(OfferedComCount(list, 512), 2);
  EXPECT_EQ(OfferedComCount(list, 4095), 4);
  EXPECT_EQ(InitialComItem(0), 0);
  EXPECT_EQ(InitialComItem(1), 0);  // a lone free number leaves "UnMap" selected
  EXPECT_EQ(InitialComItem(2), 1);
  EXPECT_EQ(FreeComAt(list, 4), 0);
  EXPECT_EQ(FreeComAt(list, 3), 700);
}

}  // namespace
