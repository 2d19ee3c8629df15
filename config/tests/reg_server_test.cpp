// Reading and writing one server record: what lands in the store and what
// comes back from it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "store_fixture.h"
#include "tarvik/registry.h"
#include "tarvikcfg.h"

namespace {

using tkctest::StoreTest;

const std::string kServer1 = std::string(TKC_PARAMETER_KEY) + "\\Server1";

uint32_t StoredDword(const std::string& key, const char* name, bool* present = nullptr) {
  tarvik::RegKey k;
  uint32_t v = 0;
  const bool ok = k.Open(key, tarvik::RegAccess::kRead) == 0 && k.QueryDword(name, &v) == 0;
  if (present) *present = ok;
  return v;
}

std::string StoredText(const std::string& key, const char* name) {
  tarvik::RegKey k;
  char buf[256] = {};
  if (k.Open(key, tarvik::RegAccess::kRead) != 0 || k.QueryString(name, buf, sizeof(buf)) != 0) {
    return "<missing>";
  }
  return buf;
}

bool KeyExists(const std::string& path) {
  tarvik::RegKey k;
  return k.Open(path, tarvik::RegAccess::kRead) == 0;
}

TkcServerRecord Sample(const char* name, uint32_t ports) {
  TkcServerRecord r{};
  std::strcpy(r.ServerName, name);
  std::strcpy(r.AliasName, "alias");
  std::strcpy(r.HostName, "host.example");
  std::strcpy(r.PW, "0A1B");
  r.IPAddress = 0x0100000A;
  r.PortNo = ports;
  for (uint32_t i = 1; i <= 68; ++i) {
    r.PortMap[i + 1].Com = TkcComSetIndex(TkcComSetDevicePort(300 + i, i), i & 0x3F);
    r.PortMap[i + 1].Options = TkcOptSetAutoFlush(0, i);
  }
  r.KeepAliveTime = 1;
  r.ConnectionBroken = 2;
  r.ConnectTimeout = 3;
  r.TcpPortCmd = 4001;
  r.TcpPort7000 = 4002;
  return r;
}

class ReadOneServerTest : public StoreTest {};

TEST_F(ReadOneServerTest, ConvertsAnOlderStore) {
  Load("edge_values.reg");
  TkcServerRecord r;
  ASSERT_EQ(Tkc_RegReadOneServer(0, &r, sizeof(r)), 0);
  ASSERT_EQ(r.PortNo, 4u);
  // ComNo1 = 5 with FixedConfig1 = 1: COM5, device port 1, index 1, slot 0, fixed.
  EXPECT_EQ(r.PortMap[2].Com, 5u | (1u << 13) | (1u << 21) | TKC_COM_FIXED_CONFIG);
  // ComNo2 = 6 with FixedConfig2 = 2: the bit stays clear.
  EXPECT_EQ(r.PortMap[3].Com, 6u | (2u << 13) | (2u << 21));
  // A word of the new form is kept, but the old store's FixedConfig3 = 0 rules.
  EXPECT_EQ(r.PortMap[4].Com, 0x00106107u & ~TKC_COM_FIXED_CONFIG);
  // ComNo4 missing: the word is 0; FixedConfig4 = 1 still sets the bit.
  EXPECT_EQ(r.PortMap[5].Com, TKC_COM_FIXED_CONFIG);
}

TEST_F(ReadOneServerTest, ReplacesOutOfRangeOptionsWithDefaults) {
  Load("edge_values.reg");
  TkcServerRecord r;
  ASSERT_EQ(Tkc_RegReadOneServer(0, &r, sizeof(r)), 0);
  EXPECT_EQ(r.PortMap[2].Options, 5u << 1) << "ComOA1 = 0";
  EXPECT_EQ(r.PortMap[3].Options, 5u << 1) << "ComOA2 missing";
  EXPECT_EQ(r.PortMap[4].Options, (5u << 1) | 1) << "ComOA3 = WriteBuffer with AutoFlush 0";
  EXPECT_EQ(r.PortMap[5].Options, 5u << 1) << "ComOA4 = AutoFlush 501";
  EXPECT_EQ(r.TcpPortCmd, 10000u) << "TcpPortCmd = 5";
  EXPECT_EQ(r.TcpPort7000, 9999u) << "TcpPort7000 = 65501";
  EXPECT_EQ(r.KeepAliveTime, 120000u);
  EXPECT_EQ(r.ConnectionBroken, 180000u);
  EXPECT_EQ(r.ConnectTimeout, 5000u);
  EXPECT_STREQ(r.AliasName, "") << "an alias too long for its field reads as missing";
  EXPECT_EQ(r.PortMap[0].Com, TKC_COM_FIXED_CONFIG);
  EXPECT_EQ(r.PortMap[1].Com, TKC_COM_FIXED_CONFIG);

  ASSERT_EQ(Tkc_RegReadOneServer(1, &r, sizeof(r)), 0);
  EXPECT_EQ(r.PortMap[2].Options, 1001u) << "AutoFlush 500 with WriteBuffer stays";
  EXPECT_EQ(r.TcpPortCmd, 65500u);
  EXPECT_EQ(r.TcpPort7000, 10u);
  EXPECT_EQ(r.KeepAliveTime, 0u) << "time-outs are not range-checked";
  EXPECT_EQ(r.ConnectionBroken, 0xFFFFFFFFu);
  EXPECT_EQ(r.ConnectTimeout, 1u);
}

TEST_F(ReadOneServerTest, ReplacesAPasswordTooLongWithAnEmptyOne) {
  Load("edge_values.reg");
  TkcServerRecord r;
  ASSERT_EQ(Tkc_RegReadOneServer(0, &r, sizeof(r)), 0);
  EXPECT_STREQ(r.PW, "");
  EXPECT_EQ(StoredText(kServer1, "PW"), "");
}

TEST_F(ReadOneServerTest, CreatesAMissingPassword) {
  Load("edge_values.reg");
  const std::string server2 = std::string(TKC_PARAMETER_KEY) + "\\Server2";
  ASSERT_EQ(StoredText(server2, "PW"), "<missing>");
  TkcServerRecord r;
  ASSERT_EQ(Tkc_RegReadOneServer(1, &r, sizeof(r)), 0);
  EXPECT_STREQ(r.PW, "");
  EXPECT_EQ(StoredText(server2, "PW"), "");
}

TEST_F(ReadOneServerTest, CutsAStoredPortCountAbove68) {
  Load("edge_values.reg");
  TkcServerRecord r;
  ASSERT_EQ(Tkc_RegReadOneServer(2, &r, sizeof(r)), 0);
  EXPECT_EQ(r.PortNo, 68u);
  EXPECT_EQ(r.PortMap[69].Com, 0x00881044u);
}

TEST_F(ReadOneServerTest, MissingMandatoryValueGives9AndAZeroRecord) {
  Load("three_servers_second_bad.reg");
  TkcServerRecord r;
  std::memset(&r, 0xAB, sizeof(r));
  EXPECT_EQ(Tkc_RegReadOneServer(1, &r, sizeof(r)), 9);
  const TkcServerRecord zero{};
  EXPECT_EQ(std::memcmp(&r, &zero, sizeof(r)), 0);

  for (const char* value : {"IPAddress", "ServerName"}) {
    LoadText("[HKEY_LOCAL_MACHINE\\" + kServer1 + "]\n\"" + value + "\"=-\n");
    EXPECT_EQ(Tkc_RegReadOneServer(0, &r, sizeof(r)), 9) << value;
    Load("three_servers_second_bad.reg");
  }
  // A name too long for its 50-byte field counts as missing.
  LoadText("[HKEY_LOCAL_MACHINE\\" + kServer1 + "]\n\"ServerName\"=\"" + std::string(50, 'N') + "\"\n");
  EXPECT_EQ(Tkc_RegReadOneServer(0, &r, sizeof(r)), 9);
}

TEST_F(ReadOneServerTest, RefusesWrongSizeAndMissingSubkey) {
  Load("three_servers_second_bad.reg");
  TkcServerRecord r;
  EXPECT_EQ(Tkc_RegReadOneServer(0, &r, 927), 24);
  EXPECT_EQ(Tkc_RegReadOneServer(0, nullptr, 928), 24);
  EXPECT_EQ(Tkc_RegReadOneServer(3, &r, sizeof(r)), 8);
  EXPECT_EQ(Tkc_RegReadOneServer(0xFFFFFFFFu, &r, sizeof(r)), 8);
}

TEST_F(ReadOneServerTest, TakesTheSlotFieldsFromTheName) {
  Load("demo.reg");
  TkcServerRecord r;
  ASSERT_EQ(Tkc_RegReadOneServer(1, &r, sizeof(r)), 0);
  EXPECT_STREQ(r.ServerName, "H7XZ1:2-1");
  EXPECT_EQ(r.Slotted, 1);
  EXPECT_EQ(r.SecondPort, 0);
  EXPECT_EQ(r.SlotCount, 1);
  EXPECT_EQ(r.SlotPorts[0], 2);
  EXPECT_EQ(r.SlotPorts[1], 1);
  EXPECT_EQ(r.IPAddress2, 0x0B01A8C0u);
}

class WriteOneServerTest : public StoreTest {};

TEST_F(WriteOneServerTest, RefusesMoreThan68PortsAndWritesNothing) {
  TkcServerRecord r = Sample("XYZ1558-68", 69);
  EXPECT_EQ(Tkc_RegWriteOneServer(0, &r, sizeof(r)), 25);
  EXPECT_FALSE(KeyExists(kServer1));
  EXPECT_EQ(Tkc_RegWriteOneServer(0, &r, 929), 24);
}

TEST_F(WriteOneServerTest, Writes68PortsInFull) {
  TkcServerRecord r = Sample("XYZ1558-68", 68);
  ASSERT_EQ(Tkc_RegWriteOneServer(0, &r, sizeof(r)), 0);
  EXPECT_EQ(StoredDword(kServer1, "PortNo"), 68u);
  EXPECT_EQ(StoredDword(kServer1, "ComNo68"), r.PortMap[69].Com);
  EXPECT_EQ(StoredDword(kServer1, "ComOA68"), r.PortMap[69].Options);
  bool present = true;
  StoredDword(kServer1, "ComNo69", &present);
  EXPECT_FALSE(present);

  TkcServerRecord back;
  ASSERT_EQ(Tkc_RegReadOneServer(0, &back, sizeof(back)), 0);
  for (uint32_t e = 2; e < TKC_PORTMAP_ENTRIES; ++e) {
    EXPECT_EQ(back.PortMap[e].Com, r.PortMap[e].Com) << e;
    EXPECT_EQ(back.PortMap[e].Options, r.PortMap[e].Options) << e;
  }
}

TEST_F(WriteOneServerTest, WritesTheValuesInTheirOrder) {
  TkcServerRecord r = Sample("4629", 2);
  ASSERT_EQ(Tkc_RegWriteOneServer(0, &r, sizeof(r)), 0);
  tarvik::RegKey k;
  ASSERT_EQ(k.Open(kServer1, tarvik::RegAccess::kRead), 0);
  std::vector<std::string> names;
  char name[64];
  for (uint32_t i = 0;; ++i) {
    uint32_t size = sizeof(name);
    if (k.EnumValue(i, name, &size, nullptr, nullptr, nullptr) != 0) break;
    names.emplace_back(name);
  }
  const std::vector<std::string> want = {
      "ServerName", "AliasName", "HostName",      "PW",               "IPAddress",
      "IPAddress2", "PortNo",    "ComNo1",        "ComOA1",           "ComNo2",
      "ComOA2",     "ComNoIO",   "KeepAliveTime", "ConnectionBroken", "ConnectTimeout",
      "TcpPortCmd", "TcpPort7000"};
  EXPECT_EQ(names, want);
}

TEST_F(WriteOneServerTest, ForcesFixedConfigOfTwoModels) {
  TkcServerRecord r = Sample("R-8615", 2);
  ASSERT_EQ(Tkc_RegWriteOneServer(0, &r, sizeof(r)), 0);
  EXPECT_TRUE(TkcComFixedConfig(r.PortMap[3].Com)) << "data port 2 in the caller's record";
  EXPECT_FALSE(TkcComFixedConfig(r.PortMap[2].Com));
  EXPECT_TRUE(TkcComFixedConfig(StoredDword(kServer1, "ComNo2")));

  r = Sample("FWR-4xx", 1);
  ASSERT_EQ(Tkc_RegWriteOneServer(0, &r, sizeof(r)), 0);
  EXPECT_TRUE(TkcComFixedConfig(r.PortMap[2].Com)) << "data port 1 in the caller's record";
  EXPECT_TRUE(TkcComFixedConfig(StoredDword(kServer1, "ComNo1")));
}

TEST_F(WriteOneServerTest, ReducesTheIoPortWord) {
  TkcServerRecord r = Sample("4629", 3);
  r.PortMap[0].Com = 0xFFFFF005;
  r.PortMap[0].Options = 77;
  ASSERT_EQ(Tkc_RegWriteOneServer(0, &r, sizeof(r)), 0);
  const uint32_t want = 0x1005u | TKC_COM_FIXED_CONFIG;
  EXPECT_EQ(r.PortMap[0].Com, want);
  EXPECT_EQ(StoredDword(kServer1, "ComNoIO"), want);
}

TEST_F(WriteOneServerTest, CutsTextsThatFillTheirFieldWithoutNul) {
  TkcServerRecord r = Sample("4629", 1);
  std::memset(r.AliasName, 'a', sizeof(r.AliasName));  // no NUL at all
  std::memset(r.PW, 'p', sizeof(r.PW));
  ASSERT_EQ(Tkc_RegWriteOneServer(0, &r, sizeof(r)), 0);
  TkcServerRecord back;
  ASSERT_EQ(Tkc_RegReadOneServer(0, &back, sizeof(back)), 0);
  EXPECT_EQ(std::string(back.AliasName), std::string(49, 'a'));
  EXPECT_EQ(std::string(back.PW), std::string(89, 'p'));
}

TEST_F(WriteOneServerTest, LeavesStaleValuesOfRemovedPorts) {
  TkcServerRecord r = Sample("4629", 4);
  ASSERT_EQ(Tkc_RegWriteOneServer(0, &r, sizeof(r)), 0);
  r.PortNo = 2;
  ASSERT_EQ(Tkc_RegWriteOneServer(0, &r, sizeof(r)), 0);
  bool present = false;
  EXPECT_EQ(StoredDword(kServer1, "ComNo4", &present), r.PortMap[5].Com);
  EXPECT_TRUE(present);
  TkcServerRecord back;
  ASSERT_EQ(Tkc_RegReadOneServer(0, &back, sizeof(back)), 0);
  EXPECT_EQ(back.PortNo, 2u);
}

TEST_F(WriteOneServerTest, NeedsTheParameterKey) {
  LoadText("[-HKEY_LOCAL_MACHINE\\" TKC_PARAMETER_KEY "]\n");
  TkcServerRecord r = Sample("4629", 1);
  EXPECT_EQ(Tkc_RegWriteOneServer(0, &r, sizeof(r)), 8);
  EXPECT_FALSE(KeyExists(kServer1));
}

}  // namespace
