#include "text_config_reader.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "config_file_io.h"

using namespace cfgfile;

namespace {

struct Result {
  uint16_t status = 0;
  uint16_t where = 0;
  std::unique_ptr<ConfigSet> set{new ConfigSet()};
  std::string trace;
};

Result Read(const std::string& bytes, const uint8_t* occupied = nullptr) {
  Result r;
  ComCheck coms(occupied);
  testing::internal::CaptureStdout();
  r.status = ReadTextConfig(bytes, r.set.get(), &coms, &r.where);
  r.trace = testing::internal::GetCapturedStdout();
  return r;
}

std::string Fixture(const std::string& name) {
  std::string bytes;
  EXPECT_EQ(ReadWholeFile(std::string(FIXTURE_DIR) + "/" + name, &bytes), FileResult::kOk) << name;
  return bytes;
}

uint32_t Ip(int a, int b, int c, int d) { return a | b << 8 | c << 16 | static_cast<uint32_t>(d) << 24; }

uint32_t Port(uint32_t devicePort, uint32_t index, uint32_t slot, uint32_t com = 0) {
  return devicePort << kDevicePortShift | index << kIndexShift | slot << kSlotShift | com;
}

TEST(TextConfigReader, PrefixedServerLineMapsDataPortsThenTheIoPort) {
  Result r = Read("VERSION=1.1\nIP=10.0.0.VAR\nVAR=IP.5,2,COM3,X,COM4\n");
  ASSERT_EQ(r.status, 0);
  ASSERT_EQ(r.set->Servers, 1u);
  EXPECT_EQ(r.set->Ports, 3u);
  const Record& s = r.set->Records[0];
  EXPECT_STREQ(s.ServerName, "Q410X2");
  EXPECT_EQ(s.IPAddress, Ip(10, 0, 0, 5));
  EXPECT_EQ(s.PortNo, 2u);
  EXPECT_EQ(ComWord(s, 2), Port(1, 1, 0, 3));
  EXPECT_EQ(ComWord(s, 3), Port(2, 2, 0));
  EXPECT_EQ(ComWord(s, 0), kFixedConfig | 4);
  EXPECT_EQ(ComWord(s, 1), kFixedConfig);
  EXPECT_EQ(s.KeepAliveTime, 120000u);
  EXPECT_EQ(s.TcpPort7000, 9999u);
  EXPECT_EQ(r.set->Flags, 0u) << "the text format carries no driver options";
}

TEST(TextConfigReader, FixtureWithCommentsOptionsAndSlotsReadsToTheEndLine) {
  Result r = Read(Fixture("ok_three_servers.cfg"));
  ASSERT_EQ(r.status, 0);
  ASSERT_EQ(r.set->Servers, 3u) << "the END line ends the file";
  EXPECT_EQ(r.set->Ports, 3u + 7u + 5u);

  const Record& a = r.set->Records[0];
  EXPECT_EQ(a.KeepAliveTime, 60000u);
  EXPECT_EQ(a.TcpPortCmd, 10001u);
  EXPECT_EQ(a.ConnectionBroken, 180000u);
  EXPECT_EQ(ComWord(a, 2), Port(1, 1, 0, 3)) << "FIXEDCONFIG 0 for port 1";
  EXPECT_EQ(ComWord(a, 3), Port(2, 2, 0) | kFixedConfig) << "FIXEDCONFIG 1 for port 2";

  const Record& b = r.set->Records[1];
  EXPECT_STREQ(b.ServerName, "H7XZA:2-1300");
  EXPECT_EQ(b.IPAddress, Ip(192, 168, 1, 20));
  EXPECT_EQ(b.KeepAliveTime, 120000u) << "RESET=1 brought the defaults back";
  EXPECT_EQ(b.TcpPortCmd, 10000u);
  ASSERT_EQ(b.PortNo, 6u);
  EXPECT_EQ(ComWord(b, 2), Port(1, 1, 0, 10));
  EXPECT_EQ(ComWord(b, 3), Port(2, 2, 0, 11));
  EXPECT_EQ(ComWord(b, 4), Port(10, 1, 1)) << "an empty token leaves the port unmapped";
  EXPECT_EQ(ComWord(b, 5), Port(14, 1, 2, 13));
  EXPECT_EQ(ComWord(b, 6), Port(15, 2, 2));
  EXPECT_EQ(ComWord(b, 7), Port(16, 3, 2));
  EXPECT_EQ(ComWord(b, 0), kFixedConfig) << "FIXEDCONFIG applied to one server line only";
  EXPECT_EQ(ComWord(b, 2) & kFixedConfig, 0u);

  const Record& c = r.set->Records[2];
  EXPECT_STREQ(c.ServerName, "XYZ-8603A");
  EXPECT_EQ(c.PortNo, 4u);
}

TEST(TextConfigReader, TracesEachInterpretedLineWithItsNumber) {
  Result r = Read(Fixture("ok_three_servers.cfg"));
  EXPECT_EQ(r.trace,
            "\n>line:2, str:[VERSION=1.1]"
            "\n>line:5, str:[IP=10.0.0.VAR]"
            "\n>line:6, str:[OPTIONS=KEEPALIVE=60000,TCPPORTCMD=10001]"
            "\n>line:7, str:[FIXEDCONFIG=0,1]"
            "\n>line:8, str:[VAR=IP.5,2,COM3,X,COM4]"
            "\n>line:9, str:[OPTIONS=RESET=1]"
            "\n>line:10, str:[VAR=192.168.1.20,H7XZA:2-1300,COM10,COM11,,COM13]"
            "\n>line:11, str:[VAR=10.0.0.7,XYZ-8603A]"
            "\n>line:12, str:[END]");
}

TEST(TextConfigReader, LastLineWithoutLineFeedIsLost) {
  Result r = Read("VERSION=1.1\nVAR=10.0.0.5,1,COM1\nVAR=10.0.0.6,1,COM2");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.set->Servers, 1u);
  EXPECT_EQ(Read("VERSION=1.1\nVAR=10.0.0.5,1,COM1").status, kNoServer);
}

TEST(TextConfigReader, OtherTokenEndsTheComList) {
  Result r = Read("VERSION=1.1\nVAR=1.2.3.4,4,COM1,COM0,COM2,X,COM3\nVAR=1.2.3.5,2,COM4096,COM2\n");
  ASSERT_EQ(r.status, 0);
  const Record& s = r.set->Records[0];
  EXPECT_EQ(ComNumber(ComWord(s, 2)), 1u);
  for (int e : {3, 4, 5, 0}) EXPECT_EQ(ComNumber(ComWord(s, e)), 0u) << e;
  EXPECT_EQ(ComNumber(ComWord(r.set->Records[1], 3)), 0u)
      << "COM2 after COM4096 is not mapped, so it is no second use either";
}

TEST(TextConfigReader, ExtraComTokensAreIgnored) {
  Result r = Read("VERSION=1.1\nVAR=1.2.3.4,1,COM1,COM2,COM1\n");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(ComNumber(ComWord(r.set->Records[0], 0)), 2u);
}

TEST(TextConfigReader, LineOfExactlyTheLimitIsRead) {
  std::string line = "VAR=10.0.0.5,1,COM1";
  line += std::string(2047 - line.size(), ' ');
  EXPECT_EQ(Read("VERSION=1.1\n" + line + "\n").status, 0);
  EXPECT_EQ(Read("VERSION=1.1\n" + line + " \n").status, kCannotRead);
}

TEST(TextConfigReader, MoreServersThanASetHoldsAreRefused) {
  std::string text = "VERSION=1.1\n";
  for (int i = 0; i < 4096; ++i) text += "VAR=10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256) + ",1\n";
  Result r = Read(text);
  EXPECT_EQ(r.status, kTooMany);
  EXPECT_EQ(r.where, 4097);
  EXPECT_EQ(r.set->Servers, 4095u);
}

struct Failure {
  const char* name;
  const char* file;
  uint16_t status;
  uint16_t where;
};

class TextConfigFailures : public testing::TestWithParam<Failure> {};

TEST_P(TextConfigFailures, StopAtTheLineAtFault) {
  uint8_t occupied[kMaxCom] = {};
  occupied[3 - 1] = 1;  // COM3 is a serial port of the computer
  Result r = Read(Fixture(GetParam().file), occupied);
  EXPECT_EQ(r.status, GetParam().status);
  EXPECT_EQ(r.where, GetParam().where);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, TextConfigFailures,
    testing::Values(Failure{"LongLine", "code12_long_line.cfg", kCannotRead, 2},
                    Failure{"MissingComma", "code14_missing_comma.cfg", kSyntax, 3},
                    Failure{"IpLineWithoutVar", "code14_ip_not_var.cfg", kSyntax, 2},
                    Failure{"ComOccupied", "code15_com_occupied.cfg", kComOccupied, 2},
                    Failure{"ComTwice", "code16_com_twice.cfg", kComTwice, 3},
                    Failure{"NoServer", "code17_no_server.cfg", kNoServer, 0},
                    Failure{"VersionNotFirst", "code20_no_version.cfg", kBadVersion, 1},
                    Failure{"Version10", "code20_version_10.cfg", kBadVersion, 1},
                    Failure{"UnknownOption", "code22_unknown_option.cfg", kUnknownOption, 2},
                    Failure{"UnknownModel", "code23_unknown_model.cfg", kBadValue, 3},
                    Failure{"OctetAbove255", "code23_octet.cfg", kBadValue, 2},
                    Failure{"CountAbove68", "code23_too_many_ports.cfg", kBadValue, 2},
                    Failure{"FixedConfigValue2", "code23_fixedconfig.cfg", kBadValue, 2}),
    [](const testing::TestParamInfo<Failure>& info) { return info.param.name; });

struct LineCase {
  const char* name;
  const char* text;
  uint16_t status;
};

class TextConfigLines : public testing::TestWithParam<LineCase> {};

TEST_P(TextConfigLines, GiveTheirStatus) {
  Result r = Read(std::string("VERSION=1.1\n") + GetParam().text + "\n");
  EXPECT_EQ(r.status, GetParam().status);
  if (r.status && r.status != kNoServer) {
    EXPECT_EQ(r.where, 2);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, TextConfigLines,
    testing::Values(LineCase{"AddressWithoutDots", "VAR=10.0.0,1,COM1", kSyntax},
                    LineCase{"AddressLetters", "VAR=10.0.0.x,1,COM1", kBadValue},
                    LineCase{"AddressFiveOctets", "VAR=10.0.0.1.2,1,COM1", kBadValue},
                    LineCase{"PrefixOctetAbove255", "VAR=IP.256,1,COM1", kBadValue},
                    LineCase{"IpLineTrailing", "IP=10.0.0.VARX", kSyntax},
                    LineCase{"IpLineShort", "IP=10.0.VAR", kSyntax},
                    LineCase{"OptionWithoutValue", "OPTIONS=KEEPALIVE", kSyntax},
                    LineCase{"OptionNotANumber", "OPTIONS=KEEPALIVE=1s", kBadValue},
                    LineCase{"ResetTwo", "OPTIONS=RESET=2", kNoServer},
                    LineCase{"FixedConfig69Values",
                             "FIXEDCONFIG=0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,"
                             "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0",
                             kBadValue},
                    LineCase{"KeywordWithoutValueEndsTheFile", "VAR=", kNoServer},
                    LineCase{"SecondVersionMustBe11Too", "VERSION=2", kBadVersion}),
    [](const testing::TestParamInfo<LineCase>& info) { return info.param.name; });

}  // namespace
