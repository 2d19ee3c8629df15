// tarvikctl ports: the running driver's virtual COM ports, one line each,
// from the port table it keeps under run/, and a line for each port whose
// device did not confirm the line settings its application set, and for
// each RFC 2217 port whose server reported its line and modem states.
#include <cstdio>
#include <string>

#include "command.h"
#include "tarvik/state_root.h"
#include "tarvik/port_status.h"
#include "tarvik/text.h"

namespace tarvikctl {
namespace {

int Ports(const Args& args) {
  if (!args.empty()) return Fail("usage: tarvikctl ports");
  vonderil::PortStatusFile file;
  if (!vonderil::ReadPortStatusFile(tarvik::RunDirectory(), &file)) {
    std::printf("Driver is not running.\n");
    return 0;
  }
  if (file.ports.empty()) {
    std::printf("The driver serves no COM port.\n");
    return 0;
  }
  std::printf("%-8s %-21s %-21s %-12s %-9s %-11s %12s %12s %-8s %11s\n", "PORT", "DEVICE",
              "REDUNDANT", "STATE", "IN USE", "APPLICATION", "TO DEVICE", "FROM DEVICE", "PROTOCOL",
              "SERVER BAUD");
  for (const auto& p : file.ports) {
    const std::string com = "COM" + std::to_string(p.comNumber);
    // The table file is the driver's, but its texts are printed the way
    // every text from outside this program is.
    const std::string baud = p.serverBaud != 0 ? std::to_string(p.serverBaud) : "-";
    std::printf("%-8s %-21s %-21s %-12s %-9s %-11s %12llu %12llu %-8s %11s\n", com.c_str(),
                tarvik::EscapeText(p.address).c_str(), tarvik::EscapeText(p.address2).c_str(),
                tarvik::EscapeText(p.state).c_str(), tarvik::EscapeText(p.inUse).c_str(),
                p.held ? "open" : "-", static_cast<unsigned long long>(p.toDevice),
                static_cast<unsigned long long>(p.fromDevice),
                tarvik::EscapeText(p.protocol).c_str(), baud.c_str());
  }
  // What an RFC 2217 server last reported of its serial line.
  for (const auto& p : file.ports) {
    if (p.lineBits < 0 && p.modemBits < 0) continue;
    std::printf("COM%u: the server reports line state %s, modem state %s.\n", p.comNumber,
                p.lineBits < 0 ? "not reported" : vonderil::status_detail::Bits(p.lineBits).c_str(),
                p.modemBits < 0 ? "not reported" : vonderil::status_detail::Bits(p.modemBits).c_str());
  }
  // Settings the application set that the device has not confirmed: its
  // bytes went out all the same, at whatever the device had.
  for (const auto& p : file.ports) {
    if (p.lineState == "data-only") {
      std::printf("COM%u: the server does not do RFC 2217 com-port control; it carries the data "
                  "only, and the line settings go nowhere.\n",
                  p.comNumber);
      continue;
    }
    if (p.lineState != "failed" && p.lineState != "unacknowledged") continue;
    const size_t slash = p.line.find('/');
    const std::string stop = slash == std::string::npos ? "" : p.line.substr(slash + 1);
    const std::string what = p.line.substr(0, slash) + " baud, " + stop + " stop bit" +
                             (stop == "1" ? "" : "s");
    if (p.lineState == "failed") {
      std::printf("COM%u: the device did not confirm %s; they are sent again at the next write "
                  "(see the driver log).\n",
                  p.comNumber, what.c_str());
    } else {
      std::printf("COM%u: the server did not acknowledge %s in time; the data went on.\n",
                  p.comNumber, what.c_str());
    }
  }
  if (file.stopping) {
    std::string held;
    for (uint32_t com : vonderil::HeldComNumbers(file)) {
      held += (held.empty() ? "COM" : ", COM") + std::to_string(com);
    }
    std::printf("The driver is stopping; it waits for applications to close %s.\n",
                held.c_str());
  }
  return 0;
}

TarvikctlCommand g_ports({"ports", "ports", Ports});

}  // namespace
}  // namespace tarvikctl
