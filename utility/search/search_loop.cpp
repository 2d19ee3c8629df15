#include "search_loop.h"

#include "tarvik/clock.h"
#include "tarvik/ui_hooks.h"

namespace tarvik::app {

SearchEnd RunSearchLoop(const SearchSource& source, const AdmitRecord& admit, SearchRowMap& rows,
                        const std::function<void()>& repaint) {
  int shown = 0;
  int misses = 0;
  uint32_t last = TickCount();
  for (;;) {
    SleepMs(kSearchPassMs);
    PumpUiEvents();
    // What the pumped events asked for comes before anything else.
    if (source.stopRequested && source.stopRequested()) return SearchEnd::kStopped;
    if (shown < source.getCount()) {
      // The row map has no room for more rows; a row without its record
      // would act on the wrong device.
      if (rows.Full()) return SearchEnd::kListFull;
      ++shown;
      int rc = admit(shown);
      if (rc < 0) return SearchEnd::kAdmitFailed;
      last = TickCount();
      if (rc == 0) {
        rows.Append(shown);
        if (repaint) repaint();
      }
      continue;
    }
    // misses is never reset: once the library is idle, four quiet passes
    // in all end the loop.
    if (source.getState() != 1) ++misses;
    if (misses > kSearchMaxMisses) return SearchEnd::kIdle;
    if (TickCount() - last > kSearchGuardMs) return SearchEnd::kGuard;
  }
}

}  // namespace tarvik::app
