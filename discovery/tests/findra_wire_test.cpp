// Reply parsing, BOOTP capture and command building: what a device's bytes
// become in a record, and which bytes go back on the wire.
#include "findra_wire.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace findra {
namespace {

struct Parsed {
  int result;
  ModuleRecord record;
};

Parsed Parse(const std::string& datagram) {
  std::vector<char> buffer(datagram.begin(), datagram.end());
  buffer.push_back('\0');
  Parsed p{};
  p.result = ParseDiscoveryReply(buffer.data(), datagram.size(), &p.record);
  return p;
}

TEST(DiscoveryReply, FullReplyInAnyKeyOrder) {
  Parsed p = Parse(
      "KORVAXQ410X,80,MAC=02:4E:A7:00:00:01,GATEWAY=10.77.0.254,MASK=255.255.255.0,"
      "IP=10.77.0.21,DHCP=1,ALIAS=lab,NAME=Q410X-2\r");
  ASSERT_EQ(p.result, kParsed);
  EXPECT_STREQ(p.record.name, "Q410X-2");
  EXPECT_STREQ(p.record.alias, "lab");
  EXPECT_EQ(p.record.dhcp, 1);
  EXPECT_STREQ(p.record.ip, "10.77.0.21");
  EXPECT_STREQ(p.record.mask, "255.255.255.0");
  EXPECT_STREQ(p.record.gateway, "10.77.0.254");
  EXPECT_STREQ(p.record.mac, "02:4E:A7:00:00:01");
}

TEST(DiscoveryReply, PrefixAndTerminatorOnlyGivesEmptyRecord) {
  Parsed p = Parse("KORVAXQ410X,80\r");
  ASSERT_EQ(p.result, kParsed);
  ModuleRecord empty{};
  EXPECT_EQ(memcmp(&p.record, &empty, sizeof empty), 0);
}

TEST(DiscoveryReply, LastByteIsTerminatorWhateverItIs) {
  // The final value ends at the last byte even when that byte is a letter.
  Parsed p = Parse("KORVAXQ410X,80,NAME=Q410XZ");
  EXPECT_STREQ(p.record.name, "Q410X");
}

TEST(DiscoveryReply, ValuesAreCutToTheirFields) {
  Parsed p = Parse(
      "KORVAXQ410X,80,NAME=ABCDEFGHIJKLMNOPQRSTUVWXY,IP=12345678901234567890,"
      "ALIAS=aaaaaaaaaaaaaaaaaaaaaaaa,MAC=01234567890123456789,MASK=1111111111111111111,"
      "GATEWAY=2222222222222222222\r");
  EXPECT_STREQ(p.record.name, "ABCDEFGHIJKLMNOPQRS");
  EXPECT_STREQ(p.record.ip, "123456789012345");
  EXPECT_STREQ(p.record.alias, "aaaaaaaaaaaaaaaaaaa");
  EXPECT_STREQ(p.record.mac, "01234567890123456");
  EXPECT_STREQ(p.record.mask, "111111111111111");
  EXPECT_STREQ(p.record.gateway, "222222222222222");
}

TEST(DiscoveryReply, KeysAreFoundAsPlainSubstrings) {
  // The first occurrence of a key wins, even inside another field's value.
  Parsed p = Parse("KORVAXQ410X,80,ALIAS=xIP=1.2.3.4,IP=9.9.9.9\r");
  EXPECT_STREQ(p.record.ip, "1.2.3.4");
  EXPECT_STREQ(p.record.alias, "xIP=1.2.3.4");
}

TEST(DiscoveryReply, DhcpTakesLeadingDigits) {
  EXPECT_EQ(Parse("KORVAXQ410X,80,DHCP=2x\r").record.dhcp, 2);
  EXPECT_EQ(Parse("KORVAXQ410X,80,DHCP=x\r").record.dhcp, 0);
  EXPECT_EQ(Parse("KORVAXQ410X,80,DHCP=99999999999999999999\r").record.dhcp, INT32_MAX);
}

TEST(DiscoveryReply, EmbeddedNulEndsTheText) {
  std::string d("KORVAXQ410X,80,NAME=A,IP=1.1.1.1\r", 33);
  d[21] = '\0';  // the ',' after NAME=A
  Parsed p = Parse(d);
  EXPECT_STREQ(p.record.name, "");  // no ',' behind it within the text
  EXPECT_STREQ(p.record.ip, "");
}

TEST(DiscoveryReply, PrefixTest) {
  EXPECT_TRUE(IsDiscoveryReply("KORVAXQ410X,80", 14));
  EXPECT_FALSE(IsDiscoveryReply("KORVAXQ410X,8", 13));
  EXPECT_FALSE(IsDiscoveryReply("KORVAXQ410X,81,OK\r", 18));
  EXPECT_FALSE(IsDiscoveryReply("korvaxq410x,80\r", 15));
  EXPECT_FALSE(IsDiscoveryReply("", 0));
}

TEST(DiscoveryReply, TextWithoutPrefixKeyIsDropped) {
  EXPECT_EQ(Parse("NAME=A,MAC=B\r").result, kDropped);
}

std::vector<uint8_t> Bootp(size_t length, uint8_t a, uint8_t b, uint8_t c) {
  std::vector<uint8_t> d(length, 0);
  if (length > 33) {
    const uint8_t mac[6] = {a, b, c, 0x0a, 0xbc, 0x01};
    memcpy(d.data() + 28, mac, 6);
  }
  return d;
}

TEST(BootpRequest, DeviceVendorPrefixGivesRecord) {
  std::vector<uint8_t> d = Bootp(300, 0x02, 0x4E, 0xA7);
  ModuleRecord r;
  ASSERT_TRUE(ParseBootpRequest(d.data(), d.size(), &r));
  EXPECT_STREQ(r.name, "BOOTP");
  EXPECT_STREQ(r.alias, "Tiny");
  EXPECT_STREQ(r.ip, "0.0.0.0");
  EXPECT_STREQ(r.mask, "0.0.0.0");
  EXPECT_STREQ(r.gateway, "0.0.0.0");
  EXPECT_STREQ(r.mac, "02:4E:A7:0A:BC:01");
  EXPECT_EQ(r.dhcp, 0);
}

TEST(BootpRequest, OtherVendorOrShortDatagramIsDropped) {
  ModuleRecord r;
  std::vector<uint8_t> other = Bootp(300, 0x00, 0x4E, 0xA7);
  EXPECT_FALSE(ParseBootpRequest(other.data(), other.size(), &r));
  std::vector<uint8_t> exact = Bootp(34, 0x02, 0x4E, 0xA7);
  EXPECT_TRUE(ParseBootpRequest(exact.data(), exact.size(), &r));
  // 33 bytes: the MAC's last byte would lie past the datagram.
  EXPECT_FALSE(ParseBootpRequest(exact.data(), 33, &r));
  EXPECT_FALSE(ParseBootpRequest(exact.data(), 0, &r));
}

ModuleRecord Device() {
  ModuleRecord r{};
  strcpy(r.name, "Q410X-2");
  strcpy(r.alias, "old");
  strcpy(r.ip, "10.77.0.21");
  strcpy(r.mask, "255.255.255.0");
  strcpy(r.gateway, "10.77.0.254");
  strcpy(r.mac, "02:4e:a7:00:00:01");
  r.dhcp = 0;
  return r;
}

std::string Build(const ConfigRequest& request, const ModuleRecord& record = Device()) {
  char out[kCommandSize];
  size_t n = BuildConfigCommand(record, request, out);
  EXPECT_EQ(n, strlen(out));
  return std::string(out, n);
}

struct CommandCase {
  const char* label;
  ConfigRequest request;
  const char* wire;
};

class ConfigCommand : public ::testing::TestWithParam<CommandCase> {};

TEST_P(ConfigCommand, Wire) { EXPECT_EQ(Build(GetParam().request), GetParam().wire); }

ConfigRequest Req(const char* ip, const char* mask, const char* gw, const char* mac, int dhcp,
                  const char* alias) {
  ConfigRequest r;
  r.ip = ip;
  r.mask = mask;
  r.gateway = gw;
  r.mac = mac;
  r.dhcp = dhcp;
  r.alias = alias;
  return r;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigCommand,
    ::testing::Values(
        CommandCase{"NothingChanged", Req(nullptr, nullptr, nullptr, nullptr, 0, nullptr), ""},
        CommandCase{"SameValuesIgnoringCaseChangeNothing",
                    Req("10.77.0.21", "255.255.255.0", "10.77.0.254", "02:4E:A7:00:00:01", 0,
                        nullptr),
                    ""},
        CommandCase{"AliasAlwaysSentEvenWhenEqual",
                    Req(nullptr, nullptr, nullptr, nullptr, 0, "old"),
                    "KORVAXQ410X,01,TO=02:4e:a7:00:00:01,ALIAS=old\r"},
        CommandCase{"DhcpOnlyEndsInCommaBlank", Req(nullptr, nullptr, nullptr, nullptr, 1, nullptr),
                    "KORVAXQ410X,01,TO=02:4e:a7:00:00:01,DHCP=1, \r"},
        CommandCase{"FieldsInFixedOrder",
                    Req("10.77.0.22", "255.255.0.0", "10.77.0.1", "02:4E:A7:00:00:09", 1, "new"),
                    "KORVAXQ410X,01,TO=02:4e:a7:00:00:01,ALIAS=new,IP=10.77.0.22,"
                    "MASK=255.255.0.0,GATEWAY=10.77.0.1,MAC=02:4E:A7:00:00:09,DHCP=1, \r"},
        CommandCase{"OnlyChangedAddressSent",
                    Req("10.77.0.21", "255.255.255.0", "10.77.0.1", nullptr, 0, nullptr),
                    "KORVAXQ410X,01,TO=02:4e:a7:00:00:01,GATEWAY=10.77.0.1\r"},
        CommandCase{"EmptyTextDiffersFromValue",
                    Req("", nullptr, nullptr, nullptr, 0, nullptr),
                    "KORVAXQ410X,01,TO=02:4e:a7:00:00:01,IP=\r"}),
    [](const ::testing::TestParamInfo<CommandCase>& info) { return std::string(info.param.label); });

struct SafetyCase {
  const char* label;
  ConfigRequest request;
  const char* recordMac;
  bool safe;
};

class ConfigSafety : public ::testing::TestWithParam<SafetyCase> {};

TEST_P(ConfigSafety, OnlyTextsThatStayOneValueAreSent) {
  ModuleRecord record = Device();
  strcpy(record.mac, GetParam().recordMac);
  EXPECT_EQ(IsSafeConfigRequest(record, GetParam().request), GetParam().safe);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigSafety,
    ::testing::Values(
        SafetyCase{"PlainAliasAndAddresses",
                   Req("10.77.0.22", "255.255.0.0", "10.77.0.1", nullptr, 1, "lab 2"),
                   "02:4e:a7:00:00:01", true},
        SafetyCase{"CommaAddsAnAddressField", Req(nullptr, nullptr, nullptr, nullptr, 0,
                                                  "a,IP=10.0.0.9"),
                   "02:4e:a7:00:00:01", false},
        SafetyCase{"CommaAddsADhcpField", Req(nullptr, nullptr, nullptr, nullptr, 0, "a,DHCP=1"),
                   "02:4e:a7:00:00:01", false},
        SafetyCase{"EqualsSignReadsAsAKey", Req(nullptr, nullptr, nullptr, nullptr, 0, "aIP=1"),
                   "02:4e:a7:00:00:01", false},
        SafetyCase{"CarriageReturnEndsTheCommand",
                   Req(nullptr, nullptr, nullptr, nullptr, 0, "a\rKORVAXQ410X"),
                   "02:4e:a7:00:00:01", false},
        SafetyCase{"DelIsAControlCharacter", Req(nullptr, nullptr, nullptr, nullptr, 0, "a\x7F"),
                   "02:4e:a7:00:00:01", false},
        SafetyCase{"ChangedAddressWithAField",
                   Req("10.0.0.1,MASK=0.0.0.0", nullptr, nullptr, nullptr, 0, "a"),
                   "02:4e:a7:00:00:01", false},
        SafetyCase{"UnchangedForgedAddressIsNotSentSoNotLookedAt",
                   Req("10.77.0.21", nullptr, nullptr, nullptr, 1, "a"), "02:4e:a7:00:00:01",
                   true},
        SafetyCase{"ForgedRecordedMacIsTheTarget",
                   Req(nullptr, nullptr, nullptr, nullptr, 0, "a"), "02:4E:A7\x1b[5m=\n", false},
        SafetyCase{"NothingToSendIsNotRefusedHere",
                   Req(nullptr, nullptr, nullptr, nullptr, 0, nullptr), "a=b", true}),
    [](const ::testing::TestParamInfo<SafetyCase>& info) { return std::string(info.param.label); });

TEST(ConfigCommandLimits, LongTextsAreCutAndTheCommandStillEndsInCarriageReturn) {
  std::string huge(4000, 'a');
  ConfigRequest r = Req(huge.c_str(), huge.c_str(), huge.c_str(), huge.c_str(), 7, huge.c_str());
  std::string wire = Build(r);
  EXPECT_LE(wire.size(), kCommandSize - 1);
  EXPECT_EQ(wire.back(), '\r');
  // Each field is formatted into 128 bytes: ",ALIAS=" and 120 letters.
  EXPECT_NE(wire.find(",ALIAS=" + std::string(120, 'a') + ",IP="), std::string::npos);
}

TEST(Confirmation, PrefixAnywhereAndOkAnywhere) {
  EXPECT_EQ(ClassifyConfirmation("KORVAXQ410X,81,OK\r", 18), 1);
  EXPECT_EQ(ClassifyConfirmation("xxKORVAXQ410X,81", 16), 0);
  EXPECT_EQ(ClassifyConfirmation("OK KORVAXQ410X,81", 17), 1);
  EXPECT_EQ(ClassifyConfirmation("KORVAXQ410X,80,OK", 17), -1);
  EXPECT_EQ(ClassifyConfirmation("KORVAXQ410X,8", 13), -1);
}

}  // namespace
}  // namespace findra
