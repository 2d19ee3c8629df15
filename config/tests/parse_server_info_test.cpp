// Tkc_ParseServerInfo: every device-name rule, the names that must be
// refused, and what a parse leaves alone.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "tarvikcfg.h"

namespace {

struct ParseCase {
  const char* name;
  uint16_t status;
  uint32_t ports;
  int slotted;
  int second;
  int slotCount;
  std::vector<int> slotPorts;  // SlotPorts[0..]; the rest must be 0
  // "slot:index:deviceport ..." of every data port in order; null means
  // the base unit only: port i is slot 0, index i, device port i.
  const char* layout;
};

std::ostream& operator<<(std::ostream& os, const ParseCase& c) { return os << '"' << c.name << '"'; }

// Names give 25 where a rule reads a digit and finds another character:
// such a name is treated as unknown rather than given a count made up from
// a letter.
const ParseCase kCases[] = {
    {"4629", 0, 3, 0, 1, 0, {3}, nullptr},
    {"Q410X1", 0, 1, 0, 0, 0, {1}, nullptr},
    {"Q410X4", 0, 4, 0, 1, 0, {4}, nullptr},
    {"Q410X8", 0, 8, 0, 1, 0, {8}, nullptr},
    {"Q410XA", 0, 2, 0, 1, 0, {2}, nullptr},
    {"Q410XX-7", 0, 2, 0, 1, 0, {2}, nullptr},
    {"1380K2", 0, 2, 0, 1, 0, {2}, nullptr},
    {"1380KA", 0, 2, 0, 1, 0, {2}, nullptr},
    {"5JV2", 0, 1, 0, 0, 0, {1}, nullptr},
    {"5JV0-anything", 0, 1, 0, 0, 0, {1}, nullptr},
    {"3144", 0, 3, 0, 0, 0, {3}, nullptr},
    {"5963", 0, 3, 0, 0, 0, {3}, nullptr},
    {"3147", 0, 4, 0, 0, 0, {4}, nullptr},
    {"5964", 0, 4, 0, 0, 0, {4}, nullptr},
    {"2596", 0, 4, 0, 0, 0, {4}, nullptr},
    {"3643", 0, 4, 0, 0, 0, {4}, nullptr},
    {"8928", 0, 4, 0, 0, 0, {4}, nullptr},
    {"9833", 0, 4, 0, 0, 0, {4}, nullptr},
    {"3144-16", 0, 16, 0, 0, 0, {16}, nullptr},
    {"9833-8x", 0, 8, 0, 0, 0, {8}, nullptr},
    {"5963-100", 0, 68, 0, 0, 0, {68}, nullptr},
    {"3147-99999999999999999999", 0, 68, 0, 0, 0, {68}, nullptr},
    {"RRB-341", 0, 3, 0, 1, 0, {3}, nullptr},
    {"RRB-341 rev B", 0, 3, 0, 1, 0, {3}, nullptr},
    {"VF-22", 0, 1, 0, 0, 0, {1}, nullptr},
    {"VF-411", 0, 1, 0, 0, 0, {1}, nullptr},
    {"VF-414", 0, 4, 0, 1, 0, {4}, nullptr},
    {"GW-08", 0, 1, 0, 0, 0, {1}, nullptr},
    {"BG9-56", 0, 1, 0, 0, 0, {1}, nullptr},
    {"NH-04L", 0, 1, 1, 0, 0, {1}, nullptr},
    {"NH-0ZR", 0, 1, 0, 0, 0, {1}, nullptr},
    {"VK-8", 0, 2, 0, 1, 0, {2}, nullptr},
    {"NGR-3", 0, 2, 0, 1, 0, {2}, nullptr},
    {"KQX-49AP", 0, 3, 0, 1, 0, {3}, nullptr},
    {"KQX-49AB", 0, 2, 0, 1, 0, {2}, nullptr},
    {"KQX-49", 0, 2, 0, 1, 0, {2}, nullptr},
    {"KQX-2073", 0, 3, 0, 1, 0, {3}, nullptr},
    {"L1431Z-12", 0, 12, 0, 0, 0, {12}, nullptr},
    {"L1431Z-", 0, 0, 0, 0, 0, {0}, nullptr},
    {"L1431Z-99", 0, 68, 0, 0, 0, {68}, nullptr},
    {"H7XZ3:4-412", 0, 11, 1, 0, 3, {4, 4, 1, 2},
     "0:1:1 0:2:2 0:3:3 0:4:4 1:1:10 1:2:11 1:3:12 1:4:13 2:1:14 3:1:18 3:2:19"},
    {"H7XZ3:2+18", 0, 11, 1, 0, 2, {2, 1, 8},
     "0:1:1 0:2:2 1:1:10 2:1:18 2:2:19 2:3:20 2:4:21 2:5:22 2:6:23 2:7:24 2:8:25"},
    {"H7XZ2:4+", 0, 4, 1, 0, 2, {4, 0, 0}, nullptr},
    {"H7XZ1:3-0901", 0, 4, 1, 0, 4, {3, 0, 0, 0, 1}, "0:1:1 0:2:2 0:3:3 4:1:22"},
    {"H7XZ1:4+9999999999", 0, 4, 1, 0, 9, {4, 0, 0, 0, 0, 0, 0, 0, 0, 0}, nullptr},
    {"vWQV1L05", 0, 5, 1, 1, 0, {5}, nullptr},
    {"vWQV1L:4-12", 0, 7, 1, 1, 2, {4, 1, 2}, "0:1:1 0:2:2 0:3:3 0:4:4 1:1:10 2:1:14 2:2:15"},
    {"vWQV1L:2+3", 0, 5, 1, 1, 1, {2, 3}, "0:1:1 0:2:2 1:1:10 1:2:11 1:3:12"},
    {"vWQV1L:4x12", 0, 4, 1, 1, 0, {4}, nullptr},
    {"kV-2A65", 0, 4, 0, 1, 0, {4}, nullptr},
    {"cHN-73", 0, 3, 0, 1, 0, {3}, nullptr},
    {"cHN-61", 0, 1, 0, 1, 0, {1}, nullptr},
    {"cHN-17", 0, 8, 0, 1, 0, {8}, nullptr},
    {"cHN-14", 0, 16, 0, 1, 0, {16}, nullptr},
    {"H-2400WR", 0, 2, 0, 1, 0, {2}, nullptr},
    {"R-8615", 0, 2, 0, 1, 0, {2}, nullptr},
    {"R-8615-S", 0, 2, 0, 1, 0, {2}, nullptr},
    {"R-8655", 0, 1, 0, 0, 0, {1}, nullptr},
    {"XF-HJ-0", 0, 2, 0, 1, 0, {2}, nullptr},
    {"FWR-4", 0, 1, 0, 0, 0, {1}, nullptr},
    {"N4904X-8", 0, 8, 0, 0, 0, {8}, nullptr},
    {"N4904X-200", 0, 68, 0, 0, 0, {68}, nullptr},
    {"F-9095", 0, 2, 0, 1, 0, {2}, nullptr},
    {"H4Z-455", 0, 2, 0, 1, 0, {2}, nullptr},
    {"H4Z-485", 0, 2, 0, 1, 0, {2}, nullptr},
    {"H4Z-610", 0, 2, 0, 1, 0, {2}, nullptr},
    {"H4Z-617", 0, 1, 0, 0, 0, {1}, nullptr},
    {"hNH-3A1", 0, 1, 0, 0, 0, {1}, nullptr},
    {"hNH-3A4", 0, 4, 0, 1, 0, {4}, nullptr},
    {"hNH-42", 0, 2, 0, 1, 0, {2}, nullptr},
    {"WYB-21", 0, 1, 0, 0, 0, {1}, nullptr},
    {"YYW-9", 0, 1, 0, 0, 0, {1}, nullptr},
    {"XYZ-381", 0, 8, 0, 1, 0, {8}, nullptr},
    {"XYZ-943", 0, 2, 0, 1, 0, {2}, nullptr},
    {"XYZ-2033", 0, 10, 0, 1, 0, {10}, nullptr},
    {"XYZ-812", 0, 1, 1, 0, 0, {1}, nullptr},
    {"XYZ-812:3-412", 0, 8, 1, 0, 3, {1, 4, 1, 2},
     "0:1:1 1:1:10 1:2:11 1:3:12 1:4:13 2:1:14 3:1:18 3:2:19"},
    {"XYZ-812:1+2", 0, 3, 1, 0, 1, {1, 2}, "0:1:1 1:1:10 1:2:11"},
    {"XYZ-8603", 0, 8, 1, 0, 1, {4, 4}, "0:1:1 0:2:2 0:3:3 0:4:4 1:1:10 1:2:11 1:3:12 1:4:13"},
    {"XYZ-8043", 0, 8, 1, 0, 1, {4, 4}, "0:1:1 0:2:2 0:3:3 0:4:4 1:1:10 1:2:11 1:3:12 1:4:13"},
    {"XYZ-8158", 0, 8, 1, 0, 1, {4, 4}, "0:1:1 0:2:2 0:3:3 0:4:4 1:1:10 1:2:11 1:3:12 1:4:13"},
    {"XYZ-8072", 0, 12, 1, 0, 2, {4, 4, 4},
     "0:1:1 0:2:2 0:3:3 0:4:4 1:1:10 1:2:11 1:3:12 1:4:13 2:1:14 2:2:15 2:3:16 2:4:17"},
    {"XYZ-8359", 0, 12, 1, 0, 2, {4, 4, 4},
     "0:1:1 0:2:2 0:3:3 0:4:4 1:1:10 1:2:11 1:3:12 1:4:13 2:1:14 2:2:15 2:3:16 2:4:17"},
    {"XYZ1558-12", 0, 12, 0, 0, 0, {12}, nullptr},
    {"XYZ1558-100", 0, 68, 0, 0, 0, {68}, nullptr},
    {"ZKCJ-481", 0, 8, 0, 1, 0, {8}, nullptr},
    {"ZNX-01", 0, 2, 0, 1, 0, {2}, nullptr},
    {"ZNX-68", 0, 2, 0, 1, 0, {2}, nullptr},
    {"ZNX-07", 0, 1, 0, 0, 0, {1}, nullptr},
    {"XV-KJ-8", 0, 2, 0, 1, 0, {2}, nullptr},
    {"ZH-BW779", 0, 10, 0, 1, 0, {10}, nullptr},
    {"RF-030", 0, 2, 0, 1, 0, {2}, nullptr},
    {"NJ-674", 0, 2, 0, 1, 0, {2}, nullptr},
};

// Names no rule accepts: unknown models, a refused character after a
// prefix, an exact name followed by a digit, and a letter where a digit is read.
const char* const kUnknownNames[] = {
    "",            "ABC",         "Q410X",        "Q410X9",      "Q410X0",     "Q410XB",
    "1380K9",      "1380KZ",      "3144X",        "3144-",       "3144-X",     "31445",
    "9833 ",       "RRB-3412",    "VF-41X",       "KQX-4",       "H7XZ3:4*412", "H7XZA:4-412",
    "H7XZ3:X-412", "vWQV1L:X-12", "kV-2A66",      "cHN-7X",      "cHN-6",      "R-86150",
    "R-86551",     "F-90951",     "H4Z-6100",     "H4Z-61X",     "hNH-3AX",    "hNH-4",
    "WYB-2X",      "XYZ-3815",    "XYZ-3X1",      "XYZ-38",      "XYZ-9430",   "XYZ-20334",
    "XYZ-8",       "XYZ-8X2",     "XYZ-86031",    "XYZ-999",     "XYZ-",       "ZKCJ-4815",
    "ZKCJ-4X1",    "ZH-BW7790",   "q410x4",       "xyz1558-4",
};

TkcServerRecord ParsedRecord(const char* name, uint16_t* status) {
  TkcServerRecord record{};
  std::strncpy(record.ServerName, name, sizeof(record.ServerName) - 1);
  *status = Tkc_ParseServerInfo(&record, sizeof(record));
  return record;
}

std::string LayoutOf(const TkcServerRecord& r) {
  std::ostringstream out;
  for (uint32_t i = 0; i < r.PortNo; ++i) {
    const uint32_t com = r.PortMap[i + 2].Com;
    if (i) out << ' ';
    out << TkcComSlot(com) << ':' << TkcComIndex(com) << ':' << TkcComDevicePort(com);
  }
  return out.str();
}

// The index field holds 6 bits: ports 64 to 68 of a base unit wrap there
// (as the older stores' conversion does) and never spill into the slot.
std::string BaseLayout(uint32_t ports) {
  std::ostringstream out;
  for (uint32_t i = 1; i <= ports; ++i) out << (i > 1 ? " " : "") << "0:" << (i & 0x3F) << ':' << i;
  return out.str();
}

class ParseRuleTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseRuleTest, GivesLayout) {
  const ParseCase& c = GetParam();
  uint16_t status = 0;
  const TkcServerRecord r = ParsedRecord(c.name, &status);
  EXPECT_EQ(status, c.status);
  EXPECT_EQ(r.PortNo, c.ports);
  EXPECT_EQ(r.Slotted, c.slotted);
  EXPECT_EQ(r.SecondPort, c.second);
  EXPECT_EQ(r.SlotCount, c.slotCount);
  for (size_t s = 0; s < 13; ++s) {
    const int want = s < c.slotPorts.size() ? c.slotPorts[s] : 0;
    EXPECT_EQ(r.SlotPorts[s], want) << "SlotPorts[" << s << "]";
  }
  EXPECT_EQ(LayoutOf(r), c.layout ? std::string(c.layout) : BaseLayout(c.ports));
  for (uint32_t e = 2 + r.PortNo; e < TKC_PORTMAP_ENTRIES; ++e) {
    EXPECT_EQ(r.PortMap[e].Com, 0u) << "entry " << e << " beyond the ports laid out";
  }
}

INSTANTIATE_TEST_SUITE_P(EveryRule, ParseRuleTest, ::testing::ValuesIn(kCases));

class UnknownNameTest : public ::testing::TestWithParam<const char*> {};

TEST_P(UnknownNameTest, Gives25AndResetsTheSlotFields) {
  TkcServerRecord r{};
  std::strncpy(r.ServerName, GetParam(), sizeof(r.ServerName) - 1);
  r.PortNo = 7;
  r.Slotted = 1;
  r.SecondPort = 0;
  r.SlotCount = 3;
  std::memset(r.SlotPorts, 4, sizeof(r.SlotPorts));
  for (auto& m : r.PortMap) m.Com = 0xDEADBEEF;
  EXPECT_EQ(Tkc_ParseServerInfo(&r, sizeof(r)), 25);
  EXPECT_EQ(r.PortNo, 0u);
  EXPECT_EQ(r.Slotted, 0);
  EXPECT_EQ(r.SecondPort, 1);
  EXPECT_EQ(r.SlotCount, 0);
  for (uint8_t p : r.SlotPorts) EXPECT_EQ(p, 0);
  for (const auto& m : r.PortMap) EXPECT_EQ(m.Com, 0xDEADBEEFu);
}

INSTANTIATE_TEST_SUITE_P(Names, UnknownNameTest, ::testing::ValuesIn(kUnknownNames));

TEST(ParseServerInfo, KeepsComNumbersPurgeAndFixedConfig) {
  TkcServerRecord r{};
  std::strcpy(r.ServerName, "H7XZ3:4-412");
  for (uint32_t e = 0; e < TKC_PORTMAP_ENTRIES; ++e) {
    // COM number, DisablePurge and FixedConfig set, layout bits all ones.
    r.PortMap[e].Com = (e + 100) | TKC_COM_DISABLE_PURGE | TKC_COM_FIXED_CONFIG | TKC_COM_LAYOUT_MASK;
    r.PortMap[e].Options = 0x1234;
  }
  ASSERT_EQ(Tkc_ParseServerInfo(&r, sizeof(r)), 0);
  for (uint32_t e = 0; e < TKC_PORTMAP_ENTRIES; ++e) {
    const uint32_t com = r.PortMap[e].Com;
    EXPECT_EQ(TkcComNumber(com), e + 100) << e;
    EXPECT_TRUE(TkcComDisablePurge(com)) << e;
    EXPECT_TRUE(TkcComFixedConfig(com)) << e;
    EXPECT_EQ(r.PortMap[e].Options, 0x1234u) << e;
  }
  // Ports 2 and 11 were laid out; entries 0, 1 and those past the ports were not.
  EXPECT_EQ(TkcComDevicePort(r.PortMap[3].Com), 2u);
  EXPECT_EQ(TkcComDevicePort(r.PortMap[12].Com), 19u);
  EXPECT_EQ(r.PortMap[0].Com & TKC_COM_LAYOUT_MASK, TKC_COM_LAYOUT_MASK);
  EXPECT_EQ(r.PortMap[13].Com & TKC_COM_LAYOUT_MASK, TKC_COM_LAYOUT_MASK);
}

TEST(ParseServerInfo, WrongSizeChangesNothing) {
  TkcServerRecord r{};
  std::strcpy(r.ServerName, "4629");
  r.PortNo = 9;
  r.SecondPort = 0;
  EXPECT_EQ(Tkc_ParseServerInfo(&r, sizeof(r) - 1), 24);
  EXPECT_EQ(Tkc_ParseServerInfo(&r, 0), 24);
  EXPECT_EQ(Tkc_ParseServerInfo(nullptr, sizeof(r)), 24);
  EXPECT_EQ(r.PortNo, 9u);
  EXPECT_EQ(r.SecondPort, 0);
}

TEST(ParseServerInfo, SlotPortsBeyond68AreNotLaidOut) {
  uint16_t status = 0;
  // 8 base ports and nine full slots ask for 80 ports.
  const TkcServerRecord r = ParsedRecord("H7XZ9:8+888888888", &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(r.PortNo, 68u);
  EXPECT_EQ(r.SlotCount, 9);
  // The 68th data port is the 4th of slot 8 (8 + 7 * 8 = 64 before it).
  const uint32_t last = r.PortMap[69].Com;
  EXPECT_EQ(TkcComSlot(last), 8u);
  EXPECT_EQ(TkcComIndex(last), 4u);
  EXPECT_EQ(TkcComDevicePort(last), 7u * 8 + 4 + 9);
}

TEST(ParseServerInfo, NameFillingTheWholeFieldIsReadWithinIt) {
  // 50 characters and no NUL: the parse must stop at the field's end; the
  // alias behind it must not be taken for more digits.
  TkcServerRecord r{};
  std::memcpy(r.ServerName, "L1431Z-", 7);
  std::memset(r.ServerName + 7, '0', sizeof(r.ServerName) - 8);
  r.ServerName[49] = '5';
  std::strcpy(r.AliasName, "999");
  ASSERT_EQ(Tkc_ParseServerInfo(&r, sizeof(r)), 0);
  EXPECT_EQ(r.PortNo, 5u);
}

}  // namespace
