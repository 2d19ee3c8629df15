// Counts, options, the service key and the occupied-COM map.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "store_fixture.h"
#include "tarvik/registry.h"
#include "tarvikcfg.h"

namespace {

using tkctest::SetBox;
using tkctest::StoreTest;

const std::string kParam = std::string("[HKEY_LOCAL_MACHINE\\") + TKC_PARAMETER_KEY + "]\n";

uint32_t StoredDword(const char* name, bool* present = nullptr) {
  tarvik::RegKey k;
  uint32_t v = 0;
  const bool ok = k.Open(TKC_PARAMETER_KEY, tarvik::RegAccess::kRead) == 0 && k.QueryDword(name, &v) == 0;
  if (present) *present = ok;
  return v;
}

TEST(NoParameterKey, EveryOperationGives8) {
  tkctest::TempRoot root;
  {
    // A fresh store has the services key, as every Windows machine does.
    tarvik::RegKey ccs;
    ASSERT_EQ(ccs.Open("SYSTEM\\CurrentControlSet", tarvik::RegAccess::kFullAccess), 0);
    ASSERT_EQ(ccs.DeleteTree("Services"), 0);
  }
  static SetBox box;
  TkcServerRecord record{};
  record.PortNo = 1;
  uint32_t out = 0, out2 = 0;
  const uint32_t info[3] = {1, 2, 3};
  const std::vector<std::pair<const char*, std::function<uint16_t()>>> ops = {
      {"ReadOneServer", [&] { return Tkc_RegReadOneServer(0, &record, sizeof(record)); }},
      {"WriteOneServer", [&] { return Tkc_RegWriteOneServer(0, &record, sizeof(record)); }},
      {"ReadServersAndPorts", [&] { return Tkc_RegReadServersAndPorts(&out, &out2); }},
      {"WriteServersAndPorts", [&] { return Tkc_RegWriteServersAndPorts(1, 2); }},
      {"AddServersAndPortsCount", [&] { return Tkc_RegAddServersAndPortsCount(1, 0); }},
      {"DeleteAll", [&] { return Tkc_RegDeleteAll(); }},
      {"GetQueryInterval", [&] { return Tkc_RegGetQueryInterval(&out); }},
      {"GetSortingType", [&] { return Tkc_RegGetSortingType(&out); }},
      {"SetQueryInterval", [&] { return Tkc_RegSetQueryInterval(1); }},
      {"SetSortingType", [&] { return Tkc_RegSetSortingType(1); }},
      {"ReadAll", [&] { return Tkc_RegReadAll(box.set); }},
      {"ReadInfo", [&] { return Tkc_RegReadInfo(box.set); }},
      {"WriteAll", [&] { return Tkc_RegWriteAll(box.set); }},
      {"WriteInfo", [&] { return Tkc_RegWriteInfo(info); }},
      {"CheckCreateServiceKey", [&] { return Tkc_RegCheckCreateServiceKey(); }},
      {"GetChangeCount", [&] { return Tkc_RegGetChangeCount(&out); }},
  };
  for (const auto& op : ops) EXPECT_EQ(op.second(), 8) << op.first;
  EXPECT_EQ(Tkc_RegAddServersAndPortsCount(0, 0), 0) << "both deltas 0 touch nothing";
  tarvik::RegKey k;
  EXPECT_NE(k.Open(TKC_PARAMETER_KEY, tarvik::RegAccess::kRead), 0) << "no operation made the key";
}

TEST(ServiceKey, IsCreatedUnderAnExistingServicesKey) {
  tkctest::TempRoot root;
  std::string error;
  ASSERT_TRUE(tkctest::LoadRegText("[HKEY_LOCAL_MACHINE\\" TKC_SERVICES_KEY "]\n", &error)) << error;
  EXPECT_EQ(Tkc_RegCheckCreateServiceKey(), 0);
  EXPECT_EQ(Tkc_RegCheckCreateServiceKey(), 0) << "a second call finds it";
  EXPECT_EQ(Tkc_RegSetSortingType(2), 0);
  uint32_t sorting = 0;
  EXPECT_EQ(Tkc_RegGetSortingType(&sorting), 0);
  EXPECT_EQ(sorting, 2u);
}

class CountsTest : public StoreTest {};

TEST_F(CountsTest, InfoIsZeroWhileServersIsMissingOrZero) {
  LoadText(kParam + "\"Ports\"=dword:00000009\n\"Flags\"=dword:00000001\n");
  SetBox box;
  box->Servers = box->Ports = box->Flags = 7;
  EXPECT_EQ(Tkc_RegReadInfo(box.set), 0);
  EXPECT_EQ(box->Servers + box->Ports + box->Flags, 0u);

  LoadText(kParam + "\"Servers\"=dword:00001000\n");
  EXPECT_EQ(Tkc_RegReadInfo(box.set), 0);
  EXPECT_EQ(box->Servers, 0u) << "4096 is above the limit";
  EXPECT_EQ(box->Ports, 9u);
  EXPECT_EQ(box->Flags, 1u);

  const uint32_t info[3] = {4095, 70000, 0x3FF};
  EXPECT_EQ(Tkc_RegWriteInfo(info), 0);
  EXPECT_EQ(Tkc_RegReadInfo(box.set), 0);
  EXPECT_EQ(box->Servers, 4095u);
  EXPECT_EQ(box->Ports, 70000u);
  EXPECT_EQ(box->Flags, 0x3FFu);
}

TEST_F(CountsTest, ServersAndPorts) {
  uint32_t servers = 9, ports = 9;
  EXPECT_EQ(Tkc_RegReadServersAndPorts(&servers, &ports), 0);
  EXPECT_EQ(servers, 0u);
  EXPECT_EQ(ports, 0u);
  EXPECT_EQ(Tkc_RegWriteServersAndPorts(3, 12), 0);
  EXPECT_EQ(Tkc_RegReadServersAndPorts(&servers, &ports), 0);
  EXPECT_EQ(servers, 3u);
  EXPECT_EQ(ports, 12u);
  EXPECT_EQ(Tkc_RegWriteServersAndPorts(5000, 12), 0);
  EXPECT_EQ(Tkc_RegReadServersAndPorts(&servers, &ports), 0);
  EXPECT_EQ(servers, 0u);
  EXPECT_EQ(ports, 12u);
  EXPECT_EQ(Tkc_RegReadServersAndPorts(nullptr, &ports), 24);
}

TEST_F(CountsTest, AddingWrapsAroundSoATwosComplementSubtracts) {
  EXPECT_EQ(Tkc_RegAddServersAndPortsCount(1, 5), 0);
  EXPECT_EQ(StoredDword("Servers"), 1u);
  EXPECT_EQ(StoredDword("Ports"), 5u);
  EXPECT_EQ(Tkc_RegAddServersAndPortsCount(2, 9), 0);
  EXPECT_EQ(Tkc_RegAddServersAndPortsCount(uint32_t(-1), uint32_t(-5)), 0);
  EXPECT_EQ(StoredDword("Servers"), 2u);
  EXPECT_EQ(StoredDword("Ports"), 9u);
  EXPECT_EQ(Tkc_RegAddServersAndPortsCount(uint32_t(-3), 0), 0);
  EXPECT_EQ(StoredDword("Servers"), 0xFFFFFFFFu);
}

TEST_F(CountsTest, BothDeltasZeroWriteNothing) {
  EXPECT_EQ(Tkc_RegAddServersAndPortsCount(0, 0), 0);
  bool present = true;
  StoredDword("Servers", &present);
  EXPECT_FALSE(present);
}

TEST_F(CountsTest, UtilityOptions) {
  uint32_t v = 99;
  EXPECT_EQ(Tkc_RegGetQueryInterval(&v), 0);
  EXPECT_EQ(v, 0u);
  v = 99;
  EXPECT_EQ(Tkc_RegGetSortingType(&v), 0);
  EXPECT_EQ(v, 0u);
  EXPECT_EQ(Tkc_RegSetQueryInterval(600), 0);
  EXPECT_EQ(Tkc_RegSetSortingType(3), 0);
  EXPECT_EQ(Tkc_RegGetQueryInterval(&v), 0);
  EXPECT_EQ(v, 600u);
  EXPECT_EQ(Tkc_RegGetSortingType(&v), 0);
  EXPECT_EQ(v, 3u);
  EXPECT_EQ(StoredDword("UIQueryInterval"), 600u);
  EXPECT_EQ(StoredDword("UISorting"), 3u);
  EXPECT_EQ(Tkc_RegGetSortingType(nullptr), 24);
}

class OtherSerialTest : public StoreTest {};

TEST_F(OtherSerialTest, MarksOnlyOtherUpperCaseComPorts) {
  Load("serial_list.reg");
  static SetBox box;
  box->Servers = 1;
  TkcServerRecord& r = box->Records[0];
  r.PortNo = 2;
  r.PortMap[0].Com = 20 | TKC_COM_FIXED_CONFIG;   // the I/O port maps COM20
  r.PortMap[1].Com = 1;                           // the command port is never ours
  r.PortMap[2].Com = TkcComSetDevicePort(7, 1);   // data port 1 maps COM7
  r.PortMap[3].Com = 0;                           // data port 2 unmapped
  r.PortMap[4].Com = 12;                          // beyond PortNo: not counted
  uint8_t map[TKC_MAX_COM];
  std::memset(map, 0xEE, sizeof(map));
  ASSERT_EQ(Tkc_RegReadOtherSerial(map, box.set, TKC_SET_SIZE), 0);
  std::vector<int> taken;
  for (int n = 1; n <= TKC_MAX_COM; ++n) {
    if (map[n - 1]) taken.push_back(n);
    EXPECT_LE(map[n - 1], 1) << n;
  }
  // COM1 (listed; only our command port "has" it), COM3 (65539 mod 65536),
  // COM12 ("COM12abc"), COM4095. Not: COM0, COM5000, com3, COM4096, COM7
  // and COM20 (ours), the dword, the text too long to read.
  EXPECT_EQ(taken, (std::vector<int>{1, 3, 12, 4095}));
}

TEST_F(OtherSerialTest, NeedsTheListAndTheRightSize) {
  {
    tarvik::RegKey map;
    ASSERT_EQ(map.Open("HARDWARE\\DEVICEMAP", tarvik::RegAccess::kFullAccess), 0);
    ASSERT_EQ(map.DeleteTree("SERIALCOMM"), 0);
  }
  static SetBox box;
  uint8_t map[TKC_MAX_COM];
  map[0] = 1;
  EXPECT_EQ(Tkc_RegReadOtherSerial(map, box.set, TKC_SET_SIZE), 18);
  EXPECT_EQ(map[0], 0) << "the map is cleared first";
  EXPECT_EQ(Tkc_RegReadOtherSerial(map, box.set, TKC_SET_SIZE - 1), 24);
  EXPECT_EQ(Tkc_RegReadOtherSerial(nullptr, box.set, TKC_SET_SIZE), 24);
}

TEST_F(OtherSerialTest, AnOversizedSetCountStaysInsideTheSet) {
  Load("serial_list.reg");
  static SetBox box;
  box->Servers = 0xFFFFFFFF;
  box->Records[TKC_MAX_SERVERS - 1].PortNo = 0xFFFFFFFF;
  box->Records[TKC_MAX_SERVERS - 1].PortMap[69].Com = 4095;
  uint8_t map[TKC_MAX_COM];
  ASSERT_EQ(Tkc_RegReadOtherSerial(map, box.set, TKC_SET_SIZE), 0);
  EXPECT_EQ(map[4094], 0) << "the last record's last port still counts as ours";
  EXPECT_EQ(map[0], 1);
}

}  // namespace
