// The device side of the port page against a simulated command port on
// loopback: what is read, what goes on the wire when settings change, and
// the status lines of every outcome.
#include "port_device_settings.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "command_server.h"
#include "tarvik/ui_hooks.h"

namespace {

using tarvik::device::PortDeviceSettings;
using tarvik::device::PortPageValues;
using Result = PortDeviceSettings::WriteResult;

uint32_t Loopback() { return 0x0100007Fu; }

class PortDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    tarvik::SetMessageBoxHook([this](const std::string& text, const std::string&, unsigned) {
      boxes.push_back(text);
      return tarvik::kIdOk;
    });
  }
  void TearDown() override { tarvik::SetMessageBoxHook(nullptr); }

  void Start(const char* name, int entry, uint32_t devicePort, const char* format = "8N1") {
    devsim::CommandPortSettings settings;
    settings.ip = "127.0.0.1";
    settings.ports = std::vector<devsim::SerialPortSettings>(4);
    settings.ports[devicePort - 1].format = format;
    server = std::make_unique<CommandServer>(settings);
    device = std::make_unique<PortDeviceSettings>(session, name, entry, devicePort);
    device->SetDevice(Loopback(), server->Port(), 2000);
    device->SetStatusSink([this](const std::string& line) { lines.push_back(line); });
  }

  std::unique_ptr<CommandServer> server;
  CZorn3 session;
  std::unique_ptr<PortDeviceSettings> device;
  std::vector<std::string> lines;
  std::vector<std::string> boxes;
};

TEST_F(PortDevice, ReadsTheSettingsOfItsDevicePort) {
  Start("3147", 4, 3, "7E2");
  ASSERT_TRUE(device->Read());
  EXPECT_EQ(server->Received(), "163\r");
  EXPECT_TRUE(device->IsRead());
  EXPECT_EQ(device->ReadValues().baud, "9600");
  EXPECT_EQ(device->ReadValues().dataBits, 2);
  EXPECT_EQ(device->ReadValues().parity, 1);
  EXPECT_EQ(device->ReadValues().stopBits, 1);
  EXPECT_EQ(lines, (std::vector<std::string>{"Status: Initializing...", "Connecting...",
                                             "Status: OK"}));
}

TEST_F(PortDevice, TwoStopBitsOnTheFirstDataPortIsAnErrorButKeepsTheBaudRate) {
  Start("3147", 2, 1, "8N2");
  EXPECT_FALSE(device->Read());
  EXPECT_TRUE(device->IsRead());  // a baud rate came: no second read
  EXPECT_EQ(device->ReadValues().baud, "9600");
  EXPECT_EQ(device->StatusLine(), "Err:Getting Baud rate/Data format of a port!");
}

TEST_F(PortDevice, NoReplyLeavesThePortUnreadForTheNextVisit) {
  Start("3147", 4, 3);
  server->WithDevice([](devsim::CommandPortDevice& d) {
    d.Settings().faults = {{"16", devsim::CommandFault::kErrorReply, ""}};
  });
  EXPECT_FALSE(device->Read());
  EXPECT_FALSE(device->IsRead());
  EXPECT_EQ(device->ReadValues().baud, "N/A");
  EXPECT_EQ(device->StatusLine(), "Err:Getting Baud rate/Data format of a port!");
}

TEST_F(PortDevice, OnlyTheFormatIsSentWhenOnlyTheParityChanges) {
  Start("3147", 4, 3);
  ASSERT_TRUE(device->Read());
  server->ClearReceived();
  PortPageValues lists = device->ReadValues();
  lists.parity = 2;  // "Odd"
  EXPECT_EQ(device->Write("9600", lists), Result::kWritten);
  EXPECT_EQ(server->Received(), "0738O1\r");
  EXPECT_EQ(device->StatusLine(), "Status: Setting OK!");
  EXPECT_FALSE(device->Differs("9600", lists));
  server->WithDevice([](devsim::CommandPortDevice& d) { EXPECT_EQ(d.Settings().ports[2].format, "8O1"); });
}

TEST_F(PortDevice, BaudAndFormatBothSentInThatOrder) {
  Start("Q410X-4", 2, 1);
  ASSERT_TRUE(device->Read());
  server->ClearReceived();
  PortPageValues lists = device->ReadValues();
  lists.dataBits = 0;  // "7" on a limited port
  EXPECT_EQ(device->Write("115200", lists), Result::kWritten);
  EXPECT_EQ(server->Received(), "061115200\r0717N1\r");
}

TEST_F(PortDevice, NothingChangedDoesNotConnect) {
  Start("3147", 4, 3);
  ASSERT_TRUE(device->Read());
  server->ClearReceived();
  EXPECT_EQ(device->Write("9600", device->ReadValues()), Result::kNothingChanged);
  EXPECT_EQ(device->StatusLine(), "Status: Nothing changed!");
  EXPECT_EQ(server->Received(), "");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(PortDevice, RefusedBaudRateKeepsTheReadValuesAndSaysWhy) {
  Start("3147", 4, 3);
  ASSERT_TRUE(device->Read());
  server->WithDevice([](devsim::CommandPortDevice& d) {
    d.Settings().faults = {{"06", devsim::CommandFault::kErrorReply, ""}};
  });
  PortPageValues lists = device->ReadValues();
  lists.stopBits = 1;
  EXPECT_EQ(device->Write("19200", lists), Result::kFailed);
  EXPECT_EQ(device->StatusLine(), "Error: Setting baud rate of a port!");
  EXPECT_EQ(boxes, (std::vector<std::string>{"Error: Setting baud rate of a port!"}));
  EXPECT_EQ(device->ReadValues().baud, "9600");
  EXPECT_TRUE(device->Differs("19200", lists));  // OK asks again
}

TEST_F(PortDevice, AFormatWithAnEmptyListIsNotSent) {
  Start("3147", 4, 3);
  server->WithDevice([](devsim::CommandPortDevice& d) { d.Settings().refuseConnections = true; });
  EXPECT_FALSE(device->Read());
  server->WithDevice([](devsim::CommandPortDevice& d) { d.Settings().refuseConnections = false; });
  server->ClearReceived();
  PortPageValues lists;
  lists.parity = 1;  // data bits and stop bits never chosen
  EXPECT_EQ(device->Write("N/A", lists), Result::kFailed);
  EXPECT_EQ(server->Received(), "");
  EXPECT_EQ(boxes.size(), 1u);
}

}  // namespace
