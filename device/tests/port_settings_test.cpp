#include "port_settings.h"

#include <gtest/gtest.h>

namespace tarvik::device {
namespace {

PortSettings Parse(const char* payload, PortParse expected, PortRules rules = {}) {
  PortSettings settings;
  EXPECT_EQ(ParsePortSettings(payload, rules, &settings), expected) << payload;
  return settings;
}

TEST(PortSettingsPayload, ReadsBaudAndItemsInAnyOrder) {
  PortSettings s = Parse("9600N81", PortParse::kOk);
  EXPECT_EQ(s.baud, "9600");
  EXPECT_EQ(s.parity, 'N');
  EXPECT_EQ(s.dataBits, '8');
  EXPECT_EQ(s.stopBits, '1');

  s = Parse("115200,8,E,2\r\n", PortParse::kOk);
  EXPECT_EQ(s.baud, "115200");
  EXPECT_EQ(s.dataBits, '8');
  EXPECT_EQ(s.parity, 'E');
  EXPECT_EQ(s.stopBits, '2');
}

TEST(PortSettingsPayload, BaudOnlyLeavesItemsUnreported) {
  const PortSettings s = Parse("300", PortParse::kOk);
  EXPECT_EQ(s.baud, "300");
  EXPECT_EQ(s.dataBits, 0);
  EXPECT_EQ(s.parity, 0);
  EXPECT_EQ(s.stopBits, 0);
}

TEST(PortSettingsPayload, NoLeadingDigitIsNoBaudRate) {
  EXPECT_EQ(Parse("N81", PortParse::kNoBaudRate).baud, "");
  Parse("", PortParse::kNoBaudRate);
  Parse("ERROR", PortParse::kNoBaudRate);
}

TEST(PortSettingsPayload, UnknownItemFailsButKeepsWhatCameBefore) {
  const PortSettings s = Parse("9600N8X1", PortParse::kBadItem);
  EXPECT_EQ(s.baud, "9600");
  EXPECT_EQ(s.parity, 'N');
  EXPECT_EQ(s.dataBits, '8');
  EXPECT_EQ(s.stopBits, 0);
  Parse("9600 N81", PortParse::kBadItem);
  Parse("9600N91", PortParse::kBadItem);
}

TEST(PortSettingsPayload, PortRulesNarrowTheAcceptedValues) {
  PortRules oneStop;
  oneStop.oneStopBitOnly = true;
  Parse("9600N82", PortParse::kBadItem, oneStop);
  EXPECT_EQ(Parse("9600N82", PortParse::kOk).stopBits, '2');

  PortRules limited;
  limited.limited = true;
  Parse("9600N61", PortParse::kBadItem, limited);
  Parse("9600N51", PortParse::kBadItem, limited);
  EXPECT_EQ(Parse("9600N71", PortParse::kOk, limited).dataBits, '7');
  const PortSettings mark = Parse("9600M81", PortParse::kBadItem, limited);
  EXPECT_EQ(mark.parity, 0);
  EXPECT_EQ(mark.dataBits, 0) << "nothing after the refused letter is taken";
  EXPECT_EQ(mark.stopBits, 0);
  EXPECT_EQ(Parse("9600,7S1", PortParse::kBadItem, limited).dataBits, '7');
  EXPECT_EQ(Parse("9600M81", PortParse::kOk).parity, 'M');
}

TEST(PortSettingsText, DataFormatAndBaudRateTexts) {
  for (const char* good : {"8N1", "7E2", "5O1", "6M2", "8S1"}) EXPECT_TRUE(IsDataFormatText(good)) << good;
  for (const char* bad : {"", "8N", "8N12", "9N1", "8X1", "8N3", "n81", "8n1"}) {
    EXPECT_FALSE(IsDataFormatText(bad)) << bad;
  }
  EXPECT_FALSE(IsDataFormatText(nullptr));
  EXPECT_TRUE(IsBaudRateText("115200"));
  EXPECT_TRUE(IsBaudRateText("123456789012345"));
  EXPECT_FALSE(IsBaudRateText("1234567890123456"));
  EXPECT_FALSE(IsBaudRateText(""));
  EXPECT_FALSE(IsBaudRateText("96OO"));
  EXPECT_FALSE(IsBaudRateText(nullptr));
}

}  // namespace
}  // namespace tarvik::device
