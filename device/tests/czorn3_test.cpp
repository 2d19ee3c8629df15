// A command-port session against a simulated device on loopback: what goes
// on the wire (the device's record of received bytes), what comes back, and
// the status texts the dialogs show.
#include "czorn3.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "command_server.h"

namespace {

using devsim::CommandFault;
using devsim::CommandPortSettings;

class Session : public ::testing::Test {
 protected:
  void Start(CommandPortSettings settings = {}) {
    settings.ip = "127.0.0.1";
    server = std::make_unique<CommandServer>(std::move(settings));
    session.Address().SetText("127.0.0.1");
    session.SetPort(server->Port());
    session.SetTimeout(3000);
    ASSERT_EQ(session.Connect(), 0u);
    server->ClearReceived();
  }
  void Faults(std::vector<devsim::FaultRule> rules) {
    server->WithDevice([&](devsim::CommandPortDevice& d) { d.Settings().faults = rules; });
  }
  std::string Wire() { return server->Received(); }

  std::unique_ptr<CommandServer> server;
  CZorn3 session;
  char result[200] = {};
};

using Getter = uint32_t (CZorn3::*)(char*, size_t);
struct GetterRow {
  Getter get;
  const char* value;
  const char* status;
  const char* command;
};

const GetterRow kGetters[] = {
    {&CZorn3::GetDeviceName, "Q410X-4", "Getting device name...", "10\r"},
    {&CZorn3::GetFirmwareVersion, "V2.14", "Getting firmware version...", "01\r"},
    {&CZorn3::GetOsVersion, "V1.3", "Getting Vetra7 version...", "22\r"},
    {&CZorn3::GetMaxSockets, "4", "Getting Max. sockets...", "25N\r"},
    {&CZorn3::GetSystemTimeout, "2500", "Getting system timeout value...", "25S\r"},
    {&CZorn3::GetShareMode, "1", "Getting sahre mode setting...", "25M\r"},
    {&CZorn3::GetGateway, "10.0.0.254", "Getting Gateway...", "13\r"},
    {&CZorn3::GetSubnetMask, "255.255.0.0", "Getting Sub-net Mask...", "15\r"},
    {&CZorn3::GetMacAddress, "00-60-E9-12-34-56", "Getting MAC address...", "21\r"},
};

class SessionGetters : public Session, public ::testing::WithParamInterface<bool> {};

TEST_P(SessionGetters, ReadEveryFieldWithByteExactCommands) {
  CommandPortSettings settings;
  settings.echo = GetParam();
  settings.name = "Q410X-4";
  settings.maxSockets = 4;
  settings.systemTimeoutMs = 2500;
  settings.shareMode = "1";
  settings.gateway = "10.0.0.254";
  settings.mask = "255.255.0.0";
  settings.mac = "00-60-E9-12-34-56";
  Start(settings);
  std::string expectedWire;
  for (const auto& row : kGetters) {
    EXPECT_EQ((session.*row.get)(result, sizeof result), 0u) << row.command;
    EXPECT_STREQ(result, row.value);
    EXPECT_EQ(session.StatusText(), row.status);
    expectedWire += row.command;
  }
  EXPECT_EQ(Wire(), expectedWire);
}

INSTANTIATE_TEST_SUITE_P(Echo, SessionGetters, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Echoed" : "NotEchoed"; });

TEST_F(Session, SettingQueriesAcceptEveryReplyForm) {
  Start();
  for (const char* reply : {"25N=8\r", "N8\r", "8\r", "N=8"}) {
    Faults({{"25N", CommandFault::kFixedReply, reply}});
    EXPECT_EQ(session.GetMaxSockets(result, sizeof result), 0u);
    EXPECT_STREQ(result, "8") << reply;
  }
}

TEST_F(Session, ErrorReplyGivesTwoAndTheText) {
  Start();
  Faults({{"10", CommandFault::kErrorReply, ""}});
  EXPECT_EQ(session.GetDeviceName(result, sizeof result), 2u);
  EXPECT_STREQ(result, "ERROR");
}

TEST_F(Session, ReplyOfOnlyACarriageReturnIsNoReply) {
  Start();
  Faults({{"10", CommandFault::kFixedReply, "\r"}});
  EXPECT_EQ(session.GetDeviceName(result, sizeof result), 1u);
  EXPECT_STREQ(result, "");
}

TEST_F(Session, SilentDeviceGivesNoReplyAndEmptyResult) {
  Start();
  session.SetTimeout(200);
  Faults({{"", CommandFault::kNoReply, ""}});
  std::strcpy(result, "stale");
  EXPECT_EQ(session.GetDeviceName(result, sizeof result), 1u);
  EXPECT_STREQ(result, "");
  EXPECT_NE(session.LastError(), 0);
  EXPECT_EQ(session.StatusText(), "Getting device name...");
  // The setting queries cut their value into the caller's buffer even then.
  std::strcpy(result, "stale");
  EXPECT_EQ(session.GetShareMode(result, sizeof result), 1u);
  EXPECT_STREQ(result, "");
  EXPECT_EQ(Wire(), "10\r25M\r");
}

TEST_F(Session, LongReplyIsCutToTheReplyBufferAndTheCallersBuffer) {
  CommandPortSettings settings;
  settings.name = std::string(300, 'n');
  Start(settings);
  EXPECT_EQ(session.GetDeviceName(result, sizeof result), 0u);
  EXPECT_EQ(std::strlen(result), 99u);
  EXPECT_EQ(std::strlen(session.Reply()), 99u);
  char small[10];
  EXPECT_EQ(session.GetDeviceName(small, sizeof small), 0u);
  EXPECT_STREQ(small, "nnnnnnnnn");
  char scratch[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(session.GetMaxSockets(scratch, 1), 0u);
  EXPECT_EQ(scratch[0], '\0');
  EXPECT_EQ(scratch[1], 'x');
}

TEST_F(Session, ReplyInTwoPiecesYieldsTheFirstAndTheDrainDropsTheRest) {
  CommandPortSettings settings;
  settings.name = "DEVICE-NAME";
  settings.splitDelayMs = 20;
  Start(settings);
  Faults({{"10", CommandFault::kSplitReply, ""}});
  EXPECT_EQ(session.GetDeviceName(result, sizeof result), 0u);
  EXPECT_GT(std::strlen(result), 0u);
  EXPECT_LT(std::strlen(result), std::strlen("DEVICE-NAME"));
  EXPECT_EQ(std::string("DEVICE-NAME").rfind(result, 0), 0u);
  // Let the second piece arrive; it is stale by the next command.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(session.GetFirmwareVersion(result, sizeof result), 0u);
  EXPECT_STREQ(result, "V2.14");
}

TEST_F(Session, PortSettingsQueryCarriesThePortCharacter) {
  CommandPortSettings settings;
  settings.ports.resize(12);
  settings.ports[11].baud = "38400";
  settings.ports[11].format = "7E2";
  Start(settings);
  char reply[20];
  EXPECT_EQ(session.GetPortSettings(12, reply, sizeof reply), 0u);
  EXPECT_STREQ(reply, "38400E72");
  EXPECT_EQ(session.StatusText(), "Getting Baud rate/Data format of a port!");
  EXPECT_EQ(session.GetPortSettings(1, reply, sizeof reply), 0u);
  EXPECT_STREQ(reply, "9600N81");
  EXPECT_EQ(Wire(), "16C\r161\r");
}

TEST_F(Session, PortWritesAreCheckedForOk) {
  Start();
  EXPECT_EQ(session.SetPortBaudRate(2, "115200"), 0);
  EXPECT_EQ(session.StatusText(), "Setting baud rate of a port!");
  EXPECT_EQ(session.SetPortDataFormat(2, "7O2"), 0);
  EXPECT_EQ(session.StatusText(), "Setting data format of a port!");
  EXPECT_EQ(session.GetPortSettings(2, result, sizeof result), 0u);
  EXPECT_STREQ(result, "115200O72");
  EXPECT_EQ(Wire(), "062115200\r0727O2\r162\r");

  EXPECT_EQ(session.SetPortBaudRate(2, "fast"), -1);      // device says ERROR
  EXPECT_EQ(session.SetPortDataFormat(9, "8N1"), -1);     // no such port
  Faults({{"06", CommandFault::kFixedReply, "06DONE\r"}});
  EXPECT_EQ(session.SetPortBaudRate(1, "9600"), -1);      // an answer, but not OK
}

TEST_F(Session, PortWritesThatWouldBeCutAreNotSent) {
  Start();
  EXPECT_EQ(session.SetPortBaudRate(1, "1234567890123456"), -1);
  EXPECT_EQ(session.SetPortDataFormat(201, "8N1"), -1);
  EXPECT_EQ(session.GetPortSettings(201, result, sizeof result), 1u);
  EXPECT_EQ(session.GetDeviceName(result, sizeof result), 0u);
  EXPECT_EQ(Wire(), "10\r");
}

TEST_F(Session, PortWriteWithoutReplyFails) {
  Start();
  session.SetTimeout(200);
  Faults({{"07", CommandFault::kNoReply, ""}});
  EXPECT_EQ(session.SetPortDataFormat(1, "8N1"), -1);
}

struct NetworkRow {
  const char* name;
  const char* ip;
  const char* mask;
  const char* gateway;
  const char* wire;
};

const NetworkRow kNetworkRows[] = {
    {"MaskOnly", nullptr, "255.255.255.0", nullptr, "26ISAVE=1,MASK=255.255.255.0\r"},
    {"AddressAndGateway", "192.168.1.20", nullptr, "192.168.1.254",
     "26ISAVE=1,IP=192.168.1.20,GATEWAY=192.168.1.254\r"},
    {"GatewayOnly", "", "", "10.0.0.1", "26ISAVE=1,GATEWAY=10.0.0.1\r"},
    {"AllThree", "10.1.1.2", "255.0.0.0", "10.0.0.1",
     "26ISAVE=1,IP=10.1.1.2,MASK=255.0.0.0,GATEWAY=10.0.0.1\r"},
};

class SessionNetwork : public Session, public ::testing::WithParamInterface<NetworkRow> {};

TEST_P(SessionNetwork, SendsOnlyTheGivenItems) {
  const NetworkRow& row = GetParam();
  Start();
  EXPECT_EQ(session.SetNetwork(row.ip, row.mask, row.gateway), 0u);
  EXPECT_EQ(session.StatusText(), "Setting IP/Mask/Gateway...");
  EXPECT_EQ(Wire(), row.wire);
}

INSTANTIATE_TEST_SUITE_P(Items, SessionNetwork, ::testing::ValuesIn(kNetworkRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Session, SetNetworkWithNothingGivenSendsNothing) {
  Start();
  EXPECT_EQ(session.SetNetwork(nullptr, "", nullptr), 0u);
  EXPECT_EQ(session.GetDeviceName(result, sizeof result), 0u);
  EXPECT_EQ(Wire(), "10\r");
}

TEST_F(Session, SetNetworkFailureTexts) {
  Start();
  session.SetTimeout(200);
  Faults({{"26ISAVE", CommandFault::kErrorReply, ""}});
  EXPECT_EQ(session.SetNetwork("10.0.0.2", nullptr, nullptr), 2u);
  EXPECT_EQ(session.StatusText(), "Setting Error!");
  Faults({{"26ISAVE", CommandFault::kNoReply, ""}});
  EXPECT_EQ(session.SetNetwork("10.0.0.2", nullptr, nullptr), 1u);
  EXPECT_EQ(session.StatusText(), "No response from device!");
}

TEST_F(Session, SetNetworkTooLongToSendIsRefused) {
  Start();
  const std::string huge(190, '1');
  EXPECT_EQ(session.SetNetwork(huge.c_str(), nullptr, nullptr), 2u);
  EXPECT_EQ(session.StatusText(), "Setting Error!");
  EXPECT_EQ(session.GetDeviceName(result, sizeof result), 0u);
  EXPECT_EQ(Wire(), "10\r");
}

TEST_F(Session, RestartPutsNewAddressIntoEffectAndDropsTheConnection) {
  Start();
  const uint32_t port = server->Port();
  EXPECT_EQ(session.SetNetwork("127.0.0.9", nullptr, nullptr), 0u);
  session.Restart();
  EXPECT_EQ(session.StatusText(), "Restarting Q410X/Q900X...");
  session.SetTimeout(300);
  EXPECT_EQ(session.GetDeviceName(result, sizeof result), 1u);
  session.Close();
  EXPECT_EQ(session.StatusText(), "Connection closed.");
  EXPECT_EQ(Wire().rfind("26ISAVE=1,IP=127.0.0.9\r33RESET\r", 0), 0u);

  CZorn3 again;
  again.Address().SetText("127.0.0.9");
  again.SetPort(port);
  again.SetTimeout(3000);
  ASSERT_EQ(again.Connect(), 0u);
  EXPECT_EQ(again.GetDeviceName(result, sizeof result), 0u);
  EXPECT_STREQ(result, "Q410X-2");
}

TEST_F(Session, ExchangeOnAClosedSessionGivesNoReply) {
  Start();
  session.Close();
  session.SetTimeout(100);
  EXPECT_EQ(session.GetDeviceName(result, sizeof result), 1u);
  EXPECT_NE(session.LastError(), 0);
  session.Close();
  EXPECT_EQ(session.LastError(), 0);
}

TEST_F(Session, ExchangeWithoutCommandOnlyListens) {
  Start();
  EXPECT_EQ(session.Exchange("", result, sizeof result, 100), 1u);
  EXPECT_EQ(session.GetDeviceName(result, sizeof result), 0u);
  EXPECT_EQ(Wire(), "10\r");
}

}  // namespace
