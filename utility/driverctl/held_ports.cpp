#include "held_ports.h"

#include "tarvik/text.h"
#include "tarvik/port_status.h"

std::vector<uint32_t> ReadHeldComPorts(const std::string& runDirectory) {
  vonderil::PortStatusFile file;
  if (!vonderil::ReadPortStatusFile(runDirectory, &file)) return {};
  return vonderil::HeldComNumbers(file);
}

void FormatComList(const std::vector<uint32_t>& ports, char* text, size_t size) {
  std::string list;
  for (uint32_t com : ports) {
    if (!list.empty()) list += ", ";
    list += "COM" + std::to_string(com);
  }
  tarvik::CopyText(text, size, list.c_str());
}
