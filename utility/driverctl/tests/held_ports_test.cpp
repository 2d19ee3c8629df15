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

TEST(HeldPorts, TheFileCountsOnlyWhileItsDriverLives) {
  tarvik::TempStateRoot root;
  ASSERT_TRUE(tarvik::EnsureStateRoot());
  const std::string dir = tarvik::RunDirectory();
  EXPECT_EQ(ReadHeldComPorts(dir), Ports{});  // no file at all

  const std::string path = dir + "/Vonderil.ports";
  std::ofstream(path) << "Vonderil " << ::getpid() << " stopping\nCOM3 connected 10.0.0.5:950 - primary held 0 0\n";
  EXPECT_EQ(ReadHeldComPorts(dir), Ports{3});

  // A pid no process has (above the kernel's pid limit).
  std::ofstream(path) << "Vonderil 2147483647 stopping\nCOM3 connected 10.0.0.5:950 - primary held 0 0\n";
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
