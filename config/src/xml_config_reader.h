// Reads an XML configuration document into a configuration set.
#pragma once
#include <cstdint>
#include <string>

#include "com_check.h"
#include "config_file_types.h"

namespace cfgfile {

// bytes: the whole file. Fills set (which the caller has cleared) with the
// servers and driver options of the file, and protocols (may be null;
// cleared by the caller) with each server's data protocol, 0 where the file
// names none; *where receives the number of Server elements begun. Returns
// 0 or the import status (13, 15, 16, 17, 25, 26, 27, 28). An unknown
// device name also shows "ParseServerInfo() Error, code:%d" in a message
// box.
uint16_t ReadXmlConfig(const std::string& bytes, ConfigSet* set, Protocols* protocols,
                       ComCheck* coms, uint16_t* where);

}  // namespace cfgfile
