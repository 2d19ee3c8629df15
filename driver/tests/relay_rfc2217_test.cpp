// The driver stand-in on a server whose DataProtocol is 1, against Debian's
// ser2net on loopback (a telnet(rfc2217) accepter serving one end of a
// socat pty pair): an application on COM5 sets its line and sends every
// byte value, the test plays the device on the pair's other end, and the
// termios of ser2net's serial line shows what the application set.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "relay_fixture.h"
#include "rfc2217_test_client.h"
#include "ser2net_peer.h"

namespace vonderil {
namespace {

using tarvik::testing::AllByteValuesTwice;
using tarvik::testing::Ser2netPeer;

// Reads until want bytes came or 10 s passed.
std::string ReadDevice(int fd, size_t want) {
  std::string got;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (got.size() < want && std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) got.append(buffer, static_cast<size_t>(n));
  }
  return got;
}

// The application's line: raw, so the pty's own line discipline leaves
// every byte alone.
void SetRawLine(int fd, speed_t speed, bool twoStopBits) {
  termios t{};
  ASSERT_EQ(tcgetattr(fd, &t), 0);
  cfmakeraw(&t);
  cfsetispeed(&t, speed);
  cfsetospeed(&t, speed);
  if (twoStopBits) {
    t.c_cflag |= CSTOPB;
  } else {
    t.c_cflag &= ~CSTOPB;
  }
  ASSERT_EQ(tcsetattr(fd, TCSANOW, &t), 0);
}

// What ser2net set on its serial line.
bool LineShows(const Ser2netPeer& peer, speed_t speed, bool twoStopBits) {
  termios t{};
  if (!peer.ReadLine(&t)) return false;
  return cfgetospeed(&t) == speed && ((t.c_cflag & CSTOPB) != 0) == twoStopBits;
}

class RelayRfc2217Test : public RelayFixture {
 protected:
  void SetUp() override {
    RelayFixture::SetUp();
    std::string why;
    ASSERT_TRUE(peer_.Start(&why)) << why;
    device_ = tarvik::UniqueFd(
        open(peer_.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    ASSERT_TRUE(device_.Valid()) << peer_.DevicePath();
    TestServer server;
    server.tcpPortCmd = peer_.Port() - 1u;  // the data port is TcpPortCmd + 1
    server.dataProtocol = 1;
    Configure({server});
    StartDriver();
  }

  Ser2netPeer peer_;
  tarvik::UniqueFd device_;
};

TEST_F(RelayRfc2217Test, EveryByteValueBothWaysAndTheApplicationsLineOnTheSerialLine) {
  tarvik::UniqueFd app = OpenPort(5);
  ASSERT_TRUE(app.Valid());
  SetRawLine(app.Get(), B57600, true);
  const std::string all = AllByteValuesTwice();
  WriteAll(app.Get(), all);
  EXPECT_EQ(ReadDevice(device_.Get(), all.size()), all) << DriverLog() << peer_.Log();
  // The bytes after the change waited for ser2net's answer, which it gives
  // once it has set the line.
  EXPECT_TRUE(LineShows(peer_, B57600, true)) << DriverLog();

  ASSERT_TRUE(tarvik::testing::WriteAll(device_.Get(), all));
  EXPECT_EQ(ReadFor(app.Get(), all.size()), all) << DriverLog();

  SetRawLine(app.Get(), B19200, false);
  WriteAll(app.Get(), "x");
  EXPECT_EQ(ReadDevice(device_.Get(), 1), "x");
  EXPECT_TRUE(LineShows(peer_, B19200, false)) << DriverLog();
  PortStatusLine status;
  EXPECT_TRUE(WaitForPort(5, [](const PortStatusLine& p) {
    return p.protocol == "rfc2217" && p.serverBaud == 19200 && p.lineState == "ok";
  }, &status)) << FormatPortStatusLine(status);
}

}  // namespace
}  // namespace vonderil
