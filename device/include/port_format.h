// The entries of the port page's three lists and the data format text a
// choice in them makes ("8N1": data bits, parity letter, stop bits).
#pragma once
#include <vector>

namespace tarvik::device {

std::vector<const char*> DataBitsItems(bool limited);  // "7", "8" or "5".."8"
std::vector<const char*> ParityItems(bool limited);    // "None" .. "Odd" (.. "Space")
std::vector<const char*> StopBitsItems();              // "1", "2"

// The first characters of the chosen entries, into out[4]. False (out
// empty) when a position is not in its list.
bool BuildDataFormat(bool limited, int dataBits, int parity, int stopBits, char out[4]);

}  // namespace tarvik::device
