// The two ways the UDP configuration dialog's OK ends: the checks that keep
// it open and what goes into the configuration table when they pass.
#pragma once
#include <string>
#include <vector>

#include "network_values.h"
#include "udp_config_table.h"

namespace tarvik::app {

// One device: with DHCP off the fields must pass CheckNetworkValues and go
// into the entry; with DHCP on the entry keeps the device's addresses. The
// alias must pass CheckAlias. The entry takes the DHCP choice and the
// alias (cut to 19) either way. False, with the message,
// when a check fails (entry untouched). tarvikctl udp-config runs this too.
bool AcceptOneDevice(const NetworkValues& values, UdpConfigEntry* entry, std::string* message);

// Several devices, one preview row per table entry. Every row's alias must
// pass CheckAlias ("Row %d, invalid Alias ..."), unchecked rows must hold
// valid addresses ("Row %d, invalid IP address." and so on, rows from 0),
// no two unchecked rows may end up with one address unless both keep the
// static address their devices already have, and no two rows may show two
// aliases that the cut to 19 characters makes one. Then every entry
// takes its row's alias (cut to 19) and check box, and unchecked rows their
// addresses (cut to 15); checked rows keep the device's addresses. False,
// with the message, when a check fails (table untouched).
bool AcceptPreviewRows(const std::vector<PreviewRow>& rows, UdpConfigTable* table,
                       std::string* message);

}  // namespace tarvik::app
