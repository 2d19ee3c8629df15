#include "server_label.h"

#include <gtest/gtest.h>

#include <cstring>

#include "record_fixture.h"

namespace tarvik::app {
namespace {
using testing::MakeServer;

TEST(ServerLabel, NameAndAddressOnly) {
  EXPECT_EQ(ServerLabel(MakeServer("Q410X-2", "192.168.1.20"), '?'), "Q410X-2 [192.168.1.20]");
}

TEST(ServerLabel, AliasInParentheses) {
  EXPECT_EQ(ServerLabel(MakeServer("Q410X-2", "10.0.0.2", "Line 4"), ' '),
            "Q410X-2 (Line 4) [10.0.0.2]");
}

TEST(ServerLabel, HostNameMarkedUntilResolved) {
  ServerRecord r = MakeServer("VK-8110", "10.1.2.3", "", "gate.lab");
  EXPECT_EQ(ServerLabel(r, '?'), "VK-8110 [10.1.2.3]-?gate.lab");
  EXPECT_EQ(ServerLabel(r, ' '), "VK-8110 [10.1.2.3]-gate.lab");
}

TEST(ServerLabel, UnterminatedFieldsStayInsideTheRecord) {
  ServerRecord r = MakeServer("", "1.2.3.4");
  memset(r.ServerName, 'N', sizeof r.ServerName);
  memset(r.AliasName, 'A', sizeof r.AliasName);
  std::string label = ServerLabel(r, '?');
  EXPECT_EQ(label, std::string(50, 'N') + " (" + std::string(50, 'A') + ") [1.2.3.4]");
}

TEST(Ipv4Text, FirstOctetIsTheLowestByte) {
  EXPECT_EQ(Ipv4Text(0x0400A8C0u), "192.168.0.4");
  EXPECT_EQ(Ipv4Text(0xFFFFFFFFu), "255.255.255.255");
}

}  // namespace
}  // namespace tarvik::app
