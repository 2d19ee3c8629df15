// The port mapping page's widget-free rules: the COM numbers offered and the
// flush interval.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "port_map_choice.h"

namespace {

using namespace tarvik::device;

TEST(ComChoices, OwnNumberIsOfferedAlthoughTheConfigurationUsesIt) {
  static uint8_t occupied[kComNumbers], own[kComNumbers], inUse[kComNumbers];
  std::memset(occupied, 0, sizeof occupied);
  std::memset(own, 0, sizeof own);
  occupied[0] = occupied[2] = 1;  // COM1 and COM3: other serial ports
  own[6] = own[7] = 1;            // COM7 (this port) and COM8 (another)
  BuildComInUse(occupied, own, 7, inUse);
  EXPECT_EQ(FreeComNumbers(inUse, 9), (std::vector<uint32_t>{2, 4, 5, 6, 7, 9}));
  // Another port's number is never offered, not even when it is ours too.
  BuildComInUse(occupied, own, 3, inUse);
  EXPECT_EQ(FreeComNumbers(inUse, 9), (std::vector<uint32_t>{2, 3, 4, 5, 6, 9}));
  EXPECT_EQ(FreeComNumbers(inUse, 100000).size(), size_t(kComNumbers - 3));
}

TEST(ComChoices, ListTextsAndBack) {
  EXPECT_EQ(ComListText(0), "UnMap");
  EXPECT_EQ(ComListText(4095), "COM4095");
  EXPECT_EQ(ComFromListText("COM12"), 12u);
  for (const char* text : {"UnMap", "", "COM", "COM0x", "COM4096", "com5", "COM99999"})
    EXPECT_EQ(ComFromListText(text), 0u) << text;
}

TEST(FlushInterval, AcceptedFromTenToFiveHundred) {
  uint32_t ms = 0;
  for (const char* bad : {"5", "9", "501", "", "5O", "-10", "0010000", "0501", "00009",
                          "99999999999999999999", " 100"})
    EXPECT_FALSE(ParseFlushInterval(bad, &ms)) << bad;
  const struct {
    const char* text;
    uint32_t ms;
  } good[] = {{"500", 500}, {"10", 10}, {"00100", 100}, {"0010", 10},
              {"00000000000000000000500", 500}};
  for (const auto& row : good) {
    ms = 0;
    EXPECT_TRUE(ParseFlushInterval(row.text, &ms)) << row.text;
    EXPECT_EQ(ms, row.ms) << row.text;
  }
  EXPECT_EQ(InitialFlushIntervalMs(0), 50u);
  EXPECT_EQ(InitialFlushIntervalMs(1), 10u);
  EXPECT_EQ(InitialFlushIntervalMs(50), 500u);
  EXPECT_EQ(InitialFlushIntervalMs(51), 50u);
  EXPECT_EQ(InitialFlushIntervalMs(0xFFFFFFFFu), 50u);
}

}  // namespace
