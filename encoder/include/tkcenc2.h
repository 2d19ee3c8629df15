/* tkcenc2: the encoder for saved and transmitted device passwords.
 *
 * How it works
 * A password of at most 30 characters becomes a printable text of two
 * symbols per byte, drawn from the 32 symbols 0-9 and C-X. The text carries
 * a 4-byte salt taken from the millisecond tick count at the moment of
 * encoding, the password length and the password repeated as filler, all
 * scrambled with the salt, a fixed table and the caller's key text (used
 * cyclically). Encoding the same password twice therefore gives different
 * texts, and every one of them decodes to the password under the same key.
 * A wrong key is not detected as such: decoding under another key gives
 * either result 1 or a wrong password.
 *
 * The library keeps no state; both calls may be made from any thread at
 * once. All texts are 8-bit and NUL-terminated; the caller owns every buffer
 * and the library keeps no pointer to one after a call returns.
 */
#ifndef TKCENC2_H
#define TKCENC2_H

/* The library is built with hidden visibility: only what carries this
 * macro is exported. */
#define TKCENC2_API __attribute__((visibility("default")))

/* Size of an output buffer that always suffices for TkcEnc2_Encode
 * (84 symbols and the NUL) and for TkcEnc2_Decode (30 characters and the
 * NUL). */
#define TKCENC2_ENCODED_SIZE 85
#define TKCENC2_PASSWORD_SIZE 31

#ifdef __cplusplus
extern "C" {
#endif

/* TkcEnc2_Encode(password, key, out)
 *   password  text of 0 to 30 characters
 *   key       key text, at least one character
 *   out       buffer of at least TKCENC2_ENCODED_SIZE (85) bytes
 * Writes the encoded text (12 to 84 symbols, an even number) to out.
 * Result: 0 encoded;
 *         1 password longer than 30 characters, empty key text or a null
 *           argument; out (when not null) holds the empty text. */
TKCENC2_API int TkcEnc2_Encode(const char* password, const char* key, char* out);

/* TkcEnc2_Decode(encoded, key, out)
 *   encoded   a text made by TkcEnc2_Encode
 *   key       the key text it was encoded under, at least one character
 *   out       buffer of at least TKCENC2_PASSWORD_SIZE (31) bytes
 * Writes the password to out.
 * Result: 0 decoded;
 *         1 not a valid encoded text (empty, odd length, longer than 84
 *           symbols, or its length byte out of range or claiming more
 *           characters than the text holds), empty key text or a null
 *           argument; out (when not null) holds the empty text. */
TKCENC2_API int TkcEnc2_Decode(const char* encoded, const char* key, char* out);

#ifdef __cplusplus
}
#endif

#endif /* TKCENC2_H */
