// The simulator's RFC 2217 access server, alone and against the driver's
// client filter, wired byte for byte without sockets: the three manners a
// test peer needs (acknowledges, refuses option 44, never answers).
#include "rfc2217_server.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "data_port.h"
#include "rfc2217_filter.h"

namespace devsim {
namespace {

constexpr int IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

struct Exchange {
  std::string line, reply;
  std::vector<std::string> notes;
};

Exchange Feed(Rfc2217Server* server, const std::string& bytes) {
  Exchange e;
  server->FromClient(bytes, &e.line, &e.reply, &e.notes);
  return e;
}

TEST(Rfc2217ServerTest, AcceptsTheOptionsAClientOffersAndRefusesTheRest) {
  Rfc2217Server server(Rfc2217Manner::kAck);
  EXPECT_EQ(server.Greeting(), Bytes({IAC, WILL, 0, IAC, DO, 0}));
  const Exchange e = Feed(&server, Bytes({IAC, WILL, 0, IAC, WILL, 3, IAC, WILL, 44, IAC, DO, 0,
                                          IAC, DO, 3, IAC, WILL, 1, IAC, DO, 24}));
  EXPECT_EQ(e.reply, Bytes({IAC, DO, 3, IAC, DO, 44, IAC, WILL, 3, IAC, DONT, 1, IAC, WONT, 24}));
  EXPECT_TRUE(server.ComPortOn());
  EXPECT_TRUE(e.line.empty());
}

struct MannerRow {
  const char* name;
  Rfc2217Manner manner;
  std::string reply;  // to WILL 44 and SET-BAUDRATE 57600
  uint32_t baud;      // the line afterwards
};
void PrintTo(const MannerRow& row, std::ostream* os) { *os << row.name; }


class Manners : public ::testing::TestWithParam<MannerRow> {};

TEST_P(Manners, AnswerTheOptionAndARequestAsConfigured) {
  Rfc2217Server server(GetParam().manner);
  const Exchange e = Feed(&server, Bytes({IAC, WILL, 44, IAC, SB, 44, 1, 0, 0, 0xE1, 0, IAC, SE}));
  EXPECT_EQ(e.reply, GetParam().reply);
  EXPECT_EQ(server.Line().baud, GetParam().baud);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Manners,
    ::testing::Values(
        MannerRow{"Ack", Rfc2217Manner::kAck,
                  Bytes({IAC, DO, 44, IAC, SB, 44, 101, 0, 0, 0xE1, 0, IAC, SE}), 57600},
        MannerRow{"Refuse", Rfc2217Manner::kRefuse, Bytes({IAC, DONT, 44}), 9600},
        MannerRow{"NoAck", Rfc2217Manner::kNoAck, Bytes({IAC, DO, 44}), 57600}),
    [](const ::testing::TestParamInfo<MannerRow>& info) { return std::string(info.param.name); });

TEST(Rfc2217ServerTest, ABaudRateWith255BytesAndAQueryAreAnsweredWithTheLine) {
  Rfc2217Server server(Rfc2217Manner::kAck);
  Feed(&server, Bytes({IAC, WILL, 44}));
  // 65535 is 00 00 FF FF on the wire with both 255 bytes doubled.
  Exchange e = Feed(&server, Bytes({IAC, SB, 44, 1, 0, 0, IAC, IAC, IAC, IAC, IAC, SE}));
  EXPECT_EQ(server.Line().baud, 65535u);
  EXPECT_EQ(e.reply, Bytes({IAC, SB, 44, 101, 0, 0, IAC, IAC, IAC, IAC, IAC, SE}));
  EXPECT_EQ(e.notes, std::vector<std::string>{"baud=65535"});
  e = Feed(&server, Bytes({IAC, SB, 44, 1, 0, 0, 0, 0, IAC, SE, IAC, SB, 44, 4, 0, IAC, SE}));
  EXPECT_EQ(e.reply, Bytes({IAC, SB, 44, 101, 0, 0, IAC, IAC, IAC, IAC, IAC, SE, IAC, SB, 44, 104, 1,
                            IAC, SE}))
      << "queries answer the current values and change nothing";
  EXPECT_TRUE(e.notes.empty());
}

TEST(Rfc2217ServerTest, DataPassEightBitCleanBothWays) {
  Rfc2217Server server(Rfc2217Manner::kAck);
  std::string all;
  for (int v = 0; v < 256; ++v) all.push_back(static_cast<char>(v));
  const std::string wire = Rfc2217Server::ToClient(all);
  EXPECT_EQ(wire.size(), 257u);
  EXPECT_EQ(Feed(&server, wire).line, all);
}

TEST(Rfc2217ServerTest, ADataPortConfiguredForItEchoesInsideTheTelnetStream) {
  DataPortSettings s;
  std::string error;
  ASSERT_TRUE(ConfigureDataPorts({{"data_protocol", "rfc2217"}, {"rfc2217_mode", "noack"}}, &s,
                                 &error))
      << error;
  EXPECT_TRUE(s.rfc2217);
  EXPECT_EQ(s.rfc2217Manner, Rfc2217Manner::kNoAck);
  DataSession session(&s);
  EXPECT_EQ(session.Open(), Bytes({IAC, WILL, 0, IAC, DO, 0}));
  bool drop = false;
  EXPECT_EQ(session.Receive(Bytes({IAC, WILL, 44, 'a', IAC, IAC, IAC, SB, 44, 4, 2, IAC, SE}), &drop),
            Bytes({IAC, DO, 44, 'a', IAC, IAC}));
  EXPECT_EQ(session.Received(), 2u) << "the data inside the stream are counted";
  EXPECT_EQ(session.TakeNotes(), std::vector<std::string>{"stopsize=2"});
  EXPECT_TRUE(session.TakeNotes().empty());
}

TEST(Rfc2217ServerTest, BadProtocolKeysAreRefused) {
  for (const auto& [key, value] :
       std::vector<std::pair<std::string, std::string>>{{"data_protocol", "telnet"},
                                                        {"rfc2217_mode", "sometimes"}}) {
    DataPortSettings s;
    std::string error;
    EXPECT_FALSE(ConfigureDataPorts({{key, value}}, &s, &error)) << key << "=" << value;
    EXPECT_NE(error.find(key), std::string::npos) << error;
  }
}

// The driver's client and the simulated device, joined without a socket.
struct Wire {
  explicit Wire(const char* manner) {
    std::string error;
    EXPECT_TRUE(ConfigureDataPorts({{"data_protocol", "rfc2217"}, {"rfc2217_mode", manner}},
                                   &settings, &error))
        << error;
    device = std::make_unique<DataSession>(&settings);
    client.Start(&out);
    ToClient(device->Open());
    Pump();
  }
  void ToClient(const std::string& bytes) {
    client.FromNetwork(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &out);
  }
  // Carries what the client has for the network to the device and the
  // device's answers back, until both are quiet.
  void Pump() {
    while (!out.network.empty()) {
      const std::string toDevice = std::move(out.network);
      out.network.clear();
      bool drop = false;
      ToClient(device->Receive(toDevice, &drop));
    }
  }
  bool Has(tarvik::device::Rfc2217Event::Kind kind) const {
    for (const auto& e : out.events)
      if (e.kind == kind) return true;
    return false;
  }
  DataPortSettings settings;
  std::unique_ptr<DataSession> device;
  tarvik::device::Rfc2217Filter client;
  tarvik::device::Rfc2217Output out;
};

using tarvik::device::OptionState;
using tarvik::device::RequestResult;
using Kind = tarvik::device::Rfc2217Event::Kind;

TEST(DriverClientAgainstTheSimulator, AnAcknowledgingDeviceTakesTheSettingsAndEchoesEveryByte) {
  Wire wire("ack");
  EXPECT_EQ(wire.client.ComPort(), OptionState::kOn);
  EXPECT_FALSE(wire.client.Negotiating());
  EXPECT_EQ(wire.client.SetBaudRate(57600, &wire.out), RequestResult::kSent);
  EXPECT_EQ(wire.client.SetStopSize(tarvik::device::StopSize::kTwo, &wire.out), RequestResult::kSent);
  wire.Pump();
  EXPECT_EQ(wire.client.PendingRequests(), 0u);
  EXPECT_EQ(wire.client.Reported().baudRate, 57600u);
  EXPECT_EQ(wire.device->TakeNotes(), (std::vector<std::string>{"baud=57600", "stopsize=2"}));
  std::string all;
  for (int v = 0; v < 256; ++v) all.push_back(static_cast<char>(v));
  wire.out.application.clear();
  wire.client.FromApplication(reinterpret_cast<const uint8_t*>(all.data()), all.size(), &wire.out);
  wire.Pump();
  EXPECT_EQ(wire.out.application, all);
}

TEST(DriverClientAgainstTheSimulator, ADeviceRefusingTheOptionStillEchoesData) {
  Wire wire("refuse");
  EXPECT_EQ(wire.client.ComPort(), OptionState::kOff);
  EXPECT_TRUE(wire.Has(Kind::kComPortRefused));
  EXPECT_EQ(wire.client.SetBaudRate(57600, &wire.out), RequestResult::kNotAvailable);
  wire.out.application.clear();
  wire.client.FromApplication(reinterpret_cast<const uint8_t*>("\xff\r\n"), 3, &wire.out);
  wire.Pump();
  EXPECT_EQ(wire.out.application, "\xff\r\n");
}

TEST(DriverClientAgainstTheSimulator, ADeviceThatNeverAnswersLeavesTheRequestPending) {
  Wire wire("noack");
  EXPECT_EQ(wire.client.ComPort(), OptionState::kOn);
  wire.client.SetBaudRate(57600, &wire.out);
  wire.Pump();
  EXPECT_EQ(wire.client.PendingRequests(), 1u) << "the owner's time-out must end the wait";
  EXPECT_EQ(wire.device->TakeNotes(), std::vector<std::string>{"baud=57600"});
  EXPECT_FALSE(wire.Has(Kind::kAcknowledged));
}

}  // namespace
}  // namespace devsim
