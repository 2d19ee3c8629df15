// The exported calls: check the arguments, take the salt from the clock,
// hand over to the core.
#include "tkcenc2.h"

#include "encoder_core.h"
#include "tarvik/clock.h"

extern "C" {

TKCENC2_API int TkcEnc2_Encode(const char* password, const char* key, char* out) {
  if (out == nullptr) return 1;
  out[0] = '\0';
  if (password == nullptr || key == nullptr) return 1;
  return tkcenc2::EncodeWithSalt(password, key, tkcenc2::SaltFromTick(tarvik::TickCount()), out);
}

TKCENC2_API int TkcEnc2_Decode(const char* encoded, const char* key, char* out) {
  if (out == nullptr) return 1;
  out[0] = '\0';
  if (encoded == nullptr || key == nullptr) return 1;
  return tkcenc2::Decode(encoded, key, out);
}

}  // extern "C"
