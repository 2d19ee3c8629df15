// Builds the XML configuration document of a configuration set.
#pragma once
#include <string>

#include "config_file_types.h"

namespace cfgfile {

// The document text of set (lines ended by CR LF), or 2 when the set holds
// no server (text is then left empty). protocols (may be null: all raw)
// gives each record's data protocol.
uint16_t BuildXmlConfig(const ConfigSet& set, const Protocols* protocols, std::string* text);

}  // namespace cfgfile
