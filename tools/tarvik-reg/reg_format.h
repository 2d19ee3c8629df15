// Writing registry keys and values as .reg text (the 5.00 header, LF line
// ends). Whatever a value holds is written so that reading it back gives the
// same type and the same bytes: strings that a quoted text cannot carry
// exactly (no final NUL, an inner NUL, a line break) go out as hex(1).
#pragma once
#include <cstdint>
#include <string>

namespace tarvikreg {

extern const char kRegFileHeader[];  // "Windows Registry Editor Version 5.00"

// "[HKEY_LOCAL_MACHINE\path]"
std::string FormatRegKeyLine(const std::string& path);
// One value, as one or more lines, each ended with LF.
std::string FormatRegValue(const std::string& name, uint32_t type, const std::string& data);
// The value's data alone, as a user reads it: the text of a string, a dword
// in decimal, anything else as hex bytes.
std::string FormatRegData(uint32_t type, const std::string& data);

}  // namespace tarvikreg
