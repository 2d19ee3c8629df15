#include "driver_parameters.h"

#include <gtest/gtest.h>

#include "tarvik/registry.h"
#include "tarvik/state_root.h"
#include "temp_root.h"

namespace vonderil {
namespace {

using tarvik::RegKey;

const char kParameter[] = "SYSTEM\\CurrentControlSet\\Services\\Vonderil\\Parameter";

uint32_t Ip(uint32_t a, uint32_t b, uint32_t c, uint32_t d) { return a | b << 8 | c << 16 | d << 24; }

class DriverParametersTest : public ::testing::Test {
 protected:
  RegKey Server(int n, const char* name, uint32_t address, uint32_t portNo) {
    RegKey key;
    EXPECT_EQ(key.Create(std::string(kParameter) + "\\Server" + std::to_string(n)), 0);
    key.SetString("ServerName", name);
    key.SetDword("IPAddress", address);
    key.SetDword("PortNo", portNo);
    return key;
  }
  void Counts(uint32_t servers, uint32_t flags) {
    RegKey key;
    ASSERT_EQ(key.Create(kParameter), 0);
    key.SetDword("Servers", servers);
    key.SetDword("Flags", flags);
  }

  tarvik::TempStateRoot root_;
};

TEST_F(DriverParametersTest, MissingKeyMeansNothingToServe) {
  DriverParameters p = ReadDriverParameters("Vonderil");
  EXPECT_FALSE(p.keyFound);
  EXPECT_TRUE(p.ports.empty());
}

TEST_F(DriverParametersTest, ResolvesEveryMappedPortToItsDeviceAndTcpPort) {
  Counts(2, 0x2b);
  {
    RegKey s = Server(1, "NP-5210", Ip(192, 168, 0, 10), 2);
    s.SetDword("TcpPortCmd", 4000);
    s.SetDword("TcpPort7000", 5);  // out of range: the default
    s.SetDword("ComNoIO", 9 | 1 << 20);
    s.SetDword("ComNo1", 12 | 1 << 13 | 1 << 20 | 1 << 21);
    s.SetDword("ComOA1", 1 | 10 << 1);
    // Data port 2 unmapped (no ComNo2).
  }
  {
    RegKey s = Server(2, "OLD-1", Ip(10, 0, 0, 7), 2);
    s.SetDword("IPAddress2", Ip(10, 0, 0, 8));
    s.SetDword("ComNo2", 3);  // an old store's plain COM number
  }
  DriverParameters p = ReadDriverParameters("Vonderil");
  ASSERT_TRUE(p.keyFound);
  EXPECT_EQ(p.flags, 0x2bu);
  EXPECT_EQ(p.servers, 2u);
  ASSERT_EQ(p.ports.size(), 3u);

  const MappedPort& old = p.ports[0];
  EXPECT_EQ(old.comNumber, 3u);
  EXPECT_EQ(old.devicePort, 2u);
  EXPECT_EQ(old.tcpPort, 10002u);
  EXPECT_EQ(DottedAddress(old.address), "10.0.0.7");
  EXPECT_EQ(DottedAddress(old.address2), "10.0.0.8");
  EXPECT_EQ(old.autoFlushMs, 50u);

  const MappedPort& io = p.ports[1];
  EXPECT_EQ(io.comNumber, 9u);
  EXPECT_EQ(io.devicePort, 0u);
  EXPECT_EQ(io.tcpPort, 9999u);
  EXPECT_EQ(io.server, 1u);
  EXPECT_EQ(io.serverName, "NP-5210");

  const MappedPort& data = p.ports[2];
  EXPECT_EQ(data.comNumber, 12u);
  EXPECT_EQ(data.devicePort, 1u);
  EXPECT_EQ(data.tcpPort, 4001u);
  EXPECT_TRUE(data.fixedConfig);
  EXPECT_TRUE(data.writeBuffer);
  EXPECT_EQ(data.autoFlushMs, 100u);
}

TEST_F(DriverParametersTest, SkipsBrokenServersAndTakenComNumbers) {
  Counts(3, 0);
  Server(1, "A", Ip(1, 1, 1, 1), 1).SetDword("ComNo1", 5 | 1 << 13);
  {
    RegKey broken;
    ASSERT_EQ(broken.Create(std::string(kParameter) + "\\Server2"), 0);
    broken.SetString("ServerName", "B");
    broken.SetDword("IPAddress", Ip(2, 2, 2, 2));
  }
  {
    RegKey s = Server(3, "C", Ip(3, 3, 3, 3), 200);
    s.SetDword("ComNo1", 5 | 1 << 13);
    s.SetDword("ComNo68", 6 | 68 << 13);
    s.SetDword("ComNo69", 7 | 69 << 13);
  }
  DriverParameters p = ReadDriverParameters("Vonderil");
  EXPECT_EQ(p.servers, 2u);
  ASSERT_EQ(p.ports.size(), 2u);
  EXPECT_EQ(p.ports[0].comNumber, 5u);
  EXPECT_EQ(p.ports[0].server, 1u);  // the first mapping of COM5 wins
  EXPECT_EQ(p.ports[1].comNumber, 6u);
  EXPECT_EQ(p.notes.size(), 3u);  // Server2, PortNo cut, COM5 taken
}

// Every port of a server speaks what its server's DataProtocol says;
// missing, 0 or a value this driver does not know is raw TCP.
TEST_F(DriverParametersTest, EachServersDataProtocolReachesEveryOneOfItsPorts) {
  Counts(4, 0);
  struct Case {
    int value;  // -1: not written
    MappedPort::Protocol protocol;
  };
  const Case cases[] = {{-1, MappedPort::Protocol::kRaw},
                        {0, MappedPort::Protocol::kRaw},
                        {1, MappedPort::Protocol::kRfc2217},
                        {7, MappedPort::Protocol::kRaw}};
  for (int n = 1; n <= 4; ++n) {
    RegKey s = Server(n, "Q410X2", Ip(10, 0, 0, n), 2);
    if (cases[n - 1].value >= 0) s.SetDword("DataProtocol", static_cast<uint32_t>(cases[n - 1].value));
    s.SetDword("ComNo1", (10u * n) | 1 << 13);
    s.SetDword("ComNo2", (10u * n + 1) | 2 << 13);
  }
  DriverParameters p = ReadDriverParameters("Vonderil");
  ASSERT_EQ(p.ports.size(), 8u);
  for (const MappedPort& port : p.ports) {
    EXPECT_EQ(port.protocol, cases[port.server - 1].protocol) << "COM" << port.comNumber;
  }
  ASSERT_EQ(p.notes.size(), 1u);
  EXPECT_EQ(p.notes[0], "Server4: DataProtocol 7 unknown, raw TCP used");
}

TEST_F(DriverParametersTest, TooManyServersReadsAsNone) {
  Counts(5000, 0);
  Server(1, "A", Ip(1, 1, 1, 1), 1).SetDword("ComNo1", 5 | 1 << 13);
  DriverParameters p = ReadDriverParameters("Vonderil");
  EXPECT_TRUE(p.keyFound);
  EXPECT_EQ(p.servers, 0u);
  EXPECT_TRUE(p.ports.empty());
}

}  // namespace
}  // namespace vonderil
