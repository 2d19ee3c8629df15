// The utility's own options in the driver's parameter key: read once at
// start-up (a missing value, or one that is not a REG_DWORD, takes its
// default) and written back at shutdown, each only when it changed.
#pragma once
#include <cstdint>

// The utility's own values in the parameter key. For the three check values
// the main window keeps the value as read beside the current one; at shutdown
// only those that differ are written back. maxVcom is never written.
struct UiOptions {
  uint32_t chkSvr;      // "UIChkSvr": add-servers dialog, "Get name automatically"
  uint32_t chkSvrRead;
  uint32_t chkDup;      // "UIChkDup": add-servers dialog, "Skip duplicated IP"
  uint32_t chkDupRead;
  uint32_t chkAnc;      // "UIChkANC": the re-assign choice of the port dialog
  uint32_t chkAncRead;
  uint32_t maxVcom;     // "MaxVCOM": highest COM number the COM lists offer
};

constexpr uint32_t kDefaultMaxVcom = 512;

// Fills options from the store. A key that cannot be opened gives the
// defaults. The "read" copies equal the current values afterwards.
void ReadUiOptions(UiOptions* options);

// Writes "UIChkDup", "UIChkSvr" and "UIChkANC", in this order, where the
// current value differs from the one read. A key that cannot be opened skips
// this silently; the first failed write shows its message and ends it.
// Returns true when nothing failed.
bool WriteBackUiOptions(UiOptions* options);
