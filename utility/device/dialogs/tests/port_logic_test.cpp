// The port page's widget-free rules: the reply parse per kind of port, the
// data format a choice makes, the COM numbers offered and the interval.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "port_format.h"
#include "port_map_choice.h"
#include "port_payload.h"

namespace {

using namespace tarvik::device;

struct PayloadRow {
  const char* name;
  int entry;
  const char* payload;
  PortParse result;
  const char* baud;
  int dataBits, parity, stopBits;
};

const PayloadRow kPayloads[] = {
    {"3147", 4, "9600N81", PortParse::kOk, "9600", 3, 0, 0},
    {"3147", 4, "115200\r\nE,7,2", PortParse::kOk, "115200", 2, 1, 1},
    // Two stop bits on the first data ports only where the model has them.
    {"3147", 2, "9600N82", PortParse::kBadItem, "9600", 3, 0, -1},
    {"WYB-2000", 2, "9600N82", PortParse::kOk, "9600", 3, 0, 1},
    {"3147", 4, "9600N82", PortParse::kOk, "9600", 3, 0, 1},
    // Limited ports: 7 and 8 data bits are positions 0 and 1, 5 and 6 fail.
    {"Q410X-4", 2, "9600E71", PortParse::kOk, "9600", 0, 1, 0},
    {"Q410X-4", 3, "9600N61", PortParse::kBadItem, "9600", -1, 0, -1},
    {"Q410X-4", 4, "9600N61", PortParse::kOk, "9600", 1, 0, 0},
    {"ZKCJ-4", 2, "4800O81", PortParse::kOk, "4800", 1, 2, 0},
    // Mark and space are not in a limited port's parity list.
    {"Q410X-4", 2, "9600M81", PortParse::kBadItem, "9600", 1, -1, 0},
    {"3147", 4, "9600S51", PortParse::kOk, "9600", 0, 4, 0},
    {"3147", 4, "N81", PortParse::kNoBaudRate, "N/A", -1, -1, -1},
    {"3147", 4, "", PortParse::kNoBaudRate, "N/A", -1, -1, -1},
    {"3147", 4, "9600N8x", PortParse::kBadItem, "9600", 3, 0, -1},
};

TEST(PortPayload, ParsesIntoListPositionsPerKindOfPort) {
  for (const PayloadRow& row : kPayloads) {
    PortPageValues values;
    EXPECT_EQ(ParsePortPayload(row.payload, row.name, row.entry, &values), row.result)
        << row.name << " " << row.entry << " " << row.payload;
    EXPECT_EQ(values.baud, row.baud) << row.payload;
    EXPECT_EQ(values.dataBits, row.dataBits) << row.payload;
    EXPECT_EQ(values.parity, row.parity) << row.payload;
    EXPECT_EQ(values.stopBits, row.stopBits) << row.payload;
  }
}

TEST(PortPayload, LimitedPortsAreTheFirstDataPortsOfFourModelFamilies) {
  EXPECT_TRUE(IsLimitedPort("VF-73xx", 2));
  EXPECT_TRUE(IsLimitedPort("XYZ-3", 3));
  EXPECT_TRUE(IsLimitedPort("Q410X", 0));
  EXPECT_FALSE(IsLimitedPort("Q410X-4", 4));
  EXPECT_FALSE(IsLimitedPort("Q410", 2));
  EXPECT_FALSE(IsLimitedPort("XYZ-2", 2));
}

TEST(PortFormat, FirstCharactersOfTheChosenEntries) {
  char format[4];
  ASSERT_TRUE(BuildDataFormat(false, 3, 0, 0, format));
  EXPECT_STREQ(format, "8N1");
  ASSERT_TRUE(BuildDataFormat(true, 0, 1, 1, format));
  EXPECT_STREQ(format, "7E2");
  ASSERT_TRUE(BuildDataFormat(false, 1, 4, 0, format));
  EXPECT_STREQ(format, "6S1");
  // Nothing chosen, or a position the limited lists do not have.
  EXPECT_FALSE(BuildDataFormat(false, -1, 0, 0, format));
  EXPECT_STREQ(format, "");
  EXPECT_FALSE(BuildDataFormat(true, 2, 0, 0, format));
  EXPECT_FALSE(BuildDataFormat(true, 0, 3, 0, format));
  EXPECT_FALSE(BuildDataFormat(false, 0, 0, 2, format));
}

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
  for (const char* bad : {"5", "9", "501", "", "5O", "-10", "0010000"})
    EXPECT_FALSE(ParseFlushInterval(bad, &ms)) << bad;
  EXPECT_TRUE(ParseFlushInterval("500", &ms));
  EXPECT_EQ(ms, 500u);
  EXPECT_TRUE(ParseFlushInterval("10", &ms));
  EXPECT_EQ(ms, 10u);
  EXPECT_EQ(InitialFlushIntervalMs(0), 50u);
  EXPECT_EQ(InitialFlushIntervalMs(1), 10u);
  EXPECT_EQ(InitialFlushIntervalMs(50), 500u);
  EXPECT_EQ(InitialFlushIntervalMs(51), 50u);
  EXPECT_EQ(InitialFlushIntervalMs(0xFFFFFFFFu), 50u);
}

}  // namespace
