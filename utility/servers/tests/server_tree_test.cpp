#include "server_tree.h"

#include <gtest/gtest.h>

#include "record_fixture.h"
#include "server_sort.h"
#include "tree_item_word.h"

namespace tarvik::app {
namespace {
using testing::AddServer;
using testing::MakeServer;
using testing::MakeSet;

TEST(ServerTree, SlotChildrenOnlyForSlotsWithPorts) {
  auto set = MakeSet();
  ServerRecord slotted = MakeServer("ZKCJ-5000", "10.0.0.9");
  slotted.Slotted = 1;
  slotted.SlotCount = 3;
  slotted.SlotPorts[1] = 4;
  slotted.SlotPorts[2] = 0;
  slotted.SlotPorts[3] = 8;
  AddServer(*set, MakeServer("VK-8", "10.0.0.1"));
  AddServer(*set, slotted);

  auto items = ServerTreeItems(*set, SortOrder(*set, kSortNone), nullptr);
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].text, "VK-8 [10.0.0.1]");
  EXPECT_EQ(items[1].text, "ZKCJ-5000 [10.0.0.9]");
  EXPECT_FALSE(items[1].slot);
  EXPECT_EQ(items[2].text, "Slot 1");
  EXPECT_EQ(items[3].text, "Slot 3");
  EXPECT_TRUE(items[3].slot);
  EXPECT_EQ(TreeItemServer(items[3].word), 1);
  EXPECT_EQ(TreeItemSlot(items[3].word), 3u);
  // Item numbers count servers and slots together from 1.
  for (size_t i = 0; i < items.size(); ++i) EXPECT_EQ(TreeItemNumber(items[i].word), i + 1);
}

TEST(ServerTree, UnslottedServerGetsNoChildrenWhateverItsSlotFields) {
  auto set = MakeSet();
  ServerRecord r = MakeServer("VK-8", "10.0.0.1");
  r.SlotCount = 2;
  r.SlotPorts[1] = 4;
  AddServer(*set, r);
  EXPECT_EQ(ServerTreeItems(*set, SortOrder(*set, kSortNone), nullptr).size(), 1u);
}

TEST(ServerTree, FollowsTheSortOrderAndTheQueryState) {
  auto set = MakeSet();
  AddServer(*set, MakeServer("VK-8", "9.0.0.3", "", "b.lab"));
  AddServer(*set, MakeServer("VK-8", "10.0.0.2", "", "a.lab"));
  auto items = ServerTreeItems(*set, SortOrder(*set, kSortIpAddress),
                               [](int index) { return index == 1 ? ' ' : '?'; });
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].text, "VK-8 [10.0.0.2]-a.lab");
  EXPECT_EQ(TreeItemServer(items[0].word), 1);
  EXPECT_EQ(items[1].text, "VK-8 [9.0.0.3]-?b.lab");
}

TEST(TreeItemWord, NoServerReadsAsMinusOne) {
  EXPECT_EQ(TreeItemServer(kNoServerItemWord), -1);
  EXPECT_EQ(TreeItemNumber(kNoServerItemWord), 0u);
  EXPECT_EQ(TreeItemServer(TreeItemWord(5, 4094, 9)), 4094);
  EXPECT_EQ(TreeItemSlot(TreeItemWord(5, 4094, 9)), 9u);
}

}  // namespace
}  // namespace tarvik::app
