// The lock query and the unlock exchange of a command-port session. The
// password never travels in plain text: it is encoded under a key text that
// the device hands out for this connection, so the wire text changes every
// time.
#include <cstring>

#include "czorn3.h"
#include "tarvik/text.h"
#include "tkcenc2.h"

namespace {

// The first characters of the key request's payload are a label.
constexpr size_t kKeyLabelLength = 7;
constexpr size_t kUnlockResultSize = 2048;

}  // namespace

uint32_t CZorn3::QueryLockStatus() {
  status_ = "Status : OK!";
  char result[200];
  if (Exchange("25lock", result, sizeof result, kLockQueryTimeoutMs) == 1) {
    status_ = "LockStatusCMD: Communication Failure!";
    return 3;
  }
  if (std::strstr(result, "LOCK=1") != nullptr) {
    status_ = "LockStatusCMD: Locked.";
    return 0;
  }
  if (std::strstr(result, "LOCK=0") != nullptr) {
    status_ = "LockStatusCMD: Unlocked.";
    return 1;
  }
  status_ = "LockStatusCMD: Not support!";
  return 2;
}

uint32_t CZorn3::Unlock(const char* password) {
  if (password == nullptr || password[0] == '\0') return 0;
  status_ = "Status : OK!";
  const uint32_t state = QueryLockStatus();
  if (state != 0) return state;

  char result[kUnlockResultSize];
  // Its result is not looked at: a missing key shows up below.
  Exchange("25pubkey", result, sizeof result, timeout_);
  const char* key = std::strlen(result) > kKeyLabelLength ? result + kKeyLabelLength : "";
  if (key[0] == '\0') {
    // Without a key text nothing can be encoded; the password is not sent.
    status_ = "Unlock CMD: Communication timeout.";
    return 3;
  }

  char encoded[128];
  if (TkcEnc2_Encode(password, key, encoded) != 0) {
    // Longer than any device password can be; not worth a round trip.
    status_ = "Unlock CMD: Wrong Password.";
    return 4;
  }
  char command[200];
  tarvik::FormatText(command, sizeof command, "26password=%s,LOCK=0", encoded);
  if (Exchange(command, result, sizeof result, timeout_) == 1) {
    status_ = "Unlock CMD: Communication timeout.";
    return 3;
  }
  if (std::strstr(result, "PASSWORD=OK") != nullptr) return 0;
  status_ = "Unlock CMD: Wrong Password.";
  return 4;
}
