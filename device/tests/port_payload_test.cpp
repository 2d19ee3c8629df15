// The port settings a reply gives per kind of port, as list positions, and
// the data format a choice in those lists makes.
#include <gtest/gtest.h>

#include <vector>

#include "port_format.h"
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
    // Mark and space are not in a limited port's parity list: the refused
    // letter ends the reply, so nothing after it is selected.
    {"Q410X-4", 2, "9600M81", PortParse::kBadItem, "9600", -1, -1, -1},
    {"Q410X-4", 3, "9600,7S2", PortParse::kBadItem, "9600", 0, -1, -1},
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

// A format typed on a command line is taken by the rules a reply of that
// port is read with, so it is never one the port then reports as bad.
TEST(PortFormat, FormatTextToListPositionsByThePortsRules) {
  struct Row {
    const char* name;
    int entry;
    const char* format;
    bool taken;
    int dataBits, parity, stopBits;
  };
  const Row rows[] = {
      {"3147", 4, "5N1", true, 0, 0, 0},  // the data bits are not a baud rate digit
      {"3147", 4, "8S2", true, 3, 4, 1},
      {"Q410X-4", 2, "7O1", true, 0, 2, 0},
      {"Q410X-4", 2, "5N1", false, -1, -1, -1},
      {"Q410X-4", 2, "8M1", false, -1, -1, -1},
      {"Q410X-4", 2, "8N2", false, -1, -1, -1},
      {"WYB-2000", 2, "8N2", true, 3, 0, 1},
      {"3147", 4, "8N", false, -1, -1, -1},
      {"3147", 4, "8N12", false, -1, -1, -1},
  };
  for (const Row& row : rows) {
    PortPageValues values;
    EXPECT_EQ(FormatPositions(row.format, row.name, row.entry, &values), row.taken)
        << row.name << " " << row.format;
    EXPECT_EQ(values.dataBits, row.dataBits) << row.format;
    EXPECT_EQ(values.parity, row.parity) << row.format;
    EXPECT_EQ(values.stopBits, row.stopBits) << row.format;
  }
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

}  // namespace
