// Reading a device server's information for the server configuration:
// connect, ask name, versions and settings one after the other, unlock
// with the saved password and ask the lock state, close. Each field shows
// what the device answered; a question without an answer ends the read,
// and everything not read by then stays "N/A".
#pragma once
#include "czorn3.h"
#include "server_device_view.h"

namespace tarvik::device {

// Runs the whole read on session, telling view as it goes. Message boxes
// (an unlock that fails) go through the platform hook. Returns true when
// the device was reached.
bool ReadServerDevice(CZorn3& session, const DeviceTarget& target, ServerDeviceView& view);

}  // namespace tarvik::device
