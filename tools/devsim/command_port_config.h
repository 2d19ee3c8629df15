// The command-port keys of a device section in the simulator's device file.
// Keys the command port does not know are left to the other services.
//
//   name, ip, mask, gateway, mac   as for discovery (ip is also where the
//                                  command port listens)
//   cmd_port       TcpPortCmd, 1..65535 (default 10000)
//   firmware, os_version           texts for codes 01 and 22
//   max_sockets, system_timeout    numbers for 25N and 25S (ms)
//   share_mode     text for 25M ("0" shared, "1" non-shared)
//   password       device password, at most 30 characters (empty: unlocked)
//   lock           yes / no: whether the device knows the lock commands
//   key_text       key handed out by 25pubkey (default: a fresh one each time)
//   echo           yes / no: replies repeat the two-digit command code
//   ports          number of serial ports, 1..68 (default 2)
//   port.N         "BAUD FORMAT" of port N, e.g. "115200 7E2" (default 9600 8N1)
//   cmd_fault      comma list of noreply[:PREFIX], error[:PREFIX],
//                  split[:PREFIX] (commands beginning with PREFIX, else all),
//                  slowaccept, refuse
//   accept_delay   ms a connection waits under slowaccept (default 1500)
//   hostile        what the device forges (hostile.h): "name" and "replies"
//                  forge the command port's answers
#pragma once
#include <map>
#include <string>

#include "command_port.h"

namespace devsim {

// Fills *out from the section; false with a reason for a bad value.
bool ConfigureCommandPort(const std::map<std::string, std::string>& section,
                          CommandPortSettings* out, std::string* error);

}  // namespace devsim
