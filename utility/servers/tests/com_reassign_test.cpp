// The Configure Port choice applied to a record: one port, or re-assigned
// over the following ports of a slot or of every slot, around numbers in
// use, never handing out a number twice.
#include "com_reassign.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "record_fixture.h"

namespace {

using tarvik::app::ApplyPortChoiceToServer;
using tarvik::app::ComNumber;
using tarvik::app::ServerRecord;
using tarvik::app::testing::MakeServer;
using tarvik::app::testing::PortWord;
using tarvik::device::kComNumbers;
using tarvik::device::PortMapChoice;

// A slotted server: I/O port, command port, base data ports 1 and 2
// (entries 2 and 3), slot 1 ports 10..11 (entries 4, 5), slot 2 port 20
// (entry 6). Every port mapped to COM 100 + entry.
ServerRecord Slotted(const char* name = "ZNX-0800") {
  ServerRecord r = MakeServer(name, "10.0.0.5");
  r.Slotted = 1;
  r.PortNo = 5;
  const struct { uint32_t devicePort, index, slot; } layout[] = {
      {0, 0, 0}, {0, 0, 0}, {1, 1, 0}, {2, 2, 0}, {10, 1, 1}, {11, 2, 1}, {20, 1, 2}};
  for (int e = 0; e < 7; ++e) {
    const uint32_t com = e == 1 ? 0 : 100 + e;
    r.PortMap[e].Com = PortWord(com, layout[e].devicePort, layout[e].index, layout[e].slot);
    r.PortMap[e].Options = 5u << 1;
  }
  return r;
}

std::vector<uint32_t> Coms(const ServerRecord& r) {
  std::vector<uint32_t> coms;
  for (int e = 0; e <= static_cast<int>(r.PortNo) + 1; ++e) coms.push_back(ComNumber(r.PortMap[e].Com));
  return coms;
}

struct InUseTable {
  uint8_t flags[kComNumbers] = {};
  InUseTable(const ServerRecord& r, int entry, std::initializer_list<uint32_t> others) {
    for (int e = 0; e < 7; ++e)
      if (e != entry && ComNumber(r.PortMap[e].Com)) flags[ComNumber(r.PortMap[e].Com) - 1] = 1;
    for (uint32_t com : others) flags[com - 1] = 1;
  }
};

struct ReassignRow {
  const char* what;
  const char* name;
  uint8_t secondPort;
  int entry;
  uint32_t com;
  bool applyToSlots;
  std::initializer_list<uint32_t> taken;  // numbers used elsewhere on the machine
  std::vector<uint32_t> expected;         // COM numbers of entries 0..6
  int left;
};

const ReassignRow kRows[] = {
    {"gaps in the free numbers", "ZNX-0800", 1, 2, 5, false, {6, 8}, {100, 0, 5, 7, 104, 105, 106}, 0},
    {"a slot only", "ZNX-0800", 1, 4, 7, false, {8}, {100, 0, 102, 103, 7, 9, 106}, 0},
    {"every slot from the chosen entry", "ZNX-0800", 1, 4, 7, true, {8, 10}, {100, 0, 102, 103, 7, 9, 11}, 0},
    {"the I/O port and on, command port skipped", "ZNX-0800", 1, 0, 1, false, {2}, {1, 0, 3, 4, 104, 105, 106}, 0},
    {"second port skipped when the model has none", "ZNX-0800", 0, 2, 20, false, {}, {100, 0, 20, 0, 104, 105, 106}, 0},
    {"first data port kept by the device", "RF-030X", 1, 2, 20, false, {}, {100, 0, 0, 20, 104, 105, 106}, 0},
    {"numbers run out past 4095", "ZNX-0800", 1, 4, 4094, true, {4095}, {100, 0, 102, 103, 4094, 0, 0}, 2},
    {"numbers only go up, past the other slots' numbers", "ZNX-0800", 1, 2, 103, false, {}, {100, 0, 103, 107, 104, 105, 106}, 0},
    {"a released number is taken again", "ZNX-0800", 1, 2, 102, false, {}, {100, 0, 102, 103, 104, 105, 106}, 0},
    {"unmapping the rest of the slot", "ZNX-0800", 1, 4, 0, false, {}, {100, 0, 102, 103, 0, 0, 106}, 0},
};

TEST(ComReassign, OverASlottedServer) {
  for (const ReassignRow& row : kRows) {
    ServerRecord r = Slotted(row.name);
    r.SecondPort = row.secondPort;
    if (!row.secondPort) r.PortMap[3].Com &= ~0xFFFu;
    InUseTable table(r, row.entry, row.taken);
    PortMapChoice choice;
    choice.com = row.com;
    choice.reassign = true;
    choice.applyToSlots = row.applyToSlots;
    choice.writeBuffer = true;
    choice.intervalMs = 120;
    EXPECT_EQ(ApplyPortChoiceToServer(r, row.entry, choice, table.flags), row.left) << row.what;
    EXPECT_EQ(Coms(r), row.expected) << row.what;
    // Every number handed out is marked, and none twice.
    std::vector<uint32_t> seen;
    for (uint32_t com : Coms(r)) {
      if (com == 0) continue;
      EXPECT_EQ(std::count(seen.begin(), seen.end(), com), 0) << row.what << " COM" << com;
      seen.push_back(com);
      EXPECT_EQ(table.flags[com - 1], 1) << row.what << " COM" << com;
      for (uint32_t other : row.taken) EXPECT_NE(com, other) << row.what;
    }
  }
}

TEST(ComReassign, FlagsAndIntervalOfEveryReassignedPort) {
  ServerRecord r = Slotted();
  InUseTable table(r, 0, {});
  PortMapChoice choice;
  choice.com = 30;
  choice.reassign = true;
  choice.disablePurge = true;
  choice.writeBuffer = true;
  choice.intervalMs = 120;
  ApplyPortChoiceToServer(r, 0, choice, table.flags);
  for (int e : {0, 2, 3}) {
    EXPECT_EQ(TkcComFixedConfig(r.PortMap[e].Com), e == 0) << e;  // the I/O port always fixed
    EXPECT_TRUE(TkcComDisablePurge(r.PortMap[e].Com)) << e;
    EXPECT_TRUE(TkcOptWriteBuffer(r.PortMap[e].Options)) << e;
    EXPECT_EQ(TkcOptAutoFlush(r.PortMap[e].Options), 12u) << e;
    EXPECT_EQ(TkcComDevicePort(r.PortMap[e].Com), e == 0 ? 0u : uint32_t(e - 1)) << e;
  }
  // Unmapping clears the write buffer and goes back to 50 ms.
  choice.com = 0;
  ApplyPortChoiceToServer(r, 2, choice, table.flags);
  EXPECT_FALSE(TkcOptWriteBuffer(r.PortMap[2].Options));
  EXPECT_EQ(TkcOptAutoFlush(r.PortMap[2].Options), 5u);
  EXPECT_TRUE(TkcComDisablePurge(r.PortMap[2].Com));
}

TEST(ComReassign, OnePortLeavesTheOthersAlone) {
  ServerRecord r = Slotted();
  InUseTable table(r, 3, {});
  PortMapChoice choice;
  choice.com = 7;
  choice.fixedBaud = true;
  choice.intervalMs = 5;  // out of range: the default
  ApplyPortChoiceToServer(r, 3, choice, table.flags);
  EXPECT_EQ(Coms(r), (std::vector<uint32_t>{100, 0, 102, 7, 104, 105, 106}));
  EXPECT_TRUE(TkcComFixedConfig(r.PortMap[3].Com));
  EXPECT_EQ(TkcOptAutoFlush(r.PortMap[3].Options), 5u);
  EXPECT_EQ(TkcComSlot(r.PortMap[3].Com), 0u);
  EXPECT_EQ(TkcComDevicePort(r.PortMap[3].Com), 2u);
}

using tarvik::app::ApplyPortDialogResult;
using tarvik::app::PortDialogResult;

// The dialog's result on a record that changed while it was open.
TEST(PortDialogResult, MergedIntoTheRecordAsItIsNow) {
  const ServerRecord opened = Slotted();
  const PortMapChoice shown = tarvik::device::ShownPortChoice(opened, 3, false);
  ServerRecord now = opened;  // meanwhile: purge on, and entry 3 moved to COM 50
  now.PortMap[3].Com = TkcComSetDisablePurge(TkcComSetNumber(now.PortMap[3].Com, 50), 1);
  int left = -1;

  PortMapChoice chosen = shown;  // the user: the interval only
  chosen.writeBuffer = true;
  chosen.intervalMs = 200;
  ServerRecord r = now;
  InUseTable table(r, 3, {});
  EXPECT_EQ(ApplyPortDialogResult(r, 3, shown, chosen, table.flags, &left),
            PortDialogResult::kApplied);
  EXPECT_EQ(left, 0);
  EXPECT_EQ(ComNumber(r.PortMap[3].Com), 50u);
  EXPECT_TRUE(TkcComDisablePurge(r.PortMap[3].Com));
  EXPECT_EQ(TkcOptAutoFlush(r.PortMap[3].Options), 20u);

  chosen = shown;  // the user: COM 104, which entry 4 holds
  chosen.com = 104;
  r = now;
  EXPECT_EQ(ApplyPortDialogResult(r, 3, shown, chosen, table.flags, &left),
            PortDialogResult::kComTaken);
  EXPECT_EQ(std::memcmp(&r, &now, sizeof r), 0);
  chosen.reassign = true;  // re-assigning steps over it instead
  EXPECT_EQ(ApplyPortDialogResult(r, 3, shown, chosen, table.flags, &left),
            PortDialogResult::kApplied);
  EXPECT_EQ(Coms(r), (std::vector<uint32_t>{100, 0, 102, 107, 104, 105, 106}));

  // A purge box the user cleared, when it is already clear underneath.
  ServerRecord cleared = opened;
  cleared.PortMap[3].Com = TkcComSetDisablePurge(cleared.PortMap[3].Com, 1);
  const PortMapChoice purgeShown = tarvik::device::ShownPortChoice(cleared, 3, false);
  chosen = purgeShown;
  chosen.disablePurge = false;
  r = opened;
  InUseTable again(r, 3, {});
  EXPECT_EQ(ApplyPortDialogResult(r, 3, purgeShown, chosen, again.flags, &left),
            PortDialogResult::kUnchanged);

  r = now;
  r.PortNo = 0;  // another layout: entry 3 is gone
  EXPECT_EQ(ApplyPortDialogResult(r, 3, shown, chosen, table.flags, &left),
            PortDialogResult::kNoSuchPort);
}

}  // namespace
