// The causes behind the suite's result codes, in words, for the command-line
// tools: one table for each code space (the configuration library's status
// codes, the discovery library's negative codes, the platform's Windows
// error codes). A failure line then reads "status 26: the file is not a
// configuration file" instead of a bare number.
#pragma once
#include <cstdint>
#include <string>

namespace tarvik::words {

// The words for a code, or null when the table has no row for it.
const char* ConfigStatusWords(uint32_t status);
const char* DiscoveryCodeWords(int code);
const char* ErrorCodeWords(uint32_t error);

// "status N: words", "discovery code N: words", "error N: words"; the words
// fall back to "unknown code" for a code the table does not know.
std::string ConfigStatus(uint32_t status);
std::string DiscoveryCode(int code);
std::string ErrorCode(uint32_t error);

// Every row of a table, "code<TAB>words" per line, for --help and the man
// pages.
std::string ConfigStatusTable();
std::string DiscoveryCodeTable();
std::string ErrorCodeTable();

}  // namespace tarvik::words
