// "Copy Settings": the dialog's values spread over every preview row, the
// aliases numbered and the addresses walked through the last octet.
#pragma once
#include <cstdint>
#include <set>
#include <vector>

#include "network_values.h"
#include "udp_config_table.h"

namespace tarvik::app {

// Addresses (CMIP values) that the walk must not hand out: those of found
// devices that are not being configured.
using TakenAddresses = std::set<uint32_t>;

// The addresses of the found devices (records 1 to recordCount) that the
// table does not hold: they keep their addresses, so no row may take one.
TakenAddresses AddressesOfOtherDevices(const UdpConfigTable& table, int recordCount,
                                       const ModuleReader& reader);

// Fills every row from values. Row 0 gets the alias as it is, row r the
// alias followed by r; an alias too long for the numbers to fit in 19
// characters is first cut so that they do, for every row. With DHCP on every row is checked and shows "-" for
// its addresses. With DHCP off every row is unchecked and gets the mask,
// the gateway and an address of its own: the first three octets of the
// given address stay, the last one starts at the given one and walks
// upwards, 254 wrapping to 1, passing over 0, 255, the taken addresses and
// those already handed to an earlier row. A row left without a free
// address gets an empty address, which OK refuses.
//
// Returns null, or the message of a failed value or alias check (rows
// untouched).
const char* CopySettings(const NetworkValues& values, const TakenAddresses& taken,
                         std::vector<PreviewRow>* rows);

}  // namespace tarvik::app
