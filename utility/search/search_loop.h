// The search pane's polling of a running discovery search: it takes at most
// one new record per 50 ms pass, and ends on the fourth pass without a new
// record after the library's search has ended, or 5 s after the last record
// while the library still says it searches.
#pragma once
#include <functional>

#include "search_rows.h"

namespace tarvik::app {

struct SearchSource {
  std::function<int()> getCount;  // records found so far
  std::function<int()> getState;  // 1 while the library searches
  std::function<bool()> stopRequested;  // may be empty: true ends the loop
};

// Admits record index (1-based): a negative result ends the loop, 0 means a
// row was appended for it, 1 that it is not listed.
using AdmitRecord = std::function<int(int index)>;

enum class SearchEnd {
  kIdle,         // no new record after the library's search ended
  kGuard,        // no new record for more than 5 s while it still searched
  kAdmitFailed,  // reading a record failed
  kListFull,     // every row of the row map is taken
  kStopped,      // stopRequested said so (the window is closing)
};

constexpr unsigned kSearchPassMs = 50;
constexpr unsigned kSearchGuardMs = 5000;
constexpr int kSearchMaxMisses = 3;

// Runs the loop on the calling thread through the platform clock, pumping
// UI events on every pass; listed records go into rows in arrival order and
// repaint() follows each.
SearchEnd RunSearchLoop(const SearchSource& source, const AdmitRecord& admit, SearchRowMap& rows,
                        const std::function<void()>& repaint);

}  // namespace tarvik::app
