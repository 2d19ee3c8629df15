// Changing a device server's address, sub-net mask and gateway from the
// server configuration: the checks before anything is sent, the caution
// question, then one connection to the address the device was last read
// at that unlocks with the saved password, sends only the items that
// differ from what was read and restarts the device.
//
// The device reboots with whatever it is sent, so a changed mask or
// gateway that is not a dotted address is refused here as well as a bad
// address: a typo must not leave a device unreachable.
#pragma once
#include <string>

#include "czorn3.h"
#include "server_device_view.h"

namespace tarvik::device {

struct NetworkTexts {
  std::string address;
  std::string mask;
  std::string gateway;
};

// The message that stops the change before any connection, or null:
// "Nothing changed!", "Invalid IP format!", or a changed mask or gateway
// that is no address (a gateway may be "0.0.0.0").
const char* CheckNetworkChange(const NetworkTexts& entered, const NetworkTexts& lastRead);

// The items SetNetwork receives: those that differ from what was read, the
// others empty (absent).
NetworkTexts ChangedNetworkItems(const NetworkTexts& entered, const NetworkTexts& lastRead);

// The caution question, filled with what is about to change.
std::string CautionText(const char* what);

enum class NetworkSetResult {
  kRefusedBeforeSending,  // a check failed, or the user said No
  kConnectFailed,         // "Connecting failure!"; nothing sent
  kNotAccepted,           // no response or an error reply; no restart sent
  kRestarted,             // accepted; the device reboots with it
};

// The whole action. target.address is ignored: the device is reached at
// lastRead.address. *networkChanged is set once the settings were offered
// to a connected device (whatever it answered).
NetworkSetResult SetServerNetwork(CZorn3& session, const NetworkTexts& entered,
                                  const NetworkTexts& lastRead, const DeviceTarget& target,
                                  ServerDeviceView& view, bool* networkChanged);

}  // namespace tarvik::device
