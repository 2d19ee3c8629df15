// The driver link: makes sure the virtual-COM driver's service exists and
// starts or stops it through the platform service manager. The library's
// exports Tkc_NTDriverInit and Tkc_NTDriverClose are these two functions.
#pragma once
#include <cstdint>

namespace tarvikcfg {

// Status codes of the driver link (the library's shared code space).
enum DriverLinkStatus : uint16_t {
  kDriverOk = 0,
  kDriverServiceNotOpened = 1,  // missing: creation was attempted; nothing started or stopped
  kDriverManagerNotOpened = 4,
  kDriverStartFailed = 5,
  kDriverStopFailed = 6,
  kDriverTimedOut = 7,  // not in the wanted state after 15 polls of 1 s
};

// Shared first step: 1 or 4 as above, 2 when the service is not running,
// 3 when it runs.
uint16_t DriverServiceCheck();

// Makes sure the driver runs / is stopped. Both block (through the
// platform clock) for up to about 15 s.
uint16_t DriverInit();
uint16_t DriverClose();

}  // namespace tarvikcfg
