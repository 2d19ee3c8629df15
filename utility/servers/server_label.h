// How a configured server is named in the servers tree and in the
// questions about it.
#pragma once
#include <cstdint>
#include <string>

#include "pane_config.h"

namespace tarvik::app {

// Dotted text of an address held with its first octet in the lowest byte.
std::string Ipv4Text(uint32_t address);

// "name (alias) [a.b.c.d]-?host": the alias part only when there is an
// alias, the host part only when there is a host name; "-?" while the host
// name is not resolved (queryState '?'), "-" once it is.
std::string ServerLabel(const ServerRecord& server, char queryState);

}  // namespace tarvik::app
