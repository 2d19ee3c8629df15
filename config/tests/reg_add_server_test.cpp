// Tkc_RegAddServer: the index, the COM numbers and the counts are decided
// against the store under its write lock, never against a caller's copy.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "store_fixture.h"
#include "tarvik/registry.h"
#include "tarvikcfg.h"

namespace {

using tkctest::SetBox;
using tkctest::StoreTest;

// A two-port server at 10.0.0.<octet> whose data ports both want a number.
TkcServerRecord TwoPorts(uint32_t octet) {
  TkcServerRecord r{};
  std::snprintf(r.ServerName, sizeof r.ServerName, "Q410X2");
  EXPECT_EQ(Tkc_ParseServerInfo(&r, sizeof r), 0);
  r.IPAddress = 0x0000000Au | (octet << 24);
  r.TcpPortCmd = 10000;
  r.TcpPort7000 = 9999;
  return r;
}

TkcAddServerRequest Request(uint32_t firstCom, std::initializer_list<int> wanted = {2, 3}) {
  TkcAddServerRequest request{};
  request.Size = sizeof request;
  request.FirstCom = firstCom;
  for (int e : wanted) request.Wanted[e] = 1;
  return request;
}

uint32_t Com(const TkcServerRecord& r, int entry) { return TkcComNumber(r.PortMap[entry].Com); }

class AddServer : public StoreTest {
 protected:
  void OtherSerialPorts(std::initializer_list<int> coms) {
    tarvik::RegKey key;
    ASSERT_EQ(key.Create(TKC_SERIALCOMM_KEY), 0);
    for (int com : coms)
      key.SetString("\\Device\\Other" + std::to_string(com), ("COM" + std::to_string(com)).c_str());
  }
  std::vector<uint32_t> StoredComs(uint32_t index) {
    TkcServerRecord r{};
    EXPECT_EQ(Tkc_RegReadOneServer(index, &r, sizeof r), 0);
    std::vector<uint32_t> coms;
    for (uint32_t e = 0; e <= r.PortNo + 1; ++e)
      if (e != 1) coms.push_back(Com(r, e));
    return coms;
  }
  uint32_t Counted(bool ports) {
    uint32_t servers = 0, portCount = 0;
    EXPECT_EQ(Tkc_RegReadServersAndPorts(&servers, &portCount), 0);
    return ports ? portCount : servers;
  }
};

TEST_F(AddServer, TakesTheIndexAfterTheStoresLastServerAndCountsIt) {
  TkcServerRecord first = TwoPorts(1);
  ASSERT_EQ(Tkc_RegWriteOneServer(0, &first, sizeof first), 0);
  ASSERT_EQ(Tkc_RegWriteServersAndPorts(1, 3), 0);

  TkcServerRecord r = TwoPorts(2);
  TkcAddServerRequest request = Request(0);
  ASSERT_EQ(Tkc_RegAddServer(&r, sizeof r, &request, nullptr), 0);
  EXPECT_EQ(request.Outcome, uint32_t{TKC_ADDED_WRITTEN});
  EXPECT_EQ(request.Index, 1u);
  EXPECT_EQ(Counted(false), 2u);
  EXPECT_EQ(Counted(true), 6u);
  TkcServerRecord back{};
  ASSERT_EQ(Tkc_RegReadOneServer(1, &back, sizeof back), 0);
  EXPECT_EQ(back.IPAddress, r.IPAddress);
  EXPECT_EQ(StoredComs(1), (std::vector<uint32_t>{0, 0, 0}));  // FirstCom 0: none given
  EXPECT_EQ(request.NextCom, 0u);
}

// The protocol is written in the same commit as the server, and a subkey
// left behind by an earlier server (a count cut back by hand, a crash of an
// older version) does not lend the new server its value.
TEST_F(AddServer, WritesTheDataProtocolWithTheServer) {
  TkcServerRecord left = TwoPorts(9);
  ASSERT_EQ(Tkc_RegWriteOneServer(0, &left, sizeof left), 0);
  ASSERT_EQ(Tkc_RegSetDataProtocol(0, TKC_DATA_PROTOCOL_RFC2217), 0);
  ASSERT_EQ(Tkc_RegWriteServersAndPorts(0, 0), 0);

  TkcServerRecord raw = TwoPorts(1);
  TkcAddServerRequest request = Request(0);
  ASSERT_EQ(Tkc_RegAddServer(&raw, sizeof raw, &request, nullptr), 0);
  TkcServerRecord rfc = TwoPorts(2);
  request = Request(0);
  request.DataProtocol = TKC_DATA_PROTOCOL_RFC2217;
  ASSERT_EQ(Tkc_RegAddServer(&rfc, sizeof rfc, &request, nullptr), 0);
  uint32_t protocol = 9;
  ASSERT_EQ(Tkc_RegGetDataProtocol(0, &protocol), 0);
  EXPECT_EQ(protocol, TKC_DATA_PROTOCOL_RAW);
  ASSERT_EQ(Tkc_RegGetDataProtocol(1, &protocol), 0);
  EXPECT_EQ(protocol, TKC_DATA_PROTOCOL_RFC2217);
}

TEST_F(AddServer, GivesTheLowestFreeNumbersAvoidingTheStoreAndOtherPorts) {
  // COM3 and COM4 are a stored server's, COM6 another serial port's.
  TkcServerRecord stored = TwoPorts(1);
  stored.PortMap[2].Com = TkcComSetNumber(stored.PortMap[2].Com, 3);
  stored.PortMap[3].Com = TkcComSetNumber(stored.PortMap[3].Com, 4);
  ASSERT_EQ(Tkc_RegWriteOneServer(0, &stored, sizeof stored), 0);
  ASSERT_EQ(Tkc_RegWriteServersAndPorts(1, 3), 0);
  OtherSerialPorts({6});

  TkcServerRecord r = TwoPorts(2);
  r.PortMap[2].Com |= TKC_COM_FIXED_CONFIG;  // bits beside the number stay
  TkcAddServerRequest request = Request(3, {0, 2, 3});
  ASSERT_EQ(Tkc_RegAddServer(&r, sizeof r, &request, nullptr), 0);
  EXPECT_EQ(StoredComs(1), (std::vector<uint32_t>{5, 7, 8}));
  EXPECT_EQ(Com(r, 0), 5u) << "the caller's record gets the numbers";
  EXPECT_TRUE(TkcComFixedConfig(r.PortMap[2].Com));
  EXPECT_EQ(TkcComDevicePort(r.PortMap[3].Com), 2u);
  EXPECT_EQ(request.NextCom, 9u);
  EXPECT_EQ(request.Unmapped, 0u);
}

TEST_F(AddServer, NumbersTheCallerHoldsAreFreeThoughTheSerialListNamesThem) {
  OtherSerialPorts({1, 2, 3});
  uint8_t ours[TKC_MAX_COM] = {};
  ours[1] = 1;  // COM2: the running driver's, from a server removed since
  TkcServerRecord r = TwoPorts(1);
  TkcAddServerRequest request = Request(1);
  ASSERT_EQ(Tkc_RegAddServer(&r, sizeof r, &request, ours), 0);
  EXPECT_EQ(StoredComs(0), (std::vector<uint32_t>{0, 2, 4}));
}

TEST_F(AddServer, RunningOutWithinAServerWritesItPartlyMapped) {
  TkcServerRecord r{};
  std::snprintf(r.ServerName, sizeof r.ServerName, "Q410X4");
  ASSERT_EQ(Tkc_ParseServerInfo(&r, sizeof r), 0);
  TkcAddServerRequest request = Request(4094, {2, 3, 4, 5});
  ASSERT_EQ(Tkc_RegAddServer(&r, sizeof r, &request, nullptr), 0);
  EXPECT_EQ(request.Outcome, uint32_t{TKC_ADDED_WRITTEN});
  EXPECT_EQ(StoredComs(0), (std::vector<uint32_t>{0, 4094, 4095, 0, 0}));
  EXPECT_EQ(request.Unmapped, 2u);
  EXPECT_EQ(request.NextCom, 4096u);
}

struct NotWrittenCase {
  const char* name;
  void (*prepare)();
  uint32_t firstCom;
  uint32_t options;
  uint32_t outcome;
};

class NotWritten : public AddServer, public ::testing::WithParamInterface<NotWrittenCase> {};

TEST_P(NotWritten, LeavesTheStoreAsItWas) {
  const NotWrittenCase& p = GetParam();
  TkcServerRecord stored = TwoPorts(7);
  stored.PortMap[2].Com = TkcComSetNumber(stored.PortMap[2].Com, 4095);
  ASSERT_EQ(Tkc_RegWriteOneServer(0, &stored, sizeof stored), 0);
  ASSERT_EQ(Tkc_RegWriteServersAndPorts(1, 3), 0);
  if (p.prepare) p.prepare();
  uint32_t before = 0, after = 0;
  ASSERT_EQ(Tkc_RegGetChangeCount(&before), 0);
  uint32_t servers = 0, ports = 0;
  ASSERT_EQ(Tkc_RegReadServersAndPorts(&servers, &ports), 0);

  TkcServerRecord r = TwoPorts(7);
  const TkcServerRecord given = r;
  TkcAddServerRequest request = Request(p.firstCom);
  request.Options = p.options;
  ASSERT_EQ(Tkc_RegAddServer(&r, sizeof r, &request, nullptr), 0);
  EXPECT_EQ(request.Outcome, p.outcome);
  EXPECT_EQ(std::memcmp(&r, &given, sizeof r), 0);
  ASSERT_EQ(Tkc_RegGetChangeCount(&after), 0);
  EXPECT_EQ(after, before);
  uint32_t serversAfter = 0, portsAfter = 0;
  ASSERT_EQ(Tkc_RegReadServersAndPorts(&serversAfter, &portsAfter), 0);
  EXPECT_EQ(serversAfter, servers);
  EXPECT_EQ(portsAfter, ports);
  tarvik::RegKey params;
  ASSERT_EQ(params.Open(TKC_PARAMETER_KEY, tarvik::RegAccess::kRead), 0);
  tarvik::RegKey second;
  EXPECT_NE(second.Open(params, "Server2", tarvik::RegAccess::kRead), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, NotWritten,
    ::testing::Values(
        NotWrittenCase{"duplicate_address", nullptr, 0, TKC_ADD_SKIP_DUPLICATE,
                       TKC_ADDED_DUPLICATE},
        NotWrittenCase{"no_free_number_from_first_com", nullptr, 4095, 0, TKC_ADDED_NO_COM},
        NotWrittenCase{"store_full",
                       [] {
                         tarvik::RegKey params;
                         ASSERT_EQ(params.Open(TKC_PARAMETER_KEY, tarvik::RegAccess::kFullAccess),
                                   0);
                         ASSERT_EQ(params.SetDword("Servers", TKC_MAX_SERVERS), 0);
                       },
                       1, 0, TKC_ADDED_FULL}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AddServer, RefusesBadArgumentsBeforeTouchingTheStore) {
  TkcServerRecord r = TwoPorts(1);
  TkcAddServerRequest request = Request(1);
  EXPECT_EQ(Tkc_RegAddServer(&r, 927, &request, nullptr), 24);
  EXPECT_EQ(Tkc_RegAddServer(nullptr, sizeof r, &request, nullptr), 24);
  EXPECT_EQ(Tkc_RegAddServer(&r, sizeof r, nullptr, nullptr), 24);
  TkcAddServerRequest small = request;
  small.Size = 96;
  EXPECT_EQ(Tkc_RegAddServer(&r, sizeof r, &small, nullptr), 24);
  TkcAddServerRequest high = Request(4096);
  EXPECT_EQ(Tkc_RegAddServer(&r, sizeof r, &high, nullptr), 24);
  TkcAddServerRequest protocol = Request(1);
  protocol.DataProtocol = 2;
  EXPECT_EQ(Tkc_RegAddServer(&r, sizeof r, &protocol, nullptr), 24);
  r.PortNo = 69;
  EXPECT_EQ(Tkc_RegAddServer(&r, sizeof r, &request, nullptr), 25);
  EXPECT_EQ(Counted(false), 0u);
}

TEST_F(AddServer, WithoutAParameterKeyNothingIsWritten) {
  tarvik::RegKey services;
  ASSERT_EQ(services.Open(TKC_SERVICES_KEY, tarvik::RegAccess::kFullAccess), 0);
  ASSERT_EQ(services.DeleteTree(TKC_SERVICE_NAME), 0);
  TkcServerRecord r = TwoPorts(1);
  TkcAddServerRequest request = Request(1);
  EXPECT_EQ(Tkc_RegAddServer(&r, sizeof r, &request, nullptr), 8);
  EXPECT_EQ(request.NextCom, 1u);
  EXPECT_EQ(Com(r, 2), 0u);
}

// Two processes adding at once: every server is kept under its own index
// and no COM number is given twice.
TEST_F(AddServer, TwoProcessesAddingAtOnceLoseNothingAndShareNoComNumber) {
  constexpr uint32_t kEach = 120;
  tarvik::RegCloseStore();
  std::vector<pid_t> adders;
  for (uint32_t w = 0; w < 2; ++w) {
    const pid_t pid = fork();
    if (pid == 0) {
      uint32_t next = 1;
      for (uint32_t i = 0; i < kEach; ++i) {
        TkcServerRecord r = TwoPorts(i + 1);
        r.IPAddress = (r.IPAddress & 0xFF00FFFFu) | ((w + 1) << 16);
        TkcAddServerRequest request = Request(next);
        if (Tkc_RegAddServer(&r, sizeof r, &request, nullptr) != 0) _exit(1);
        if (request.Outcome != TKC_ADDED_WRITTEN || request.Unmapped != 0) _exit(2);
        next = request.NextCom;
      }
      _exit(0);
    }
    adders.push_back(pid);
  }
  for (pid_t pid : adders) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  static SetBox box;
  ASSERT_EQ(Tkc_RegReadAll(box.set), 0);
  ASSERT_EQ(box->Servers, 2 * kEach);
  EXPECT_EQ(box->Ports, 2 * kEach * 3);
  std::set<uint32_t> addresses, coms;
  for (uint32_t s = 0; s < box->Servers; ++s) {
    addresses.insert(box->Records[s].IPAddress);
    for (int e : {2, 3}) {
      const uint32_t com = Com(box->Records[s], e);
      EXPECT_NE(com, 0u);
      EXPECT_TRUE(coms.insert(com).second) << "COM" << com << " given twice";
    }
  }
  EXPECT_EQ(addresses.size(), 2 * kEach);
}

}  // namespace
