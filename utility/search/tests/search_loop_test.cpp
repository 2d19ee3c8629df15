#include "search_loop.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "tarvik/clock.h"

namespace tarvik::app {
namespace {

// A discovery search played in virtual time: records become visible at
// given times after the start; the library searches for searchMs.
class SearchLoopTest : public ::testing::Test {
 protected:
  void SetUp() override { SetClock(&clock_); }
  void TearDown() override { SetClock(nullptr); }

  SearchSource Source() {
    return {[this] {
              int n = 0;
              for (uint32_t at : arrivals_) n += Elapsed() >= at ? 1 : 0;
              return n;
            },
            [this] { return Elapsed() <= searchMs_ ? 1 : 0; },
            nullptr};
  }
  AdmitRecord Admit() {
    return [this](int index) {
      admitted_.push_back(index);
      if (index == failAt_) return -5;
      return unlisted_.count(index) ? 1 : 0;
    };
  }
  uint32_t Elapsed() { return clock_.TickCount() - kStart; }
  SearchEnd Run() { return RunSearchLoop(Source(), Admit(), rows_, [this] { ++repaints_; }); }

  static constexpr uint32_t kStart = 5000;
  VirtualClock clock_{kStart};
  uint32_t searchMs_ = 3000;
  std::vector<uint32_t> arrivals_;
  std::set<int> unlisted_;
  int failAt_ = 0;
  std::vector<int> admitted_;
  SearchRowMap rows_;
  int repaints_ = 0;
};

// Exit during a search: a close asked for by the pumped events ends the
// loop at once, before it admits another record.
TEST_F(SearchLoopTest, AStopAskedForWhilePumpingEndsTheLoopBeforeTheNextRecord) {
  arrivals_ = {100, 100, 100, 100};
  SearchSource source = Source();
  source.stopRequested = [this] { return admitted_.size() >= 2; };
  EXPECT_EQ(RunSearchLoop(source, Admit(), rows_, nullptr), SearchEnd::kStopped);
  EXPECT_EQ(admitted_, (std::vector<int>{1, 2}));
  EXPECT_LT(Elapsed(), searchMs_) << "the loop did not wait for the library's search to end";
}

TEST_F(SearchLoopTest, NoAnswersEndFourPassesAfterTheLibrarySearch) {
  EXPECT_EQ(Run(), SearchEnd::kIdle);
  EXPECT_EQ(Elapsed(), 3200u);
  EXPECT_EQ(rows_.Rows(), 0);
}

TEST_F(SearchLoopTest, FilteredRecordLeavesNoRowButTheNextRowFindsItsRecord) {
  arrivals_ = {100, 100, 100};
  unlisted_ = {2};
  EXPECT_EQ(Run(), SearchEnd::kIdle);
  EXPECT_EQ(admitted_, (std::vector<int>{1, 2, 3}));
  ASSERT_EQ(rows_.Rows(), 2);
  EXPECT_EQ(rows_.RecordOf(0), 1);
  EXPECT_EQ(rows_.RecordOf(1), 3);
  EXPECT_EQ(repaints_, 2);
}

TEST_F(SearchLoopTest, OneRecordPerPass) {
  arrivals_ = {0, 0, 0};
  searchMs_ = 0;  // idle from the first pass
  Run();
  // Three passes take the records, four quiet passes end the loop.
  EXPECT_EQ(Elapsed(), 7u * kSearchPassMs);
}

TEST_F(SearchLoopTest, MissesAreNeverReset) {
  searchMs_ = 0;
  arrivals_ = {120};  // after two quiet passes
  EXPECT_EQ(Run(), SearchEnd::kIdle);
  EXPECT_EQ(rows_.Rows(), 1);
  // Misses at 50 and 100, the record at 150, misses at 200 and 250.
  EXPECT_EQ(Elapsed(), 250u);
}

TEST_F(SearchLoopTest, GuardEndsALibraryThatNeverStops) {
  searchMs_ = 0xFFFFFFFFu;
  arrivals_ = {1000};
  EXPECT_EQ(Run(), SearchEnd::kGuard);
  // The guard counts from the last record taken (at 1000 ms).
  EXPECT_EQ(Elapsed(), 1000u + kSearchGuardMs + kSearchPassMs);
}

TEST_F(SearchLoopTest, FailedReadEndsTheLoopKeepingRows) {
  arrivals_ = {0, 0, 0};
  failAt_ = 2;
  EXPECT_EQ(Run(), SearchEnd::kAdmitFailed);
  EXPECT_EQ(rows_.Rows(), 1);
  EXPECT_EQ(admitted_, (std::vector<int>{1, 2}));
}

TEST_F(SearchLoopTest, ListingStopsWhenTheRowMapIsFull) {
  arrivals_.assign(300, 0);
  EXPECT_EQ(Run(), SearchEnd::kListFull);
  EXPECT_EQ(rows_.Rows(), SearchRowMap::kCapacity);
  EXPECT_EQ(rows_.RecordOf(254), 255);
  EXPECT_EQ(admitted_.size(), 255u);
}

}  // namespace
}  // namespace tarvik::app
