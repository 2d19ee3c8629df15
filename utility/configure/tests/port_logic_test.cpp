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
  EXPECT_EQ(OfferedComNumbers(inUse, 9, 7), (std::vector<uint32_t>{2, 4, 5, 6, 7, 9}));
  // Another port's number is never offered, not even when it is ours too.
  BuildComInUse(occupied, own, 3, inUse);
  EXPECT_EQ(OfferedComNumbers(inUse, 9, 3), (std::vector<uint32_t>{2, 3, 4, 5, 6, 9}));
  EXPECT_EQ(OfferedComNumbers(inUse, 100000, 3).size(), size_t(kComNumbers - 3));
}

TEST(ComChoices, OwnNumberAboveTheHighestOfferedIsListedLast) {
  static uint8_t occupied[kComNumbers], own[kComNumbers], inUse[kComNumbers];
  std::memset(occupied, 0, sizeof occupied);
  std::memset(own, 0, sizeof own);
  own[599] = own[699] = 1;  // COM600 (this port) and COM700 (another)
  BuildComInUse(occupied, own, 600, inUse);
  const std::vector<uint32_t> offered = OfferedComNumbers(inUse, 512, 600);
  ASSERT_EQ(offered.size(), size_t(513));
  EXPECT_EQ(offered[511], 512u);
  EXPECT_EQ(offered.back(), 600u);
  EXPECT_EQ(OfferedComNumbers(inUse, 512, 0).size(), size_t(512));
  EXPECT_EQ(OfferedComNumbers(inUse, 512, 5000).size(), size_t(512)) << "not a COM number";
}

tarvik::app::ServerRecord PortRecord() {
  tarvik::app::ServerRecord r;
  std::memset(&r, 0, sizeof r);
  r.PortNo = 2;
  r.PortMap[2].Com = 7 | TKC_COM_FIXED_CONFIG;
  r.PortMap[2].Options = TkcOptSetAutoFlush(TKC_OPT_WRITE_BUFFER, 12);
  r.PortMap[0].Com = TKC_COM_FIXED_CONFIG | TKC_COM_DISABLE_PURGE;
  r.PortMap[0].Options = TkcOptSetAutoFlush(0, 0);  // out of range: shown as 50
  return r;
}

TEST(PortChoice, ShownAsThePageStarts) {
  const auto r = PortRecord();
  const PortMapChoice data = ShownPortChoice(r, 2, true);
  EXPECT_EQ(data.com, 7u);
  EXPECT_TRUE(data.reassign);
  EXPECT_FALSE(data.applyToSlots);
  EXPECT_TRUE(data.fixedBaud);
  EXPECT_FALSE(data.disablePurge);
  EXPECT_TRUE(data.writeBuffer);
  EXPECT_EQ(data.intervalMs, 120u);
  const PortMapChoice io = ShownPortChoice(r, 0, false);
  EXPECT_EQ(io.com, 0u);
  EXPECT_FALSE(io.fixedBaud) << "the I/O port's box starts clear";
  EXPECT_TRUE(io.disablePurge);
  EXPECT_EQ(io.intervalMs, 50u);
  auto slotted = r;
  slotted.Slotted = 1;
  EXPECT_TRUE(ShownPortChoice(slotted, 0, false).applyToSlots);
  EXPECT_FALSE(ShownPortChoice(slotted, 2, false).applyToSlots);
}

TEST(PortChoice, MergeTakesWhatTheUserChangedAndKeepsTheRestAsItIsNow) {
  PortMapChoice shown;
  shown.com = 7;
  shown.reassign = true;
  shown.intervalMs = 120;
  shown.writeBuffer = true;
  PortMapChoice now = shown;  // changed underneath: purge and interval
  now.disablePurge = true;
  now.intervalMs = 200;
  now.com = 9;

  PortMapChoice chosen = shown;  // the user: another COM, re-assign off
  chosen.com = 12;
  chosen.reassign = false;
  chosen.applyToSlots = true;
  PortMapChoice merged = MergePortChoice(shown, chosen, now);
  EXPECT_EQ(merged.com, 12u);
  EXPECT_FALSE(merged.reassign);
  EXPECT_TRUE(merged.applyToSlots);
  EXPECT_TRUE(merged.disablePurge);
  EXPECT_EQ(merged.intervalMs, 200u);
  EXPECT_TRUE(merged.writeBuffer);

  chosen = shown;  // the user: the interval only
  chosen.intervalMs = 300;
  merged = MergePortChoice(shown, chosen, now);
  EXPECT_EQ(merged.com, 9u);
  EXPECT_EQ(merged.intervalMs, 300u);
  EXPECT_TRUE(SamePortChoice(MergePortChoice(shown, shown, now), now));
  EXPECT_FALSE(SamePortChoice(shown, chosen));
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
