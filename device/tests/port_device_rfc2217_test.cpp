// The port page's procedure for a server whose data ports speak RFC 2217:
// it goes to the data port instead of the command port, takes what the
// server acknowledged, and leaves a port an application holds alone.
// Both simulated ports listen on loopback, the data port at the command
// port plus the device port, as the driver connects it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "command_server.h"
#include "port_device_settings.h"
#include "rfc2217_data_server.h"
#include "tarvik/ui_hooks.h"

namespace {

using tarvik::device::PortDeviceSettings;
using tarvik::device::PortPageValues;
using Result = PortDeviceSettings::WriteResult;
using Strings = std::vector<std::string>;

constexpr uint32_t kLoopback = 0x0100007Fu;
constexpr uint32_t kTimeoutMs = 250;
constexpr uint32_t kCom = 7;

class PortDeviceRfc2217 : public ::testing::Test {
 protected:
  void SetUp() override {
    tarvik::SetMessageBoxHook([this](const std::string& text, const std::string&, unsigned) {
      boxes.push_back(text);
      return tarvik::kIdOk;
    });
  }
  void TearDown() override { tarvik::SetMessageBoxHook(nullptr); }

  // A command port and, at one of the device ports above it, a data port.
  void Start(const char* manner, bool rfc2217) {
    devsim::CommandPortSettings settings;
    settings.ports = std::vector<devsim::SerialPortSettings>(8);
    command = std::make_unique<CommandServer>(settings);
    for (devicePort = 1; devicePort <= 8 && !data; ++devicePort) {
      try {
        data = std::make_unique<Rfc2217DataServer>(manner, command->Port() + devicePort);
      } catch (const std::runtime_error&) {
      }
    }
    ASSERT_TRUE(data) << "no free port above the command port";
    --devicePort;
    device = std::make_unique<PortDeviceSettings>(session, "3147", devicePort + 1, devicePort);
    device->SetDevice(kLoopback, command->Port(), kTimeoutMs);
    device->SetStatusSink([this](const std::string& line) { lines.push_back(line); });
    device->SetUseQuery([this](uint32_t com) {
      asked.push_back(com);
      return use;
    });
    if (rfc2217) device->UseRfc2217(kCom);
  }

  std::unique_ptr<CommandServer> command;
  std::unique_ptr<Rfc2217DataServer> data;
  uint32_t devicePort = 0;
  CZorn3 session;
  std::unique_ptr<PortDeviceSettings> device;
  Strings lines, boxes;
  std::vector<uint32_t> asked;
  tarvik::device::DataPortUse use = tarvik::device::DataPortUse::kFree;
};

TEST_F(PortDeviceRfc2217, TheServersProtocolChoosesThePort) {
  for (bool rfc2217 : {false, true}) {
    SCOPED_TRACE(rfc2217 ? "RFC 2217" : "raw TCP");
    data.reset();
    Start("ack", rfc2217);
    ASSERT_TRUE(device->Read()) << device->StatusLine();
    EXPECT_EQ(data->Connections(), rfc2217 ? 1 : 0);
    EXPECT_EQ(command->Received().empty(), rfc2217);
    EXPECT_EQ(asked, rfc2217 ? std::vector<uint32_t>{kCom} : std::vector<uint32_t>{});
    EXPECT_EQ(device->ReadValues().baud, "9600");
    EXPECT_EQ(device->ReadValues().dataBits, 3);  // "8"
    EXPECT_EQ(device->ReadValues().parity, 0);    // "None"
    EXPECT_EQ(device->ReadValues().stopBits, 0);  // "1"
    EXPECT_EQ(device->StatusLine(), "Status: OK");
  }
}

TEST_F(PortDeviceRfc2217, ChangesGoAsLineRequestsAndTheAnswersBecomeTheReadValues) {
  Start("ack", true);
  ASSERT_TRUE(device->Read());
  PortPageValues lists = device->ReadValues();
  lists.parity = 1;  // "Even"
  EXPECT_EQ(device->Write("57600", lists), Result::kWritten);
  EXPECT_EQ(data->Notes(), (Strings{"baud=57600", "datasize=8", "parity=3", "stopsize=1"}));
  EXPECT_EQ(command->Received(), "") << "nothing goes to the command port";
  EXPECT_EQ(device->StatusLine(), "Status: Setting OK!");
  EXPECT_FALSE(device->Differs("57600", lists));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(PortDeviceRfc2217, OnlyTheBaudRateGoesWhenOnlyItChanged) {
  Start("ack", true);
  ASSERT_TRUE(device->Read());
  EXPECT_EQ(device->Write("1200", device->ReadValues()), Result::kWritten);
  EXPECT_EQ(data->Notes(), Strings{"baud=1200"});
}

struct FailureRow {
  const char* manner;
  const char* readLine;
  const char* writeLine;
};

class Failures : public PortDeviceRfc2217, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(Failures, AServerThatWillNotSayFailsAndKeepsTheUsersEntries) {
  Start(GetParam().manner, true);
  EXPECT_FALSE(device->Read());
  EXPECT_EQ(device->StatusLine(), GetParam().readLine);
  EXPECT_FALSE(device->IsRead()) << "the next visit asks again";
  PortPageValues lists;
  lists.dataBits = 2;
  lists.parity = 2;
  lists.stopBits = 1;
  EXPECT_EQ(device->Write("19200", lists), Result::kFailed);
  EXPECT_EQ(device->StatusLine(), GetParam().writeLine);
  EXPECT_EQ(boxes, Strings{GetParam().writeLine});
  EXPECT_EQ(device->ReadValues().baud, "N/A");
  EXPECT_TRUE(device->Differs("19200", lists)) << "OK asks again";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Failures,
    ::testing::Values(
        FailureRow{"refuse",
                   "Err:The server does not take line settings over RFC 2217 (it refused option 44).",
                   "Error: The server does not take line settings over RFC 2217 (it refused option "
                   "44)."},
        FailureRow{"noack", "Err:The server did not report its line settings.",
                   "Error: The server did not confirm the line settings."}),
    [](const ::testing::TestParamInfo<FailureRow>& info) {
      return std::string(info.param.manner);
    });

struct UseRow {
  const char* name;
  tarvik::device::DataPortUse use;
  const char* why;
};

class Uses : public PortDeviceRfc2217, public ::testing::WithParamInterface<UseRow> {};

TEST_P(Uses, APortWhoseConnectionIsTakenIsNotConnectedTo) {
  Start("ack", true);
  use = GetParam().use;
  const std::string why = GetParam().why;
  EXPECT_FALSE(device->Read());
  EXPECT_EQ(device->StatusLine(), why);
  PortPageValues lists;
  lists.dataBits = 3;
  lists.parity = 0;
  lists.stopBits = 0;
  EXPECT_EQ(device->Write("38400", lists), Result::kFailed);
  EXPECT_EQ(boxes, Strings{"Error: " + why});
  EXPECT_EQ(data->Connections(), 0);
  EXPECT_EQ(command->Received(), "");
  EXPECT_TRUE(device->Differs("38400", lists));

  use = tarvik::device::DataPortUse::kFree;  // the connection is given up
  EXPECT_TRUE(device->Read());
  EXPECT_EQ(data->Connections(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Uses,
    ::testing::Values(
        UseRow{"Held", tarvik::device::DataPortUse::kHeld,
               "COM7 is in use by an application; its line settings travel with its data and "
               "cannot be read or set from here now."},
        UseRow{"Driver", tarvik::device::DataPortUse::kDriver,
               "The driver keeps COM7's data connection open (fast open or close delay); its "
               "line settings cannot be read or set from here now."}),
    [](const ::testing::TestParamInfo<UseRow>& info) { return std::string(info.param.name); });

TEST(ComPortUseTest, ReadsTheDriversPortTable) {
  using tarvik::device::ComPortUse;
  using tarvik::device::DataPortUse;
  char dir[] = "/tmp/tarvik-held-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  const std::string table = std::string(dir) + "/Vonderil.ports";
  EXPECT_EQ(ComPortUse(dir, 7), DataPortUse::kFree) << "no driver, nothing held";
  std::ofstream(table) << "Vonderil " << ::getpid() << " running\n"
                       << "COM7 connected 127.0.0.1:4001 - primary held 5 5 1 9600/1 ok\n"
                       << "COM8 closing 127.0.0.1:4002 - primary free 0 0 1 - -\n"
                       << "COM9 connected 127.0.0.1:4003 - primary free 0 0 0 - -\n"
                       << "COM10 broken 127.0.0.1:4004 - - free 0 0 1 - -\n"
                       << "COM11 idle 127.0.0.1:4005 - - free 0 0 1 - -\n";
  EXPECT_EQ(ComPortUse(dir, 7), DataPortUse::kHeld);
  EXPECT_EQ(ComPortUse(dir, 8), DataPortUse::kDriver) << "the close delay runs";
  EXPECT_EQ(ComPortUse(dir, 9), DataPortUse::kDriver) << "fast open";
  EXPECT_EQ(ComPortUse(dir, 10), DataPortUse::kFree);
  EXPECT_EQ(ComPortUse(dir, 11), DataPortUse::kFree);
  EXPECT_EQ(ComPortUse(dir, 12), DataPortUse::kFree) << "not the driver's";
  std::remove(table.c_str());
  ::rmdir(dir);
}

}  // namespace
