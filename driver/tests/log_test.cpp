// The driver's log: failures summarised per port, and a file that cannot
// grow without end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fake_port_ops.h"
#include "log_file.h"
#include "port_log.h"
#include "tarvik/unique_fd.h"

namespace vonderil {
namespace {

TEST(PortLogTest, AStreakOfFailuresIsOneLineAndASummaryAMinute) {
  FakeClock clock;
  std::vector<std::string> lines;
  PortLog log(7, clock, [&](const std::string& l) { lines.push_back(l); });
  log.Change("connected to 10.0.0.1:10001");
  for (int i = 0; i < 412; ++i) {
    log.Failure("cannot connect to 10.0.0.1:10001: Connection refused");
    log.Change("connected to 10.0.0.1:10001");  // a connection that did not last
    clock.Advance(146);
  }
  log.EndStreak("connected to 10.0.0.1:10001");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "COM7: connected to 10.0.0.1:10001");
  EXPECT_EQ(lines[1], "COM7: cannot connect to 10.0.0.1:10001: Connection refused");
  EXPECT_EQ(lines[2], "COM7: 411 attempts failed in the last minute (last: cannot connect to "
                      "10.0.0.1:10001: Connection refused)");
  EXPECT_EQ(lines[3], "COM7: connected to 10.0.0.1:10001 after 412 failed attempts in 60 s");
}

class LogFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/vonderil-log-XXXXXX";
    tarvik::UniqueFd made(mkstemp(name));
    ASSERT_TRUE(made.Valid());
    path_ = name;
    fd_.Reset(::open(name, O_WRONLY | O_APPEND | O_CLOEXEC));
  }
  void TearDown() override {
    ::unlink(path_.c_str());
    ::unlink((path_ + ".1").c_str());
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::string path_;
  tarvik::UniqueFd fd_;
};

// Regression: an earlier driver wrote a 7.5 GB log.
TEST_F(LogFileTest, TheFileIsRotatedAtItsCapAndNoLineIsCut) {
  LogFile log(fd_.Get(), -1, 1000);
  ASSERT_TRUE(log.Rotates());
  std::string all;
  for (int i = 0; i < 100; ++i) {
    const std::string line = "Vonderil: COM5: line " + std::to_string(i);
    log.Write(line);
    all += line + "\n";
  }
  const std::string now = Read(path_), before = Read(path_ + ".1");
  EXPECT_LE(now.size(), 1000u);
  EXPECT_LE(before.size(), 1000u);
  EXPECT_GT(before.size(), 900u);
  // The newest lines, whole, in order, across the two files.
  EXPECT_EQ(all.substr(all.size() - (before.size() + now.size())), before + now);
  EXPECT_EQ(now.back(), '\n');
}

TEST_F(LogFileTest, APipeIsWrittenAsItIs) {
  int ends[2];
  ASSERT_EQ(pipe2(ends, O_CLOEXEC | O_NONBLOCK), 0);
  tarvik::UniqueFd in(ends[0]), out(ends[1]);
  LogFile log(out.Get(), -1, 10);
  EXPECT_FALSE(log.Rotates());
  log.Write("a line longer than the cap");
  char buffer[64] = {};
  EXPECT_EQ(::read(in.Get(), buffer, sizeof buffer), 27);
}

}  // namespace
}  // namespace vonderil
