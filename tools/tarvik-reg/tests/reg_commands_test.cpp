// tarvik-reg against a private state root: what a user sees on the output,
// in exit codes and in the store.
#include "reg_commands.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "tarvik/registry.h"
#include "temp_root.h"

namespace tarvikreg {
namespace {

struct Result {
  int code;
  std::string out;
  std::string err;
};

Result Reg(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int code = RunTarvikReg(args, out, err);
  return {code, out.str(), err.str()};
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Every byte but NUL, CR and LF, as an 8-bit text.
std::string AllTextBytes() {
  std::string s;
  for (int b = 1; b < 256; ++b) {
    if (b != '\n' && b != '\r') s.push_back(static_cast<char>(b));
  }
  return s;
}

// A store with every kind of value, built through the store's own calls.
void FillStore() {
  tarvik::RegKey key;
  ASSERT_EQ(key.Create("SYSTEM\\CurrentControlSet\\Services\\Vonderil\\Parameter"), 0);
  ASSERT_EQ(key.SetDword("ServerCount", 2), 0);
  ASSERT_EQ(key.SetString("UISorting", "Name \"quoted\" C:\\path"), 0);
  ASSERT_EQ(key.SetString("", "default"), 0);
  ASSERT_EQ(key.SetBinary("Blob", "\x00\x01\xfe\xff", 4), 0);
  ASSERT_EQ(key.SetBinary("Empty", nullptr, 0), 0);
  ASSERT_EQ(key.SetString("Path", "%SystemRoot%\\x", tarvik::kRegExpandSz), 0);
  ASSERT_EQ(key.SetValue("Multi", tarvik::kRegMultiSz, "a\0b\0\0", 5), 0);
  ASSERT_EQ(key.SetValue("Odd", tarvik::kRegSz, "no nul", 6), 0);
  ASSERT_EQ(key.SetValue("Lines", tarvik::kRegSz, "one\r\ntwo", 9), 0);
  ASSERT_EQ(key.SetString("EightBit", AllTextBytes().c_str()), 0);
  ASSERT_EQ(key.SetBinary("Long", std::string(200, '\x42').data(), 200), 0);
  tarvik::RegKey server;
  ASSERT_EQ(server.Create("SYSTEM\\CurrentControlSet\\Services\\Vonderil\\Parameter\\Server1"), 0);
  ASSERT_EQ(server.SetDword("ComNo1", 0x80000003u), 0);
  // Created after Server1 but sorting before it: export keeps creation order.
  ASSERT_EQ(server.Create("SYSTEM\\CurrentControlSet\\Services\\Vonderil\\Parameter\\Server0"), 0);
  ASSERT_EQ(server.Create("SOFTWARE\\T\xe4rvik"), 0);
  ASSERT_EQ(server.SetString("N\xe4me", "V\xe4lue"), 0);
}

class TarvikReg : public testing::Test {
 protected:
  std::string File(const char* name) { return root_.Path() + "/" + name; }
  tarvik::TempStateRoot root_;
};

TEST_F(TarvikReg, ExportImportExportIsIdentical) {
  FillStore();
  const Result first = Reg({"export"});
  ASSERT_EQ(first.code, 0) << first.err;
  WriteFile(File("first.reg"), first.out);

  tarvik::TempStateRoot fresh;
  const Result import = Reg({"import", root_.Path() + "/first.reg"});
  ASSERT_EQ(import.code, 0) << import.err;
  const Result second = Reg({"export"});
  ASSERT_EQ(second.code, 0) << second.err;
  EXPECT_EQ(second.out, first.out);

  // Importing the same file again changes nothing either.
  ASSERT_EQ(Reg({"import", root_.Path() + "/first.reg"}).code, 0);
  EXPECT_EQ(Reg({"export"}).out, first.out);
}

TEST_F(TarvikReg, ExportWritesKeysInCreationOrderWithTheHeader) {
  FillStore();
  const std::string text = Reg({"export"}).out;
  EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n\n", 0), 0u);
  const size_t parameter = text.find("\\Vonderil\\Parameter]\n");
  const size_t server1 = text.find("\\Parameter\\Server1]\n");
  const size_t server0 = text.find("\\Parameter\\Server0]\n");
  const size_t software = text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\T\xe4rvik]\n");
  EXPECT_LT(parameter, server1);
  EXPECT_LT(server1, server0);
  EXPECT_LT(server0, software);
  EXPECT_NE(software, std::string::npos);
  EXPECT_NE(text.find("\"ServerCount\"=dword:00000002\n"), std::string::npos);
  EXPECT_NE(text.find("\"UISorting\"=\"Name \\\"quoted\\\" C:\\\\path\"\n"), std::string::npos);
  EXPECT_NE(text.find("@=\"default\"\n"), std::string::npos);
}

TEST_F(TarvikReg, ExportOfOneKeyHoldsItsSubtreeAsTheStoreSpellsIt) {
  FillStore();
  const Result result = Reg({"export", "hklm\\system\\currentcontrolset\\services\\vonderil\\parameter\\server1"});
  ASSERT_EQ(result.code, 0) << result.err;
  EXPECT_EQ(result.out,
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Vonderil\\Parameter\\Server1]\n"
            "\"ComNo1\"=dword:80000003\n\n");
}

TEST_F(TarvikReg, EightBitStringsRoundTripByteForByte) {
  FillStore();
  ASSERT_EQ(Reg({"export", "HKEY_LOCAL_MACHINE", File("store.reg")}).code, 0);
  tarvik::TempStateRoot fresh;
  ASSERT_EQ(Reg({"import", root_.Path() + "/store.reg"}).code, 0);

  tarvik::RegKey key;
  ASSERT_EQ(key.Open("SYSTEM\\CurrentControlSet\\Services\\Vonderil\\Parameter", tarvik::RegAccess::kRead), 0);
  const struct {
    const char* name;
    uint32_t type;
    std::string data;
  } expected[] = {
      {"EightBit", tarvik::kRegSz, AllTextBytes() + std::string(1, '\0')},
      {"Odd", tarvik::kRegSz, "no nul"},
      {"Lines", tarvik::kRegSz, std::string("one\r\ntwo\0", 9)},
      {"Multi", tarvik::kRegMultiSz, std::string("a\0b\0\0", 5)},
      {"Blob", tarvik::kRegBinary, std::string("\x00\x01\xfe\xff", 4)},
  };
  for (const auto& e : expected) {
    SCOPED_TRACE(e.name);
    char data[512];
    uint32_t type = 0, length = sizeof data;
    ASSERT_EQ(key.QueryValue(e.name, &type, data, &length), 0);
    EXPECT_EQ(type, e.type);
    EXPECT_EQ(std::string(data, length), e.data);
  }
  tarvik::RegKey software;
  ASSERT_EQ(software.Open("software\\T\xe4rvik", tarvik::RegAccess::kRead), 0);
  char text[32];
  ASSERT_EQ(software.QueryString("N\xe4me", text, sizeof text), 0);
  EXPECT_STREQ(text, "V\xe4lue");
}

TEST_F(TarvikReg, BadLineIsNamedAndNothingChanges) {
  FillStore();
  const std::string before = Reg({"export"}).out;
  WriteFile(File("bad.reg"),
            "Windows Registry Editor Version 5.00\r\n"
            "\r\n"
            "[-HKEY_LOCAL_MACHINE\\SYSTEM]\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\New]\r\n"
            "\"A\"=dword:00000001\r\n"
            "\"B\"=dword:xyz\r\n");
  const Result result = Reg({"import", File("bad.reg")});
  EXPECT_EQ(result.code, 1);
  EXPECT_NE(result.err.find("bad.reg:6:"), std::string::npos) << result.err;
  EXPECT_EQ(Reg({"export"}).out, before);
}

TEST_F(TarvikReg, FailureInTheStoreRollsBackTheWholeImport) {
  FillStore();
  const std::string before = Reg({"export"}).out;
  // The file reads well, but the key name is longer than the store allows:
  // the deletion and the values before it must not stay.
  WriteFile(File("long.reg"), "REGEDIT4\n\n[-HKLM\\SOFTWARE]\n[HKLM\\SYSTEM\\X]\n\"A\"=\"a\"\n[HKLM\\" +
                                  std::string(300, 'k') + "]\n");
  const Result result = Reg({"import", File("long.reg")});
  EXPECT_EQ(result.code, 1);
  EXPECT_NE(result.err.find("long.reg:6:"), std::string::npos) << result.err;
  EXPECT_EQ(Reg({"export"}).out, before);
}

TEST_F(TarvikReg, DeletionsInAFile) {
  FillStore();
  WriteFile(File("del.reg"),
            "REGEDIT4\n\n"
            "[-HKEY_LOCAL_MACHINE\\SOFTWARE]\n"
            "[-HKEY_LOCAL_MACHINE\\NOT\\THERE]\n"
            "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Vonderil\\Parameter]\n"
            "\"servercount\"=-\n"
            "\"NotThere\"=-\n");
  const Result result = Reg({"import", File("del.reg")});
  ASSERT_EQ(result.code, 0) << result.err;
  tarvik::RegKey key;
  EXPECT_EQ(key.Open("SOFTWARE", tarvik::RegAccess::kRead), tarvik::kErrorFileNotFound);
  ASSERT_EQ(key.Open("SYSTEM\\CurrentControlSet\\Services\\Vonderil\\Parameter", tarvik::RegAccess::kRead), 0);
  uint32_t value = 0;
  EXPECT_EQ(key.QueryDword("ServerCount", &value), tarvik::kErrorFileNotFound);
  EXPECT_EQ(key.QueryDword("ComNo1", &value), tarvik::kErrorFileNotFound);  // stays in Server1
}

TEST_F(TarvikReg, SetQueryAndDelete) {
  const std::string key = "HKEY_LOCAL_MACHINE\\SYSTEM\\Tarvik";
  EXPECT_EQ(Reg({"set", key, "Count", "dword", "0x0000000A"}).code, 0);
  EXPECT_EQ(Reg({"set", key, "Max", "dword", "4294967295"}).code, 0);
  EXPECT_EQ(Reg({"set", "HKLM\\SYSTEM\\Tarvik\\Sub", "Text", "sz", "a \xe4 b"}).code, 0);
  EXPECT_EQ(Reg({"query", key, "count"}).out, "10\n");
  EXPECT_EQ(Reg({"query", key, "Max"}).out, "4294967295\n");
  EXPECT_EQ(Reg({"query", "SYSTEM\\Tarvik\\Sub", "Text"}).out, "a \xe4 b\n");
  EXPECT_EQ(Reg({"query", key}).out,
            "[HKEY_LOCAL_MACHINE\\SYSTEM\\Tarvik]\n\"Count\"=dword:0000000a\n\"Max\"=dword:ffffffff\n");

  EXPECT_EQ(Reg({"delete", key}).code, 0);
  const Result gone = Reg({"query", key});
  EXPECT_EQ(gone.code, 1);
  EXPECT_NE(gone.err.find("error 2: not found"), std::string::npos) << gone.err;
}

TEST_F(TarvikReg, RefusalsExitWithOne) {
  ASSERT_EQ(Reg({"set", "HKLM\\K", "N", "dword", "1"}).code, 0);
  const std::vector<std::vector<std::string>> refused = {
      {},
      {"frobnicate"},
      {"export", "HKLM\\K", "file", "extra"},
      {"import"},
      {"import", File("missing.reg")},
      {"query", "HKLM\\Missing"},
      {"query", "HKLM\\K", "Missing"},
      {"query", "HKEY_CURRENT_USER\\K"},
      {"set", "HKLM\\K", "N", "qword", "1"},
      {"set", "HKLM\\K", "N", "dword", "4294967296"},
      {"set", "HKLM\\K", "N", "dword", "12ab"},
      {"set", "HKLM\\K", "N", "dword", ""},
      {"set", "HKLM", "N", "sz", "x"},
      {"delete", "HKLM\\Missing"},
      {"delete", "HKEY_LOCAL_MACHINE"},
      {"export", "HKLM\\Missing"},
  };
  for (const auto& args : refused) {
    std::string line;
    for (const auto& a : args) line += a + " ";
    SCOPED_TRACE(line);
    const Result result = Reg(args);
    EXPECT_EQ(result.code, 1);
    EXPECT_FALSE(result.err.empty());
  }
  EXPECT_EQ(Reg({"query", "HKLM\\K", "N"}).out, "1\n");
}

TEST_F(TarvikReg, ReadOnlyStoreRefusesImportAndSet) {
  ASSERT_EQ(Reg({"set", "HKLM\\K", "N", "dword", "1"}).code, 0);
  WriteFile(File("one.reg"), "REGEDIT4\n[HKLM\\K]\n\"N\"=dword:2\n");
  tarvik::RegCloseStore();
  ASSERT_EQ(chmod((root_.Path() + "/registry.db").c_str(), 0444), 0);
  const Result import = Reg({"import", File("one.reg")});
  EXPECT_EQ(import.code, 1);
  EXPECT_NE(import.err.find("error 5: access denied"), std::string::npos) << import.err;
  EXPECT_EQ(Reg({"set", "HKLM\\K", "N", "dword", "3"}).code, 1);
  EXPECT_EQ(Reg({"query", "HKLM\\K", "N"}).out, "1\n");
}

}  // namespace
}  // namespace tarvikreg
