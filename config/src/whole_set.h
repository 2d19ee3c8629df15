// Reading and writing the whole configuration set, with or without the
// servers' data protocols beside the records. The exports of tkc_set.cpp
// and the configuration files share them.
#pragma once
#include <cstdint>

#include "tarvikcfg.h"

namespace tkc {

// Tkc_RegReadAll. protocols (may be null): TKC_MAX_SERVERS entries, entry i
// set to the data protocol of record i from the same snapshot, the rest 0.
uint16_t ReadWholeSet(TkcConfigSet* set, uint8_t* protocols);

// Tkc_RegWriteAll. protocols (may be null): TKC_MAX_SERVERS entries, each 0
// or 1 (checked by the caller); entry i is written beside record i when
// that record is written. Null leaves every stored data protocol as it is.
uint16_t WriteWholeSet(TkcConfigSet* set, const uint8_t* protocols);

}  // namespace tkc
