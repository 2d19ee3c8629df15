// Starts a non-blocking TCP connect to a device, with the socket options
// every device connection carries: TCP_NODELAY (the driver coalesces in its
// own buffer where a port asks for it; Nagle with delayed ACK would add tens
// of milliseconds to every short reply) and keep-alive after keepAliveMs of
// silence (0: none).
#pragma once
#include <cstdint>

#include "tarvik/unique_fd.h"

namespace vonderil {

enum class ConnectStart { kInProgress, kConnected, kFailed };

// address: first octet in the low byte. *error holds errno on kFailed.
ConnectStart StartTcpConnect(uint32_t address, uint32_t port, uint32_t keepAliveMs,
                             tarvik::UniqueFd* out, int* error);

// The outcome of a connect that was in progress: 0 connected, else errno.
int FinishTcpConnect(int fd);

}  // namespace vonderil
