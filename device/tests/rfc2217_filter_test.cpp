// The RFC 2217 client filter, fed exact byte orders: negotiation, IAC
// doubling both ways (also inside subnegotiations), commands split across
// reads, requests and the answers matched to them.
#include "rfc2217_filter.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

namespace tarvik::device {
namespace {

using namespace telnet;
using Kind = Rfc2217Event::Kind;

constexpr int kNop = 241, kGa = 249, kAyt = 246, kDm = 242, kBrk = 243;
constexpr int kEcho = 1, kTerminalType = 24;

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

std::string AllByteValues() {
  std::string s;
  for (int v = 0; v < 256; ++v) s.push_back(static_cast<char>(v));
  return s;
}

// What a server sends for data: IAC doubled.
std::string Escaped(const std::string& data) {
  std::string s;
  for (char c : data) {
    s.push_back(c);
    if (static_cast<uint8_t>(c) == kIac) s.push_back(c);
  }
  return s;
}

std::string Printable(const std::string& bytes) {
  std::string s;
  for (unsigned char c : bytes) {
    if (!s.empty()) s += ' ';
    s += std::to_string(c);
  }
  return s;
}

std::vector<Kind> Kinds(const Rfc2217Output& out) {
  std::vector<Kind> kinds;
  for (const Rfc2217Event& e : out.events) kinds.push_back(e.kind);
  return kinds;
}

// One connection: the filter and what it gave since the last Take().
struct Link {
  Link() {
    filter.Start(&out);
    out.Clear();
  }
  void Net(const std::string& bytes) {
    filter.FromNetwork(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &out);
  }
  void App(const std::string& bytes) {
    filter.FromApplication(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &out);
  }
  // The server agrees to everything offered.
  void Accept() {
    Net(Bytes({kIac, kDo, kBinary, kIac, kDo, kSuppressGoAhead, kIac, kDo, kComPortOption, kIac,
               kWill, kBinary, kIac, kWill, kSuppressGoAhead}));
    out.Clear();
  }
  Rfc2217Filter filter;
  Rfc2217Output out;
};

const std::string kAcceptAll = Bytes({kIac, kDo, kBinary, kIac, kDo, kSuppressGoAhead, kIac, kDo,
                                      kComPortOption, kIac, kWill, kBinary, kIac, kWill,
                                      kSuppressGoAhead});

TEST(Rfc2217Filter, StartOffersComPortBinaryAndSuppressGoAhead) {
  Rfc2217Filter filter;
  Rfc2217Output out;
  filter.Start(&out);
  EXPECT_EQ(Printable(out.network),
            Printable(Bytes({kIac, kWill, kBinary, kIac, kWill, kSuppressGoAhead, kIac, kWill,
                             kComPortOption, kIac, kDo, kBinary, kIac, kDo, kSuppressGoAhead})));
  EXPECT_TRUE(filter.Negotiating());
  EXPECT_EQ(filter.ComPort(), OptionState::kPending);
  out.Clear();
  filter.Start(&out);
  EXPECT_TRUE(out.network.empty()) << "a second start offers nothing again";
}

struct NegotiationRow {
  const char* name;
  std::string server;
  std::string reply;
  OptionState comPort;
  std::vector<Kind> events;
};
void PrintTo(const NegotiationRow& row, std::ostream* os) { *os << row.name; }


class Negotiation : public ::testing::TestWithParam<NegotiationRow> {};

TEST_P(Negotiation, AnswersAsTheOptionRulesSay) {
  Link link;
  link.Net(GetParam().server);
  EXPECT_EQ(Printable(link.out.network), Printable(GetParam().reply));
  EXPECT_EQ(link.filter.ComPort(), GetParam().comPort);
  EXPECT_EQ(Kinds(link.out), GetParam().events);
  EXPECT_TRUE(link.out.application.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Negotiation,
    ::testing::Values(
        NegotiationRow{"ServerAcceptsEverything", kAcceptAll, "", OptionState::kOn,
                       {Kind::kComPortAccepted, Kind::kNegotiated}},
        NegotiationRow{"ServerRefusesComPort",
                       Bytes({kIac, kDont, kComPortOption, kIac, kDo, kBinary, kIac, kDo,
                              kSuppressGoAhead, kIac, kWill, kBinary, kIac, kWill,
                              kSuppressGoAhead}),
                       "", OptionState::kOff, {Kind::kComPortRefused, Kind::kNegotiated}},
        NegotiationRow{"UnknownOptionOfferedIsRefused", Bytes({kIac, kWill, kEcho}),
                       Bytes({kIac, kDont, kEcho}), OptionState::kPending, {}},
        NegotiationRow{"UnknownOptionAskedForIsRefused", Bytes({kIac, kDo, kTerminalType}),
                       Bytes({kIac, kWont, kTerminalType}), OptionState::kPending, {}},
        NegotiationRow{"ServerOfferingComPortItselfIsRefused",
                       Bytes({kIac, kWill, kComPortOption}),
                       Bytes({kIac, kDont, kComPortOption}), OptionState::kPending, {}},
        NegotiationRow{"AnAcceptRepeatedIsNotAnsweredSoNoLoop",
                       Bytes({kIac, kDo, kComPortOption, kIac, kDo, kComPortOption}), "",
                       OptionState::kOn, {Kind::kComPortAccepted}},
        NegotiationRow{"ComPortWithdrawnLaterIsConfirmed",
                       Bytes({kIac, kDo, kComPortOption, kIac, kDont, kComPortOption}),
                       Bytes({kIac, kWont, kComPortOption}), OptionState::kOff,
                       {Kind::kComPortAccepted, Kind::kComPortRefused}},
        NegotiationRow{"BinaryWithdrawnLaterIsConfirmed",
                       Bytes({kIac, kWill, kBinary, kIac, kWont, kBinary}),
                       Bytes({kIac, kDont, kBinary}), OptionState::kPending, {}},
        NegotiationRow{"AWithdrawalOfSomethingNeverOnIsNotAnswered",
                       Bytes({kIac, kWont, kEcho, kIac, kDont, kTerminalType}), "",
                       OptionState::kPending, {}}),
    [](const ::testing::TestParamInfo<NegotiationRow>& info) { return std::string(info.param.name); });

TEST(Rfc2217Filter, EveryByteValueGoesThroughBothWaysAlone) {
  Link link;
  link.Accept();
  for (int v = 0; v < 256; ++v) {
    SCOPED_TRACE("byte " + std::to_string(v));
    const std::string one = Bytes({v});
    link.App(one);
    EXPECT_EQ(Printable(link.out.network), Printable(v == kIac ? Bytes({kIac, kIac}) : one));
    link.Net(Escaped(one));
    EXPECT_EQ(Printable(link.out.application), Printable(one));
    EXPECT_TRUE(link.out.events.empty());
    link.out.Clear();
  }
}

TEST(Rfc2217Filter, EveryByteValueGoesThroughBothWaysInOneRun) {
  const std::string all = AllByteValues() + AllByteValues();
  for (bool accepted : {true, false}) {
    SCOPED_TRACE(accepted ? "option 44 accepted" : "option 44 refused");
    Link link;
    if (accepted) {
      link.Accept();
    } else {
      link.Net(Bytes({kIac, kDont, kComPortOption}));
      link.out.Clear();
    }
    link.App(all);
    EXPECT_EQ(link.out.network, Escaped(all));
    link.Net(Escaped(all));
    EXPECT_EQ(link.out.application, all);
  }
}

struct SplitRow {
  const char* name;
  std::string server;
  std::string application;
  std::vector<Kind> events;
};
void PrintTo(const SplitRow& row, std::ostream* os) { *os << row.name; }


class SplitAcrossReads : public ::testing::TestWithParam<SplitRow> {};

// However the transport cuts the server's bytes, the filter gives the same.
TEST_P(SplitAcrossReads, GivesTheSameAsOneRead) {
  const std::string& bytes = GetParam().server;
  std::vector<std::vector<size_t>> cuts;
  for (size_t at = 0; at <= bytes.size(); ++at) cuts.push_back({at});
  std::vector<size_t> everyByte;
  for (size_t at = 1; at < bytes.size(); ++at) everyByte.push_back(at);
  cuts.push_back(everyByte);
  for (const std::vector<size_t>& cut : cuts) {
    SCOPED_TRACE("cut at " + Printable(std::string(cut.begin(), cut.end())));
    Link link;
    link.Accept();
    size_t from = 0;
    for (size_t at : cut) {
      link.Net(bytes.substr(from, at - from));
      from = at;
    }
    link.Net(bytes.substr(from));
    EXPECT_EQ(Printable(link.out.application), Printable(GetParam().application));
    EXPECT_EQ(Kinds(link.out), GetParam().events);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SplitAcrossReads,
    ::testing::Values(
        SplitRow{"DoubledIacInData", Bytes({'a', kIac, kIac, 'b', kIac, kIac}),
                 Bytes({'a', kIac, 'b', kIac}), {}},
        SplitRow{"CommandBetweenData", Bytes({'x', kIac, kNop, 'y', kIac, kGa, 'z'}), "xyz", {}},
        SplitRow{"OptionCommand", Bytes({'x', kIac, kWill, kEcho, 'y'}), "xy", {}},
        // 131071 baud is 00 01 FF FF: both 255 bytes come doubled.
        SplitRow{"BaudRateWithTwo255Bytes",
                 Bytes({'p', kIac, kSb, kComPortOption, 101, 0x00, 0x01, kIac, kIac, kIac, kIac,
                        kIac, kSe, 'q'}),
                 "pq", {Kind::kNotice}},
        SplitRow{"ModemStateOf255",
                 Bytes({kIac, kSb, kComPortOption, 107, kIac, kIac, kIac, kSe, kIac, kIac}),
                 Bytes({kIac}), {Kind::kModemState}}),
    [](const ::testing::TestParamInfo<SplitRow>& info) { return std::string(info.param.name); });

TEST(Rfc2217Filter, ABaudRateHolding255IsReadWhole) {
  Link link;
  link.Accept();
  link.Net(Bytes({kIac, kSb, kComPortOption, 101, 0x00, 0x01, kIac, kIac, kIac, kIac, kIac, kSe}));
  EXPECT_EQ(link.filter.Reported().baudRate, 131071u);
}

struct RequestRow {
  const char* name;
  RequestResult (*make)(Rfc2217Filter*, Rfc2217Output*);
  std::string network;
};
void PrintTo(const RequestRow& row, std::ostream* os) { *os << row.name; }


class Requests : public ::testing::TestWithParam<RequestRow> {};

TEST_P(Requests, GoOutAsOneSubnegotiation) {
  Link link;
  link.Accept();
  EXPECT_EQ(GetParam().make(&link.filter, &link.out), RequestResult::kSent);
  EXPECT_EQ(Printable(link.out.network), Printable(GetParam().network));
  EXPECT_EQ(link.filter.PendingRequests(), 1u);
}

std::string Sb(std::initializer_list<int> body) {
  return Bytes({kIac, kSb, kComPortOption}) + Bytes(body) + Bytes({kIac, kSe});
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Requests,
    ::testing::Values(
        RequestRow{"Baud57600",
                   [](Rfc2217Filter* f, Rfc2217Output* o) { return f->SetBaudRate(57600, o); },
                   Sb({1, 0x00, 0x00, 0xE1, 0x00})},
        RequestRow{"Baud65535Doubles255",
                   [](Rfc2217Filter* f, Rfc2217Output* o) { return f->SetBaudRate(65535, o); },
                   Sb({1, 0x00, 0x00, kIac, kIac, kIac, kIac})},
        RequestRow{"DataSize7",
                   [](Rfc2217Filter* f, Rfc2217Output* o) { return f->SetDataSize(7, o); },
                   Sb({2, 7})},
        RequestRow{"ParityEven",
                   [](Rfc2217Filter* f, Rfc2217Output* o) { return f->SetParity(Parity::kEven, o); },
                   Sb({3, 3})},
        RequestRow{"StopSizeTwo",
                   [](Rfc2217Filter* f, Rfc2217Output* o) { return f->SetStopSize(StopSize::kTwo, o); },
                   Sb({4, 2})},
        RequestRow{"ControlHardwareFlow",
                   [](Rfc2217Filter* f, Rfc2217Output* o) { return f->SetControl(3, o); },
                   Sb({5, 3})},
        RequestRow{"PurgeBoth",
                   [](Rfc2217Filter* f, Rfc2217Output* o) { return f->Purge(PurgeTarget::kBoth, o); },
                   Sb({12, 3})},
        RequestRow{"QueryBaudRate",
                   [](Rfc2217Filter* f, Rfc2217Output* o) {
                     return f->Query(ComPortCommand::kSetBaudRate, o);
                   },
                   Sb({1, 0, 0, 0, 0})},
        RequestRow{"QueryParity",
                   [](Rfc2217Filter* f, Rfc2217Output* o) {
                     return f->Query(ComPortCommand::kSetParity, o);
                   },
                   Sb({3, 0})}),
    [](const ::testing::TestParamInfo<RequestRow>& info) { return std::string(info.param.name); });

TEST(Rfc2217Filter, ValuesThatMeanQueriesOrNothingAreNotSent) {
  Link link;
  link.Accept();
  EXPECT_EQ(link.filter.SetBaudRate(0, &link.out), RequestResult::kInvalid) << "0 asks the rate";
  EXPECT_EQ(link.filter.SetDataSize(0, &link.out), RequestResult::kInvalid);
  EXPECT_EQ(link.filter.SetDataSize(4, &link.out), RequestResult::kInvalid);
  EXPECT_EQ(link.filter.SetDataSize(9, &link.out), RequestResult::kInvalid);
  EXPECT_EQ(link.filter.SetParity(static_cast<Parity>(0), &link.out), RequestResult::kInvalid);
  EXPECT_EQ(link.filter.SetStopSize(static_cast<StopSize>(4), &link.out), RequestResult::kInvalid);
  EXPECT_EQ(link.filter.Purge(static_cast<PurgeTarget>(0), &link.out), RequestResult::kInvalid);
  EXPECT_TRUE(link.out.network.empty());
  EXPECT_EQ(link.filter.PendingRequests(), 0u);
}

TEST(Rfc2217Filter, AnswersAreMatchedToTheOldestRequestOfTheirCommand) {
  Link link;
  link.Accept();
  link.filter.SetBaudRate(57600, &link.out);
  link.filter.SetStopSize(StopSize::kTwo, &link.out);
  link.filter.SetBaudRate(250000, &link.out);
  EXPECT_EQ(link.filter.PendingRequests(), 3u);
  link.out.Clear();
  // The stop size first, then both rates; the server has no 250000 and
  // says what it set instead.
  link.Net(Sb({104, 2}) + Sb({101, 0x00, 0x00, 0xE1, 0x00}) + Sb({101, 0x00, 0x03, 0x84, 0x00}));
  ASSERT_EQ(link.out.events.size(), 3u);
  const Rfc2217Event& stop = link.out.events[0];
  EXPECT_EQ(stop.kind, Kind::kAcknowledged);
  EXPECT_EQ(stop.command, ComPortCommand::kSetStopSize);
  EXPECT_EQ(stop.value, 2u);
  const Rfc2217Event& first = link.out.events[1];
  EXPECT_EQ(first.command, ComPortCommand::kSetBaudRate);
  EXPECT_EQ(first.requested, 57600u);
  EXPECT_EQ(first.value, 57600u);
  const Rfc2217Event& second = link.out.events[2];
  EXPECT_EQ(second.kind, Kind::kAcknowledged);
  EXPECT_EQ(second.requested, 250000u);
  EXPECT_EQ(second.value, 230400u);
  EXPECT_EQ(link.filter.PendingRequests(), 0u);
  EXPECT_EQ(link.filter.Reported().baudRate, 230400u);
  EXPECT_EQ(link.filter.Reported().stopSize, 2u);

  link.out.Clear();
  link.Net(Sb({101, 0x00, 0x00, 0x25, 0x80}));
  ASSERT_EQ(Kinds(link.out), (std::vector<Kind>{Kind::kNotice}));
  EXPECT_EQ(link.out.events[0].value, 9600u);
}

TEST(Rfc2217Filter, AQueryIsAnsweredWithWhatTheServerHasAndOnlyLineSettingsCanBeAsked) {
  Link link;
  link.Accept();
  EXPECT_EQ(link.filter.Query(ComPortCommand::kPurgeData, &link.out), RequestResult::kInvalid);
  EXPECT_EQ(link.filter.Query(ComPortCommand::kSetControl, &link.out), RequestResult::kInvalid);
  EXPECT_TRUE(link.out.network.empty());
  ASSERT_EQ(link.filter.Query(ComPortCommand::kSetDataSize, &link.out), RequestResult::kSent);
  link.out.Clear();
  link.Net(Sb({102, 7}));
  ASSERT_EQ(Kinds(link.out), (std::vector<Kind>{Kind::kAcknowledged}));
  EXPECT_EQ(link.out.events[0].requested, 0u);
  EXPECT_EQ(link.out.events[0].value, 7u);
  EXPECT_EQ(link.filter.PendingRequests(), 0u);
  EXPECT_EQ(link.filter.Reported().dataSize, 7u);
}

TEST(Rfc2217Filter, AfterAForgottenWaitALateAnswerIsANotice) {
  Link link;
  link.Accept();
  link.filter.SetControl(1, &link.out);
  link.filter.ForgetPendingRequests();
  EXPECT_EQ(link.filter.PendingRequests(), 0u);
  link.out.Clear();
  link.Net(Sb({105, 1}));
  EXPECT_EQ(Kinds(link.out), (std::vector<Kind>{Kind::kNotice}));
}

TEST(Rfc2217Filter, RequestsMadeBeforeTheAnswerWaitAndKeepTheirPlaceBeforeLaterData) {
  Link link;
  EXPECT_EQ(link.filter.SetBaudRate(57600, &link.out), RequestResult::kQueued);
  link.App("abc");
  EXPECT_EQ(link.filter.SetStopSize(StopSize::kTwo, &link.out), RequestResult::kQueued);
  link.App(Bytes({kIac}));
  EXPECT_TRUE(link.out.network.empty()) << "nothing may overtake the waiting request";
  EXPECT_EQ(link.filter.PendingRequests(), 2u);
  link.Net(Bytes({kIac, kDo, kComPortOption}));
  EXPECT_EQ(Printable(link.out.network),
            Printable(Sb({1, 0x00, 0x00, 0xE1, 0x00}) + "abc" + Sb({4, 2}) + Bytes({kIac, kIac})));
  EXPECT_EQ(link.filter.PendingRequests(), 2u);
  link.out.Clear();
  link.App("d");
  EXPECT_EQ(link.out.network, "d");
}

TEST(Rfc2217Filter, ARefusedComPortDropsTheWaitingRequestsAndStillCarriesTheData) {
  Link link;
  link.filter.SetBaudRate(57600, &link.out);
  link.App("abc");
  link.Net(Bytes({kIac, kDont, kComPortOption}));
  EXPECT_EQ(link.out.network, "abc");
  ASSERT_EQ(Kinds(link.out), (std::vector<Kind>{Kind::kComPortRefused, Kind::kRequestDropped}));
  EXPECT_EQ(link.out.events[1].requested, 57600u);
  EXPECT_EQ(link.filter.PendingRequests(), 0u);
  link.out.Clear();
  EXPECT_EQ(link.filter.SetBaudRate(9600, &link.out), RequestResult::kNotAvailable);
  EXPECT_TRUE(link.out.network.empty());
}

TEST(Rfc2217Filter, AServerThatNeverAnswersLeavesDataUnchangedAfterTheTimeOut) {
  Link link;
  link.filter.SetBaudRate(57600, &link.out);
  link.App("a\rb");
  link.filter.NegotiationTimedOut(&link.out);
  EXPECT_EQ(link.out.network, "a\rb");
  EXPECT_EQ(Kinds(link.out), (std::vector<Kind>{Kind::kComPortRefused, Kind::kRequestDropped,
                                                Kind::kNegotiated}));
  EXPECT_EQ(link.filter.BinaryToServer(), OptionState::kOn);
  EXPECT_FALSE(link.filter.Negotiating());
  link.out.Clear();
  link.Net("c\r");
  link.Net(Bytes({0}));
  EXPECT_EQ(link.out.application, Bytes({'c', '\r', 0}));
}

struct CommandRow {
  const char* name;
  std::string server;
  std::vector<Kind> events;
};
void PrintTo(const CommandRow& row, std::ostream* os) { *os << row.name; }


class CommandsFromTheServer : public ::testing::TestWithParam<CommandRow> {};

TEST_P(CommandsFromTheServer, NeverReachTheApplication) {
  Link link;
  link.Accept();
  link.Net("<" + GetParam().server + ">");
  EXPECT_EQ(Printable(link.out.application), Printable("<>"));
  EXPECT_EQ(Kinds(link.out), GetParam().events);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CommandsFromTheServer,
    ::testing::Values(
        CommandRow{"NoOperation", Bytes({kIac, kNop}), {}},
        CommandRow{"GoAhead", Bytes({kIac, kGa}), {}},
        CommandRow{"AreYouThere", Bytes({kIac, kAyt}), {}},
        CommandRow{"DataMark", Bytes({kIac, kDm}), {}},
        CommandRow{"Break", Bytes({kIac, kBrk}), {}},
        CommandRow{"SubnegotiationOfAnotherOption",
                   Bytes({kIac, kSb, kTerminalType, 1, kIac, kIac, kIac, kSe}), {}},
        CommandRow{"LineState", Sb({106, 0x60}), {Kind::kLineState}},
        CommandRow{"FlowSuspendAndResume", Sb({108}) + Sb({109}),
                   {Kind::kFlowSuspend, Kind::kFlowResume}},
        CommandRow{"AnswerOfTheWrongLength", Sb({101, 0, 0, 1}), {}},
        CommandRow{"AClientsCommand", Sb({1, 0, 0, 0x25, 0x80}), {}},
        CommandRow{"SubnegotiationBrokenOffByACommand",
                   Bytes({kIac, kSb, kComPortOption, 106, 0x10, kIac, kNop}), {Kind::kLineState}},
        CommandRow{"OverlongSubnegotiation",
                   Bytes({kIac, kSb, kComPortOption, 100}) + std::string(600, 'x') +
                       Bytes({kIac, kSe}),
                   {}}),
    [](const ::testing::TestParamInfo<CommandRow>& info) { return std::string(info.param.name); });

TEST(Rfc2217Filter, LineAndModemStatesAreKept) {
  Link link;
  link.Accept();
  link.Net(Sb({106, 0x60}) + Sb({107, kIac, kIac}));
  ASSERT_EQ(link.out.events.size(), 2u);
  EXPECT_EQ(link.out.events[0].value, 0x60u);
  EXPECT_EQ(link.out.events[1].value, 255u);
  EXPECT_TRUE(link.filter.Reported().lineStateSeen);
  EXPECT_EQ(link.filter.Reported().modemState, 255);
}

TEST(Rfc2217Filter, AServerAskingForTheSignatureGetsIt) {
  Link link;
  link.Accept();
  link.Net(Sb({100}));
  EXPECT_EQ(link.out.network, Sb({0}).insert(4, "Tarvik"));
  link.out.Clear();
  link.Net(Sb({100, 'S', '2', 'N'}));
  EXPECT_TRUE(link.out.network.empty()) << "the server's own signature is not answered";
}

// A server that refuses binary speaks the network virtual terminal: a lone
// CR travels as CR NUL both ways.
TEST(Rfc2217Filter, WithoutBinaryALoneCrTravelsAsCrNul) {
  Link link;
  link.Net(Bytes({kIac, kDont, kBinary, kIac, kWont, kBinary, kIac, kDo, kComPortOption}));
  EXPECT_EQ(link.filter.BinaryToServer(), OptionState::kOff);
  EXPECT_EQ(link.filter.BinaryFromServer(), OptionState::kOff);
  link.out.Clear();
  link.App(Bytes({'a', '\r', 'b', '\r', '\n', kIac}));
  EXPECT_EQ(Printable(link.out.network), Printable(Bytes({'a', '\r', 0, 'b', '\r', 0, '\n', kIac, kIac})));
  link.Net(Bytes({'c', '\r'}));
  link.Net(Bytes({0, 'd', '\r', '\n', 0}));
  EXPECT_EQ(Printable(link.out.application), Printable(Bytes({'c', '\r', 'd', '\r', '\n', 0})));
}

}  // namespace
}  // namespace tarvik::device
