// Reading a device's information against a simulated device on loopback:
// what each field shows, where a silent device stops the read, and the
// unlock with the saved password.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "command_server.h"
#include "czorn3.h"
#include "device_view_recorder.h"
#include "server_device_read.h"
#include "device_words.h"
#include "tkcenc2.h"

namespace {

using devsim::CommandFault;
using devsim::CommandPortSettings;
using tarvik::device::DeviceField;
using tarvik::device::DeviceTarget;
using tarvik::device::ReadServerDevice;

std::string Saved(const char* password) {
  char encoded[TKCENC2_ENCODED_SIZE] = {};
  TkcEnc2_Encode(password, tarvik::device::kSavedPasswordKey, encoded);
  return encoded;
}

class ReadDevice : public ::testing::Test {
 protected:
  void Start(CommandPortSettings settings = {}) {
    settings.ip = "127.0.0.1";
    server = std::make_unique<CommandServer>(std::move(settings));
    target.address = "127.0.0.1";
    target.port = server->Port();
    target.timeoutMs = 300;  // a silent device costs this per question
  }
  bool Read() { return ReadServerDevice(session, target, view); }

  MessageBoxRecorder boxes;
  std::unique_ptr<CommandServer> server;
  CZorn3 session;
  DeviceTarget target;
  DeviceViewRecorder view;
};

TEST_F(ReadDevice, EveryFieldShowsWhatTheDeviceReports) {
  CommandPortSettings s;
  s.name = "Q410X-2";
  s.maxSockets = 4;
  s.systemTimeoutMs = 2500;
  s.gateway = "127.0.0.254";
  Start(s);
  ASSERT_TRUE(Read());
  EXPECT_EQ(view.Field(DeviceField::kServerName), "Q410X-2");
  EXPECT_EQ(view.Field(DeviceField::kFirmwareVersion), "V2.14");
  EXPECT_EQ(view.Field(DeviceField::kOsVersion), "V1.3");
  EXPECT_EQ(view.Field(DeviceField::kMaxSockets), "4");
  EXPECT_EQ(view.Field(DeviceField::kSystemTimeout), "2500");
  EXPECT_EQ(view.Field(DeviceField::kOperationMode), "0, Shared");
  EXPECT_EQ(view.Field(DeviceField::kGateway), "127.0.0.254");
  EXPECT_EQ(view.Field(DeviceField::kSubnetMask), "255.255.255.0");
  EXPECT_EQ(view.Field(DeviceField::kMacAddress), "00-60-E9-00-00-01");
  EXPECT_EQ(view.Field(DeviceField::kPasswordSetting), "Unlocked");
  EXPECT_TRUE(view.setEnabled);
  EXPECT_EQ(view.statuses.front(), "Status: Initializing...");
  EXPECT_EQ(view.Status(), "Status : OK");
  EXPECT_TRUE(boxes.boxes.empty());
  // Without a saved password nothing about the lock but the query is sent.
  EXPECT_EQ(server->Received(), "10\r01\r22\r25N\r25S\r25M\r13\r15\r21\r25lock");
}

struct ShareCase {
  const char* name;
  const char* reported;
  const char* shown;
};
class ShareMode : public ReadDevice, public ::testing::WithParamInterface<ShareCase> {};

TEST_P(ShareMode, Words) {
  CommandPortSettings s;
  s.shareMode = GetParam().reported;
  Start(s);
  ASSERT_TRUE(Read());
  EXPECT_EQ(view.Field(DeviceField::kOperationMode), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Table, ShareMode,
                         ::testing::Values(ShareCase{"Shared", "0", "0, Shared"},
                                           ShareCase{"NonShared", "1", "1, Non-shared"},
                                           ShareCase{"OtherAsItCame", "2", "2"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct StopCase {
  const char* name;
  const char* silentCommand;
  DeviceField firstNotRead;
  bool setEnabled;
};
class SilentMidway : public ReadDevice, public ::testing::WithParamInterface<StopCase> {};

TEST_P(SilentMidway, RestStaysNotAvailable) {
  CommandPortSettings s;
  s.faults = {{GetParam().silentCommand, CommandFault::kNoReply, ""}};
  Start(s);
  ASSERT_TRUE(Read());
  // The order the page asks in; everything from the silent question on is
  // "N/A", everything before it was read.
  const DeviceField order[] = {DeviceField::kServerName,    DeviceField::kFirmwareVersion,
                               DeviceField::kOsVersion,     DeviceField::kMaxSockets,
                               DeviceField::kSystemTimeout, DeviceField::kOperationMode,
                               DeviceField::kGateway,       DeviceField::kSubnetMask,
                               DeviceField::kMacAddress,    DeviceField::kPasswordSetting};
  bool reached = false;
  for (DeviceField f : order) {
    reached = reached || f == GetParam().firstNotRead;
    EXPECT_EQ(view.Field(f) == "N/A", reached) << static_cast<int>(f) << " " << view.Field(f);
  }
  EXPECT_EQ(view.setEnabled, GetParam().setEnabled);
  EXPECT_EQ(view.Status(), "Connecting...");  // kept from the connect
}

INSTANTIATE_TEST_SUITE_P(
    Table, SilentMidway,
    ::testing::Values(StopCase{"AtSystemTimeout", "25S", DeviceField::kSystemTimeout, false},
                      StopCase{"AtMacAddress", "21", DeviceField::kMacAddress, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReadDevice, NoConnectionLeavesEverythingNotAvailable) {
  CommandPortSettings s;
  s.refuseConnections = true;
  Start(s);
  EXPECT_FALSE(Read());
  EXPECT_EQ(view.Status(), "Connecting...");
  for (const std::string& field : view.fields) EXPECT_EQ(field, "N/A");
}

TEST_F(ReadDevice, SavedPasswordUnlocksALockedDevice) {
  CommandPortSettings s;
  s.password = "s3cret";
  Start(s);
  target.savedPassword = Saved("s3cret");
  ASSERT_TRUE(Read());
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(view.Field(DeviceField::kPasswordSetting), "Unlocked");
  EXPECT_NE(server->Received().find("26password="), std::string::npos);
}

TEST_F(ReadDevice, WrongSavedPasswordIsShownAndTheReadGoesOn) {
  CommandPortSettings s;
  s.password = "s3cret";
  Start(s);
  target.savedPassword = Saved("guess");
  ASSERT_TRUE(Read());
  ASSERT_EQ(boxes.Texts(), std::vector<std::string>{"Unlock CMD: Wrong Password."});
  EXPECT_EQ(boxes.boxes[0].caption, "Tarvik Utility");
  EXPECT_EQ(boxes.boxes[0].flags, unsigned(tarvik::kMbOk | tarvik::kMbIconWarning));
  EXPECT_EQ(view.Status(), "Unlock CMD: Wrong Password.");
  EXPECT_EQ(view.Field(DeviceField::kPasswordSetting), "Locked");
}

TEST(SavedPassword, DecodesOnlyWithTheUtilitysKey) {
  const std::string saved = Saved("hunter2");
  EXPECT_EQ(tarvik::device::DecodeSavedPassword(saved.c_str(), saved.size()), "hunter2");
  // A field filled to its end without a terminator is read only to its end.
  char field[8];
  std::memcpy(field, saved.data(), sizeof field);
  EXPECT_EQ(tarvik::device::DecodeSavedPassword(field, sizeof field), "");
  EXPECT_EQ(tarvik::device::DecodeSavedPassword("", 90), "");
}

TEST(LockWords, EveryState) {
  EXPECT_STREQ(tarvik::device::LockStateText(0), "Locked");
  EXPECT_STREQ(tarvik::device::LockStateText(1), "Unlocked");
  EXPECT_STREQ(tarvik::device::LockStateText(2), "Disabled");
  EXPECT_STREQ(tarvik::device::LockStateText(3), "Unknown");
}

}  // namespace
