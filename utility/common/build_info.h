// The About box's hidden line: a build description kept enciphered in the
// program file, so it shows only through the dialog, never through a plain
// text search of the binary.
#pragma once
#include <string>

// Deciphers the build description.
std::string BuildInformation();
