// The simulator's RFC 2217 data ports over TCP, as examples/rfc2217.conf
// sets them up, against the driver's client filter: one device that
// acknowledges, one that refuses option 44, one that never answers. Runs
// inside a private network namespace (tests/netns/run-in-netns.sh) with the
// simulator's log in NETNS_DEVSIM_LOG.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "netns_check.h"
#include "rfc2217_test_client.h"

namespace {

using tarvik::testing::AllByteValuesTwice;
using tarvik::testing::Rfc2217TestClient;
using tarvik::device::ComPortCommand;
using tarvik::device::OptionState;
using tarvik::device::RequestResult;

// Serial port 1 of a device with the default command port 10000.
constexpr uint16_t kDataPort1 = 10001;

class Rfc2217Devices : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    if (!tarvik::OnlyLoopbackNetwork(&why)) GTEST_SKIP() << why;
    const char* log = std::getenv("NETNS_DEVSIM_LOG");
    ASSERT_NE(log, nullptr) << "NETNS_DEVSIM_LOG names the simulator's log";
    log_ = log;
    ASSERT_EQ(truncate(log, 0), 0);  // only this test's lines count
  }
  std::string Log() const {
    std::ifstream in(log_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  // Negotiates with the device at address, port 1.
  void Open(Rfc2217TestClient& client) {
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(client.Start());
    ASSERT_TRUE(client.Until([&] { return !client.filter.Negotiating(); })) << Log();
  }
  // Sends data and waits for its echo: the device has then dealt with
  // everything sent before it.
  void EchoOf(Rfc2217TestClient& client, const std::string& data) {
    client.application.clear();
    ASSERT_TRUE(client.Send(data));
    ASSERT_TRUE(client.Until([&] { return client.application.size() >= data.size(); })) << Log();
    EXPECT_EQ(client.application, data);
  }
  std::string log_;
};

TEST_F(Rfc2217Devices, TheAcknowledgingDeviceSetsItsLineAndEchoesEveryByte) {
  Rfc2217TestClient client("10.77.0.31", kDataPort1);
  Open(client);
  EXPECT_EQ(client.filter.ComPort(), OptionState::kOn);
  EXPECT_EQ(client.filter.SetBaudRate(57600, &client.out), RequestResult::kSent);
  EXPECT_EQ(client.filter.SetDataSize(7, &client.out), RequestResult::kSent);
  ASSERT_TRUE(client.Flush());
  ASSERT_TRUE(client.Until([&] { return client.filter.PendingRequests() == 0; })) << Log();
  EXPECT_TRUE(client.Acknowledged(ComPortCommand::kSetBaudRate, 57600));
  EXPECT_TRUE(client.Acknowledged(ComPortCommand::kSetDataSize, 7));
  const std::string log = Log();
  EXPECT_NE(log.find("data rfc2217 10.77.0.31:10001 port 1 baud=57600\n"), std::string::npos) << log;
  EXPECT_NE(log.find("data rfc2217 10.77.0.31:10001 port 1 datasize=7\n"), std::string::npos) << log;
  EchoOf(client, AllByteValuesTwice());
}

TEST_F(Rfc2217Devices, TheRefusingDeviceCarriesDataOnly) {
  Rfc2217TestClient client("10.77.0.32", kDataPort1);
  Open(client);
  EXPECT_EQ(client.filter.ComPort(), OptionState::kOff);
  EXPECT_EQ(client.filter.SetBaudRate(57600, &client.out), RequestResult::kNotAvailable);
  EchoOf(client, AllByteValuesTwice());
  EXPECT_EQ(Log().find("data rfc2217 "), std::string::npos);
}

TEST_F(Rfc2217Devices, TheSilentDeviceTakesTheSettingButNeverAnswers) {
  Rfc2217TestClient client("10.77.0.33", kDataPort1);
  Open(client);
  EXPECT_EQ(client.filter.ComPort(), OptionState::kOn);
  EXPECT_EQ(client.filter.SetBaudRate(57600, &client.out), RequestResult::kSent);
  ASSERT_TRUE(client.Flush());
  EchoOf(client, "after the request");
  EXPECT_EQ(client.filter.PendingRequests(), 1u);
  EXPECT_FALSE(client.Saw(tarvik::device::Rfc2217Event::Kind::kAcknowledged));
  EXPECT_NE(Log().find("data rfc2217 10.77.0.33:10001 port 1 baud=57600\n"), std::string::npos);
}

}  // namespace
