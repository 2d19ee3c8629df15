#include "driver_options_word.h"

#include <gtest/gtest.h>

namespace {

struct ApplyCase {
  const char* name;
  uint32_t word;
  DriverOptions options;
  uint32_t expected;
};

TEST(DriverOptionsWord, ApplyChangesOnlyWhatDiffersAndKeepsOtherBits) {
  const ApplyCase cases[] = {
      {"1000 ms is stored as 100", 0x1, {false, false, 1000}, 0x1 | (100u << 3)},
      {"5 ms is stored as 0", 0x1 | (7u << 3), {false, false, 5}, 0x1},
      {"15 ms rounds down to the 10 ms already there", 0x1 | (1u << 3), {false, false, 15},
       0x1 | (1u << 3)},
      {"fast open on", 0x1, {true, false, 0}, 0x1 | 0x2},
      {"ignore write errors off", 0x1 | 0x4 | (50u << 3), {false, false, 500}, 0x1 | (50u << 3)},
      {"bits above the field survive", 0xFFFFFC01u, {true, true, 1000},
       0xFFFFFC01u | 0x2 | 0x4 | (100u << 3)},
  };
  for (const ApplyCase& c : cases) {
    uint32_t word = c.word;
    EXPECT_EQ(ApplyDriverOptions(c.options, &word), c.word != c.expected) << c.name;
    EXPECT_EQ(word, c.expected) << c.name;
  }
}

TEST(DriverOptionsWord, WhatIsReadFromAWordGoesBackUnchanged) {
  for (uint32_t word : {0u, 0x1u, 0x7u | (100u << 3), 0x3FFu, 0xFFFFFFFFu}) {
    const DriverOptions options = DriverOptionsFromWord(word);
    uint32_t again = word;
    EXPECT_FALSE(ApplyDriverOptions(options, &again)) << word;
    EXPECT_EQ(again, word);
  }
}

TEST(DriverOptionsWord, ReadsTheFieldsOfTheWord) {
  const DriverOptions options = DriverOptionsFromWord(0x1 | 0x4 | (25u << 3));
  EXPECT_FALSE(options.fastOpen);
  EXPECT_TRUE(options.ignoreWriteErrors);
  EXPECT_EQ(options.closeDelayMs, 250u);
  // The field holds up to 127 units; a store written elsewhere may hold more
  // than the dialog offers, and it is shown as it is.
  EXPECT_EQ(DriverOptionsFromWord(0x7Fu << 3).closeDelayMs, 1270u);
}

TEST(DriverOptionsWord, CloseDelayRange) {
  EXPECT_TRUE(IsValidCloseDelay(0));
  EXPECT_TRUE(IsValidCloseDelay(1000));
  EXPECT_FALSE(IsValidCloseDelay(-1));
  EXPECT_FALSE(IsValidCloseDelay(1001));
}

}  // namespace
