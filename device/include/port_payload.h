// How the port page turns a port-settings reply into the positions of its
// three lists, and which ports accept fewer values: the base unit's first
// data ports of some models take only 7 or 8 data bits and no mark or space
// parity ("limited"), and those ports take one stop bit only unless the
// model says otherwise.
#pragma once
#include <string>

#include "port_settings.h"

namespace tarvik::device {

// Positions in the page's lists (-1 = nothing chosen) and the baud rate
// text ("N/A" until a reply gave one).
struct PortPageValues {
  std::string baud = "N/A";
  int dataBits = -1;
  int parity = -1;
  int stopBits = -1;
};

bool SameListChoice(const PortPageValues& a, const PortPageValues& b);

// entry is the index of the port mapping (2 and 3 are data ports 1 and 2).
bool IsLimitedPort(const std::string& serverName, int entry);
PortRules PortRulesFor(const std::string& serverName, int entry);

// Parses a port-settings payload into list positions. kNoBaudRate leaves
// *values untouched. Otherwise the baud rate is taken; with kBadItem the
// items before the bad one are taken as well, so the page shows how far the
// reply made sense.
PortParse ParsePortPayload(const char* payload, const std::string& serverName, int entry,
                           PortPageValues* values);

// The list positions of a data format text such as "7E2" for this port,
// checked by the same rules its replies are read with, so that nothing is
// sent that the port would then report as a bad item. False, with *values
// untouched, when the port does not take the format.
bool FormatPositions(const char* format, const std::string& serverName, int entry,
                     PortPageValues* values);

}  // namespace tarvik::device
