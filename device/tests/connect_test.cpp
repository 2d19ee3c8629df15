// Connecting a session: refused, silent and slow peers, and what the UI
// hooks see while Connect waits.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "command_server.h"
#include "czorn3.h"
#include "tarvik/ui_hooks.h"
#include "tarvik/unique_fd.h"

namespace {

// A listening socket on 127.0.0.1 whose accept queue is already full, so
// that the kernel drops further connection attempts: a peer that never
// answers a connect.
class FullListener {
 public:
  FullListener() {
    listen_.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::bind(listen_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::listen(listen_.Get(), 0), 0);
    socklen_t length = sizeof address;
    ::getsockname(listen_.Get(), reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    for (int i = 0; i < 3; ++i) {
      tarvik::UniqueFd filler(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
      ::connect(filler.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
      fillers_.push_back(std::move(filler));
    }
    ::usleep(50 * 1000);  // let the first handshakes complete
  }
  uint16_t Port() const { return port_; }

 private:
  tarvik::UniqueFd listen_;
  std::vector<tarvik::UniqueFd> fillers_;
  uint16_t port_ = 0;
};

// A port on 127.0.0.1 where nothing listens.
uint16_t ClosedPort() {
  tarvik::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

class Connect : public ::testing::Test {
 protected:
  void SetUp() override {
    tarvik::SetPumpHook([this] { ++pumps; });
    tarvik::SetWaitCursorHook([this](bool on) { (on ? cursorOn : cursorOff)++; });
    session.Address().SetText("127.0.0.1");
    session.SetTimeout(400);
  }
  void TearDown() override {
    tarvik::SetPumpHook(nullptr);
    tarvik::SetWaitCursorHook(nullptr);
  }

  CZorn3 session;
  int pumps = 0;
  int cursorOn = 0;
  int cursorOff = 0;
  char result[200] = {};
};

TEST_F(Connect, ClosedPortFailsAndKeepsConnectingText) {
  session.SetPort(ClosedPort());
  EXPECT_EQ(session.Connect(), 1u);
  EXPECT_EQ(session.StatusText(), "Connecting...");
  EXPECT_EQ(cursorOn, cursorOff);
  session.SetTimeout(50);
  EXPECT_EQ(session.GetDeviceName(result, sizeof result), 1u);
}

TEST_F(Connect, SilentPeerRunsIntoTheTimeoutWhileTheUiIsPumped) {
  FullListener silent;
  session.SetPort(silent.Port());
  EXPECT_EQ(session.Connect(), 1u);
  EXPECT_EQ(session.StatusText(), "Connecting...");
  EXPECT_GT(pumps, 0);
  EXPECT_GT(cursorOn, 0);
  EXPECT_EQ(cursorOn, cursorOff);
}

TEST_F(Connect, DeviceRefusingConnectionsFails) {
  devsim::CommandPortSettings settings;
  settings.ip = "127.0.0.1";
  CommandServer server(settings);
  session.SetPort(server.Port());
  server.WithDevice([](devsim::CommandPortDevice& d) { d.Settings().refuseConnections = true; });
  EXPECT_EQ(session.Connect(), 1u);
  EXPECT_EQ(session.StatusText(), "Connecting...");
  server.WithDevice([](devsim::CommandPortDevice& d) { d.Settings().refuseConnections = false; });
  session.SetTimeout(3000);
  ASSERT_EQ(session.Connect(), 0u);
  EXPECT_EQ(session.GetDeviceName(result, sizeof result), 0u);
}

TEST_F(Connect, SlowAcceptingDeviceAnswersLate) {
  devsim::CommandPortSettings settings;
  settings.ip = "127.0.0.1";
  settings.slowAcceptMs = 600;
  CommandServer server(settings);
  session.SetPort(server.Port());
  session.SetTimeout(3000);
  ASSERT_EQ(session.Connect(), 0u);  // the handshake does not wait for accept
  EXPECT_EQ(session.Exchange("10\r", result, sizeof result, 50), 1u);
  // The late answer to the first command arrives with the second one's.
  EXPECT_EQ(session.Exchange("10\r", result, sizeof result, 3000), 0u);
  EXPECT_EQ(std::string(result).rfind("Q410X-2", 0), 0u);
}

TEST_F(Connect, DeviceOnItsOwnLoopbackAddress) {
  devsim::CommandPortSettings settings;
  settings.ip = "127.0.77.5";
  CommandServer server(settings);
  session.Address().SetText("127.0.77.5");
  session.SetPort(server.Port());
  session.SetTimeout(3000);
  ASSERT_EQ(session.Connect(), 0u);
  EXPECT_EQ(session.GetDeviceName(result, sizeof result), 0u);
  // Nothing answers for that port on another address.
  CZorn3 other;
  other.Address().SetText("127.0.77.6");
  other.SetPort(server.Port());
  other.SetTimeout(400);
  EXPECT_EQ(other.Connect(), 1u);
}

TEST_F(Connect, PortBeyondTcpRangeFails) {
  session.SetPort(65536 + ClosedPort());
  EXPECT_EQ(session.Connect(), 1u);
  EXPECT_EQ(session.StatusText(), "Connecting...");
}

TEST_F(Connect, ZeroTimeoutNeverWaits) {
  devsim::CommandPortSettings settings;
  settings.ip = "127.0.0.1";
  CommandServer server(settings);
  session.SetPort(server.Port());
  session.SetTimeout(0);
  EXPECT_EQ(session.Connect(), 1u);
}

// 0.0.0.0 reaches this host on Linux: a typo in the address followed by
// Refresh read whatever listened here as the device, and Set could send it
// ISAVE and RESET.
TEST_F(Connect, AddressZeroOrBroadcastIsRefusedWithoutConnecting) {
  devsim::CommandPortSettings settings;
  settings.ip = "127.0.0.1";
  CommandServer server(settings);
  session.SetPort(server.Port());
  // Short: a refused connect must not wait for it, and the exchange after
  // it can only time out.
  session.SetTimeout(100);
  const char* texts[] = {"0.0.0.0", "10.0.0.300", "", "192.168.1.1 x", "255.255.255.255"};
  for (const char* text : texts) {
    session.Address().SetText(text);
    EXPECT_EQ(session.Connect(), 1u) << text;
    EXPECT_EQ(session.StatusText(), "Invalid IP address!") << text;
    EXPECT_EQ(session.GetDeviceName(result, sizeof result), 1u) << text;
  }
  session.Address().SetValue(0);  // a server record without an address
  EXPECT_EQ(session.Connect(), 1u);
  EXPECT_EQ(session.StatusText(), "Invalid IP address!");
  EXPECT_EQ(server.Received(), "");  // not one byte reached the local device
  // The same session still reaches a real address.
  session.Address().SetText("127.0.0.1");
  session.SetTimeout(3000);
  ASSERT_EQ(session.Connect(), 0u);
  EXPECT_EQ(session.GetDeviceName(result, sizeof result), 0u);
}

TEST_F(Connect, NoSocketLeftGivesCreateSocketText) {
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
  const int next = ::dup(0);  // the lowest free descriptor number
  ::close(next);
  rlimit low = old;
  low.rlim_cur = static_cast<rlim_t>(next);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
  const uint32_t r = session.Connect();
  const int error = session.LastError();
  ::setrlimit(RLIMIT_NOFILE, &old);
  EXPECT_EQ(r, 1u);
  EXPECT_EQ(session.StatusText(), "Create socket! No net-resource?!");
  EXPECT_EQ(error, EMFILE);
}

}  // namespace
