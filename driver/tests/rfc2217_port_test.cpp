// A port whose server speaks RFC 2217, fed exact orders of events: the
// session over the RFC 2217 link and its in-band settings channel, on fake
// TCP links and a fake clock. The test plays the server byte by byte.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "fake_port_ops.h"
#include "port_session.h"
#include "rfc2217_channel.h"
#include "rfc2217_link.h"

namespace vonderil {
namespace {

using namespace std::string_literals;

// What the client offers at connect: WILL BINARY, SUPPRESS-GO-AHEAD and
// COM-PORT-OPTION, DO BINARY and SUPPRESS-GO-AHEAD.
const std::string kOffers = "\xff\xfb\x00\xff\xfb\x03\xff\xfb\x2c\xff\xfd\x00\xff\xfd\x03"s;
// A server that takes them all.
const std::string kAccept = "\xff\xfd\x2c\xff\xfd\x00\xff\xfb\x00\xff\xfd\x03\xff\xfb\x03"s;
// One that refuses COM-PORT-OPTION and takes the rest.
const std::string kRefuse44 = "\xff\xfe\x2c\xff\xfd\x00\xff\xfb\x00\xff\xfd\x03\xff\xfb\x03"s;
const std::string kSetBaud57600 = "\xff\xfa\x2c\x01\x00\x00\xe1\x00\xff\xf0"s;
const std::string kAckBaud57600 = "\xff\xfa\x2c\x65\x00\x00\xe1\x00\xff\xf0"s;
const std::string kSetOneStop = "\xff\xfa\x2c\x04\x01\xff\xf0"s;
const std::string kAckOneStop = "\xff\xfa\x2c\x68\x01\xff\xf0"s;

MappedPort Mapping() {
  MappedPort m;
  m.comNumber = 5;
  m.address = 127 | 1u << 24;
  m.devicePort = 1;
  m.tcpPort = 10001;
  m.connectTimeoutMs = 2000;
  m.protocol = MappedPort::Protocol::kRfc2217;
  return m;
}

class Rfc2217PortTest : public ::testing::Test {
 protected:
  void SetUp() override { Make(Mapping()); }
  void Make(const MappedPort& mapping) {
    session_.reset();
    const PortLog::Sink log = [this](const std::string& l) { log_.push_back(l); };
    channel_ = std::make_unique<Rfc2217Channel>(
        mapping.comNumber, clock_, log, [this](const SettingsResult& r) { session_->OnSettingsDone(r); });
    maker_ = std::make_unique<Rfc2217LinkMaker>(links_, clock_, *channel_);
    session_ = std::make_unique<PortSession>(mapping, DriverOptions{}, clock_, pty_, *maker_,
                                             channel_.get(), log, PortSession::Hooks{});
    pty_.line = {0, false};  // a fresh pty shows nothing
  }
  void TearDown() override { session_.reset(); }

  void Open() {
    pty_.AppOpens();
    session_->OnOpenNotice();
    clock_.Advance(0);  // the channel's answer to the question
  }
  // The connect succeeds; what the client sent so far is forgotten.
  void Connect() {
    ASSERT_NE(links_.current, nullptr);
    session_->OnLink(kWritable);
    EXPECT_EQ(Sent(), kOffers);
  }
  void ServerSends(const std::string& bytes, bool fin = false) {
    ASSERT_NE(links_.current, nullptr);
    if (bytes.empty() && !fin) return;
    links_.current->incoming.push_back(bytes);
    links_.current->fin = fin;
    session_->OnLink(kReadable | (fin ? kHangUp : 0u));
    clock_.Advance(0);  // results the answers completed
  }
  void OpenAccepted() {
    Open();
    Connect();
    ServerSends(kAccept);
  }
  void Write(const std::string& bytes) {
    pty_.AppWrites(bytes);
    session_->OnMaster(kReadable);
    clock_.Advance(0);
  }
  std::string Sent() { return std::exchange(links_.sent, std::string()); }
  size_t LogLines(const std::string& containing) const {
    size_t n = 0;
    for (const std::string& l : log_) n += l.find(containing) != std::string::npos ? 1 : 0;
    return n;
  }
  PortStatusLine Status() const {
    PortStatusLine s = session_->Status();
    channel_->FillStatus(&s);
    return s;
  }

  FakeClock clock_;
  FakePty pty_;
  FakeLinks links_{clock_};
  std::vector<std::string> log_;
  std::unique_ptr<Rfc2217Channel> channel_;
  std::unique_ptr<Rfc2217LinkMaker> maker_;
  std::unique_ptr<PortSession> session_;
};

TEST_F(Rfc2217PortTest, SettingsMadeBeforeTheConnectGoAheadOfTheDataOnceTheServerAccepts) {
  pty_.line = {57600, false};
  Open();
  Write("data");
  Connect();  // the offers, and nothing else until the server answers 44
  EXPECT_EQ(Sent(), "");
  ServerSends(kAccept);
  EXPECT_EQ(Sent(), kSetBaud57600 + kSetOneStop);
  ServerSends(kAckBaud57600 + kAckOneStop);
  EXPECT_EQ(Sent(), "data");
  const PortStatusLine s = Status();
  EXPECT_EQ(s.protocol, "rfc2217");
  EXPECT_EQ(s.lineState, "ok");
  EXPECT_EQ(s.serverBaud, 57600u);
}

TEST_F(Rfc2217PortTest, Byte255IsDoubledOutAndUndoubledIn) {
  OpenAccepted();
  Write("a\xff" "b");
  EXPECT_EQ(Sent(), "a\xff\xff" "b");
  ServerSends("x\xff\xff" "y");
  EXPECT_EQ(pty_.AppReads(), "x\xff" "y");
}

// Regression guard: a read that brought telnet only must not read as the
// server's close, and no part of a command may reach the application.
TEST_F(Rfc2217PortTest, TelnetSplitAcrossReadsNeverReachesTheApplication) {
  OpenAccepted();
  const std::vector<std::string> pieces = {
      "ab\xff"s, "\xfa"s, "\x2c\x6b"s, "\x30\xff"s, "\xf0" "cd"s,  // NOTIFY-MODEMSTATE 0x30
      "\xff"s, "\xfb"s, "\x01"s,                                  // WILL ECHO, refused
      "\xff\xf1"s,                                                // NOP, alone in its read
      "\xff\xfa\x2c\x6a\x60\xff"s, "\xf0"s, "e"s};               // NOTIFY-LINESTATE 0x60
  for (const std::string& piece : pieces) {
    ServerSends(piece);
    EXPECT_EQ(PortSession::StateName(session_->GetState()), std::string("connected"));
  }
  EXPECT_EQ(pty_.AppReads(), "abcde");
  EXPECT_EQ(Sent(), "\xff\xfe\x01"s);  // DONT ECHO
  EXPECT_EQ(Status().modemBits, 0x30);
  EXPECT_EQ(Status().lineBits, 0x60);
  ServerSends("", true);
  EXPECT_EQ(PortSession::StateName(session_->GetState()), std::string("reconnecting"));
}

// What the server does with a baud change, and what the bytes written after
// it and the port table see.
struct ChangeCase {
  const char* name;
  std::string greeting;    // the server's answer to the offers
  std::string answers;     // its answer to the change, "" for none
  uint64_t waitMs;         // time passes before the answer
  bool heldBeforeAnswer;   // the bytes wait while the change is unanswered
  const char* lineState;
  uint32_t serverBaud;
  const char* logged;      // a line the log holds, once
};

void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.name; }

class ChangeTest : public Rfc2217PortTest, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(ChangeTest, BytesAfterTheChange) {
  const ChangeCase& c = GetParam();
  Open();
  Connect();
  ServerSends(c.greeting);
  Write("before");
  EXPECT_EQ(Sent(), "before");
  pty_.line = {57600, false};
  Write("after");
  const std::string sent = Sent();
  if (c.heldBeforeAnswer) {
    EXPECT_EQ(sent, kSetBaud57600 + kSetOneStop);
    EXPECT_EQ(Status().lineState, "sending");
  } else {
    EXPECT_EQ(sent, "after");
  }
  if (c.waitMs) clock_.Advance(c.waitMs);
  if (!c.answers.empty()) ServerSends(c.answers);
  if (c.heldBeforeAnswer) {
    EXPECT_EQ(Sent(), "after");
  }
  EXPECT_EQ(Status().lineState, c.lineState);
  EXPECT_EQ(Status().line, "57600/1");
  EXPECT_EQ(Status().serverBaud, c.serverBaud);
  if (*c.logged) {
    EXPECT_EQ(LogLines(c.logged), 1u);
  }
  // Nothing more goes for the same settings.
  Write("more");
  EXPECT_EQ(Sent(), "more");
}

INSTANTIATE_TEST_SUITE_P(
    Servers, ChangeTest,
    ::testing::Values(
        ChangeCase{"Acknowledges", kAccept, kAckBaud57600 + kAckOneStop, 0, true, "ok", 57600, ""},
        // The answers come late, one millisecond too late.
        ChangeCase{"NeverAnswers", kAccept, "", Rfc2217Channel::kAckTimeoutMs, true, "unacknowledged",
                   0, "not acknowledged by the server"},
        ChangeCase{"AnswersAfterTheTimeOut", kAccept, kAckBaud57600 + kAckOneStop,
                   Rfc2217Channel::kAckTimeoutMs, true, "unacknowledged", 57600, ""},
        ChangeCase{"RefusesComPortControl", kRefuse44, "", 0, false, "data-only", 0,
                   "does not do RFC 2217 com-port control"}),
    [](const auto& info) { return std::string(info.param.name); });

// Silence at connect: the option counts as refused when the negotiation
// time-out is over, and the bytes held behind the setting go.
TEST_F(Rfc2217PortTest, AServerSilentAtConnectHoldsTheBytesBehindASettingOnlyUntilTheTimeOut) {
  pty_.line = {57600, false};
  Open();
  Connect();
  Write("data");
  EXPECT_EQ(Sent(), "");
  clock_.Advance(Rfc2217Link::kNegotiationMs - 1);
  EXPECT_EQ(Sent(), "");
  clock_.Advance(1);
  EXPECT_EQ(Sent(), "data");
  EXPECT_EQ(Status().lineState, "data-only");
}

TEST_F(Rfc2217PortTest, BaudRateZeroSendsNothing) {
  OpenAccepted();
  pty_.line = {0, false};  // B0: hang up, not a rate
  Write("x");
  EXPECT_EQ(Sent(), "x");
  pty_.line = {0, true};
  Write("y");
  EXPECT_EQ(Sent(), "y");
  EXPECT_EQ(Status().lineState, "ok");
}

struct PurgeCase {
  const char* name;
  bool disablePurge;
  uint32_t flushed;
  std::string sent;
};

void PrintTo(const PurgeCase& c, std::ostream* os) { *os << c.name; }

class PurgeTest : public Rfc2217PortTest, public ::testing::WithParamInterface<PurgeCase> {};

TEST_P(PurgeTest, TheApplicationsFlush) {
  MappedPort m = Mapping();
  m.disablePurge = GetParam().disablePurge;
  Make(m);
  OpenAccepted();
  pty_.AppFlushes(GetParam().flushed);
  Write("z");
  EXPECT_EQ(Sent(), GetParam().sent + "z");
}

INSTANTIATE_TEST_SUITE_P(
    Flushes, PurgeTest,
    ::testing::Values(
        PurgeCase{"Input", false, kFlushedInput, "\xff\xfa\x2c\x0c\x01\xff\xf0"s},
        PurgeCase{"Output", false, kFlushedOutput, "\xff\xfa\x2c\x0c\x02\xff\xf0"s},
        PurgeCase{"Both", false, kFlushedInput | kFlushedOutput, "\xff\xfa\x2c\x0c\x03\xff\xf0"s},
        PurgeCase{"DisablePurge", true, kFlushedInput | kFlushedOutput, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// The session's end drops the slave's unread input itself; that is not the
// application's flush, and the server keeps what it holds.
TEST_F(Rfc2217PortTest, TheEndOfASessionPurgesNothing) {
  OpenAccepted();
  ServerSends("unread");
  pty_.AppCloses();
  session_->OnCloseNotice();
  EXPECT_EQ(Sent(), "");
}

// A new connection takes a new filter: it negotiates again, and the
// settings the last one carried go again before the data.
TEST_F(Rfc2217PortTest, ANewConnectionNegotiatesAndSendsTheSettingsAgain) {
  pty_.line = {57600, false};
  OpenAccepted();
  ServerSends(kAckBaud57600 + kAckOneStop);
  Sent();
  clock_.Advance(PortSession::kSteadyMs);
  ServerSends("", true);  // the server closes; reconnected at once
  Write("next");
  Connect();
  ServerSends(kAccept);
  EXPECT_EQ(Sent(), kSetBaud57600 + kSetOneStop + "next");
  EXPECT_EQ(Status().serverBaud, 0u);  // this server has not answered yet
}

TEST_F(Rfc2217PortTest, BytesTheSocketDidNotTakeGoAtTheNextWritability) {
  Open();
  links_.current->sendRoom = 4;
  session_->OnLink(kWritable);
  EXPECT_EQ(Sent(), kOffers.substr(0, 4));
  EXPECT_TRUE(links_.current->wantWrite);
  links_.current->sendRoom = static_cast<size_t>(-1);
  session_->OnLink(kWritable);
  EXPECT_EQ(Sent(), kOffers.substr(4));
  EXPECT_FALSE(links_.current->wantWrite);
}

}  // namespace
}  // namespace vonderil
