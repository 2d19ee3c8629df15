#include "model_filter.h"

#include <cstring>

namespace tarvik::app {

namespace {
// Each prefix is compared over its own length (3 to 6 characters).
const char* const kModelPrefixes[] = {
    "RRB",   "VF-",   "XYZ",   "RF-",   "NJ-",   "5JV",   "314",   "259",   "892",   "596",
    "364",   "983",   "4629",  "NH-0",  "VK-8",  "NGR-",  "KQX-",  "R-86",  "H7XZ",  "kV-2",
    "cHN-",  "FWR-",  "H4Z-",  "F-90",  "ZKCJ",  "ZNX-",  "hNH-",  "WYB-",  "YYW-",  "Q410X",
    "1380K", "GW-08", "BG9-5", "H-240", "L1431", "XF-HJ", "N4904", "XV-KJ", "ZH-BW", "vWQV1L",
};
}  // namespace

bool IsListedModel(const char* name) {
  if (!name) return false;
  for (const char* prefix : kModelPrefixes) {
    if (strncmp(name, prefix, strlen(prefix)) == 0) return true;
  }
  return false;
}

}  // namespace tarvik::app
