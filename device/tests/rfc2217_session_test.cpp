// The short RFC 2217 session against the simulator's data port on
// loopback, in its three manners: what goes to the server, what comes back,
// and that a refusing or silent server is no success and costs at most the
// time-out.
#include "rfc2217_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "rfc2217_data_server.h"

namespace {

using tarvik::device::Rfc2217Result;
using tarvik::device::Rfc2217Session;
using tarvik::device::SerialLine;
using Strings = std::vector<std::string>;

constexpr uint32_t kLoopback = 0x0100007Fu;
constexpr uint32_t kShortTimeoutMs = 250;

class Timer {
 public:
  long Ms() const {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start_)
                                 .count());
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

bool Same(const SerialLine& a, const SerialLine& b) {
  return a.baud == b.baud && a.dataSize == b.dataSize && a.parity == b.parity &&
         a.stopSize == b.stopSize;
}

const SerialLine k57600_7E2{57600, 7, 3, 2};

struct MannerRow {
  const char* manner;
  Rfc2217Result write;
  Rfc2217Result read;
  bool settingsTaken;  // the server took the settings (noack does, silently)
  bool waits;          // the result comes only at the time-out
};

class Manners : public ::testing::TestWithParam<MannerRow> {};

TEST_P(Manners, WriteAndReadComeToTheServersAnswer) {
  const MannerRow& row = GetParam();
  Rfc2217DataServer server(row.manner);
  Rfc2217Session session;
  session.SetAddress(kLoopback, server.Port());
  session.SetTimeout(kShortTimeoutMs);

  SerialLine acknowledged;
  Timer writeTime;
  EXPECT_EQ(session.Write(k57600_7E2, &acknowledged), row.write) << session.StatusText();
  const long writeMs = writeTime.Ms();
  if (row.write == Rfc2217Result::kOk) {
    EXPECT_TRUE(Same(acknowledged, k57600_7E2)) << SerialLineText(acknowledged);
  } else {
    EXPECT_EQ(acknowledged.baud, 0u) << "nothing was acknowledged";
  }
  EXPECT_EQ(server.Notes(), row.settingsTaken
                                ? (Strings{"baud=57600", "datasize=7", "parity=3", "stopsize=2"})
                                : Strings{});

  SerialLine line;
  Timer readTime;
  EXPECT_EQ(session.Read(&line), row.read) << session.StatusText();
  const long readMs = readTime.Ms();
  if (row.read == Rfc2217Result::kOk) {
    // Each connection gets a fresh simulated line; the queries change nothing.
    EXPECT_EQ(SerialLineText(line), "9600 8N1");
  }
  EXPECT_EQ(server.Notes().size(), row.settingsTaken ? 4u : 0u) << "a read sets nothing";
  EXPECT_EQ(server.Connections(), 2) << "one connection per action";

  // One time-out for the negotiation and the answers together, and none at
  // all for a server that answers.
  for (long ms : {writeMs, readMs}) {
    if (row.waits) {
      EXPECT_GE(ms, static_cast<long>(kShortTimeoutMs) - 5);
      EXPECT_LT(ms, 2 * static_cast<long>(kShortTimeoutMs));
    } else {
      EXPECT_LT(ms, static_cast<long>(kShortTimeoutMs) / 2);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Manners,
    ::testing::Values(MannerRow{"ack", Rfc2217Result::kOk, Rfc2217Result::kOk, true, false},
                      MannerRow{"refuse", Rfc2217Result::kRefused, Rfc2217Result::kRefused, false,
                                false},
                      MannerRow{"noack", Rfc2217Result::kNoAnswer, Rfc2217Result::kNoAnswer, true,
                                true}),
    [](const ::testing::TestParamInfo<MannerRow>& info) { return std::string(info.param.manner); });

TEST(Rfc2217SessionTest, TheStatusTextSaysWhyItFailed) {
  Rfc2217DataServer refusing("refuse");
  Rfc2217Session session;
  session.SetAddress(kLoopback, refusing.Port());
  session.SetTimeout(kShortTimeoutMs);
  SerialLine line;
  session.Read(&line);
  EXPECT_NE(session.StatusText().find("option 44"), std::string::npos) << session.StatusText();

  Rfc2217DataServer silent("noack");
  session.SetAddress(kLoopback, silent.Port());
  session.Write(SerialLine{19200, 0, 0, 0}, &line);
  EXPECT_EQ(session.StatusText(), "The server did not confirm the line settings.");
}

TEST(Rfc2217SessionTest, OnlyTheFieldsGivenAreSentAndABaudRateZeroNever) {
  Rfc2217DataServer server("ack");
  Rfc2217Session session;
  session.SetAddress(kLoopback, server.Port());
  session.SetTimeout(kShortTimeoutMs);
  SerialLine acknowledged;
  EXPECT_EQ(session.Write(SerialLine{}, &acknowledged), Rfc2217Result::kInvalid);
  EXPECT_EQ(server.Connections(), 0) << "nothing to set: no connection";
  EXPECT_EQ(session.Write(SerialLine{0, 0, 2, 0}, &acknowledged), Rfc2217Result::kOk);
  EXPECT_EQ(server.Notes(), Strings{"parity=2"});
  EXPECT_EQ(acknowledged.baud, 0u);
  EXPECT_EQ(acknowledged.parity, 2u);
}

TEST(Rfc2217SessionTest, AddressesThatAreNoDeviceAreNotTried) {
  Rfc2217DataServer server("ack");
  Rfc2217Session session;
  session.SetTimeout(kShortTimeoutMs);
  SerialLine line;
  // 0.0.0.0 would reach this very host, where the simulator listens.
  for (uint32_t address : {0u, 0xFFFFFFFFu}) {
    session.SetAddress(address, server.Port());
    EXPECT_EQ(session.Read(&line), Rfc2217Result::kInvalidAddress);
    EXPECT_EQ(session.StatusText(), "Invalid IP address!");
  }
  EXPECT_EQ(server.Connections(), 0);
}

TEST(Rfc2217SessionTest, ANobodyListeningPortFailsToConnect) {
  uint16_t port;
  { port = Rfc2217DataServer("ack").Port(); }  // closed again: nothing listens there now
  Rfc2217Session session;
  session.SetAddress(kLoopback, port);
  session.SetTimeout(kShortTimeoutMs);
  SerialLine line;
  EXPECT_EQ(session.Read(&line), Rfc2217Result::kNotConnected);
  EXPECT_EQ(session.StatusText(), "Connecting...");
}

}  // namespace
