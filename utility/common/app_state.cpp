#include "app_state.h"

#include <cstring>

namespace {
AppState g_state;

struct InitialValues {
  InitialValues() { ResetAppState(); }
} g_initial;
}  // namespace

AppState& App() { return g_state; }

void ResetAppState() {
  std::memset(&g_state, 0, sizeof g_state);
  g_state.searchSelection = -1;
}
