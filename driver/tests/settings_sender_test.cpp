// The line-settings workers against simulated command ports on loopback:
// what each conversation sends, and that a command port that never answers
// holds back no other device.
#include "settings_sender.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "command_port_thread.h"

namespace vonderil {
namespace {

constexpr uint32_t kLoopback = 127 | 1u << 24;

SettingsJob Job(uint16_t cmdPort, SettingsJob::Kind kind, uint32_t com) {
  SettingsJob job;
  job.comNumber = com;
  job.ticket = com;
  job.kind = kind;
  job.address = kLoopback;
  job.cmdPort = cmdPort;
  job.timeoutMs = 3000;
  job.devicePort = 1;
  return job;
}

TEST(SettingsJobTest, AnAskReportsWhatTheDeviceHas) {
  CommandPortThread device(0, [](devsim::CommandPortSettings* s) { s->ports[0] = {"19200", "7E2"}; });
  ASSERT_TRUE(device.Ok());
  const SettingsResult r = RunSettingsJob(Job(device.Port(), SettingsJob::Kind::kAsk, 5));
  ASSERT_TRUE(r.ok) << r.failure;
  EXPECT_EQ(r.device, (LineSettings{19200, true}));
  EXPECT_EQ(r.dataBits, '7');
  EXPECT_EQ(r.parity, 'E');
  EXPECT_EQ(device.Received(), "161\r");
}

TEST(SettingsJobTest, NewStopBitsKeepTheDevicesDataBitsAndParity) {
  CommandPortThread device(0);  // 9600 7E1
  ASSERT_TRUE(device.Ok());
  SettingsJob job = Job(device.Port(), SettingsJob::Kind::kSet, 5);
  job.settings = {57600, true};
  job.sendBaud = job.sendStopBits = true;
  const SettingsResult r = RunSettingsJob(job);
  ASSERT_TRUE(r.ok) << r.failure;
  EXPECT_EQ(r.device, (LineSettings{57600, true}));
  EXPECT_EQ(device.Received(), "161\r06157600\r0717E2\r");
}

TEST(SettingsJobTest, ARefusedBaudRateIsAFailure) {
  CommandPortThread device(0, [](devsim::CommandPortSettings* s) {
    s->faults.push_back({"06", devsim::CommandFault::kErrorReply, ""});
  });
  ASSERT_TRUE(device.Ok());
  SettingsJob job = Job(device.Port(), SettingsJob::Kind::kSet, 5);
  job.settings = {57600, false};
  job.sendBaud = true;
  const SettingsResult r = RunSettingsJob(job);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.failure, "the device refused 57600 baud");
}

// Regression: one worker served every command port in turn.
TEST(SettingsSenderTest, ACommandPortThatNeverAnswersHoldsBackNoOtherDevice) {
  CommandPortThread dead(0, [](devsim::CommandPortSettings* s) {
    s->faults.push_back({"", devsim::CommandFault::kNoReply, ""});
  });
  CommandPortThread live(0);
  ASSERT_TRUE(dead.Ok() && live.Ok());
  EventLoop loop;
  std::map<uint32_t, SettingsResult> results;
  SettingsSender sender(loop, [&](const SettingsResult& r) {
    results[r.comNumber] = r;
    if (r.comNumber == 6) loop.Quit();
  });
  ASSERT_TRUE(sender.Ok());
  sender.Send(Job(dead.Port(), SettingsJob::Kind::kAsk, 5));
  sender.Send(Job(live.Port(), SettingsJob::Kind::kAsk, 6));
  ASSERT_EQ(loop.Run(), 0);
  ASSERT_EQ(results.count(6), 1u);
  EXPECT_TRUE(results[6].ok) << results[6].failure;
  EXPECT_EQ(results.count(5), 0u);  // still waiting for its answer
  sender.Drain();
  // Its result waits for the loop; the next turn hands it over.
  loop.After(0, [&] { loop.Quit(); });
  ASSERT_EQ(loop.Run(), 0);
  ASSERT_EQ(results.count(5), 1u);
  EXPECT_FALSE(results[5].ok);
}

TEST(SettingsSenderTest, JobsForOneCommandPortRunInOrder) {
  CommandPortThread device(0);
  ASSERT_TRUE(device.Ok());
  EventLoop loop;
  std::vector<uint32_t> order;
  SettingsSender sender(loop, [&](const SettingsResult& r) {
    order.push_back(r.comNumber);
    if (order.size() == 3) loop.Quit();
  });
  for (uint32_t com : {5u, 6u, 7u}) {
    SettingsJob job = Job(device.Port(), SettingsJob::Kind::kSet, com);
    job.settings = {1200u * com, false};
    job.sendBaud = true;
    sender.Send(job);
  }
  ASSERT_EQ(loop.Run(), 0);
  EXPECT_EQ(order, (std::vector<uint32_t>{5, 6, 7}));
  EXPECT_EQ(device.Received(), "0616000\r0617200\r0618400\r");
}

}  // namespace
}  // namespace vonderil
