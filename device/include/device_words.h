// The words a front end shows for what a device reports (Configure Server's
// device page, tarvikctl device info and diag), and the saved password of a
// server record in plain form.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace tarvik::device {

// The key text under which the utility saves device passwords.
extern const char kSavedPasswordKey[];

// "0" -> "0, Shared", "1" -> "1, Non-shared", anything else as it came.
std::string ShareModeText(const std::string& value);

// Lock state 0..3 -> "Locked", "Unlocked", "Disabled", "Unknown".
const char* LockStateText(uint32_t state);

// The plain password of a record's saved text (a fixed-size field, maybe
// without a terminator). Empty when none is saved or it does not decode.
std::string DecodeSavedPassword(const char* saved, size_t size);

}  // namespace tarvik::device
