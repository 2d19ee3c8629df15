// The utility's link to the discovery library, as far as the main window
// needs it: closing the library at shutdown when the search pane opened it.
#pragma once

// Findra_Close, when the discovery-ready flag is set; clears the flag.
void CloseDiscoveryIfOpen();
