// A port's life fed exact orders of events through its interfaces: what the
// application reads, what the device receives, where the port ends up.
#include "port_session.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fake_port_ops.h"

namespace vonderil {
namespace {

constexpr uint32_t kPrimary = 127 | 1u << 24;    // 127.0.0.1
constexpr uint32_t kRedundant = 127 | 2u << 24;  // 127.0.0.2

MappedPort Mapping() {
  MappedPort m;
  m.comNumber = 5;
  m.address = kPrimary;
  m.devicePort = 1;
  m.tcpPort = 10001;
  m.tcpPortCmd = 10000;
  m.fixedConfig = true;  // the line-settings tests turn it off
  m.connectionBrokenMs = 30000;
  m.connectTimeoutMs = 2000;
  return m;
}

class PortSessionTest : public ::testing::Test {
 protected:
  void Make(const MappedPort& mapping = Mapping(), const DriverOptions& options = {}) {
    PortSession::Hooks hooks;
    hooks.quiet = [this] { ++quietCalls_; };
    session_ = std::make_unique<PortSession>(mapping, options, clock_, pty_, links_, &settings_,
                                             [this](const std::string& l) { log_.push_back(l); },
                                             hooks);
  }

  // The application's side, as the driver's notices and the pty report it.
  void Open() {
    pty_.AppOpens();
    session_->OnOpenNotice();
  }
  void Close() {
    pty_.AppCloses();
    session_->OnCloseNotice();
  }
  // A close and the next application's open, both taken before the pty
  // could show the port hung up.
  void CloseAndReopen() {
    session_->OnCloseNotice();
    session_->OnOpenNotice();
  }
  void Write(const std::string& bytes) {
    pty_.AppWrites(bytes);
    session_->OnMaster(kReadable);
  }

  // The device's side.
  void Connect() {
    ASSERT_NE(links_.current, nullptr) << "no connect under way";
    session_->OnLink(kWritable);
  }
  void Refuse() {
    ASSERT_NE(links_.current, nullptr) << "no connect under way";
    links_.current->connectError = ECONNREFUSED;
    session_->OnLink(kWritable | kFailed);
  }
  void DeviceSends(const std::string& bytes, bool fin = false) {
    ASSERT_NE(links_.current, nullptr) << "no connection";
    links_.current->incoming.push_back(bytes);
    links_.current->fin = fin;
    session_->OnLink(kReadable | (fin ? kHangUp : 0u));
  }
  void DeviceCloses() { DeviceSends("", true); }

  std::string State() const { return PortSession::StateName(session_->GetState()); }
  // Opens the port on a device that refuses twice (so an outage runs).
  void OpenAndRefuseTwice() {
    Open();
    Refuse();
    clock_.RunNext();
    Refuse();
    clock_.RunNext();
  }
  size_t LogLines(const std::string& containing) const {
    size_t n = 0;
    for (const std::string& l : log_) n += l.find(containing) != std::string::npos ? 1 : 0;
    return n;
  }
  std::string Log() const {
    std::string all;
    for (const std::string& l : log_) all += l + "\n";
    return all;
  }

  FakeClock clock_;
  FakePty pty_;
  FakeLinks links_{clock_};
  FakeSettings settings_;
  std::vector<std::string> log_;
  int quietCalls_ = 0;
  std::unique_ptr<PortSession> session_;
};

// --- orders of events ---------------------------------------------------------

enum class Do {
  kOpen,
  kClose,
  kCloseAndReopen,
  kWrite,           // the application writes text and the driver reads it
  kWriteUnseen,     // the application writes text the driver has not read yet
  kFlushOutput,     // the application drops its unsent output (tcflush)
  kConnect,
  kRefuse,
  kDeviceSends,
  kDeviceSendsAndCloses,
  kWait,            // ms pass
  kStart,
  kStop,
  kAppReads,        // expect: the application reads exactly text
  kDeviceGot,       // expect: the device has received exactly text, in all
  kState,           // expect: the port's state is text
  kQuiet,           // expect: the port is quiet (text "yes") or not
};

struct Step {
  Do what;
  const char* text = "";
  uint64_t ms = 0;
};

struct OrderCase {
  const char* name;
  DriverOptions options;
  bool writeBuffer;
  std::vector<Step> steps;
};

DriverOptions CloseDelay(uint32_t ms) {
  DriverOptions o;
  o.closeDelayMs = ms;
  return o;
}
DriverOptions FastOpen() {
  DriverOptions o;
  o.fastOpen = true;
  return o;
}
DriverOptions IgnoreWriteError() {
  DriverOptions o;
  o.ignoreWriteError = true;
  return o;
}

class OrderTest : public PortSessionTest, public ::testing::WithParamInterface<OrderCase> {};

TEST_P(OrderTest, EventsInThisOrder) {
  MappedPort mapping = Mapping();
  mapping.writeBuffer = GetParam().writeBuffer;
  mapping.autoFlushMs = 500;
  Make(mapping, GetParam().options);
  int at = 0;
  for (const Step& s : GetParam().steps) {
    SCOPED_TRACE("step " + std::to_string(at++) + "\n" + Log());
    switch (s.what) {
      case Do::kOpen: Open(); break;
      case Do::kClose: Close(); break;
      case Do::kCloseAndReopen: CloseAndReopen(); break;
      case Do::kWrite: Write(s.text); break;
      case Do::kWriteUnseen: pty_.AppWrites(s.text); break;
      case Do::kFlushOutput: pty_.AppFlushes(kFlushedOutput); break;
      case Do::kConnect: Connect(); break;
      case Do::kRefuse: Refuse(); break;
      case Do::kDeviceSends: DeviceSends(s.text); break;
      case Do::kDeviceSendsAndCloses: DeviceSends(s.text, true); break;
      case Do::kWait: clock_.Advance(s.ms); break;
      case Do::kStart: session_->Start(); break;
      case Do::kStop: session_->Stopping(); break;
      case Do::kAppReads: EXPECT_EQ(pty_.AppReads(), s.text); break;
      case Do::kDeviceGot: EXPECT_EQ(links_.sent, s.text); break;
      case Do::kState: EXPECT_EQ(State(), s.text); break;
      case Do::kQuiet: EXPECT_EQ(session_->Quiet(), std::string(s.text) == "yes"); break;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Orders, OrderTest,
    ::testing::Values(
        // The reply the first application left unread was in the slave when
        // it closed; the reopen came before the driver looked.
        OrderCase{"CloseAndReopenInOneBatchDropTheUnreadReply", CloseDelay(1000), false,
                  {{Do::kOpen}, {Do::kConnect}, {Do::kWrite, "ask"}, {Do::kDeviceSends, "old reply"},
                   {Do::kCloseAndReopen}, {Do::kAppReads, ""}, {Do::kState, "connected"},
                   {Do::kDeviceSends, "new"}, {Do::kAppReads, "new"}, {Do::kDeviceGot, "ask"}}},
        // The second application wrote before the driver took the close:
        // its bytes are not read away, and its reply reaches it.
        OrderCase{"TheNextHoldersFirstBytesSurviveTheBoundary", CloseDelay(1000), false,
                  {{Do::kOpen}, {Do::kConnect}, {Do::kWrite, "a"}, {Do::kDeviceSends, "a"},
                   {Do::kAppReads, "a"}, {Do::kWriteUnseen, "b"}, {Do::kCloseAndReopen},
                   {Do::kDeviceGot, "ab"}, {Do::kDeviceSends, "b"}, {Do::kAppReads, "b"}}},
        OrderCase{"AnOpenDuringADrainTakesTheConnectionOver", {}, false,
                  {{Do::kOpen}, {Do::kWrite, "abc"}, {Do::kClose}, {Do::kState, "drain-retry"},
                   {Do::kOpen}, {Do::kState, "connecting"}, {Do::kConnect},
                   {Do::kDeviceGot, "abc"}, {Do::kDeviceSends, "ok"}, {Do::kAppReads, "ok"},
                   {Do::kState, "connected"}}},
        OrderCase{"BytesThatCameWithAFinAreDeliveredBeforeTheReconnect", {}, false,
                  {{Do::kOpen}, {Do::kConnect}, {Do::kDeviceSendsAndCloses, "bye"},
                   {Do::kAppReads, "bye"}, {Do::kState, "reconnecting"}}},
        // echo text > COM5: open, write and close before the connect.
        OrderCase{"AShortWritersBytesGoOutAfterItHasGone", {}, false,
                  {{Do::kOpen}, {Do::kWriteUnseen, "hi"}, {Do::kClose}, {Do::kQuiet, "no"},
                   {Do::kConnect}, {Do::kDeviceGot, "hi"}, {Do::kState, "free"}}},
        OrderCase{"AStopWithBytesQueuedWaitsUntilTheyAreSent", {}, false,
                  {{Do::kOpen}, {Do::kWrite, "last"}, {Do::kClose}, {Do::kStop}, {Do::kQuiet, "no"},
                   {Do::kConnect}, {Do::kDeviceGot, "last"}, {Do::kState, "free"},
                   {Do::kQuiet, "yes"}}},
        OrderCase{"AStopGivesUpOnTheLastBytesAfterTenSeconds", {}, false,
                  {{Do::kOpen}, {Do::kWrite, "last"}, {Do::kClose}, {Do::kStop},
                   {Do::kWait, "", 9999}, {Do::kQuiet, "no"}, {Do::kWait, "", 1},
                   {Do::kState, "free"}, {Do::kDeviceGot, ""}}},
        OrderCase{"IgnoreWriteErrorKeepsTheBytesOfTheFirstConnect", IgnoreWriteError(), false,
                  {{Do::kOpen}, {Do::kWrite, "first"}, {Do::kConnect}, {Do::kDeviceGot, "first"}}},
        OrderCase{"IgnoreWriteErrorDropsBytesOnceTheDeviceFailed", IgnoreWriteError(), false,
                  {{Do::kOpen}, {Do::kRefuse}, {Do::kWrite, "lost"}, {Do::kWait, "", 250},
                   {Do::kConnect}, {Do::kWrite, "kept"}, {Do::kDeviceGot, "kept"}}},
        OrderCase{"DeviceBytesWhileNobodyHoldsThePortAreDropped", FastOpen(), false,
                  {{Do::kStart}, {Do::kConnect}, {Do::kDeviceSends, "stale"}, {Do::kOpen},
                   {Do::kAppReads, ""}, {Do::kDeviceSends, "fresh"}, {Do::kAppReads, "fresh"}}},
        OrderCase{"TheLastHoldersUnreadInputIsDroppedAtItsClose", CloseDelay(1000), false,
                  {{Do::kOpen}, {Do::kConnect}, {Do::kDeviceSends, "unread"}, {Do::kClose},
                   {Do::kState, "lingering"}, {Do::kOpen}, {Do::kAppReads, ""}}},
        OrderCase{"TheCloseDelayEndsTheConnection", CloseDelay(1000), false,
                  {{Do::kOpen}, {Do::kConnect}, {Do::kClose}, {Do::kWait, "", 999},
                   {Do::kState, "lingering"}, {Do::kWait, "", 1}, {Do::kState, "free"}}},
        OrderCase{"ACloseSendsTheWriteBufferAtOnce", {}, true,
                  {{Do::kOpen}, {Do::kConnect}, {Do::kWrite, "w"}, {Do::kDeviceGot, ""},
                   {Do::kClose}, {Do::kDeviceGot, "w"}}},
        OrderCase{"TheWriteBufferGoesAfterAutoFlush", {}, true,
                  {{Do::kOpen}, {Do::kConnect}, {Do::kWrite, "a"}, {Do::kWait, "", 100},
                   {Do::kWrite, "b"}, {Do::kWait, "", 399}, {Do::kDeviceGot, ""},
                   {Do::kWait, "", 1}, {Do::kDeviceGot, "ab"}}},
        OrderCase{"AnOutputFlushDropsTheBufferedBytes", {}, true,
                  {{Do::kOpen}, {Do::kConnect}, {Do::kWrite, "old"}, {Do::kFlushOutput},
                   {Do::kWrite, "new"}, {Do::kWait, "", 500}, {Do::kDeviceGot, "new"}}},
        OrderCase{"AFastOpenPortKeepsItsConnectionAfterTheClose", FastOpen(), false,
                  {{Do::kStart}, {Do::kConnect}, {Do::kOpen}, {Do::kWrite, "x"}, {Do::kClose},
                   {Do::kState, "standby"}, {Do::kDeviceGot, "x"}, {Do::kStop},
                   {Do::kState, "free"}}},
        OrderCase{"BrokenUntilTheApplicationWritesAgain", {}, false,
                  // The last try starts when ConnectionBroken is over and
                  // ends with its ConnectTimeout.
                  {{Do::kOpen}, {Do::kRefuse}, {Do::kWait, "", 32000}, {Do::kState, "broken"},
                   {Do::kWrite, "again"}, {Do::kState, "connecting"}, {Do::kConnect},
                   {Do::kDeviceGot, "again"}}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- notices -------------------------------------------------------------------

TEST_F(PortSessionTest, ACloseWhileAnotherApplicationHoldsThePortIsNoBoundary) {
  Make(Mapping(), CloseDelay(1000));
  Open();
  Connect();
  Open();  // a second holder
  DeviceSends("for both");
  session_->OnCloseNotice();  // the pty still shows a holder
  EXPECT_EQ(State(), "connected");
  EXPECT_EQ(pty_.AppReads(), "for both");
  Close();
  EXPECT_EQ(State(), "lingering");
}

// The close notice comes before the kernel has done the close: the pty
// shows it a moment later, or the next open does.
TEST_F(PortSessionTest, ACloseThePtyDoesNotShowYetIsSettledByTheHangUpOrTheNextOpen) {
  Make(Mapping(), CloseDelay(1000));
  Open();
  Connect();
  session_->OnCloseNotice();
  EXPECT_TRUE(session_->Held());
  pty_.AppCloses();
  session_->OnMaster(kHangUp);
  EXPECT_EQ(State(), "lingering");
  Open();
  session_->OnCloseNotice();
  pty_.AppOpens();  // the next application, before the pty showed the close
  session_->OnOpenNotice();
  EXPECT_EQ(State(), "connected");
  EXPECT_EQ(session_->Status().sessions, 3u);
}

TEST_F(PortSessionTest, EachSessionIsCountedAndTheDriverWatchesOnlyHeldPtys) {
  Make(Mapping(), CloseDelay(1000));
  EXPECT_FALSE(pty_.watched);
  Open();
  EXPECT_TRUE(pty_.watched);
  Connect();
  CloseAndReopen();
  Close();
  EXPECT_FALSE(pty_.watched);  // a master nobody holds reports hang-ups without end
  EXPECT_EQ(session_->Status().sessions, 2u);
  EXPECT_EQ(pty_.drops, 2);
}

// --- reconnects ----------------------------------------------------------------

// The device accepts every connection and closes it at once.
TEST_F(PortSessionTest, ADeviceThatAcceptsAndClosesIsRetriedWithGrowingWaitsUntilBroken) {
  clock_.longest = true;
  Make();
  Open();
  const uint64_t firstFailure = clock_.now;
  while (State() != "broken" && links_.attempts.size() < 100) {
    if (links_.current) {
      Connect();
      DeviceCloses();
    } else {
      clock_.RunNext();
    }
  }
  ASSERT_EQ(State(), "broken") << Log();
  EXPECT_GE(clock_.now - firstFailure, 30000u);
  EXPECT_LE(clock_.now - firstFailure, 30000u + 2000u);
  std::vector<uint64_t> waits;
  for (size_t i = 1; i < links_.attempts.size(); ++i) {
    waits.push_back(links_.attempts[i].at - links_.attempts[i - 1].at);
  }
  // A steady connection that drops is retried at once; these never were.
  ASSERT_GE(waits.size(), 4u);
  EXPECT_EQ(waits[0], 0u);
  EXPECT_EQ(waits[1], 250u);
  EXPECT_EQ(waits[2], 500u);
  EXPECT_EQ(waits[3], 1000u);
  for (uint64_t w : waits) EXPECT_LE(w, 5000u);
  EXPECT_LE(links_.attempts.size(), 15u);
  // One line for the loss, one for the end; the short connections counted.
  EXPECT_EQ(LogLines("lost"), 1u) << Log();
  EXPECT_EQ(LogLines("broken"), 1u) << Log();
  EXPECT_LE(log_.size(), 5u) << Log();
}

TEST_F(PortSessionTest, RetriesAreSpreadBetweenHalfAndAllOfTheWait) {
  for (bool longest : {false, true}) {
    SCOPED_TRACE(longest ? "longest" : "shortest");
    links_.attempts.clear();
    clock_.longest = longest;
    Make();
    OpenAndRefuseTwice();
    ASSERT_EQ(links_.attempts.size(), 3u);
    EXPECT_EQ(links_.attempts[1].at - links_.attempts[0].at, longest ? 250u : 125u);
    EXPECT_EQ(links_.attempts[2].at - links_.attempts[1].at, longest ? 500u : 250u);
    session_.reset();
  }
}

struct SteadyCase {
  const char* name;
  bool carriesBytes;
  uint64_t lives;
};

class SteadyTest : public PortSessionTest, public ::testing::WithParamInterface<SteadyCase> {};

TEST_P(SteadyTest, AConnectionThatBecameSteadyEndsTheOutage) {
  Make();
  OpenAndRefuseTwice();
  Connect();
  if (GetParam().carriesBytes) DeviceSends("hello");
  clock_.Advance(GetParam().lives);
  const size_t before = links_.attempts.size();
  DeviceCloses();
  // Steady: tried again at once, and a new outage begins with its own clock.
  EXPECT_EQ(links_.attempts.size(), before + 1) << Log();
  EXPECT_NE(Log().find("connected to 127.0.0.1:10001 after 2 failed attempts"), std::string::npos)
      << Log();
}

INSTANTIATE_TEST_SUITE_P(Connections, SteadyTest,
                         ::testing::Values(SteadyCase{"CarriedBytes", true, 0},
                                           SteadyCase{"LivedFiveSeconds", false, 5000}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PortSessionTest, AConnectionThatDiesYoungDoesNotRestartTheOutageClock) {
  Make();
  Open();
  Refuse();
  const uint64_t firstFailure = clock_.now;
  // Every 4 s the device accepts and drops a connection.
  while (State() != "broken" && clock_.now - firstFailure < 60000) {
    clock_.RunNext();
    if (links_.current) {
      Connect();
      clock_.Advance(100);
      DeviceCloses();
    }
  }
  EXPECT_EQ(State(), "broken");
  EXPECT_LE(clock_.now - firstFailure, 32000u);
}

TEST_F(PortSessionTest, ARefusedPrimaryIsFollowedByTheRedundantAddress) {
  MappedPort mapping = Mapping();
  mapping.address2 = kRedundant;
  Make(mapping);
  Open();
  Refuse();
  ASSERT_EQ(links_.attempts.size(), 2u);
  EXPECT_EQ(links_.attempts[1].address, kRedundant);
  EXPECT_EQ(links_.attempts[1].at, links_.attempts[0].at);
  Connect();
  EXPECT_EQ(session_->Status().inUse, "redundant");
}

TEST_F(PortSessionTest, AConnectThatHangsEndsAfterConnectTimeout) {
  Make();
  Open();
  clock_.Advance(1999);
  EXPECT_EQ(links_.attempts.size(), 1u);
  clock_.Advance(1);
  EXPECT_EQ(links_.current, nullptr);
  EXPECT_NE(Log().find("cannot connect to 127.0.0.1:10001: Connection timed out"),
            std::string::npos)
      << Log();
}

// Regression: a FastOpen port nobody held logged every attempt for as long
// as its device was away.
TEST_F(PortSessionTest, AFastOpenPortWhoseDeviceIsAwaySummarisesItsFailuresOnceAMinute) {
  links_.refuseAtOnce = ECONNREFUSED;
  Make(Mapping(), FastOpen());
  session_->Start();
  while (clock_.now < 1000000 + 10 * 60000) clock_.RunNext();
  EXPECT_GT(links_.attempts.size(), 100u);
  EXPECT_EQ(State(), "standby-retry");
  EXPECT_LE(log_.size(), 12u) << Log();
  EXPECT_EQ(LogLines("attempts failed in the last minute (last: cannot connect to "
                     "127.0.0.1:10001: Connection refused)"),
            log_.size() - 2)
      << Log();
}

// --- line settings ---------------------------------------------------------------

class LineSettingsTest : public PortSessionTest {
 protected:
  void SetUp() override {
    MappedPort mapping = Mapping();
    mapping.fixedConfig = false;
    Make(mapping);
    pty_.line = {0, false};  // a fresh pty shows nothing
  }
  // The device answers the job under way.
  void Answer(bool ok, LineSettings device = {}) {
    ASSERT_FALSE(settings_.jobs.empty());
    const SettingsJob& job = settings_.jobs.back();
    SettingsResult r;
    r.comNumber = job.comNumber;
    r.ticket = job.ticket;
    r.ok = ok;
    r.device = job.kind == SettingsJob::Kind::kAsk ? device : job.settings;
    r.dataBits = '8';
    r.parity = 'N';
    r.failure = "the command port 127.0.0.1:10000 does not answer";
    session_->OnSettingsDone(r);
  }
  void OpenConnected() {
    Open();
    Connect();
    Answer(true);  // the device has 9600 baud, 1 stop bit
  }
};

// Like a real serial port: opening changes nothing on the device.
TEST_F(LineSettingsTest, AnApplicationThatSetsNothingSeesTheDevicesSettings) {
  Open();
  Connect();
  ASSERT_EQ(settings_.jobs.size(), 1u);
  EXPECT_EQ(settings_.jobs[0].kind, SettingsJob::Kind::kAsk);
  Write("x");
  EXPECT_EQ(links_.sent, "x");  // nothing was changed: nothing waits
  Answer(true, LineSettings{19200, true});
  EXPECT_EQ(pty_.line, (LineSettings{19200, true}));
  EXPECT_EQ(settings_.jobs.size(), 1u);
  EXPECT_EQ(session_->Status().line, "19200/2");
  EXPECT_EQ(session_->Status().lineState, "ok");
}

// Regression: the driver took every device to start at 9600 baud, so an
// application that set 9600 at once left a device at 19200 where it was.
TEST_F(LineSettingsTest, SettingsTheApplicationMadeBeforeTheAnswerAreSentBeforeItsBytes) {
  pty_.line = {9600, false};  // set at once, before the driver took the open
  Open();
  Connect();
  Write("x");
  EXPECT_EQ(links_.sent, "");
  Answer(true, LineSettings{19200, true});
  ASSERT_EQ(settings_.jobs.size(), 2u);
  EXPECT_EQ(settings_.jobs[1].kind, SettingsJob::Kind::kSet);
  EXPECT_EQ(settings_.jobs[1].settings, (LineSettings{9600, false}));
  EXPECT_TRUE(settings_.jobs[1].sendBaud);
  EXPECT_TRUE(settings_.jobs[1].sendStopBits);
  EXPECT_EQ(settings_.jobs[1].dataBits, '8');
  EXPECT_EQ(pty_.lineSets, 0);  // the application's own stay
  EXPECT_EQ(links_.sent, "");
  Answer(true);
  EXPECT_EQ(links_.sent, "x");
}

// The application sets its own between the driver's look and its showing
// the device's: the application's stay, and are sent.
TEST_F(LineSettingsTest, SettingsTheApplicationMadeJustAsTheAnswerCameAreNotOverwritten) {
  Open();
  Connect();
  pty_.beforeShow = [this] { pty_.line = {57600, false}; };
  Answer(true, LineSettings{9600, false});
  EXPECT_EQ(pty_.line.baud, 57600u);
  Write("x");
  EXPECT_EQ(links_.sent, "");
  ASSERT_EQ(settings_.jobs.size(), 2u);
  EXPECT_EQ(settings_.jobs[1].settings.baud, 57600u);
  Answer(true);
  EXPECT_EQ(links_.sent, "x");
}

// Regression: the bytes written after a change reached the device before
// the change did.
TEST_F(LineSettingsTest, BytesWrittenAfterABaudChangeWaitUntilTheDeviceTookIt) {
  OpenConnected();
  Write("before ");
  pty_.line.baud = 57600;
  Write("after");
  EXPECT_EQ(links_.sent, "before ");
  ASSERT_EQ(settings_.jobs.size(), 2u);
  EXPECT_EQ(settings_.jobs[1].settings.baud, 57600u);
  EXPECT_TRUE(settings_.jobs[1].sendBaud);
  EXPECT_FALSE(settings_.jobs[1].sendStopBits);
  EXPECT_EQ(session_->Status().lineState, "sending");
  pty_.line.twoStopBits = true;  // one job at a time: this one follows
  Write("!");
  EXPECT_EQ(settings_.jobs.size(), 2u);
  Answer(true);
  EXPECT_EQ(links_.sent, "before ");
  ASSERT_EQ(settings_.jobs.size(), 3u);
  EXPECT_FALSE(settings_.jobs[2].sendBaud);
  EXPECT_TRUE(settings_.jobs[2].sendStopBits);
  Answer(true);
  EXPECT_EQ(links_.sent, "before after!");
  EXPECT_EQ(session_->Status().line, "57600/2");
  EXPECT_EQ(session_->Status().lineState, "ok");
}

// A command port that does not answer: the bytes go, the port says so,
// and the change is tried again at a write or tick a second later.
TEST_F(LineSettingsTest, ADeadCommandPortLetsTheBytesGoAndIsTriedAgainLater) {
  OpenConnected();
  pty_.line.baud = 115200;
  Write("a");
  EXPECT_EQ(links_.sent, "");
  Answer(false);
  EXPECT_EQ(links_.sent, "a");
  EXPECT_EQ(session_->Status().lineState, "failed");
  EXPECT_EQ(session_->Status().line, "115200/1");
  Write("b");  // too soon after the failure
  EXPECT_EQ(settings_.jobs.size(), 2u);
  clock_.Advance(1000);
  Write("c");
  ASSERT_EQ(settings_.jobs.size(), 3u);
  EXPECT_EQ(links_.sent, "abc");  // a retry does not hold bytes back
  Answer(false);
  clock_.Advance(1000);
  session_->Tick();
  ASSERT_EQ(settings_.jobs.size(), 4u);
  Answer(true);
  EXPECT_EQ(session_->Status().lineState, "ok");
  EXPECT_EQ(LogLines("not confirmed"), 1u) << Log();
  EXPECT_NE(Log().find("the device took 115200 baud, 1 stop bit after 2 failed settings jobs"),
            std::string::npos)
      << Log();
}

TEST_F(LineSettingsTest, AnUnansweredQuestionHoldsNothingBackAndIsAskedAgainLater) {
  Open();
  Connect();
  Answer(false);
  EXPECT_EQ(session_->Status().lineState, "unknown");
  Write("at once");
  EXPECT_EQ(links_.sent, "at once");
  clock_.Advance(1000);
  Write("!");
  ASSERT_EQ(settings_.jobs.size(), 2u);
  EXPECT_EQ(settings_.jobs[1].kind, SettingsJob::Kind::kAsk);
  Answer(true, LineSettings{38400, false});
  EXPECT_EQ(pty_.line.baud, 38400u);
}

TEST_F(PortSessionTest, AFixedConfigPortNeverTalksToTheCommandPort) {
  Make();  // FixedConfig
  Open();
  Connect();
  pty_.line.baud = 57600;
  Write("z");
  session_->Tick();
  EXPECT_TRUE(settings_.jobs.empty());
  EXPECT_EQ(links_.sent, "z");
  EXPECT_EQ(session_->Status().line, "-");
}

}  // namespace
}  // namespace vonderil
