// Which virtual COM ports an application still holds open, as the running
// driver stand-in lists them in <run directory>/Vonderil.ports (one header
// line "Vonderil <pid> <running|stopping>", then one line per port whose
// sixth field is "held" or "free"). A stop that does not finish names these
// ports, so the administrator knows which program to close.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The held COM numbers of a port file's text, in file order. Empty when the
// text is not such a file; lines that are no port record are skipped.
// *pid receives the header's pid (0 when the text is not a port file).
std::vector<uint32_t> ParseHeldComPorts(const std::string& text, long* pid);

// Reads the file in runDirectory. Empty when there is none, it does not
// parse, or the driver that wrote it is gone (a file left behind by a
// killed driver says nothing about now).
std::vector<uint32_t> ReadHeldComPorts(const std::string& runDirectory);

// "COM5, COM9", cut to fit text[size].
void FormatComList(const std::vector<uint32_t>& ports, char* text, size_t size);
