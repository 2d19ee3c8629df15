// Which virtual COM ports an application still holds open, as the running
// driver stand-in lists them in its port table (tarvik/port_status.h). A
// stop that does not finish names these ports, so the administrator knows
// which program to close.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The held COM numbers in the table in runDirectory, in table order. Empty
// when there is none, it does not parse, or the driver that wrote it is
// gone (a table left behind by a killed driver says nothing about now).
std::vector<uint32_t> ReadHeldComPorts(const std::string& runDirectory);

// "COM5, COM9", cut to fit text[size].
void FormatComList(const std::vector<uint32_t>& ports, char* text, size_t size);
