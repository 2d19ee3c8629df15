// Reading .reg text: the accepted forms and the line named for a fault.
#include "reg_file.h"

#include <gtest/gtest.h>

#include "tarvik/win_errors.h"

namespace tarvikreg {
namespace {

using Kind = RegFileEntry::Kind;

std::vector<RegFileEntry> ParseOk(const std::string& text) {
  std::vector<RegFileEntry> entries;
  RegFileError error;
  EXPECT_TRUE(ParseRegFile(text, &entries, &error)) << error.line << ": " << error.message;
  return entries;
}

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return s;
}

TEST(RegFile, ReadsEveryValueFormUnderBothHeaders) {
  for (const char* header : {"Windows Registry Editor Version 5.00", "REGEDIT4"}) {
    SCOPED_TRACE(header);
    const std::string text = std::string(header) +
                             "\r\n\r\n"
                             "; a comment\r\n"
                             "[HKEY_LOCAL_MACHINE\\SYSTEM\\Tarvik]\r\n"
                             "\"Text\"=\"C:\\\\dir\\\\\\\"q\\\"\"\r\n"
                             "@=\"default\"\r\n"
                             "\"Count\"=dword:0000000a\r\n"
                             "\"Short\"=dword:ff\r\n"
                             "\"Bin\"=hex:01,ff,\\\r\n"
                             "  10,\\\r\n"
                             "  20\r\n"
                             "\"Expand\"=hex(2):41,00\r\n"
                             "\"Empty\"=hex:\r\n"
                             "\"Gone\"=-\r\n"
                             "[-HKLM\\SYSTEM\\Old]\r\n";
    const std::vector<RegFileEntry> e = ParseOk(text);
    ASSERT_EQ(e.size(), 10u);
    EXPECT_EQ(e[0].kind, Kind::kKey);
    EXPECT_EQ(e[0].key, "SYSTEM\\Tarvik");
    EXPECT_EQ(e[0].line, 4);
    EXPECT_EQ(e[1].name, "Text");
    EXPECT_EQ(e[1].type, tarvik::kRegSz);
    EXPECT_EQ(e[1].data, std::string("C:\\dir\\\"q\"\0", 11));
    EXPECT_EQ(e[2].name, "");
    EXPECT_EQ(e[2].data, std::string("default\0", 8));
    EXPECT_EQ(e[3].type, tarvik::kRegDword);
    EXPECT_EQ(e[3].data, Bytes({10, 0, 0, 0}));
    EXPECT_EQ(e[4].data, Bytes({0xff, 0, 0, 0}));
    EXPECT_EQ(e[5].type, tarvik::kRegBinary);
    EXPECT_EQ(e[5].data, Bytes({0x01, 0xff, 0x10, 0x20}));
    EXPECT_EQ(e[5].line, 9);
    EXPECT_EQ(e[6].type, tarvik::kRegExpandSz);
    EXPECT_EQ(e[6].data, Bytes({0x41, 0}));
    EXPECT_EQ(e[6].line, 12);
    EXPECT_EQ(e[7].data, "");
    EXPECT_EQ(e[8].kind, Kind::kDeleteValue);
    EXPECT_EQ(e[8].name, "Gone");
    EXPECT_EQ(e[8].key, "SYSTEM\\Tarvik");
    EXPECT_EQ(e[9].kind, Kind::kDeleteKey);
    EXPECT_EQ(e[9].key, "SYSTEM\\Old");
  }
}

TEST(RegFile, EightBitTextIsTakenByteForByte) {
  const std::string name = "N\xe4me";
  const std::string value = "\x01\x7f\x80\xa0\xff;[]=";
  const std::vector<RegFileEntry> e =
      ParseOk("REGEDIT4\n[HKEY_LOCAL_MACHINE\\K\xf6y]\n\"" + name + "\"=\"" + value + "\"\n");
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].key, "K\xf6y");
  EXPECT_EQ(e[1].name, name);
  EXPECT_EQ(e[1].data, value + std::string(1, '\0'));
}

TEST(RegFile, HexTypeNumberIsHex) {
  const std::vector<RegFileEntry> e = ParseOk("REGEDIT4\n[HKLM\\K]\n\"q\"=hex(b):01\n\"m\"=hex(7):\n");
  ASSERT_EQ(e.size(), 3u);
  EXPECT_EQ(e[1].type, 11u);
  EXPECT_EQ(e[2].type, 7u);
}

// What the Windows registry editor saves: UTF-16LE with a byte-order mark.
std::string Utf16(const std::string& narrow) {
  std::string wide = "\xFF\xFE";
  for (char c : narrow) {
    wide.push_back(c);
    wide.push_back('\0');
  }
  return wide;
}

TEST(RegFile, RegistryEditorUtf16ExportIsRead) {
  const std::vector<RegFileEntry> e = ParseOk(Utf16(
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Vonderil\\Parameter]\r\n"
      "\"Servers\"=dword:00000002\r\n"
      "\"ServerName\"=\"R-8615-M \xe4\"\r\n"
      "\"Path\"=hex(2):25,00,41,00,00,00\r\n"));
  ASSERT_EQ(e.size(), 4u);
  EXPECT_EQ(e[0].key, "SYSTEM\\CurrentControlSet\\Services\\Vonderil\\Parameter");
  EXPECT_EQ(e[1].data, Bytes({2, 0, 0, 0}));
  EXPECT_EQ(e[2].data, std::string("R-8615-M \xe4", 10) + std::string(1, '\0'));
  EXPECT_EQ(e[3].type, tarvik::kRegExpandSz);
  EXPECT_EQ(e[3].data, std::string("%A\0", 3));
}

TEST(RegFile, Utf16CharacterBeyondEightBitsNamesItsLine) {
  std::string wide = Utf16("REGEDIT4\n[HKLM\\K]\n\"a\"=\"x\"\n");
  wide[wide.size() - 6] = '\x3A';  // the x becomes U+263A
  wide[wide.size() - 5] = '\x26';
  std::vector<RegFileEntry> entries;
  RegFileError error;
  EXPECT_FALSE(ParseRegFile(wide, &entries, &error));
  EXPECT_EQ(error.line, 3);
  EXPECT_NE(error.message.find("U+263A"), std::string::npos) << error.message;
}

struct BadFile {
  const char* name;
  std::string text;
  int line;
};

class RegFileFault : public testing::TestWithParam<BadFile> {};

TEST_P(RegFileFault, NamesTheLineAtFault) {
  std::vector<RegFileEntry> entries;
  RegFileError error;
  EXPECT_FALSE(ParseRegFile(GetParam().text, &entries, &error));
  EXPECT_EQ(error.line, GetParam().line) << error.message;
  EXPECT_FALSE(error.message.empty());
}

const char kHead[] = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\K]\n";  // lines 1-3

INSTANTIATE_TEST_SUITE_P(
    Faults, RegFileFault,
    testing::Values(
        BadFile{"NoHeader", "[HKEY_LOCAL_MACHINE\\K]\n", 1},
        BadFile{"WrongHeader", "\nWindows Registry Editor Version 4.00\n", 2},
        BadFile{"EmptyFile", "", 1},
        BadFile{"Utf16", std::string("\xff\xfeW\0i\0n\0", 8), 1},
        BadFile{"ValueBeforeKey", "REGEDIT4\n\"a\"=\"b\"\n", 2},
        BadFile{"ValueAfterKeyDeletion", std::string(kHead) + "[-HKLM\\K]\n\"a\"=\"b\"\n", 5},
        BadFile{"OtherRoot", std::string(kHead) + "[HKEY_CURRENT_USER\\K]\n", 4},
        BadFile{"RootItself", std::string(kHead) + "[HKEY_LOCAL_MACHINE]\n", 4},
        BadFile{"UnclosedKey", std::string(kHead) + "[HKLM\\K\n", 4},
        BadFile{"Garbage", std::string(kHead) + "\"a\"=\"b\"\nsomething\n", 5},
        BadFile{"UnclosedName", std::string(kHead) + "\"a=\"b\"\n", 4},
        BadFile{"NoEquals", std::string(kHead) + "\"a\" \"b\"\n", 4},
        BadFile{"UnclosedText", std::string(kHead) + "\"a\"=\"b\n", 4},
        BadFile{"TextAfterQuote", std::string(kHead) + "\"a\"=\"b\"c\n", 4},
        BadFile{"UnknownEscape", std::string(kHead) + "\"a\"=\"C:\\dir\"\n", 4},
        BadFile{"DwordTooLong", std::string(kHead) + "\"a\"=dword:123456789\n", 4},
        BadFile{"DwordNotHex", std::string(kHead) + "\"a\"=dword:12g4\n", 4},
        BadFile{"DwordEmpty", std::string(kHead) + "\"a\"=dword:\n", 4},
        BadFile{"UnknownType", std::string(kHead) + "\"a\"=qword:1\n", 4},
        BadFile{"BadHexType", std::string(kHead) + "\"a\"=hex(z):00\n", 4},
        BadFile{"HexByteTooWide", std::string(kHead) + "\"a\"=hex:100\n", 4},
        BadFile{"HexEmptyItem", std::string(kHead) + "\"a\"=hex:01,,02\n", 4},
        // A fault in a continued hex list names the continuation line.
        BadFile{"BadContinuation", std::string(kHead) + "\"a\"=hex:01,\\\n  02,\\\n  xx\n", 6},
        BadFile{"ContinuationPastEnd", std::string(kHead) + "\"a\"=hex:01,\\\n", 4}),
    [](const testing::TestParamInfo<BadFile>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvikreg
