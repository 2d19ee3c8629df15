// A server's data protocol: kept in its subkey beside the record, read and
// written alone or with the whole set, and carried to the subkey its server
// moves to.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "store_fixture.h"
#include "tarvik/registry.h"
#include "tarvikcfg.h"

namespace {

using tkctest::SetBox;
using tkctest::StoreTest;

std::string ServerKey(int n) { return std::string(TKC_PARAMETER_KEY) + "\\Server" + std::to_string(n); }

// The stored "DataProtocol" of Server<n>, -1 when it is missing.
int64_t StoredProtocol(int n) {
  tarvik::RegKey k;
  uint32_t v = 0;
  if (k.Open(ServerKey(n), tarvik::RegAccess::kRead) != 0 ||
      k.QueryDword(TKC_DATA_PROTOCOL_VALUE, &v) != 0)
    return -1;
  return v;
}

std::string StoredName(int n) {
  tarvik::RegKey k;
  char name[64] = {};
  if (k.Open(ServerKey(n), tarvik::RegAccess::kRead) != 0 ||
      k.QueryString("ServerName", name, sizeof name) != 0)
    return "<missing>";
  return name;
}

uint32_t ChangeCount() {
  uint32_t count = 0;
  EXPECT_EQ(Tkc_RegGetChangeCount(&count), TKC_OK);
  return count;
}

TkcServerRecord Server(const char* name, uint32_t ip) {
  TkcServerRecord r{};
  std::strcpy(r.ServerName, name);
  r.IPAddress = ip;
  r.PortNo = 1;
  r.KeepAliveTime = TKC_DEFAULT_KEEP_ALIVE_MS;
  r.ConnectionBroken = TKC_DEFAULT_CONNECTION_BROKEN_MS;
  r.ConnectTimeout = TKC_DEFAULT_CONNECT_TIMEOUT_MS;
  r.TcpPortCmd = TKC_DEFAULT_TCP_PORT_CMD;
  r.TcpPort7000 = TKC_DEFAULT_TCP_PORT_IO;
  return r;
}

// Servers A, B, C (one data port each) with the protocols given.
void WriteThree(TkcConfigSet* set, std::vector<uint8_t>* protocols, uint8_t a, uint8_t b, uint8_t c) {
  set->Servers = 3;
  set->Records[0] = Server("NJ-674", 0x0100000A);
  set->Records[1] = Server("NJ-674", 0x0200000A);
  set->Records[2] = Server("NJ-674", 0x0300000A);
  std::strcpy(set->Records[0].AliasName, "A");
  std::strcpy(set->Records[1].AliasName, "B");
  std::strcpy(set->Records[2].AliasName, "C");
  protocols->assign(TKC_MAX_SERVERS, 0);
  (*protocols)[0] = a;
  (*protocols)[1] = b;
  (*protocols)[2] = c;
  ASSERT_EQ(Tkc_RegWriteAllWithProtocols(set, protocols->data(), TKC_MAX_SERVERS), TKC_OK);
}

struct StoredValueRow {
  const char* name;
  const char* value;  // .reg text of the value, or null for none
  uint32_t expected;
};

class StoredValueTest : public StoreTest, public ::testing::WithParamInterface<StoredValueRow> {};

TEST_P(StoredValueTest, ReadsAsRawUnlessItIsOne) {
  std::string text = "[HKEY_LOCAL_MACHINE\\" TKC_PARAMETER_KEY "]\n\"Servers\"=dword:00000001\n"
                     "[HKEY_LOCAL_MACHINE\\" TKC_PARAMETER_KEY "\\Server1]\n"
                     "\"ServerName\"=\"NJ-674\"\n\"PW\"=\"\"\n\"IPAddress\"=dword:0100000a\n"
                     "\"PortNo\"=dword:00000001\n";
  if (GetParam().value) text += std::string("\"DataProtocol\"=") + GetParam().value + "\n";
  LoadText(text);
  uint32_t protocol = 99;
  ASSERT_EQ(Tkc_RegGetDataProtocol(0, &protocol), TKC_OK);
  EXPECT_EQ(protocol, GetParam().expected);
  SetBox box;
  std::vector<uint8_t> protocols(TKC_MAX_SERVERS, 9);
  ASSERT_EQ(Tkc_RegReadAllWithProtocols(box.set, protocols.data(), TKC_MAX_SERVERS), TKC_OK);
  EXPECT_EQ(protocols[0], GetParam().expected);
  EXPECT_EQ(protocols[1], 0) << "entries without a server are cleared";
}

INSTANTIATE_TEST_SUITE_P(
    Values, StoredValueTest,
    ::testing::Values(StoredValueRow{"Missing", nullptr, 0},
                      StoredValueRow{"Zero", "dword:00000000", 0},
                      StoredValueRow{"One", "dword:00000001", 1},
                      StoredValueRow{"UnknownSeven", "dword:00000007", 0},
                      StoredValueRow{"HighBitsAndOne", "dword:00010001", 0}),
    [](const ::testing::TestParamInfo<StoredValueRow>& info) { return std::string(info.param.name); });

class DataProtocolTest : public StoreTest {};

TEST_F(DataProtocolTest, SetIsReadBackAndRaisesTheChangeCounter) {
  SetBox box;
  std::vector<uint8_t> protocols;
  WriteThree(box.set, &protocols, 0, 0, 0);
  const uint32_t before = ChangeCount();
  ASSERT_EQ(Tkc_RegSetDataProtocol(1, TKC_DATA_PROTOCOL_RFC2217), TKC_OK);
  EXPECT_EQ(ChangeCount(), before + 1);
  uint32_t protocol = 0;
  ASSERT_EQ(Tkc_RegGetDataProtocol(1, &protocol), TKC_OK);
  EXPECT_EQ(protocol, TKC_DATA_PROTOCOL_RFC2217);
  EXPECT_EQ(StoredProtocol(1), 0);
  EXPECT_EQ(StoredProtocol(2), 1);
  ASSERT_EQ(Tkc_RegSetDataProtocol(1, TKC_DATA_PROTOCOL_RAW), TKC_OK);
  EXPECT_EQ(StoredProtocol(2), 0);
}

TEST_F(DataProtocolTest, SetRefusesAnUnknownProtocolAndAMissingServer) {
  SetBox box;
  std::vector<uint8_t> protocols;
  WriteThree(box.set, &protocols, 0, 1, 0);
  const uint32_t before = ChangeCount();
  EXPECT_EQ(Tkc_RegSetDataProtocol(0, 2), TKC_ERR_SIZE);
  EXPECT_EQ(Tkc_RegSetDataProtocol(3, 1), TKC_ERR_PARAMETER_KEY);
  tarvik::RegKey k;
  EXPECT_NE(k.Open(ServerKey(4), tarvik::RegAccess::kRead), 0) << "no subkey is made for it";
  EXPECT_EQ(StoredProtocol(1), 0);
  EXPECT_EQ(ChangeCount(), before);
  uint32_t protocol = 0;
  EXPECT_EQ(Tkc_RegGetDataProtocol(3, &protocol), TKC_ERR_PARAMETER_KEY);
  EXPECT_EQ(Tkc_RegGetDataProtocol(0, nullptr), TKC_ERR_SIZE);
}

TEST_F(DataProtocolTest, ThePlainWholeSetAndRecordWritesKeepEveryValue) {
  SetBox box;
  std::vector<uint8_t> protocols;
  WriteThree(box.set, &protocols, 1, 0, 1);
  ASSERT_EQ(Tkc_RegReadAll(box.set), TKC_OK);
  std::strcpy(box->Records[1].AliasName, "edited");
  ASSERT_EQ(Tkc_RegWriteAll(box.set), TKC_OK);
  ASSERT_EQ(Tkc_RegWriteOneServer(2, &box->Records[2], TKC_RECORD_SIZE), TKC_OK);
  EXPECT_EQ(StoredProtocol(1), 1);
  EXPECT_EQ(StoredProtocol(2), 0);
  EXPECT_EQ(StoredProtocol(3), 1);
}

TEST_F(DataProtocolTest, TheValueOfALeftOutServerDoesNotSlideOntoTheNext) {
  // Server2 lacks its port count: the set holds Server1 and Server3 as
  // records 0 and 1, and entry 1 must be Server3's value, not Server2's.
  Load("three_servers_second_bad.reg");
  const std::string key = "[HKEY_LOCAL_MACHINE\\" TKC_PARAMETER_KEY "\\Server";
  struct Case {
    const char* server2;
    const char* server3;
    uint8_t expected;
  };
  for (const Case& c : {Case{"1", "0", 0}, Case{"0", "1", 1}}) {
    SCOPED_TRACE(std::string("Server2=") + c.server2 + " Server3=" + c.server3);
    LoadText(key + "2]\n\"DataProtocol\"=dword:0000000" + c.server2 + "\n" + key +
             "3]\n\"DataProtocol\"=dword:0000000" + c.server3 + "\n");
    SetBox box;
    std::vector<uint8_t> protocols(TKC_MAX_SERVERS, 9);
    EXPECT_EQ(Tkc_RegReadAllWithProtocols(box.set, protocols.data(), TKC_MAX_SERVERS),
              TKC_ERR_SERVER_VALUE);
    ASSERT_EQ(box->Servers, 2u);
    EXPECT_STREQ(box->Records[1].AliasName, "lab");
    EXPECT_EQ(protocols[0], 0);
    EXPECT_EQ(protocols[1], c.expected);
    EXPECT_EQ(protocols[2], 0);
  }
}

TEST_F(DataProtocolTest, AWholeSetWriteMovesEachValueWithItsRecord) {
  SetBox box;
  std::vector<uint8_t> protocols;
  WriteThree(box.set, &protocols, 0, 1, 0);
  // A goes; B and C move down one subkey in memory.
  box->Records[0] = box->Records[1];
  box->Records[1] = box->Records[2];
  box->Servers = 2;
  protocols[0] = protocols[1];
  protocols[1] = protocols[2];
  protocols[2] = 0;
  ASSERT_EQ(Tkc_RegWriteAllWithProtocols(box.set, protocols.data(), TKC_MAX_SERVERS), TKC_OK);
  EXPECT_EQ(StoredProtocol(1), 1) << "B's value moved with B";
  EXPECT_EQ(StoredProtocol(2), 0) << "C's value moved with C";

  SetBox again;
  std::vector<uint8_t> read(TKC_MAX_SERVERS, 9);
  ASSERT_EQ(Tkc_RegReadAllWithProtocols(again.set, read.data(), TKC_MAX_SERVERS), TKC_OK);
  ASSERT_EQ(again->Servers, 2u);
  EXPECT_STREQ(again->Records[0].AliasName, "B");
  EXPECT_EQ(read[0], 1);
  EXPECT_EQ(read[1], 0);
}

TEST_F(DataProtocolTest, ASkippedRecordTakesItsValueWithIt) {
  SetBox box;
  std::vector<uint8_t> protocols;
  WriteThree(box.set, &protocols, 0, 0, 0);
  box->Records[0].PortNo = TKC_MAX_DATA_PORTS + 1;  // cannot be written
  protocols = std::vector<uint8_t>(TKC_MAX_SERVERS, 0);
  protocols[0] = 1;
  protocols[2] = 1;
  ASSERT_EQ(Tkc_RegWriteAllWithProtocols(box.set, protocols.data(), TKC_MAX_SERVERS), TKC_OK);
  EXPECT_EQ(box->Servers, 2u);
  EXPECT_EQ(StoredProtocol(1), 0) << "B took subkey 1 with its own value";
  EXPECT_EQ(StoredProtocol(2), 1) << "C took subkey 2 with its own value";
}

TEST_F(DataProtocolTest, AWholeSetWriteWithAnUnknownProtocolWritesNothing) {
  SetBox box;
  std::vector<uint8_t> protocols;
  WriteThree(box.set, &protocols, 0, 1, 0);
  const uint32_t before = ChangeCount();
  std::strcpy(box->Records[0].AliasName, "not written");
  protocols[2] = 2;
  EXPECT_EQ(Tkc_RegWriteAllWithProtocols(box.set, protocols.data(), TKC_MAX_SERVERS), TKC_ERR_SIZE);
  EXPECT_EQ(ChangeCount(), before);
  EXPECT_EQ(StoredProtocol(2), 1);
  protocols[2] = 0;
  protocols[3] = 7;  // beyond Servers: not looked at
  EXPECT_EQ(Tkc_RegWriteAllWithProtocols(box.set, protocols.data(), TKC_MAX_SERVERS), TKC_OK);
}

TEST_F(DataProtocolTest, TheArrayMustHoldAnEntryForEveryPossibleServer) {
  SetBox box;
  std::vector<uint8_t> protocols(TKC_MAX_SERVERS, 0);
  EXPECT_EQ(Tkc_RegReadAllWithProtocols(box.set, protocols.data(), TKC_MAX_SERVERS - 1), TKC_ERR_SIZE);
  EXPECT_EQ(Tkc_RegReadAllWithProtocols(box.set, nullptr, TKC_MAX_SERVERS), TKC_ERR_SIZE);
  EXPECT_EQ(Tkc_RegWriteAllWithProtocols(box.set, protocols.data(), 0), TKC_ERR_SIZE);
  box->SizeStamp = 1;
  EXPECT_EQ(Tkc_RegReadAllWithProtocols(box.set, protocols.data(), TKC_MAX_SERVERS), TKC_ERR_SIZE);
}

TEST_F(DataProtocolTest, DeletingTheStoreTakesTheValuesAlong) {
  SetBox box;
  std::vector<uint8_t> protocols;
  WriteThree(box.set, &protocols, 1, 1, 1);
  ASSERT_EQ(Tkc_RegDeleteAll(), TKC_OK);
  EXPECT_EQ(StoredProtocol(1), -1);
  EXPECT_EQ(StoredName(1), "<missing>");
}

}  // namespace
