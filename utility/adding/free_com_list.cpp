#include "free_com_list.h"

#include "app_state.h"

FreeComList BuildFreeComList(const uint8_t* ownAtLoad, const uint8_t* own, uint8_t* occupied) {
  FreeComList list;
  for (int n = 1; n <= kComMapSize; ++n) {
    if (ownAtLoad[n - 1]) occupied[n - 1] = 0;
    if (!own[n - 1] && !occupied[n - 1]) list.push_back(static_cast<uint16_t>(n));
  }
  return list;
}

int OfferedComCount(const FreeComList& list, uint32_t maxVcom) {
  int count = 0;
  for (uint16_t com : list) {
    if (com == 0 || com > maxVcom) break;
    ++count;
  }
  return count;
}

int InitialComItem(int offeredCount) { return offeredCount >= 2 ? 1 : 0; }
