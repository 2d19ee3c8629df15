// The values the UDP configuration dialog edits: the single set of fields
// at its top, and one row of its preview list.
#pragma once
#include <string>

namespace tarvik::app {

// The dialog's fields. dhcp is the drop-down's index: 0 off, 1 on.
struct NetworkValues {
  int dhcp = 0;
  std::string ip;
  std::string mask;
  std::string gateway;
  std::string alias;
};

// One preview row: the check box (DHCP) and the four editable columns.
struct PreviewRow {
  bool dhcp = false;
  std::string alias;
  std::string ip;
  std::string mask;
  std::string gateway;
};

// Shown in the address columns of a row that takes its address by DHCP.
extern const char kNoAddressText[];

// The longest alias an entry keeps (its field holds 19 and the NUL).
constexpr size_t kAliasMax = 19;
constexpr size_t kAddressMax = 15;

// With DHCP off, the mask, the gateway and the IP address must each be a
// valid address, checked in that order. Returns the message of the first
// that is not ("Invalid Sub-net Mask!", ...), or null when all pass or DHCP
// is on.
const char* CheckNetworkValues(const NetworkValues& values);

// The alias goes into the configuration datagram as ",ALIAS=value": a ','
// or '=' in it would make a field of its own there (",IP=...", ",DHCP=1"),
// and a control character could end the command. Returns the message for
// such an alias ("Invalid Alias! ..."), or null.
const char* CheckAlias(const std::string& alias);
extern const char kInvalidAliasText[];

}  // namespace tarvik::app
