// The socket options of a device connection.
#include "tcp_connect.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace vonderil {
namespace {

// Regression: a device that vanished while bytes to it were unacknowledged
// was noticed only after the kernel's retransmissions gave up.
TEST(TcpConnectTest, ADeviceConnectionIsBoundByConnectionBrokenAndSendsAtOnce) {
  tarvik::UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof at;
  ASSERT_EQ(::bind(listener.Get(), reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
  ASSERT_EQ(::listen(listener.Get(), 1), 0);
  ASSERT_EQ(getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&at), &length), 0);

  tarvik::UniqueFd fd;
  int error = 0;
  LinkOptions options;
  options.keepAliveMs = 120000;
  options.userTimeoutMs = 180000;
  ASSERT_NE(StartTcpConnect(127 | 1u << 24, ntohs(at.sin_port), options, &fd, &error),
            ConnectStart::kFailed)
      << error;
  unsigned int timeout = 0;
  int nodelay = 0, keepAlive = 0;
  socklen_t size = sizeof timeout;
  ASSERT_EQ(getsockopt(fd.Get(), IPPROTO_TCP, TCP_USER_TIMEOUT, &timeout, &size), 0);
  EXPECT_EQ(timeout, 180000u);
  size = sizeof nodelay;
  ASSERT_EQ(getsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &nodelay, &size), 0);
  EXPECT_NE(nodelay, 0);
  size = sizeof keepAlive;
  ASSERT_EQ(getsockopt(fd.Get(), SOL_SOCKET, SO_KEEPALIVE, &keepAlive, &size), 0);
  EXPECT_NE(keepAlive, 0);
}

}  // namespace
}  // namespace vonderil
