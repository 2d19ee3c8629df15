#include "port_format.h"

#include <cstddef>

namespace tarvik::device {

namespace {

const char* Pick(const std::vector<const char*>& items, int index) {
  return index >= 0 && static_cast<size_t>(index) < items.size() ? items[index] : nullptr;
}

}  // namespace

std::vector<const char*> DataBitsItems(bool limited) {
  if (limited) return {"7", "8"};
  return {"5", "6", "7", "8"};
}

std::vector<const char*> ParityItems(bool limited) {
  if (limited) return {"None", "Even", "Odd"};
  return {"None", "Even", "Odd", "Mark", "Space"};
}

std::vector<const char*> StopBitsItems() { return {"1", "2"}; }

bool BuildDataFormat(bool limited, int dataBits, int parity, int stopBits, char out[4]) {
  out[0] = '\0';
  const char* data = Pick(DataBitsItems(limited), dataBits);
  const char* par = Pick(ParityItems(limited), parity);
  const char* stop = Pick(StopBitsItems(), stopBits);
  if (!data || !par || !stop) return false;
  out[0] = data[0];
  out[1] = par[0];
  out[2] = stop[0];
  out[3] = '\0';
  return true;
}

}  // namespace tarvik::device
