// Changing a device's network settings: the checks before anything is
// sent, and the bytes a simulated device on loopback receives.
#include <gtest/gtest.h>

#include <memory>

#include "command_server.h"
#include "czorn3.h"
#include "device_view_recorder.h"
#include "server_network_set.h"

namespace {

using devsim::CommandFault;
using devsim::CommandPortSettings;
using tarvik::device::NetworkSetResult;
using tarvik::device::NetworkTexts;

const NetworkTexts kRead{"127.0.0.1", "255.255.255.0", "0.0.0.0"};

struct CheckCase {
  const char* name;
  NetworkTexts entered;
  const char* message;  // null: passes
};
class NetworkCheck : public ::testing::TestWithParam<CheckCase> {};

TEST_P(NetworkCheck, RefusesBeforeSending) {
  const char* message = tarvik::device::CheckNetworkChange(GetParam().entered, kRead);
  if (GetParam().message == nullptr) {
    EXPECT_EQ(message, nullptr) << message;
  } else {
    EXPECT_STREQ(message, GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, NetworkCheck,
    ::testing::Values(
        CheckCase{"NothingChanged", kRead, "Nothing changed!"},
        CheckCase{"BadAddress", {"127.0.0.300", "255.255.255.0", "0.0.0.0"}, "Invalid IP format!"},
        CheckCase{"AddressWithLeadingZero", {"127.0.0.01", "255.255.255.0", "0.0.0.0"},
                  "Invalid IP format!"},
        CheckCase{"MaskTypo", {"127.0.0.1", "255.255.255.", "0.0.0.0"},
                  "Invalid Sub-net Mask format!"},
        CheckCase{"GatewayTypo", {"127.0.0.1", "255.255.255.0", "127.0.0"}, "Invalid Gateway format!"},
        CheckCase{"GatewayCleared", {"127.0.0.2", "255.255.255.0", "0.0.0.0"}, nullptr},
        CheckCase{"GatewaySet", {"127.0.0.1", "255.255.255.0", "127.0.0.254"}, nullptr},
        CheckCase{"GatewaySetToZero", {"127.0.0.1", "255.255.0.0", "0.0.0.0"}, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NetworkCheck, FieldsThatWereNotReadAreNotChecked) {
  // A read that stopped early leaves "N/A"; left as it is, it is not sent.
  const NetworkTexts read{"127.0.0.1", "N/A", "N/A"};
  const NetworkTexts entered{"127.0.0.2", "N/A", "N/A"};
  EXPECT_EQ(tarvik::device::CheckNetworkChange(entered, read), nullptr);
  const NetworkTexts items = tarvik::device::ChangedNetworkItems(entered, read);
  EXPECT_EQ(items.address, "127.0.0.2");
  EXPECT_EQ(items.mask, "");
  EXPECT_EQ(items.gateway, "");
}

TEST(CautionText, WordForWordWithItsBlanks) {
  EXPECT_EQ(tarvik::device::CautionText("IP /Mask /Gateway"),
            "Caution!!\n\nThe wrong network setting (IP /Mask /Gateway) may cause the device or\n"
            "your network doesn't work correctly! Please contact your Network Administrator\n"
            "first if you don't know or don't have a valid configuration!" +
                std::string(35, ' ') +
                "\n\nNote: After changing, the device will be rebooted automatically.\n\n"
                "Are you sure you want to continue the setting?\n\n");
}

class SetNetwork : public ::testing::Test {
 protected:
  void Start(CommandPortSettings settings = {}) {
    settings.ip = "127.0.0.1";
    server = std::make_unique<CommandServer>(std::move(settings));
    target.port = server->Port();
    target.timeoutMs = 300;
  }
  NetworkSetResult Set(const NetworkTexts& entered) {
    return tarvik::device::SetServerNetwork(session, entered, kRead, target, view, &changed);
  }

  MessageBoxRecorder boxes;
  std::unique_ptr<CommandServer> server;
  CZorn3 session;
  tarvik::device::DeviceTarget target;
  DeviceViewRecorder view;
  bool changed = false;
};

TEST_F(SetNetwork, OnlyTheChangedGatewayIsSentThenTheDeviceRestarts) {
  Start();
  EXPECT_EQ(Set({"127.0.0.1", "255.255.255.0", "127.0.0.254"}), NetworkSetResult::kRestarted);
  ASSERT_TRUE(server->WaitUntil([](devsim::CommandPortDevice& d) { return d.RestartCount() == 1; }));
  EXPECT_EQ(server->Received(), "26ISAVE=1,GATEWAY=127.0.0.254\r33RESET\r");
  EXPECT_TRUE(changed);
  ASSERT_EQ(boxes.boxes.size(), 1u);  // the caution question
  EXPECT_EQ(boxes.boxes[0].flags, unsigned(tarvik::kMbYesNo | tarvik::kMbIconWarning));
  server->WithDevice([](devsim::CommandPortDevice& d) {
    EXPECT_EQ(d.Settings().gateway, "127.0.0.254");
  });
}

TEST_F(SetNetwork, NothingChangedDoesNotConnect) {
  Start();
  EXPECT_EQ(Set(kRead), NetworkSetResult::kRefusedBeforeSending);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Nothing changed!"});
  EXPECT_EQ(boxes.boxes[0].flags, unsigned(tarvik::kMbOk | tarvik::kMbIconWarning));
  EXPECT_EQ(session.StatusText(), "");  // never asked to connect
  EXPECT_FALSE(changed);
}

TEST_F(SetNetwork, NoToTheCautionSendsNothing) {
  Start();
  boxes.answers = {tarvik::kIdNo};
  EXPECT_EQ(Set({"127.0.0.2", "255.255.255.0", "0.0.0.0"}), NetworkSetResult::kRefusedBeforeSending);
  EXPECT_EQ(session.StatusText(), "");
  EXPECT_EQ(server->Received(), "");
  EXPECT_FALSE(changed);
}

TEST_F(SetNetwork, UnreachableDeviceGetsNothing) {
  CommandPortSettings s;
  s.refuseConnections = true;
  Start(s);
  EXPECT_EQ(Set({"127.0.0.2", "255.255.255.0", "0.0.0.0"}), NetworkSetResult::kConnectFailed);
  EXPECT_EQ(view.Status(), "Connecting failure!");
  EXPECT_FALSE(changed);
}

TEST_F(SetNetwork, RefusedSettingIsNotFollowedByARestart) {
  CommandPortSettings s;
  s.faults = {{"26ISAVE", CommandFault::kErrorReply, ""}};
  Start(s);
  EXPECT_EQ(Set({"127.0.0.1", "255.255.0.0", "0.0.0.0"}), NetworkSetResult::kNotAccepted);
  EXPECT_EQ(view.Status(), "Setting Error!");
  EXPECT_EQ(server->Received(), "26ISAVE=1,MASK=255.255.0.0\r");
  EXPECT_TRUE(changed);  // offered to the device, whatever it said
}

TEST_F(SetNetwork, SilentDeviceIsNotRestarted) {
  CommandPortSettings s;
  s.faults = {{"26ISAVE", CommandFault::kNoReply, ""}};
  Start(s);
  EXPECT_EQ(Set({"127.0.0.2", "255.255.255.0", "0.0.0.0"}), NetworkSetResult::kNotAccepted);
  EXPECT_EQ(view.Status(), "No response from device!");
  EXPECT_EQ(server->Received(), "26ISAVE=1,IP=127.0.0.2\r");
}

TEST_F(SetNetwork, MaskTypoIsRefusedBeforeAnyConnection) {
  Start();
  EXPECT_EQ(Set({"127.0.0.1", "255.255.2550", "0.0.0.0"}), NetworkSetResult::kRefusedBeforeSending);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Invalid Sub-net Mask format!"});
  EXPECT_EQ(session.StatusText(), "");
}

}  // namespace
