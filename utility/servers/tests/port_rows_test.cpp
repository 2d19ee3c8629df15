#include "port_rows.h"

#include <gtest/gtest.h>

#include "record_fixture.h"
#include "tree_item_word.h"

namespace tarvik::app {
namespace {
using testing::MakeServer;
using testing::PortWord;

struct ReservedCase {
  const char* name;
  bool reserved;
};

class ReservedIo : public ::testing::TestWithParam<ReservedCase> {};

TEST_P(ReservedIo, Rule) { EXPECT_EQ(IsReservedIo(GetParam().name), GetParam().reserved); }

INSTANTIATE_TEST_SUITE_P(
    Names, ReservedIo,
    ::testing::Values(
        ReservedCase{"4629", true}, ReservedCase{"4629-T", true}, ReservedCase{"462", false},
        ReservedCase{"VK-8110", true}, ReservedCase{"vk-8110", false},
        ReservedCase{"QHG-J5x", true}, ReservedCase{"RRB-340", false},
        // Prefix then a digit as sixth character.
        ReservedCase{"Q410X2", true}, ReservedCase{"Q410XA", false}, ReservedCase{"Q410X", false},
        ReservedCase{"1380K9-T", true}, ReservedCase{"1380K-9", false},
        // ZKCJ-4 with "-IP67" at positions 8 to 12.
        ReservedCase{"ZKCJ-499-IP67", true}, ReservedCase{"ZKCJ-499-IP6", false},
        ReservedCase{"ZKCJ-49-IP67", false}, ReservedCase{"ZKCJ-4", false},
        // Whole model names: followed by a non-digit or nothing.
        ReservedCase{"ZKCJ-423", true}, ReservedCase{"ZKCJ-423-T", true},
        ReservedCase{"ZKCJ-4231", false}, ReservedCase{"XYZ-8359", true},
        ReservedCase{"XYZ-83591", false}, ReservedCase{"XYZ-38", false},
        ReservedCase{"XYZ-2xx", true}, ReservedCase{"", false}),
    [](const ::testing::TestParamInfo<ReservedCase>& info) {
      std::string n;
      for (const char* p = info.param.name; *p; ++p) n += isalnum((unsigned char)*p) ? *p : '_';
      return "n" + n + (info.param.reserved ? "_reserved" : "_free");
    });

ServerRecord FourPortServer(const char* name) {
  ServerRecord r = MakeServer(name, "10.0.0.1");
  r.PortNo = 4;
  r.PortMap[0].Com = 0;
  r.PortMap[1].Com = PortWord(0, 0, 0, 0, true);
  for (uint32_t p = 1; p <= 4; ++p) r.PortMap[p + 1].Com = PortWord(p + 10, p, p, 0);
  return r;
}

TEST(PortRows, UnmappedIoPortOfAReservingDevice) {
  ServerRecord r = FourPortServer("4629-A");
  auto rows = PortRows(r, 0);
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows[0].port, "Port I/O");
  EXPECT_EQ(rows[0].com, "Reserved");
  EXPECT_EQ(rows[0].baud, "N/A");

  r.PortMap[0].Com = 5;
  rows = PortRows(r, 0);
  EXPECT_EQ(rows[0].com, "COM5");
  EXPECT_EQ(rows[0].baud, "N/A");
}

TEST(PortRows, UnmappedPortsOfOtherDevicesShowUnMap) {
  ServerRecord r = FourPortServer("NH-0410");
  r.PortMap[2].Com &= ~0xFFFu;
  auto rows = PortRows(r, 0);
  EXPECT_EQ(rows[0].com, "UnMap");
  EXPECT_EQ(rows[1].com, "UnMap");
  EXPECT_EQ(rows[1].port, "Port 1");
}

TEST(PortRows, FirstDataPortReservedOnTwoModels) {
  for (const char* name : {"RF-0301", "NJ-674"}) {
    ServerRecord r = FourPortServer(name);
    r.PortMap[2].Com &= ~0xFFFu;
    r.PortMap[4].Com &= ~0xFFFu;
    auto rows = PortRows(r, 0);
    EXPECT_EQ(rows[1].com, "Reserved") << name;
    EXPECT_EQ(rows[3].com, "UnMap") << name;
  }
}

TEST(PortRows, BaseUnitSkipsCommandPortAndAnUnusableSecondPort) {
  ServerRecord r = FourPortServer("NH-0410");
  auto rows = PortRows(r, 0);
  ASSERT_EQ(rows.size(), 5u);  // I/O and four data ports
  EXPECT_EQ(rows[1].entry, 2);
  EXPECT_EQ(rows[2].entry, 3);
  EXPECT_EQ(rows[2].com, "COM12");
  EXPECT_EQ(rows[2].baud, "Dynamic");
  EXPECT_EQ(PortRowEntry(rows[2].rowWord), 3);

  r.SecondPort = 0;
  rows = PortRows(r, 0);
  ASSERT_EQ(rows.size(), 4u);
  for (const PortRow& row : rows) EXPECT_NE(row.entry, 3);
}

TEST(PortRows, SlotShowsOnlyItsOwnPorts) {
  ServerRecord r = MakeServer("ZKCJ-5000", "10.0.0.1");
  r.PortNo = 4;
  r.PortMap[2].Com = PortWord(3, 1, 1, 0);
  r.PortMap[3].Com = PortWord(4, 2, 1, 0);
  r.PortMap[4].Com = PortWord(7, 10, 1, 1, true);
  r.PortMap[5].Com = PortWord(0, 11, 2, 1);
  auto rows = PortRows(r, 1);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].port, "Port 10");
  EXPECT_EQ(rows[0].com, "COM7");
  EXPECT_EQ(rows[0].baud, "Fixed");
  EXPECT_EQ(rows[1].com, "UnMap");
  EXPECT_TRUE(PortRows(r, 2).empty());
}

TEST(PortRows, PortCountBeyondTheRecordStaysInside) {
  ServerRecord r = FourPortServer("NH-0410");
  r.PortNo = 200;
  EXPECT_LE(PortRows(r, 0).size(), 69u);
}

TEST(ForceFixedPorts, TheTwoModelsWithFixedPorts) {
  ServerRecord r = FourPortServer("R-8615-T");
  ForceFixedPorts(r);
  EXPECT_EQ(PortRows(r, 0)[2].baud, "Fixed");  // entry 3
  EXPECT_EQ(PortRows(r, 0)[1].baud, "Dynamic");

  ServerRecord f = FourPortServer("FWR-410");
  ForceFixedPorts(f);
  EXPECT_EQ(PortRows(f, 0)[1].baud, "Fixed");  // entry 2
  EXPECT_EQ(PortRows(f, 0)[2].baud, "Dynamic");

  ServerRecord other = FourPortServer("NH-0410");
  ForceFixedPorts(other);
  EXPECT_EQ(PortRows(other, 0)[1].baud, "Dynamic");
  EXPECT_EQ(PortRows(other, 0)[2].baud, "Dynamic");
}

}  // namespace
}  // namespace tarvik::app
