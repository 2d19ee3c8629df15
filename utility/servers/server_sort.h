// Display order of the configured servers in the servers tree.
#pragma once
#include <cstdint>
#include <vector>

#include "pane_config.h"

namespace tarvik::app {

enum SortType : int {
  kSortNone = 0,
  kSortModelName = 1,
  kSortAliasName = 2,
  kSortIpAddress = 3,
  kSortHostName = 4,
};

// Server indexes 0..Servers-1 in display order. Sorting by address compares
// the stored 32-bit value, whose fourth octet weighs most, so 10.0.0.2 comes
// before 9.0.0.3. Equal keys keep no particular order (the exchange sort is
// not stable), as users of this list have always seen it.
std::vector<uint16_t> SortOrder(const ConfigSet& set, int sortType);

}  // namespace tarvik::app
