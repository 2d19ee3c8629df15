#include "held_ports.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "tarvik/state_root.h"
#include "temp_root.h"

namespace {

using Ports = std::vector<uint32_t>;

struct ParseCase {
  const char* name;
  const char* text;
  Ports held;
};

TEST(HeldPorts, ParsesTheDriversPortFile) {
  const ParseCase cases[] = {
      {"held and free ports",
       "Vonderil 42 running\n"
       "COM5 connected 10.0.0.5:950 - primary held 10 20\n"
       "COM6 idle 10.0.0.5:951 - - free 0 0\n"
       "COM4095 broken 10.0.0.5:952 10.0.1.5:952 - held 0 0\n",
       {5, 4095}},
      {"no header", "COM5 connected 10.0.0.5:950 - primary held 10 20\n", {}},
      {"header of another program", "Other 42 running\nCOM5 a b c d held 1 2\n", {}},
      {"pid 0", "Vonderil 0 running\nCOM5 a b c d held 1 2\n", {}},
      {"out of range and malformed COM numbers are skipped",
       "Vonderil 42 stopping\nCOM0 a b c d held 1 2\nCOM4096 a b c d held 1 2\n"
       "COMx a b c d held 1 2\nCOM a b c d held 1 2\nCOM99999999999 a b c d held 1 2\n"
       "COM7 a b c d held 1 2\n",
       {7}},
      {"a line with too few or too many fields is skipped",
       "Vonderil 42 running\nCOM5 a b c held 1 2\nCOM6 a b c d held 1 2 3\nCOM8 a b c d held 1 2",
       {8}},
      {"held must be the sixth field", "Vonderil 42 running\nCOM5 held b c d free 1 2\n", {}},
      {"empty", "", {}},
  };
  for (const ParseCase& c : cases) {
    long pid = -1;
    EXPECT_EQ(ParseHeldComPorts(c.text, &pid), c.held) << c.name;
  }
}

TEST(HeldPorts, TheFileCountsOnlyWhileItsDriverLives) {
  tarvik::TempStateRoot root;
  ASSERT_TRUE(tarvik::EnsureStateRoot());
  const std::string dir = tarvik::RunDirectory();
  EXPECT_EQ(ReadHeldComPorts(dir), Ports{});  // no file at all

  const std::string path = dir + "/Vonderil.ports";
  std::ofstream(path) << "Vonderil " << ::getpid() << " stopping\nCOM3 a b c d held 0 0\n";
  EXPECT_EQ(ReadHeldComPorts(dir), Ports{3});

  // A pid no process has (above the kernel's pid limit).
  std::ofstream(path) << "Vonderil 2147483647 stopping\nCOM3 a b c d held 0 0\n";
  EXPECT_EQ(ReadHeldComPorts(dir), Ports{});
}

TEST(HeldPorts, TheListIsCutToItsBuffer) {
  char text[12];
  FormatComList({5, 12, 4095}, text, sizeof text);
  EXPECT_STREQ(text, "COM5, COM12");
  FormatComList({}, text, sizeof text);
  EXPECT_STREQ(text, "");
}

}  // namespace
