// The shape both of a port's state tables share: one row per state and
// event, in order, state by state and each state's events in their order,
// so that a row is found by its index and a missing or misplaced row stops
// the build.
#pragma once
#include <cstddef>

namespace vonderil {

template <typename Row, size_t N>
constexpr bool TableInOrder(const Row (&table)[N], size_t states, size_t events) {
  if (N != states * events) return false;
  for (size_t i = 0; i < N; ++i) {
    if (static_cast<size_t>(table[i].state) != i / events ||
        static_cast<size_t>(table[i].event) != i % events) {
      return false;
    }
  }
  return true;
}

template <typename Row, size_t N, typename State, typename Event>
constexpr const Row& TableRow(const Row (&table)[N], State state, Event event) {
  return table[static_cast<size_t>(state) * static_cast<size_t>(Event::kCount) +
               static_cast<size_t>(event)];
}

}  // namespace vonderil
