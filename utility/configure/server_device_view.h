// What the device procedures of the server configuration need from the
// page that shows them: a text per device field, the status line, the
// "Set  IP_Mask_Gateway" button and a redraw while the device is asked. The
// Qt page implements it; tests record what it was told.
#pragma once
#include <cstdint>
#include <string>

namespace tarvik::device {

// The device fields a read fills, in the order the page lists them.
enum class DeviceField : int {
  kServerName,
  kMaxSockets,
  kFirmwareVersion,
  kOsVersion,
  kSystemTimeout,
  kOperationMode,
  kGateway,
  kSubnetMask,
  kMacAddress,
  kPasswordSetting,
  kCount,
};

class ServerDeviceView {
 public:
  virtual ~ServerDeviceView() = default;
  virtual void ShowField(DeviceField field, const std::string& text) = 0;
  virtual void ShowStatus(const std::string& text) = 0;
  virtual void EnableSetNetwork(bool enabled) = 0;
  // Lets the page paint what it was told so far; the device may take
  // seconds to answer the next question.
  virtual void Redraw() = 0;
};

// Where the device is asked and how to unlock it.
struct DeviceTarget {
  std::string address;        // dotted text
  uint32_t port = 10000;      // command port
  uint32_t timeoutMs = 3000;  // connect and every exchange but the lock query
  std::string savedPassword;  // the record's encoded text; empty: none saved
};

}  // namespace tarvik::device
