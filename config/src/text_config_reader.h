// Reads the older line-oriented text configuration format (".cfg").
#pragma once
#include <cstdint>
#include <string>

#include "com_check.h"
#include "config_file_types.h"

namespace cfgfile {

// bytes: the whole file. Fills set (which the caller has cleared) with the
// servers of the file. Every line that is interpreted is traced on standard
// output as "\n>line:%d, str:[%s]". Returns 0 or the import status (12, 14,
// 15, 16, 17, 20, 22, 23, 25); on failure *where holds the line at fault.
uint16_t ReadTextConfig(const std::string& bytes, ConfigSet* set, ComCheck* coms, uint16_t* where);

}  // namespace cfgfile
