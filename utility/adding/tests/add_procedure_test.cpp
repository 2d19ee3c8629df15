#include "add_procedure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "address_range.h"
#include "app_state.h"
#include "name_fetch.h"
#include "server_store.h"
#include "tarvik/registry.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"
#include "temp_root.h"

namespace {

using tarvik::kIdCancel;
using tarvik::kIdOk;

// The front end: answers the dialog with scripted choices and records what
// the user would see.
class ScriptedHost : public AddServersHost {
 public:
  bool StoreSet() override {
    if (!storeReady) return false;
    tarvik::app::StoreConfigSet(App().config);
    return true;
  }
  void ReloadSet() override {
    ++reloads;
    tarvik::app::LoadConfigSet(App().config, nullptr);
  }
  bool ChooseOptions(const FreeComList& freeComs, AddServersChoices* c) override {
    offered = freeComs;
    defaults = *c;
    if (!accept) return false;
    edit(*c);
    if (beforeWalk) beforeWalk();
    return CheckAddServersChoices(c) == nullptr;
  }
  bool ConfirmLongWalk(uint64_t addresses) override {
    confirmed.push_back(addresses);
    return confirmLongWalk;
  }
  void EnableCommands(bool on) override { commandStates.push_back(on); }
  void SetStatus(const char* text) override { statuses.push_back(text); }
  int Message(const char* text, unsigned flags) override {
    messages.push_back(text);
    flagsShown.push_back(flags);
    if (answers.empty()) return kIdOk;
    int answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  }
  void Skipped(uint32_t a, SkipReason reason) override { skipped[DottedHostOrder(a)] = reason; }
  void Added(uint32_t index, const ServerRecord&, uint32_t unmapped) override {
    added.push_back({index, unmapped});
  }

  bool StopRequested() override { return stopAfter >= 0 && ++stopsAsked > stopAfter; }

  bool storeReady = true;
  int stopAfter = -1;  // -1: never
  int stopsAsked = 0;
  bool accept = true;
  bool confirmLongWalk = true;
  std::function<void(AddServersChoices&)> edit = [](AddServersChoices&) {};
  std::function<void()> beforeWalk;
  std::vector<int> answers;
  FreeComList offered;
  AddServersChoices defaults;
  std::vector<uint64_t> confirmed;
  std::vector<bool> commandStates;
  std::vector<std::string> statuses;
  std::vector<std::string> messages;
  std::vector<unsigned> flagsShown;
  std::map<std::string, SkipReason> skipped;
  std::vector<std::pair<uint32_t, uint32_t>> added;  // index, unmapped
  int reloads = 0;
};

// Devices by address; an address not listed does not answer.
class TableNameFetch : public NameFetch {
 public:
  void Plan(const FetchPlan& p) override { plan = p; }
  NameFetchResult Fetch(const std::string& address, uint32_t port, uint32_t timeoutMs) override {
    asked.push_back(address);
    lastPort = port;
    lastTimeout = timeoutMs;
    NameFetchResult r;
    if (plan.progress) plan.progress(asked.size(), 0);
    if (address == interruptAt) {
      r.interrupted = true;
      return r;
    }
    auto it = names.find(address);
    if (it != names.end()) {
      r.ok = true;
      r.name = it->second;
    }
    return r;
  }
  std::map<std::string, std::string> names;
  std::string interruptAt;
  FetchPlan plan;
  std::vector<std::string> asked;
  uint32_t lastPort = 0, lastTimeout = 0;
};

class AddProcedureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAppState();
    tarvik::RegKey services;
    ASSERT_EQ(services.Create(TKC_SERVICES_KEY), tarvik::kErrorSuccess);
    services.Close();
    ASSERT_EQ(Tkc_RegCheckCreateServiceKey(), TKC_OK);
    App().config.SizeStamp = TKC_SET_SIZE;
    App().config.Flags = TKC_FLAGS_FORMAT_MARKER;
    App().ui.chkSvr = App().ui.chkDup = 1;
    App().ui.maxVcom = 512;
    App().devicePort = 10000;  // as the main window starts
    tarvik::CopyText(App().deviceAddress, "192.168.255.1");
  }

  // Other serial ports of the machine.
  void OtherSerialPorts(std::initializer_list<int> coms) {
    tarvik::RegKey key;
    ASSERT_EQ(key.Create(TKC_SERIALCOMM_KEY), tarvik::kErrorSuccess);
    int n = 0;
    for (int com : coms) {
      std::string value = "COM" + std::to_string(com);
      key.SetString("\\Device\\Other" + std::to_string(n++), value.c_str());
    }
  }
  AddServersOutcome Run(std::function<void(AddServersChoices&)> edit) {
    host.edit = std::move(edit);
    return RunAddServersProcedure(App(), host, fetch);
  }

  const ServerRecord& Server(int i) { return App().config.Records[i]; }
  uint32_t Com(int server, int entry) { return TkcComNumber(Server(server).PortMap[entry].Com); }
  uint32_t StoredCount(const char* name) {
    uint32_t servers = 0, ports = 0;
    Tkc_RegReadServersAndPorts(&servers, &ports);
    return std::string(name) == "Servers" ? servers : ports;
  }

  tarvik::TempStateRoot root;
  ScriptedHost host;
  TableNameFetch fetch;
};

// A range typed by hand, with every device of it answering "Q410X2".
void Range(AddServersChoices& c, const char* first, const char* last) {
  c.rangeStart = first;
  c.rangeEnd = last;
  c.getNameAutomatically = false;
  c.serverName = "Q410X2";
}

struct EndOctetCase {
  const char* name;
  bool gateway;
  std::vector<std::string> added;
  std::vector<std::pair<std::string, SkipReason>> skipped;
};

class EndOctetTest : public AddProcedureTest,
                     public ::testing::WithParamInterface<EndOctetCase> {};

TEST_P(EndOctetTest, WalksTheTopOfARangeInOrder) {
  const EndOctetCase& p = GetParam();
  AddServersOutcome out = Run([&](AddServersChoices& c) {
    Range(c, "192.168.1.250", "192.168.1.255");
    c.includeGateway = p.gateway;
  });
  EXPECT_FALSE(out.Failed());
  ASSERT_EQ(App().config.Servers, p.added.size());
  for (size_t i = 0; i < p.added.size(); ++i)
    EXPECT_EQ(DottedHostOrder(HostOrderAddress(Server(i).IPAddress)), p.added[i]);
  for (const auto& [address, reason] : p.skipped) EXPECT_EQ(host.skipped.at(address), reason);
  EXPECT_EQ(host.skipped.size(), p.skipped.size());
}

INSTANTIATE_TEST_SUITE_P(
    Defaults, EndOctetTest,
    ::testing::Values(
        EndOctetCase{"gateway_included",
                     true,
                     {"192.168.1.250", "192.168.1.251", "192.168.1.252", "192.168.1.253",
                      "192.168.1.254"},
                     {{"192.168.1.255", SkipReason::kBroadcast}}},
        EndOctetCase{"gateway_left_out",
                     false,
                     {"192.168.1.250", "192.168.1.251", "192.168.1.252", "192.168.1.253"},
                     {{"192.168.1.254", SkipReason::kGateway},
                      {"192.168.1.255", SkipReason::kBroadcast}}}),
    [](const auto& info) { return std::string(info.param.name); });

// Ranges that add nothing still finish: counts written, restart pending,
// reload, commands back on.
TEST_F(AddProcedureTest, EmptyRangesStillFinish) {
  const std::pair<const char*, const char*> ranges[] = {
      {"10.0.0.9", "10.0.0.1"},        // start after end
      {"10.0.0.1", "not an address"},  // end reads as 0.0.0.0
  };
  for (const auto& [first, last] : ranges) {
    App().restartPending = false;
    host.commandStates.clear();
    ASSERT_EQ(Tkc_RegWriteServersAndPorts(7, 9), TKC_OK);  // stale counts
    AddServersOutcome out = Run([&](AddServersChoices& c) { Range(c, first, last); });
    EXPECT_FALSE(out.Failed()) << first << ".." << last;
    ASSERT_TRUE(out.dialogAccepted) << first << ".." << last;
    EXPECT_EQ(App().config.Servers, 0u);
    EXPECT_EQ(StoredCount("Servers"), 0u);
    EXPECT_TRUE(App().restartPending);
    EXPECT_EQ(host.commandStates, (std::vector<bool>{false, true}));
    EXPECT_EQ(host.statuses.back(), "Status: OK");
  }
}

TEST_F(AddProcedureTest, CancelledDialogChangesNothingButTheStore) {
  host.accept = false;
  AddServersOutcome out = Run(nullptr);
  EXPECT_FALSE(out.dialogAccepted);
  EXPECT_FALSE(App().restartPending);
  EXPECT_TRUE(host.commandStates.empty());
  EXPECT_EQ(host.reloads, 0);
}

TEST_F(AddProcedureTest, DefaultsComeFromTheCurrentDevice) {
  tarvik::CopyText(App().deviceAddress, "10.1.2.3");
  tarvik::CopyText(App().deviceName, "Q410X4");
  App().devicePort = 4001;
  App().ui.chkSvr = 0;
  host.accept = false;
  Run(nullptr);
  EXPECT_EQ(host.defaults.rangeStart, "10.1.2.3");
  EXPECT_EQ(host.defaults.rangeEnd, "10.1.2.3");
  EXPECT_EQ(host.defaults.serverName, "Q410X4");
  EXPECT_EQ(host.defaults.commandPort, 4001);
  EXPECT_FALSE(host.defaults.getNameAutomatically);
  EXPECT_TRUE(host.defaults.skipDuplicates);
  EXPECT_EQ(host.defaults.ioPort, 9999);
  EXPECT_EQ(host.defaults.keepAliveSeconds, 120);
  EXPECT_EQ(host.defaults.connectionBrokenSeconds, 180);
  EXPECT_EQ(host.defaults.connectTimeoutSeconds, 5);
}

TEST_F(AddProcedureTest, UnMapGivesEveryEntryComZero) {
  Run([](AddServersChoices& c) {
    Range(c, "10.0.0.1", "10.0.0.2");
    c.mapIoPort = true;
    c.firstComIndex = -1;
  });
  ASSERT_EQ(App().config.Servers, 2u);
  for (int s = 0; s < 2; ++s)
    for (int e = 0; e < TKC_PORTMAP_ENTRIES; ++e) EXPECT_EQ(Com(s, e), 0u) << s << "/" << e;
}

TEST_F(AddProcedureTest, ComNumbersRunOnThroughTheFreeListAcrossServers) {
  // At the top of the range only 4090, 4091 and 4094 are free.
  OtherSerialPorts({4092, 4093, 4095});
  AddServersOutcome out = Run([](AddServersChoices& c) {
    Range(c, "10.0.0.1", "10.0.0.3");
    c.firstComIndex = 4089;  // COM4090, after COM1..COM4089
  });
  EXPECT_EQ(std::vector<uint16_t>(host.offered.begin() + 4089, host.offered.end()),
            (std::vector<uint16_t>{4090, 4091, 4094}));
  ASSERT_EQ(App().config.Servers, 2u);
  EXPECT_EQ(Com(0, 2), 4090u);
  EXPECT_EQ(Com(0, 3), 4091u);
  EXPECT_EQ(Com(1, 2), 4094u);
  EXPECT_EQ(Com(1, 3), 0u);  // the list ran out within the second server, which is kept
  EXPECT_EQ(out.stop, AddStop::kComsUsedUp);
  EXPECT_TRUE(out.Failed());
}

TEST_F(AddProcedureTest, NumbersOfOtherPortsAndOfOurOwnAreNeverGivenTwice) {
  // A server already stored takes COM3 and COM4; another port of the
  // machine holds COM5.
  Run([](AddServersChoices& c) {
    Range(c, "10.0.0.1", "10.0.0.1");
    c.firstComIndex = 2;  // COM3
  });
  ASSERT_EQ(Com(0, 2), 3u);
  OtherSerialPorts({5});
  Run([](AddServersChoices& c) {
    Range(c, "10.0.0.2", "10.0.0.3");
    c.firstComIndex = 0;
  });
  ASSERT_EQ(App().config.Servers, 3u);
  std::vector<uint32_t> given = {Com(0, 2), Com(0, 3), Com(1, 2), Com(1, 3), Com(2, 2), Com(2, 3)};
  EXPECT_EQ(given, (std::vector<uint32_t>{3, 4, 1, 2, 6, 7}));
}

// As another process does: a "Q410X2" at address as the store's first
// server, its two ports on firstCom and the number after (0: unmapped).
void AnotherProcessAdds(const char* address, uint32_t firstCom) {
  ServerRecord other{};
  tarvik::CopyText(other.ServerName, "Q410X2");
  EXPECT_EQ(Tkc_ParseServerInfo(&other, kServerRecordSize), TKC_OK);
  other.IPAddress = StoreOrderAddress(RangeAddress(address));
  other.TcpPortCmd = 10000;
  other.TcpPort7000 = 9999;
  if (firstCom != 0) {
    other.PortMap[2].Com = TkcComSetNumber(other.PortMap[2].Com, firstCom);
    other.PortMap[3].Com = TkcComSetNumber(other.PortMap[3].Com, firstCom + 1);
  }
  EXPECT_EQ(Tkc_RegWriteOneServer(0, &other, kServerRecordSize), TKC_OK);
  EXPECT_EQ(Tkc_RegWriteServersAndPorts(1, 3), TKC_OK);
}

// Another process adds a server on COM1/COM2 after the walk's set and
// free list were made (the dialog had chosen COM1): it keeps its index and
// its numbers, and ours goes after it.
TEST_F(AddProcedureTest, ServersWrittenElsewhereDuringTheWalkAreKeptAndTheirComsAvoided) {
  host.beforeWalk = [] { AnotherProcessAdds("10.9.9.9", 1); };
  Run([](AddServersChoices& c) {
    Range(c, "10.0.0.1", "10.0.0.2");
    c.firstComIndex = 0;  // COM1 when the list was made
  });
  ASSERT_EQ(App().config.Servers, 3u);
  EXPECT_EQ(DottedHostOrder(HostOrderAddress(Server(0).IPAddress)), "10.9.9.9");
  EXPECT_EQ(Com(0, 2), 1u);
  EXPECT_EQ(Com(1, 2), 3u);
  EXPECT_EQ(Com(1, 3), 4u);
  EXPECT_EQ(Com(2, 2), 5u);
  EXPECT_EQ(StoredCount("Servers"), 3u);
  EXPECT_EQ(StoredCount("Ports"), 9u);
}

// The same address added by another process meanwhile is a duplicate too.
TEST_F(AddProcedureTest, AnAddressAnotherProcessAddedMeanwhileIsSkippedAsADuplicate) {
  host.beforeWalk = [] { AnotherProcessAdds("10.0.0.2", 0); };
  Run([](AddServersChoices& c) { Range(c, "10.0.0.1", "10.0.0.3"); });
  EXPECT_EQ(host.messages, std::vector<std::string>{"Skip duplicated IP:10.0.0.2"});
  EXPECT_EQ(host.skipped.at("10.0.0.2"), SkipReason::kDuplicate);
  EXPECT_EQ(App().config.Servers, 3u);
}

TEST_F(AddProcedureTest, DuplicatesAreSkippedWithOneWarningEach) {
  Run([](AddServersChoices& c) { Range(c, "10.0.0.2", "10.0.0.3"); });
  host.messages.clear();
  Run([](AddServersChoices& c) { Range(c, "10.0.0.1", "10.0.0.4"); });
  EXPECT_EQ(host.messages,
            (std::vector<std::string>{"Skip duplicated IP:10.0.0.2", "Skip duplicated IP:10.0.0.3"}));
  EXPECT_EQ(App().config.Servers, 4u);
  EXPECT_EQ(host.skipped.at("10.0.0.3"), SkipReason::kDuplicate);
}

TEST_F(AddProcedureTest, NameFetchFailureAsksAndCancelEndsTheRangeWithTheFinish) {
  fetch.names = {{"10.0.0.1", "Q410X2"}, {"10.0.0.4", "Q410X2"}};
  host.answers = {kIdOk, kIdCancel};
  AddServersOutcome out = Run([](AddServersChoices& c) {
    c.rangeStart = "10.0.0.1";
    c.rangeEnd = "10.0.0.4";
    c.connectTimeoutSeconds = 7;
    c.commandPort = 4001;
  });
  EXPECT_EQ(fetch.asked, (std::vector<std::string>{"10.0.0.1", "10.0.0.2", "10.0.0.3"}));
  EXPECT_EQ(fetch.lastTimeout, 7000u);
  EXPECT_EQ(fetch.lastPort, 4001u);
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_EQ(host.messages[0].rfind("Failed to get the server name on IP:10.0.0.2 \n", 0), 0u);
  EXPECT_EQ(host.flagsShown[0], tarvik::kMbOkCancel | tarvik::kMbIconWarning);
  EXPECT_EQ(out.stop, AddStop::kCancelled);
  EXPECT_FALSE(out.Failed());
  EXPECT_EQ(App().config.Servers, 1u);
  EXPECT_TRUE(App().restartPending);
  EXPECT_EQ(App().ui.chkSvr, 1u);
}

TEST_F(AddProcedureTest, UnknownDeviceStopsTheRangeAndKeepsWhatCameBefore) {
  fetch.names = {{"10.0.0.1", "Q410X2"}, {"10.0.0.2", "NO-SUCH-MODEL"}, {"10.0.0.3", "Q410X2"}};
  AddServersOutcome out = Run([](AddServersChoices& c) {
    c.rangeStart = "10.0.0.1";
    c.rangeEnd = "10.0.0.3";
  });
  EXPECT_EQ(out.stop, AddStop::kUnknownDevice);
  EXPECT_TRUE(out.Failed());
  EXPECT_EQ(App().config.Servers, 1u);
  const std::string expected =
      "Unknown device [NO-SUCH-MODEL], Err: 25\n\nThe device is currently not supported,\n"
      "please update the Utility and try again!";
  EXPECT_EQ(host.messages, std::vector<std::string>{expected});
  EXPECT_NE(std::find(host.statuses.begin(), host.statuses.end(), expected), host.statuses.end());
}

// The name is the device's text: a line break in it must not make the
// message (a line the CLI prints) look like two.
TEST_F(AddProcedureTest, UnknownDeviceMessageShowsTheNamesControlCharactersEscaped) {
  fetch.names = {{"10.0.0.1", "ZZ\nadded index=77"}};
  Run([](AddServersChoices& c) {
    c.rangeStart = "10.0.0.1";
    c.rangeEnd = "10.0.0.1";
  });
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].rfind("Unknown device [ZZ\\nadded index=77], Err: 25\n", 0), 0u)
      << host.messages[0];
}

struct PortRuleCase {
  const char* name;
  const char* model;
  bool mapIo;
  bool fixedBaud;
  // Expected COM number and FixedConfig of entries 0, 2, 3.
  uint32_t com[3];
  bool fixed[3];
};

class PortRuleTest : public AddProcedureTest, public ::testing::WithParamInterface<PortRuleCase> {};

TEST_P(PortRuleTest, MapsEntriesByTheModelRules) {
  const PortRuleCase& p = GetParam();
  Run([&](AddServersChoices& c) {
    Range(c, "10.0.0.1", "10.0.0.1");
    c.serverName = p.model;
    c.mapIoPort = p.mapIo;
    c.fixedBaudrate = p.fixedBaud;
    c.firstComIndex = 0;
  });
  ASSERT_EQ(App().config.Servers, 1u);
  const int entries[3] = {0, 2, 3};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Com(0, entries[i]), p.com[i]) << "entry " << entries[i];
    // An I/O port left unmapped reads back from the store as fixed anyway.
    if (entries[i] == 0 && !p.mapIo) continue;
    EXPECT_EQ(TkcComFixedConfig(Server(0).PortMap[entries[i]].Com) != 0, p.fixed[i])
        << "entry " << entries[i];
  }
  EXPECT_EQ(Com(0, 1), 0u);  // the command port is never mapped
}

INSTANTIATE_TEST_SUITE_P(
    Models, PortRuleTest,
    ::testing::Values(
        PortRuleCase{"plain", "Q410X2", false, false, {0, 1, 2}, {false, false, false}},
        PortRuleCase{"io_port_is_always_fixed", "Q410X2", true, false, {1, 2, 3}, {true, false, false}},
        PortRuleCase{"fixed_baudrate_everywhere", "Q410X2", false, true, {0, 1, 2}, {false, true, true}},
        PortRuleCase{"rf030_skips_its_first_port", "RF-030", false, false, {0, 0, 1}, {false, false, false}},
        PortRuleCase{"nj674_skips_its_first_port", "NJ-674", true, false, {1, 0, 2}, {true, false, false}},
        PortRuleCase{"r8615_second_port_fixed", "R-8615", false, false, {0, 1, 2}, {false, false, true}},
        PortRuleCase{"fwr4_first_port_fixed", "FWR-4", false, false, {0, 1, 0}, {false, true, false}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AddProcedureTest, PortOptionsAndServerOptionsReachTheRecord) {
  Run([](AddServersChoices& c) {
    Range(c, "10.0.0.1", "10.0.0.1");
    c.autoFlushMs = 55;
    c.writeBuffer = true;
    c.disablePurge = true;
    c.keepAliveSeconds = 30;
    c.connectionBrokenSeconds = 0;
    c.connectTimeoutSeconds = 180;
    c.commandPort = 4001;
    c.ioPort = 966;
  });
  ASSERT_EQ(App().config.Servers, 1u);
  const ServerRecord& r = Server(0);
  EXPECT_EQ(TkcOptAutoFlush(r.PortMap[2].Options), 5u);
  EXPECT_TRUE(TkcOptWriteBuffer(r.PortMap[2].Options));
  EXPECT_TRUE(TkcComDisablePurge(r.PortMap[2].Com));
  EXPECT_EQ(r.KeepAliveTime, 30000u);
  EXPECT_EQ(r.ConnectionBroken, 0u);
  EXPECT_EQ(r.ConnectTimeout, 180000u);
  EXPECT_EQ(r.TcpPortCmd, 4001u);
  EXPECT_EQ(r.TcpPort7000, 966u);
  EXPECT_EQ(StoredCount("Servers"), 1u);
  EXPECT_EQ(StoredCount("Ports"), r.PortNo + 1);
}

TEST_F(AddProcedureTest, FailedStoreWriteIsReportedAndNotCountedAsAdded) {
  // The store loses its parameter key after the dialog: every write fails.
  host.beforeWalk = [] {
    tarvik::RegKey services;
    ASSERT_EQ(services.Open(TKC_SERVICES_KEY, tarvik::RegAccess::kFullAccess),
              tarvik::kErrorSuccess);
    ASSERT_EQ(services.DeleteTree(TKC_SERVICE_NAME), tarvik::kErrorSuccess);
  };
  AddServersOutcome out = Run([](AddServersChoices& c) { Range(c, "10.0.0.1", "10.0.0.2"); });
  EXPECT_EQ(out.added, 0);
  EXPECT_EQ(out.writeFailures, 2);
  EXPECT_TRUE(out.Failed());
  EXPECT_NE(host.statuses.back(), "Status: OK");
  EXPECT_TRUE(host.statuses.back().find("2 server(s)") != std::string::npos) << host.statuses.back();
}

TEST_F(AddProcedureTest, LongWalksAreConfirmedFirst) {
  host.confirmLongWalk = false;
  AddServersOutcome out = Run([](AddServersChoices& c) { Range(c, "10.0.0.1", "10.0.4.1"); });
  EXPECT_EQ(host.confirmed, std::vector<uint64_t>{1025});
  EXPECT_EQ(out.stop, AddStop::kCancelled);
  EXPECT_EQ(App().config.Servers, 0u);
  EXPECT_TRUE(host.commandStates.empty());

  host.confirmed.clear();
  host.stopAfter = 1;  // the question comes before the walk, if at all
  Run([](AddServersChoices& c) { Range(c, "10.0.0.1", "10.0.4.0"); });  // 1024: no question
  EXPECT_TRUE(host.confirmed.empty());
}

TEST_F(AddProcedureTest, StopRequestEndsTheWalkBetweenAddresses) {
  struct StoppingHost : ScriptedHost {
    int asked = 0;
    bool StopRequested() override { return ++asked >= 3; }
  } stopping;
  stopping.edit = [](AddServersChoices& c) { Range(c, "10.0.0.1", "10.0.0.9"); };
  AddServersOutcome out = RunAddServersProcedure(App(), stopping, fetch);
  EXPECT_EQ(out.stop, AddStop::kUserStop);
  EXPECT_EQ(App().config.Servers, 3u);
  EXPECT_EQ(stopping.commandStates, (std::vector<bool>{false, true}));
}

TEST_F(AddProcedureTest, ErrShowsTheParsersStatusForANameItLaysOutWithoutPorts) {
  // The parser takes "L1431Z-0" (status 0) but gives it no data ports.
  fetch.names = {{"10.0.0.1", "L1431Z-0"}};
  AddServersOutcome out = Run([](AddServersChoices& c) {
    c.rangeStart = "10.0.0.1";
    c.rangeEnd = "10.0.0.1";
  });
  EXPECT_EQ(out.stop, AddStop::kUnknownDevice);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].rfind("Unknown device [L1431Z-0], Err: 0\n", 0), 0u) << host.messages[0];
  EXPECT_EQ(App().config.Servers, 0u);
}

TEST_F(AddProcedureTest, PartlyMappedServerIsReportedAndFailsTheRun) {
  AddServersOutcome out = Run([](AddServersChoices& c) {
    Range(c, "10.0.0.1", "10.0.0.1");  // the last address of the range
    c.serverName = "Q410X4";
    c.firstComIndex = 4092;  // COM4093: three numbers left for four ports
  });
  ASSERT_EQ(App().config.Servers, 1u);
  EXPECT_EQ(Com(0, 2), 4093u);
  EXPECT_EQ(Com(0, 4), 4095u);
  EXPECT_EQ(Com(0, 5), 0u);
  EXPECT_EQ(host.added, (std::vector<std::pair<uint32_t, uint32_t>>{{0, 1}}));
  EXPECT_EQ(out.partlyMapped, 1);
  EXPECT_TRUE(out.Failed());
  EXPECT_EQ(host.statuses.back(),
            "Warning: Q410X4 [10.0.0.1] was added with 1 port(s) unmapped: no free COM number "
            "was left.");
}

TEST_F(AddProcedureTest, RefusedStoreAddsNothingAndOpensNoDialog) {
  host.storeReady = false;
  host.accept = true;
  AddServersOutcome out = Run([](AddServersChoices& c) { Range(c, "10.0.0.1", "10.0.0.2"); });
  EXPECT_EQ(out.stop, AddStop::kRefused);
  EXPECT_TRUE(out.Failed());
  EXPECT_FALSE(out.dialogAccepted);
  EXPECT_TRUE(host.offered.empty() && host.defaults.rangeStart.empty());
  EXPECT_TRUE(host.commandStates.empty());
  EXPECT_FALSE(App().restartPending);
  EXPECT_EQ(StoredCount("Servers"), 0u);
}

TEST_F(AddProcedureTest, FetchesAreWaitedForWithProgressInTheStatusBar) {
  fetch.names = {{"10.77.0.3", "Q410X2"}};
  Run([](AddServersChoices& c) {
    c.rangeStart = "10.77.0.1";
    c.rangeEnd = "10.77.0.254";
  });
  EXPECT_EQ(fetch.plan.first, RangeAddress("10.77.0.1"));
  EXPECT_EQ(fetch.plan.last, RangeAddress("10.77.0.254"));
  EXPECT_NE(std::find(host.statuses.begin(), host.statuses.end(),
                      "Searching 10.77.0.1 - 10.77.0.254: 130 of 254, 0 found"),
            host.statuses.end());
  EXPECT_EQ(SearchProgressText(RangeAddress("10.77.0.1"), RangeAddress("10.77.0.254"), 130, 3),
            "Searching 10.77.0.1 - 10.77.0.254: 130 of 254, 3 found");
}

TEST_F(AddProcedureTest, StopWhileAFetchWaitsEndsTheWalkWithoutAQuestion) {
  fetch.names = {{"10.0.0.1", "Q410X2"}, {"10.0.0.2", "Q410X2"}};
  fetch.interruptAt = "10.0.0.2";
  AddServersOutcome out = Run([](AddServersChoices& c) {
    c.rangeStart = "10.0.0.1";
    c.rangeEnd = "10.0.0.5";
  });
  EXPECT_EQ(out.stop, AddStop::kUserStop);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(App().config.Servers, 1u);
  EXPECT_EQ(host.statuses.back(), "Status: OK");
}

}  // namespace

namespace {

uint32_t StoredProtocol(uint32_t index) {
  uint32_t protocol = 99;
  EXPECT_EQ(Tkc_RegGetDataProtocol(index, &protocol), TKC_OK) << "server " << index + 1;
  return protocol;
}

// A subkey left behind beyond the count keeps its values; a server added
// there must get the protocol chosen now, not the one it finds.
TEST_F(AddProcedureTest, NewServersTakeTheChosenDataProtocolNotAStaleOne) {
  {
    tarvik::RegKey stale;
    ASSERT_EQ(stale.Create(std::string(TKC_PARAMETER_KEY) + "\\Server1"), tarvik::kErrorSuccess);
    ASSERT_EQ(stale.SetDword(TKC_DATA_PROTOCOL_VALUE, TKC_DATA_PROTOCOL_RFC2217), tarvik::kErrorSuccess);
  }
  EXPECT_FALSE(Run([](AddServersChoices& c) { Range(c, "10.0.0.1", "10.0.0.2"); }).Failed());
  EXPECT_FALSE(Run([](AddServersChoices& c) {
                 Range(c, "10.0.0.3", "10.0.0.3");
                 c.rfc2217 = true;
               }).Failed());
  ASSERT_EQ(App().config.Servers, 3u);
  EXPECT_EQ(StoredProtocol(0), TKC_DATA_PROTOCOL_RAW);
  EXPECT_EQ(StoredProtocol(1), TKC_DATA_PROTOCOL_RAW);
  EXPECT_EQ(StoredProtocol(2), TKC_DATA_PROTOCOL_RFC2217);
  EXPECT_EQ(App().config.DataProtocol[0], TKC_DATA_PROTOCOL_RAW) << "the reload brings them in";
  EXPECT_EQ(App().config.DataProtocol[2], TKC_DATA_PROTOCOL_RFC2217);
}

}  // namespace
