// Writing values: each form reads back to the same type and bytes.
#include "reg_format.h"

#include <gtest/gtest.h>

#include "reg_file.h"
#include "tarvik/win_errors.h"

namespace tarvikreg {
namespace {

struct Value {
  const char* name;
  std::string valueName;
  uint32_t type;
  std::string data;
  const char* line;  // the expected text, or null when only the round trip matters
};

class RegFormatRoundTrip : public testing::TestWithParam<Value> {};

TEST_P(RegFormatRoundTrip, ReadsBackTheSameTypeAndBytes) {
  const Value& v = GetParam();
  const std::string text = FormatRegValue(v.valueName, v.type, v.data);
  if (v.line) {
    EXPECT_EQ(text, v.line);
  }
  std::vector<RegFileEntry> entries;
  RegFileError error;
  ASSERT_TRUE(ParseRegFile(std::string(kRegFileHeader) + "\n\n[HKLM\\K]\n" + text, &entries, &error))
      << error.line << ": " << error.message << "\n" << text;
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].name, v.valueName);
  EXPECT_EQ(entries[1].type, v.type);
  EXPECT_EQ(entries[1].data, v.data);
}

INSTANTIATE_TEST_SUITE_P(
    Values, RegFormatRoundTrip,
    testing::Values(
        Value{"Text", "Name", tarvik::kRegSz, std::string("a\\b\"c\0", 6), "\"Name\"=\"a\\\\b\\\"c\"\n"},
        Value{"Default", "", tarvik::kRegSz, std::string("x\0", 2), "@=\"x\"\n"},
        Value{"QuotedName", "a\"b\\", tarvik::kRegSz, std::string("\0", 1), "\"a\\\"b\\\\\"=\"\"\n"},
        Value{"Dword", "N", tarvik::kRegDword, std::string("\x0a\0\0\x80", 4), "\"N\"=dword:8000000a\n"},
        Value{"ShortDword", "N", tarvik::kRegDword, std::string("\x0a", 1), "\"N\"=hex(4):0a\n"},
        Value{"Binary", "B", tarvik::kRegBinary, std::string("\x00\xff", 2), "\"B\"=hex:00,ff\n"},
        Value{"EmptyBinary", "B", tarvik::kRegBinary, "", "\"B\"=hex:\n"},
        Value{"StringWithoutNul", "S", tarvik::kRegSz, "ab", "\"S\"=hex(1):61,62\n"},
        Value{"StringWithInnerNul", "S", tarvik::kRegSz, std::string("a\0b\0", 4), nullptr},
        Value{"StringWithLineBreak", "S", tarvik::kRegSz, std::string("a\r\nb\0", 5), nullptr},
        Value{"EmptyStringData", "S", tarvik::kRegSz, "", "\"S\"=hex(1):\n"},
        Value{"EightBitText", "\xe4", tarvik::kRegSz, std::string("\x80\xff\xa0;\0", 5), nullptr},
        Value{"LongBinaryWraps", "Long", tarvik::kRegBinary, std::string(300, '\x5a'), nullptr},
        Value{"OtherType", "M", 0x12345678u, "xyz", "\"M\"=hex(12345678):78,79,7a\n"}),
    [](const testing::TestParamInfo<Value>& info) { return std::string(info.param.name); });

TEST(RegFormat, LongHexListsStayWithinEightyColumns) {
  const std::string text = FormatRegValue("Long", tarvik::kRegBinary, std::string(300, '\x5a'));
  size_t start = 0, lines = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    EXPECT_LE(end - start, 80u);
    start = end + 1;
    ++lines;
  }
  EXPECT_GT(lines, 10u);
}

TEST(RegFormat, DataAsTheUserReadsIt) {
  EXPECT_EQ(FormatRegData(tarvik::kRegSz, std::string("COM3\0", 5)), "COM3");
  EXPECT_EQ(FormatRegData(tarvik::kRegDword, std::string("\xff\xff\xff\xff", 4)), "4294967295");
  EXPECT_EQ(FormatRegData(tarvik::kRegBinary, std::string(40, '\x01')).find('\n'), std::string::npos);
}

}  // namespace
}  // namespace tarvikreg
