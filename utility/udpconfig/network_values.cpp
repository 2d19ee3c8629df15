#include "network_values.h"

#include "cmip.h"
#include "tarvik/text.h"

namespace tarvik::app {

const char kNoAddressText[] = "-";
const char kInvalidAliasText[] =
    "Invalid Alias! It may not hold ',', '=' or control characters.";

const char* CheckNetworkValues(const NetworkValues& values) {
  if (values.dhcp != 0) return nullptr;
  CMIP address;
  if (!address.IsValidText(values.mask.c_str())) return "Invalid Sub-net Mask!";
  if (!address.IsValidText(values.gateway.c_str())) return "Invalid Gateway!";
  if (!address.IsValidText(values.ip.c_str())) return "Invalid IP Address!";
  return nullptr;
}

const char* CheckAlias(const std::string& alias) {
  if (alias.find_first_of(",=") != std::string::npos || tarvik::HasControlCharacter(alias))
    return kInvalidAliasText;
  return nullptr;
}

}  // namespace tarvik::app
