#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "tarvik/clock.h"
#include "tarvik/state_root.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"
#include "temp_root.h"

using namespace tarvik;

static bool IsDir(const std::string& p) {
  struct stat st;
  return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TEST(StateRoot, FollowsEnvironmentAndCreatesFolders) {
  TempStateRoot root;
  const std::string nested = root.Path() + "/a/b";
  ::setenv("TARVIK_ROOT", nested.c_str(), 1);
  EXPECT_EQ(StateRoot(), nested);
  ASSERT_TRUE(EnsureStateRoot());
  EXPECT_TRUE(IsDir(nested + "/System32/Drivers"));
  EXPECT_TRUE(IsDir(nested + "/run"));
  EXPECT_TRUE(IsDir(nested + "/dev"));
  EXPECT_EQ(SystemDirectory(), nested + "/System32");
}

TEST(StateRoot, DefaultsToXdgStateHomeThenHome) {
  TempStateRoot root;  // restores TARVIK_ROOT afterwards
  if (IsDir(SystemStateRoot())) GTEST_SKIP() << "a system-wide installation is present";
  ::unsetenv("TARVIK_ROOT");
  ::setenv("XDG_STATE_HOME", "/x/state", 1);
  EXPECT_EQ(StateRoot(), "/x/state/tarvik");
  ::unsetenv("XDG_STATE_HOME");
  ::setenv("HOME", "/home/admin", 1);
  EXPECT_EQ(StateRoot(), "/home/admin/.local/state/tarvik");
}

TEST(StateRoot, UncreatableRootIsReported) {
  TempStateRoot root;
  const std::string file = root.Path() + "/plainfile";
  FILE* f = std::fopen(file.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  ::setenv("TARVIK_ROOT", (file + "/inside").c_str(), 1);
  std::string error;
  EXPECT_FALSE(EnsureStateRoot(&error));
  EXPECT_NE(error.find("plainfile"), std::string::npos);
}

TEST(MapPath, BackslashesBecomeSlashes) {
  EXPECT_EQ(MapPath("C:\\root\\System32\\Drivers\\Vonderil.sys"), "C:/root/System32/Drivers/Vonderil.sys");
  EXPECT_EQ(MapPath("/already/fine"), "/already/fine");
}

TEST(Text, CopyAndFormatAreCutToFit) {
  char buf[5];
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(CopyText(buf, "abcdefgh"), 4u);
  EXPECT_STREQ(buf, "abcd");
  EXPECT_EQ(CopyText(buf, nullptr), 0u);
  EXPECT_STREQ(buf, "");
  char guarded[8] = {0, 0, 0, 0, 'G', 'G', 'G', 'G'};
  EXPECT_EQ(FormatText(guarded, 4, "COM%d", 4095), 3u);
  EXPECT_STREQ(guarded, "COM");
  EXPECT_EQ(guarded[4], 'G');
}

struct EscapeRow {
  const char* name;
  std::string text;
  const char* escaped;
  const char* quoted;
};

TEST(Text, EscapeAndQuoteShowUntrustedBytesAsEscapes) {
  const EscapeRow rows[] = {
      {"plain text stays", "Q410X-2 lab", "Q410X-2 lab", "\"Q410X-2 lab\""},
      {"a forged line stays on its line", "Q410X2\nadded index=77",
       "Q410X2\\nadded index=77", "\"Q410X2\\nadded index=77\""},
      {"terminal sequence", "\x1b[2Jx\r\t", "\\x1b[2Jx\\r\\t", "\"\\x1b[2Jx\\r\\t\""},
      {"DEL and 8-bit bytes", "a\x7F\x9B\xE9", "a\\x7f\\x9b\\xe9", "\"a\\x7f\\x9b\\xe9\""},
      {"NUL inside the text", std::string("a\0b", 3), "a\\x00b", "\"a\\x00b\""},
      {"backslash is doubled", "a\\nb", "a\\\\nb", "\"a\\\\nb\""},
      {"quotes only escaped inside quotes", "name=\"FORGED\"", "name=\"FORGED\"",
       "\"name=\\\"FORGED\\\"\""},
      {"empty", "", "", "\"\""},
  };
  for (const EscapeRow& row : rows) {
    EXPECT_EQ(EscapeText(row.text), row.escaped) << row.name;
    EXPECT_EQ(QuoteText(row.text), row.quoted) << row.name;
  }
}

// Every byte comes out as printable ASCII, and the escapes read back to the
// one text they came from.
TEST(Text, EscapedTextIsPrintableAndReadsBackToTheOriginal) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  all += "\\x41\\n";  // text that looks like escapes must not read back as them
  const std::string escaped = EscapeText(all);
  std::string back;
  for (size_t i = 0; i < escaped.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(escaped[i]);
    ASSERT_TRUE(c >= 0x20 && c < 0x7F) << "byte " << i;
    if (c != '\\') {
      back += static_cast<char>(c);
      continue;
    }
    ASSERT_LT(i + 1, escaped.size());
    const char kind = escaped[++i];
    if (kind == 'n') back += '\n';
    else if (kind == 'r') back += '\r';
    else if (kind == 't') back += '\t';
    else if (kind == '\\') back += '\\';
    else {
      ASSERT_EQ(kind, 'x');
      ASSERT_LT(i + 2, escaped.size());
      back += static_cast<char>(std::stoi(escaped.substr(i + 1, 2), nullptr, 16));
      i += 2;
    }
  }
  EXPECT_EQ(back, all);
}

TEST(Text, ControlCharactersAreTheBytesBelowBlankAndDel) {
  EXPECT_FALSE(HasControlCharacter("a,b=c \xE9~"));
  EXPECT_TRUE(HasControlCharacter("a\tb"));
  EXPECT_TRUE(HasControlCharacter(std::string("a\0", 2)));
  EXPECT_TRUE(HasControlCharacter("\x7F"));
  EXPECT_TRUE(HasControlCharacter("\x1b[2J"));
}

TEST(Clock, VirtualClockRunsLongWaitsAtOnceAndWraps) {
  VirtualClock clock(0xFFFFFF00u);
  SetClock(&clock);
  const uint32_t start = TickCount();
  SleepMs(15000);
  EXPECT_EQ(uint32_t(TickCount() - start), 15000u);  // unsigned difference across the wrap
  EXPECT_LT(TickCount(), start);
  EXPECT_EQ(clock.SleptMs(), 15000u);
  SetClock(nullptr);
}

TEST(Clock, SystemClockIsMonotonic) {
  const uint32_t a = TickCount();
  SleepMs(20);
  const uint32_t b = TickCount();
  EXPECT_GE(uint32_t(b - a), 19u);
}

TEST(UiHooks, MessageBoxGoesToHookOrStderr) {
  std::string seenText, seenCaption;
  unsigned seenFlags = 0;
  SetMessageBoxHook([&](const std::string& t, const std::string& c, unsigned f) {
    seenText = t;
    seenCaption = c;
    seenFlags = f;
    return kIdNo;
  });
  EXPECT_EQ(ShowMessageBox("Remove?", "Tarvik Utility", kMbYesNo | kMbIconQuestion), kIdNo);
  EXPECT_EQ(seenText, "Remove?");
  EXPECT_EQ(seenCaption, "Tarvik Utility");
  EXPECT_EQ(seenFlags, unsigned(kMbYesNo | kMbIconQuestion));
  SetMessageBoxHook(nullptr);
  testing::internal::CaptureStderr();
  EXPECT_EQ(ShowMessageBox("bind() failed", "Discovery", kMbOk), kIdOk);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Discovery: bind() failed\n");
}

TEST(UiHooks, UnsetHooksDoNothing) {
  std::string path = "unchanged";
  EXPECT_FALSE(ShowFileDialog(FileDialogRequest{}, &path));
  EXPECT_EQ(path, "unchanged");
  EXPECT_LE(ShellOpen("Terminal.exe"), 32);
  int pumped = 0;
  SetPumpHook([&] { ++pumped; });
  PumpUiEvents();
  SetPumpHook(nullptr);
  PumpUiEvents();
  EXPECT_EQ(pumped, 1);
}
