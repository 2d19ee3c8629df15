// The result list: duplicates, index rules, and a reader that runs while
// the writer adds (the receiver thread's situation).
#include "result_list.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>

namespace findra {
namespace {

ModuleRecord Rec(const char* name, const char* mac) {
  ModuleRecord r{};
  snprintf(r.name, sizeof r.name, "%s", name);
  snprintf(r.mac, sizeof r.mac, "%s", mac);
  return r;
}

TEST(ResultList, SameNameAndMacIsDuplicateButSameMacOtherNameIsNot) {
  ResultList list;
  EXPECT_EQ(list.Add(Rec("Q410X", "02:4E:A7:00:00:01")), ResultList::kAdded);
  EXPECT_EQ(list.Add(Rec("Q410X", "02:4E:A7:00:00:01")), ResultList::kDuplicate);
  EXPECT_EQ(list.Add(Rec("Q410X-B", "02:4E:A7:00:00:01")), ResultList::kAdded);
  // The comparison is exact: case differences are different devices.
  EXPECT_EQ(list.Add(Rec("Q410X", "02:4e:a7:00:00:01")), ResultList::kAdded);
  EXPECT_EQ(list.Count(), 3);
}

TEST(ResultList, IndexRules) {
  ResultList list;
  ModuleRecord out;
  EXPECT_FALSE(list.Get(1, &out));
  list.Add(Rec("A", "1"));
  list.Add(Rec("B", "2"));
  ASSERT_TRUE(list.Get(0, &out));
  EXPECT_STREQ(out.name, "A");
  ASSERT_TRUE(list.Get(-7, &out));
  EXPECT_STREQ(out.name, "A");
  ASSERT_TRUE(list.Get(2, &out));
  EXPECT_STREQ(out.name, "B");
  EXPECT_FALSE(list.Get(3, &out));
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_FALSE(list.Get(1, &out));
  list.Add(Rec("C", "3"));
  ASSERT_TRUE(list.Get(1, &out));
  EXPECT_STREQ(out.name, "C");
}

TEST(ResultList, ReaderSeesOnlyCompleteRecordsWhileWriterAdds) {
  ResultList list;
  constexpr int kRecords = 2000;
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < kRecords; ++i) {
      char name[20], mac[18];
      snprintf(name, sizeof name, "N%d", i);
      snprintf(mac, sizeof mac, "M%d", i);
      ModuleRecord r = Rec(name, mac);
      r.dhcp = i;
      list.Add(r);
    }
    done = true;
  });
  int seen = 0;
  while (!done || seen < list.Count()) {
    int count = list.Count();
    for (; seen < count; ++seen) {
      ModuleRecord r;
      ASSERT_TRUE(list.Get(seen + 1, &r));
      char name[20];
      snprintf(name, sizeof name, "N%d", seen);
      ASSERT_STREQ(r.name, name);
      ASSERT_EQ(r.dhcp, seen);
    }
  }
  writer.join();
  EXPECT_EQ(seen, kRecords);
}

}  // namespace
}  // namespace findra
