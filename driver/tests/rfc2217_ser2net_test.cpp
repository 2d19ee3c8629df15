// The RFC 2217 filter against Debian's ser2net on loopback: a small socket
// loop in the test stands where the driver's session will, ser2net serves a
// socat pty pair, and the test plays the device on the far end.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "rfc2217_test_client.h"
#include "ser2net_peer.h"

namespace tarvik::device {
namespace {

using tarvik::testing::AllByteValuesTwice;
using tarvik::testing::Rfc2217TestClient;
using tarvik::testing::Ser2netPeer;
using tarvik::testing::WriteAll;

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

// Reads the device's end until want bytes came; false when a step limit
// passes first (the test fails instead of hanging; nothing is timed).
bool ReadDevice(int fd, size_t want, std::string* got) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (got->size() < want) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) got->append(buffer, static_cast<size_t>(n));
  }
  return true;
}

struct LineTermios {
  speed_t speed = 0;
  bool twoStopBits = false;
};

// What ser2net set on its serial line.
bool ReadLine(const Ser2netPeer& peer, LineTermios* line) {
  termios t{};
  if (!peer.ReadLine(&t)) return false;
  line->speed = cfgetospeed(&t);
  line->twoStopBits = (t.c_cflag & CSTOPB) != 0;
  return true;
}

TEST(Rfc2217Ser2net, NegotiatesSetsTheLineAndCarriesEveryByteBothWays) {
  Ser2netPeer peer;
  std::string why;
  ASSERT_TRUE(peer.Start(&why)) << why;
  Fd device(open(peer.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  ASSERT_GE(device.Get(), 0) << peer.DevicePath();
  Rfc2217TestClient client("127.0.0.1", peer.Port());
  ASSERT_TRUE(client.Connected()) << peer.Log();

  ASSERT_TRUE(client.Start());
  ASSERT_TRUE(client.Until([&] { return !client.filter.Negotiating(); })) << peer.Log();
  EXPECT_EQ(client.filter.ComPort(), OptionState::kOn);
  EXPECT_EQ(client.filter.BinaryToServer(), OptionState::kOn);
  EXPECT_EQ(client.filter.BinaryFromServer(), OptionState::kOn);

  struct Step {
    uint32_t baud;
    StopSize stop;
    speed_t speed;
  };
  for (const Step& step : {Step{57600, StopSize::kTwo, B57600}, Step{9600, StopSize::kOne, B9600}}) {
    SCOPED_TRACE("baud " + std::to_string(step.baud));
    EXPECT_EQ(client.filter.SetBaudRate(step.baud, &client.out), RequestResult::kSent);
    EXPECT_EQ(client.filter.SetStopSize(step.stop, &client.out), RequestResult::kSent);
    ASSERT_TRUE(client.Flush());
    ASSERT_TRUE(client.Until([&] { return client.filter.PendingRequests() == 0; })) << peer.Log();
    EXPECT_TRUE(client.Acknowledged(ComPortCommand::kSetBaudRate, step.baud));
    EXPECT_TRUE(client.Acknowledged(ComPortCommand::kSetStopSize, static_cast<uint32_t>(step.stop)));
    // ser2net answers once it has set the line.
    LineTermios line;
    ASSERT_TRUE(ReadLine(peer, &line));
    EXPECT_EQ(line.speed, step.speed);
    EXPECT_EQ(line.twoStopBits, step.stop == StopSize::kTwo);
  }

  const std::string all = AllByteValuesTwice();
  ASSERT_TRUE(client.Send(all));
  std::string atDevice;
  ASSERT_TRUE(ReadDevice(device.Get(), all.size(), &atDevice)) << atDevice.size() << " bytes came";
  EXPECT_EQ(atDevice, all);

  ASSERT_TRUE(WriteAll(device.Get(), all));
  ASSERT_TRUE(client.Until([&] { return client.application.size() >= all.size(); }))
      << client.application.size() << " bytes came";
  EXPECT_EQ(client.application, all);
}

}  // namespace
}  // namespace tarvik::device
