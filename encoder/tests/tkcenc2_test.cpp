// The exported calls: salt from the platform clock, argument checks.
#include "tkcenc2.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tarvik/clock.h"

namespace {

class ClockScope {
 public:
  explicit ClockScope(uint32_t tick) : clock_(tick) { tarvik::SetClock(&clock_); }
  ~ClockScope() { tarvik::SetClock(nullptr); }
  tarvik::VirtualClock& clock() { return clock_; }

 private:
  tarvik::VirtualClock clock_;
};

std::string EncodeNow(const char* password, const char* key, int* result) {
  char out[TKCENC2_ENCODED_SIZE];
  memset(out, '#', sizeof out);
  *result = TkcEnc2_Encode(password, key, out);
  return out;
}

std::string DecodeText(const char* text, const char* key, int* result) {
  char out[TKCENC2_PASSWORD_SIZE];
  memset(out, '#', sizeof out);
  *result = TkcEnc2_Decode(text, key, out);
  return out;
}

// Tick 0x0000029B gives salt 9B 53 0A 01 (worked out by hand: bits 0-7,
// 3-10, 6-13, 9-16), F = 3; see tests/known_vectors.py for the rest.
TEST(TkcEnc2, SaltComesFromTheTickCount) {
  ClockScope clock(0x0000029Bu);
  int result = -1;
  EXPECT_EQ(EncodeNow("abc", "MORVEL.Dastra.Pq", &result), "JR9U1K1WNRC6G42EQ33K848G");
  EXPECT_EQ(result, 0);
}

TEST(TkcEnc2, DifferentTicksGiveDifferentTextsOfTheSamePassword) {
  ClockScope clock(1000);
  int result = -1;
  const std::string first = EncodeNow("hunter2", "MORVEL.Dastra.Pq", &result);
  ASSERT_EQ(result, 0);
  clock.clock().Advance(8);
  const std::string second = EncodeNow("hunter2", "MORVEL.Dastra.Pq", &result);
  ASSERT_EQ(result, 0);
  EXPECT_NE(first, second);
  for (const std::string& text : {first, second}) {
    EXPECT_EQ(DecodeText(text.c_str(), "MORVEL.Dastra.Pq", &result), "hunter2");
    EXPECT_EQ(result, 0);
  }
}

TEST(TkcEnc2, ThirtyOneCharactersAreRefusedAndTheOutputEmptied) {
  int result = -1;
  EXPECT_EQ(EncodeNow("0123456789012345678901234567890", "key", &result), "");
  EXPECT_EQ(result, 1);
  const std::string text = EncodeNow("012345678901234567890123456789", "key", &result);
  EXPECT_EQ(result, 0);
  EXPECT_LE(text.size(), 84u);
  EXPECT_GE(text.size(), 72u);
}

TEST(TkcEnc2, NullArgumentsAreRefused) {
  char out[TKCENC2_ENCODED_SIZE] = "stale";
  EXPECT_EQ(TkcEnc2_Encode(nullptr, "key", out), 1);
  EXPECT_STREQ(out, "");
  strcpy(out, "stale");
  EXPECT_EQ(TkcEnc2_Encode("pw", nullptr, out), 1);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(TkcEnc2_Encode("pw", "key", nullptr), 1);
  strcpy(out, "stale");
  EXPECT_EQ(TkcEnc2_Decode(nullptr, "key", out), 1);
  EXPECT_STREQ(out, "");
  strcpy(out, "stale");
  EXPECT_EQ(TkcEnc2_Decode("0000000000", nullptr, out), 1);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(TkcEnc2_Decode("0000000000", "key", nullptr), 1);
}

TEST(TkcEnc2, EmptyKeyIsRefused) {
  int result = -1;
  EXPECT_EQ(EncodeNow("pw", "", &result), "");
  EXPECT_EQ(result, 1);
  EXPECT_EQ(DecodeText("0000000000", "", &result), "");
  EXPECT_EQ(result, 1);
}

}  // namespace
