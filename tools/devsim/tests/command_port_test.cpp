// The simulated device's side of the command port, without a socket.
#include "command_port.h"

#include <gtest/gtest.h>

#include <string>

namespace devsim {
namespace {

class DeviceCommands : public ::testing::Test {
 protected:
  // The replies to bytes as one received chunk, concatenated.
  std::string Send(const std::string& bytes, bool* reset = nullptr) {
    bool dummy = false;
    std::string out;
    for (const auto& reply : device.HandleReceived(connection, bytes, reset ? reset : &dummy)) {
      out += reply.bytes;
    }
    return out;
  }

  CommandPortDevice device;
  CommandConnection connection;
};

TEST_F(DeviceCommands, AnswersEveryQueryWithEchoedCode) {
  CommandPortSettings& s = device.Settings();
  s.name = "Q410X-4";
  s.maxSockets = 4;
  s.systemTimeoutMs = 2500;
  s.shareMode = "1";
  s.gateway = "10.0.0.254";
  s.mask = "255.255.0.0";
  s.mac = "00-11-22-33-44-55";
  EXPECT_EQ(Send("10\r"), "10Q410X-4\r");
  EXPECT_EQ(Send("01\r"), "01V2.14\r");
  EXPECT_EQ(Send("22\r"), "22V1.3\r");
  EXPECT_EQ(Send("25N\r"), "25N=4\r");
  EXPECT_EQ(Send("25S\r"), "25S=2500\r");
  EXPECT_EQ(Send("25M\r"), "25M=1\r");
  EXPECT_EQ(Send("13\r"), "1310.0.0.254\r");
  EXPECT_EQ(Send("15\r"), "15255.255.0.0\r");
  EXPECT_EQ(Send("21\r"), "2100-11-22-33-44-55\r");
  EXPECT_EQ(Send("99\r"), "99ERROR\r");
}

TEST_F(DeviceCommands, WithoutEchoRepliesCarryOnlyThePayload) {
  device.Settings().echo = false;
  EXPECT_EQ(Send("10\r"), "Q410X-2\r");
  EXPECT_EQ(Send("25N\r"), "N=8\r");
}

TEST_F(DeviceCommands, SeveralCommandsInOneChunkAreAnsweredInOrder) {
  EXPECT_EQ(Send("10\r01\r"), "10Q410X-2\r01V2.14\r");
  EXPECT_EQ(device.Received(), "10\r01\r");
}

TEST_F(DeviceCommands, PortSettingsAreReadAndWrittenPerPort) {
  device.Settings().ports.resize(12);
  EXPECT_EQ(Send("161\r"), "169600N81\r");
  EXPECT_EQ(Send("061115200\r"), "06OK\r");
  EXPECT_EQ(Send("0717E2\r"), "07OK\r");
  EXPECT_EQ(Send("161\r"), "16115200E72\r");
  EXPECT_EQ(Send("16C\r"), "169600N81\r");  // port 12
  EXPECT_EQ(Send("16D\r"), "16ERROR\r");    // port 13 does not exist
  EXPECT_EQ(Send("160\r"), "16ERROR\r");
  EXPECT_EQ(Send("062abc\r"), "06ERROR\r");
  EXPECT_EQ(Send("062\r"), "06ERROR\r");
  EXPECT_EQ(Send("0728X1\r"), "07ERROR\r");
  EXPECT_EQ(Send("0728N1x\r"), "07ERROR\r");
  EXPECT_EQ(device.Settings().ports[1].baud, "9600");
  EXPECT_EQ(device.Settings().ports[1].format, "8N1");
}

TEST_F(DeviceCommands, NetworkSettingsWaitForTheRestart) {
  CommandPortSettings& s = device.Settings();
  s.ip = "127.0.0.5";
  EXPECT_EQ(Send("26ISAVE=1,IP=127.0.0.6,GATEWAY=127.0.0.254\r"), "26OK\r");
  EXPECT_EQ(s.ip, "127.0.0.5");
  ASSERT_TRUE(device.PendingNetwork().has_value());
  bool reset = false;
  EXPECT_EQ(Send("33RESET\r", &reset), "");  // no answer: the device reboots
  EXPECT_TRUE(reset);
  EXPECT_EQ(s.ip, "127.0.0.6");
  EXPECT_EQ(s.gateway, "127.0.0.254");
  EXPECT_EQ(s.mask, "255.255.255.0");
  EXPECT_EQ(device.RestartCount(), 1);
  EXPECT_FALSE(device.PendingNetwork().has_value());
}

TEST_F(DeviceCommands, MalformedNetworkSettingsAreRefused) {
  for (const char* bad : {"26ISAVE=1,\r", "26ISAVE=1,IP=1.2.3\r", "26ISAVE=1,HOST=1.2.3.4\r",
                          "26ISAVE=1,IP=1.2.3.4,\r", "26ISAVE=1,IP\r"}) {
    EXPECT_EQ(Send(bad), "26ERROR\r") << bad;
  }
  EXPECT_FALSE(device.PendingNetwork().has_value());
}

TEST_F(DeviceCommands, LockAnswersDependOnPasswordAndSupport) {
  EXPECT_EQ(Send("25lock"), "25LOCK=0\r");
  device.Settings().password = "secret";
  EXPECT_EQ(Send("25lock"), "25LOCK=1\r");
  EXPECT_EQ(Send("26ISAVE=1,IP=127.0.0.7\r"), "26ERROR\r");
  device.Settings().keyText = "FixedKey";
  EXPECT_EQ(Send("25pubkey"), "25PUBKEY=FixedKey\r");
  EXPECT_EQ(Send("26password=00,LOCK=0"), "26PASSWORD=FAIL\r");
  EXPECT_EQ(Send("25lock"), "25LOCK=1\r");
  device.Settings().lockSupported = false;
  EXPECT_EQ(Send("25lock"), "25ERROR\r");
  EXPECT_EQ(Send("25pubkey"), "25ERROR\r");
}

TEST_F(DeviceCommands, FreshKeyTextForEveryRequest) {
  const std::string first = Send("25pubkey");
  const std::string second = Send("25pubkey");
  EXPECT_EQ(first.size(), std::string("25PUBKEY=").size() + 16 + 1);
  EXPECT_NE(first, second);
}

TEST_F(DeviceCommands, FaultsApplyToMatchingCommandsOnly) {
  CommandPortSettings& s = device.Settings();
  s.faults = {{"10", CommandFault::kNoReply, ""},
              {"01", CommandFault::kErrorReply, ""},
              {"25N", CommandFault::kFixedReply, "8"},
              {"22", CommandFault::kSplitReply, ""}};
  bool reset = false;
  EXPECT_TRUE(device.HandleReceived(connection, "10\r", &reset).empty());
  EXPECT_EQ(Send("01\r"), "01ERROR\r");
  EXPECT_EQ(Send("25N\r"), "8");
  const auto split = device.HandleReceived(connection, "22\r", &reset);
  ASSERT_EQ(split.size(), 1u);
  EXPECT_EQ(split[0].bytes, "22V1.3\r");
  EXPECT_GT(split[0].splitAt, 0u);
  EXPECT_LT(split[0].splitAt, split[0].bytes.size());
  EXPECT_EQ(Send("13\r"), "130.0.0.0\r");
  EXPECT_EQ(device.Received(), "10\r01\r25N\r22\r13\r");
}

TEST_F(DeviceCommands, ErrorFaultChangesNothing) {
  device.Settings().faults = {{"06", CommandFault::kErrorReply, ""}};
  EXPECT_EQ(Send("061115200\r"), "06ERROR\r");
  EXPECT_EQ(device.Settings().ports[0].baud, "9600");
}

TEST(PortCharacter, ReadsDigitsAndLetters) {
  EXPECT_EQ(PortFromCharacter('1'), 1);
  EXPECT_EQ(PortFromCharacter('A'), 10);
  EXPECT_EQ(PortFromCharacter('C'), 12);
  EXPECT_EQ(PortFromCharacter('Z'), 35);
  EXPECT_EQ(PortFromCharacter('\r'), -1);
}

}  // namespace
}  // namespace devsim
