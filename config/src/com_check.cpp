#include "com_check.h"

#include <cassert>

#include "config_file_types.h"

namespace cfgfile {

ComCheck::ComCheck(const uint8_t* occupied) : occupied_(occupied) {}

uint16_t ComCheck::Use(uint32_t com) {
  assert(com >= 1 && com <= kMaxCom);
  if (occupied_ && occupied_[com - 1]) return kComOccupied;
  if (seen_.test(com)) return kComTwice;
  seen_.set(com);
  return kOk;
}

}  // namespace cfgfile
