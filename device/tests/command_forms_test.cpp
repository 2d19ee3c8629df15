#include "command_forms.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tarvik::device {
namespace {

std::string Payload(const char* command, const std::string& chunk) {
  return ReplyPayload(command, chunk.data(), chunk.size());
}

TEST(ReplyForm, EchoedCodeAndTrailingCrAreRemoved) {
  EXPECT_EQ(Payload("10\r", "10ABC\r"), "ABC");
  EXPECT_EQ(Payload("10\r", "ABC"), "ABC");
  EXPECT_EQ(Payload("10\r", "ABC\r"), "ABC");
}

TEST(ReplyForm, OnlyOneTrailingCrIsRemoved) {
  EXPECT_EQ(Payload("10\r", "10ABC\r\r"), "ABC\r");
}

TEST(ReplyForm, AReplyThatOnlyLooksLikeTheCodeKeepsTheRest) {
  // Only the first two characters are compared.
  EXPECT_EQ(Payload("25N\r", "25N=8\r"), "N=8");
  EXPECT_EQ(Payload("01\r", "1.20\r"), "1.20");
  EXPECT_EQ(Payload("01\r", "01"), "");
}

TEST(ReplyForm, ShortCommandOrReplyNeverSkipsPastTheEnd) {
  EXPECT_EQ(Payload("1", "1"), "1");
  EXPECT_EQ(Payload("", "AB"), "AB");
  EXPECT_EQ(Payload(nullptr, "AB"), "AB");
  EXPECT_EQ(Payload("10\r", "1"), "1");
}

TEST(ReplyForm, TextEndsAtANulByte) {
  EXPECT_EQ(Payload("10\r", std::string("10AB\0CD\r", 8)), "AB");
}

TEST(ReplyForm, SettingValuesAreCutAtTheirLetter) {
  for (const char* reply : {"25N=8\r", "N8\r", "8\r", "N=8"}) {
    const std::string payload = Payload("25N\r", reply);
    EXPECT_STREQ(CutSettingValue(payload.c_str(), 'N'), "8") << reply;
  }
  EXPECT_STREQ(CutSettingValue("S=3000", 'S'), "3000");
  EXPECT_STREQ(CutSettingValue("M", 'M'), "");
  EXPECT_STREQ(CutSettingValue("N=8", 'M'), "N=8");
}

TEST(ReplyForm, PayloadClasses) {
  EXPECT_EQ(ClassifyPayload("ABC"), kReply);
  EXPECT_EQ(ClassifyPayload(""), kNoReply);
  EXPECT_EQ(ClassifyPayload("\rABC"), kNoReply);
  EXPECT_EQ(ClassifyPayload("ERROR"), kErrorReply);
  EXPECT_EQ(ClassifyPayload("ERROR: bad port"), kErrorReply);
  EXPECT_EQ(ClassifyPayload("ERRO"), kReply);
  // A reply of only a CR leaves nothing and counts as no reply.
  EXPECT_EQ(ClassifyPayload(Payload("10\r", "\r").c_str()), kNoReply);
}

TEST(PortCommand, PortNumbersAreOneCharacter) {
  EXPECT_EQ(PortCharacter(0), '0');
  EXPECT_EQ(PortCharacter(9), '9');
  EXPECT_EQ(PortCharacter(10), 'A');
  EXPECT_EQ(PortCharacter(12), 'C');
  EXPECT_EQ(PortCharacter(35), 'Z');
  EXPECT_EQ(PortCharacter(68), '{');
  EXPECT_EQ(PortCharacter(200), '\xFF');
  EXPECT_EQ(PortCharacter(201), 0);
}

TEST(PortCommand, BuildsCodePortTextAndCr) {
  char out[20];
  ASSERT_TRUE(BuildPortCommand(16, 12, "", out, sizeof out));
  EXPECT_STREQ(out, "16C\r");
  ASSERT_TRUE(BuildPortCommand(6, 1, "115200", out, sizeof out));
  EXPECT_STREQ(out, "061115200\r");
  ASSERT_TRUE(BuildPortCommand(7, 2, "8N1", out, sizeof out));
  EXPECT_STREQ(out, "0728N1\r");
}

TEST(PortCommand, RefusesWhatWouldBeCutOrHasNoPortCharacter) {
  char out[20];
  ASSERT_TRUE(BuildPortCommand(6, 1, "123456789012345", out, sizeof out));  // 15 fits
  EXPECT_EQ(std::strlen(out), 19u);
  EXPECT_EQ(out[18], '\r');
  EXPECT_FALSE(BuildPortCommand(6, 1, "1234567890123456", out, sizeof out));
  EXPECT_STREQ(out, "");
  EXPECT_FALSE(BuildPortCommand(16, 300, "", out, sizeof out));
  EXPECT_STREQ(out, "");
}

}  // namespace
}  // namespace tarvik::device
