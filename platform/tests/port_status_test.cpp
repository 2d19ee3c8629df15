#include "tarvik/port_status.h"

#include <gtest/gtest.h>

namespace vonderil {
namespace {

struct LineCase {
  const char* name;
  const char* line;
  bool parses;
};

class PortStatusLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(PortStatusLineTest, Parses) {
  PortStatusLine p;
  EXPECT_EQ(ParsePortStatusLine(GetParam().line, &p), GetParam().parses) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, PortStatusLineTest,
    ::testing::Values(
        LineCase{"Connected", "COM5 connected 1.2.3.4:10001 - primary held 1 2 3 57600/1 ok", true},
        LineCase{"AnOlderDriversLine", "COM5 connected 1.2.3.4:10001 - primary held 1 2", true},
        LineCase{"Closing", "COM5 closing 1.2.3.4:10001 - primary free 1 2 3 - -", true},
        LineCase{"SettingsFailed", "COM5 connected 1.2.3.4:1 - primary held 1 2 3 115200/2 failed", true},
        LineCase{"ThreeStopBits", "COM5 connected 1.2.3.4:1 - primary held 1 2 3 9600/3 ok", false},
        LineCase{"NoBaudRate", "COM5 connected 1.2.3.4:1 - primary held 1 2 3 /1 ok", false},
        LineCase{"SettingsNotKnown", "COM5 connected 1.2.3.4:1 - primary held 1 2 3 - unknown", true},
        LineCase{"UnknownLineState", "COM5 connected 1.2.3.4:1 - primary held 1 2 3 9600/1 maybe", false},
        LineCase{"LineStateMissing", "COM5 connected 1.2.3.4:1 - primary held 1 2 3 9600/1", false},
        LineCase{"Redundant", "COM4095 reconnecting 1.2.3.4:9 5.6.7.8:9 - free 0 0", true},
        LineCase{"ComZero", "COM0 idle 1.2.3.4:1 - - free 0 0", false},
        LineCase{"ComTooHigh", "COM4096 idle 1.2.3.4:1 - - free 0 0", false},
        LineCase{"UnknownState", "COM5 sleeping 1.2.3.4:1 - - free 0 0", false},
        LineCase{"CountOverflows", "COM5 idle 1.2.3.4:1 - - free 18446744073709551616 0", false},
        LineCase{"CountAtMaximum", "COM5 idle 1.2.3.4:1 - - free 18446744073709551615 0", true},
        LineCase{"NegativeCount", "COM5 idle 1.2.3.4:1 - - free -1 0", false},
        LineCase{"FieldMissing", "COM5 idle 1.2.3.4:1 - - free 0", false},
        LineCase{"FieldTooMany", "COM5 idle 1.2.3.4:1 - - free 0 0 0 - - raw - - - x", false},
        LineCase{"Rfc2217", "COM5 connected 1.2.3.4:1 - primary held 1 2 3 57600/1 ok rfc2217 57600 0x60 0xb0", true},
        LineCase{"Rfc2217NothingReported", "COM5 connected 1.2.3.4:1 - primary held 1 2 3 - data-only rfc2217 - - -", true},
        LineCase{"Unacknowledged", "COM5 connected 1.2.3.4:1 - primary held 1 2 3 9600/1 unacknowledged rfc2217 - - -", true},
        LineCase{"UnknownProtocol", "COM5 idle 1.2.3.4:1 - - free 0 0 0 - - telnet - - -", false},
        LineCase{"ServerBaudZero", "COM5 idle 1.2.3.4:1 - - free 0 0 0 - - rfc2217 0 - -", false},
        LineCase{"BitsNotHex", "COM5 idle 1.2.3.4:1 - - free 0 0 0 - - rfc2217 - 0xg0 -", false},
        LineCase{"BitsTooLong", "COM5 idle 1.2.3.4:1 - - free 0 0 0 - - rfc2217 - - 0x100", false},
        LineCase{"Rfc2217FieldMissing", "COM5 idle 1.2.3.4:1 - - free 0 0 0 - - rfc2217 - -", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PortStatusFileTest, FormatsWhatItParsesAndListsTheHeldPorts) {
  PortStatusLine a;
  a.comNumber = 5;
  a.state = "connected";
  a.address = "10.0.0.1:10001";
  a.address2 = "-";
  a.inUse = "primary";
  a.held = true;
  a.toDevice = 7;
  a.fromDevice = 9;
  a.sessions = 4;
  a.line = "57600/2";
  a.lineState = "failed";
  PortStatusLine b = a;
  b.comNumber = 6;
  b.held = false;
  b.protocol = "rfc2217";
  b.serverBaud = 115200;
  b.lineBits = 0x60;
  b.modemBits = 0;
  const std::string text = "Vonderil 1234 stopping\n" + FormatPortStatusLine(a) + "\n" +
                           "a line of something else\n" + FormatPortStatusLine(b) + "\n";
  PortStatusFile file;
  ASSERT_TRUE(ParsePortStatusText(text, &file));
  EXPECT_EQ(file.pid, 1234);
  EXPECT_TRUE(file.stopping);
  ASSERT_EQ(file.ports.size(), 2u);
  EXPECT_EQ(file.ports[0].fromDevice, 9u);
  EXPECT_EQ(file.ports[0].sessions, 4u);
  EXPECT_EQ(file.ports[0].line, "57600/2");
  EXPECT_EQ(file.ports[0].lineState, "failed");
  EXPECT_EQ(file.ports[0].protocol, "raw");
  EXPECT_EQ(file.ports[0].lineBits, -1);
  EXPECT_EQ(file.ports[1].protocol, "rfc2217");
  EXPECT_EQ(file.ports[1].serverBaud, 115200u);
  EXPECT_EQ(file.ports[1].lineBits, 0x60);
  EXPECT_EQ(file.ports[1].modemBits, 0);
  EXPECT_EQ(HeldComNumbers(file), std::vector<uint32_t>{5});
  EXPECT_FALSE(ParsePortStatusText("Vonderil 0 running\n", &file));
  EXPECT_FALSE(ParsePortStatusText("Other 12 running\n", &file));
}

}  // namespace
}  // namespace vonderil
