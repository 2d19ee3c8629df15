// The encoding at pinned salts: known texts, lengths, alphabet, refusals.
#include "encoder_core.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tkcenc2 {
namespace {

std::string Encode(const std::string& password, const std::string& key, Salt salt, int* result = nullptr) {
  char out[kMaxEncoded + 1];
  memset(out, '#', sizeof out);
  const int r = EncodeWithSalt(password.c_str(), key.c_str(), salt, out);
  if (result) *result = r;
  return out;
}

std::string Decoded(const std::string& text, const std::string& key, int* result) {
  char out[kMaxPassword + 1];
  memset(out, '#', sizeof out);
  *result = Decode(text.c_str(), key.c_str(), out);
  return out;
}

// Worked out from the algorithm by tests/known_vectors.py, not by this code.
struct KnownVector {
  const char* password;
  const char* key;
  Salt salt;
  const char* encoded;
};

const KnownVector kKnownVectors[] = {
    {"abc", "MORVEL.Dastra.Pq", {{0x13, 0x57, 0x9B, 0xDF}}, "089MLJS348CGU7RJ9K3SS7LL"},
    // Salt byte 1 is zero, so salt positions 1 to 3 are zero too.
    {"", "K", {{0x05, 0x00, 0x42, 0x42}}, "283K3M267WEEHKHQ3Q2020"},
    // 30 characters with 7 filler bytes: cut at 42 bytes.
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", "device-key", {{0xFF, 0x01, 0x02, 0x03}},
     "Q36E4C64RP1IDK3OI9FWG2HKW91Q3W3SQ9GCHIFSXV3I241KK5E65IEGWH1Q1IEEU51I06HWI35W7K4ENX8E"},
    // First salt byte zero: no salt at all.
    {"admin", "MORVEL.Dastra.Pq", {{0x00, 0x11, 0x22, 0x33}}, "2G3S061U7K00HU3KC49W88"},
    {"p\xe4ssw\xf6rd", "\xb5\xff~", {{0x8A, 0xFE, 0x80, 0x7F}}, "ECC6NXK51QTTUDQ7TTFUTJ5OFUDQ7IHI"},
};

TEST(EncoderCore, KnownVectorsEncodeAndDecode) {
  for (const KnownVector& v : kKnownVectors) {
    SCOPED_TRACE(v.encoded);
    int result = -1;
    EXPECT_EQ(Encode(v.password, v.key, v.salt, &result), v.encoded);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Decoded(v.encoded, v.key, &result), v.password);
    EXPECT_EQ(result, 0);
  }
}

TEST(EncoderCore, SaltTakesBitsThreeApartFromTheTick) {
  const Salt salt = SaltFromTick(0x12345678u);
  EXPECT_EQ(salt.bytes[0], 0x78);
  EXPECT_EQ(salt.bytes[1], 0xCF);
  EXPECT_EQ(salt.bytes[2], 0x59);
  EXPECT_EQ(salt.bytes[3], 0x2B);
}

// Every length and filler count: 2 * min(L + F + 6, 42) symbols, all from
// the alphabet, decoding to the password.
TEST(EncoderCore, LengthAlphabetAndRoundTripForEveryFillerCount) {
  const std::string full = "0123456789abcdefghijklmnopqrst";
  for (size_t length = 0; length <= kMaxPassword; ++length) {
    const std::string password = full.substr(0, length);
    for (uint8_t f = 0; f < 8; ++f) {
      SCOPED_TRACE("L=" + std::to_string(length) + " F=" + std::to_string(f));
      const Salt salt{{static_cast<uint8_t>(0xA8 | f), 0x31, 0xC4, 0x07}};
      int result = -1;
      const std::string text = Encode(password, "MORVEL.Dastra.Pq", salt, &result);
      ASSERT_EQ(result, 0);
      const size_t bytes = std::min<size_t>(length + f + 6, kMaxBytes);
      EXPECT_EQ(text.size(), 2 * bytes);
      EXPECT_EQ(text.find_first_not_of("0123456789CDEFGHIJKLMNOPQRSTUVWX"), std::string::npos);
      EXPECT_EQ(Decoded(text, "MORVEL.Dastra.Pq", &result), password);
      EXPECT_EQ(result, 0);
    }
  }
}

TEST(EncoderCore, EveryByteValueRoundTripsUnderEveryKeyPosition) {
  // Bytes 1..255 at every position of a 30-character password, under a key
  // of high bytes whose length does not divide the buffer.
  for (int start = 1; start < 256; start += 30) {
    std::string password;
    for (int i = 0; i < 30; ++i) password += static_cast<char>(1 + (start + i - 1) % 255);
    int result = -1;
    const std::string text = Encode(password, "\x80\xff\x01z", Salt{{0x5B, 0xE0, 0x01, 0xFF}}, &result);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(Decoded(text, "\x80\xff\x01z", &result), password);
    EXPECT_EQ(result, 0);
  }
}

TEST(EncoderCore, EmptyPasswordGivesTwelveToTwentySixSymbolsAndDecodesEmpty) {
  for (uint8_t f = 0; f < 8; ++f) {
    int result = -1;
    const std::string text = Encode("", "k", Salt{{f, 0, 0, 0}}, &result);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(text.size(), 12u + 2 * f);
    EXPECT_EQ(Decoded(text, "k", &result), "");
    EXPECT_EQ(result, 0);
  }
}

TEST(EncoderCore, PasswordOverThirtyCharactersIsRefusedWithEmptyOutput) {
  int result = -1;
  EXPECT_EQ(Encode(std::string(31, 'x'), "key", Salt{{1, 2, 3, 4}}, &result), "");
  EXPECT_EQ(result, 1);
}

TEST(EncoderCore, EmptyKeyIsRefusedByBothWithEmptyOutput) {
  int result = -1;
  EXPECT_EQ(Encode("secret", "", Salt{{1, 2, 3, 4}}, &result), "");
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Decoded(kKnownVectors[0].encoded, "", &result), "");
  EXPECT_EQ(result, 1);
}

TEST(EncoderCore, DecodeRefusesTextsOfBadLength) {
  const std::string valid = Encode("abc", "key", Salt{{0x17, 1, 2, 3}});
  const struct {
    const char* name;
    std::string text;
  } cases[] = {
      {"empty", ""},
      {"odd 83", std::string(83, '2')},
      {"odd valid-looking", valid.substr(0, valid.size() - 1)},
      {"86 symbols", std::string(86, '2')},
      {"very long", std::string(10000, 'C')},
      {"four bytes, no length byte", "00000000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int result = -1;
    EXPECT_EQ(Decoded(c.text, "key", &result), "");
    EXPECT_EQ(result, 1);
  }
}

// The length byte of a cut-short text still claims the whole password; the
// decoder must not hand out bytes the text never carried.
TEST(EncoderCore, LengthByteClaimingMoreThanTheTextHoldsIsRefused) {
  const std::string text = Encode("abcdefgh", "key", Salt{{0x08, 9, 9, 9}});  // F = 0
  ASSERT_EQ(text.size(), 2u * 14);
  int result = -1;
  // 5 + 8 bytes still carry the whole password.
  EXPECT_EQ(Decoded(text.substr(0, 2 * 13), "key", &result), "abcdefgh");
  EXPECT_EQ(result, 0);
  for (size_t bytes = 5; bytes < 13; ++bytes) {
    EXPECT_EQ(Decoded(text.substr(0, 2 * bytes), "key", &result), "") << bytes;
    EXPECT_EQ(result, 1) << bytes;
  }
}

TEST(EncoderCore, WrongKeyGivesRefusalOrAnotherPassword) {
  int result = -1;
  const std::string text = Encode("secret", "MORVEL.Dastra.Pq", Salt{{0x21, 0x43, 0x65, 0x87}});
  const std::string decoded = Decoded(text, "another key", &result);
  if (result == 0) {
    EXPECT_NE(decoded, "secret");
  } else {
    EXPECT_EQ(result, 1);
    EXPECT_EQ(decoded, "");
  }
}

TEST(EncoderCore, ZeroByteInDecodedPasswordEndsItEarly) {
  // Build a text whose password bytes are "ab\0d": encode "abXd" and flip
  // the 'X' back to zero through the scrambling, which is a plain XOR at
  // that position (salt byte 0 zero, so no salt mixing).
  const Salt salt{{0x00, 0x00, 0x00, 0x00}};
  const std::string text = Encode("abXd", "key", salt);
  int result = -1;
  ASSERT_EQ(Decoded(text, "key", &result), "abXd");
  // Position 7 carries 'X'; re-encode the byte with 'X' removed.
  std::string cut = text;
  auto value = [](char c) { return static_cast<unsigned>(c > '9' ? c - 57 : c - 48); };
  auto symbol = [](unsigned v) { return static_cast<char>(v < 10 ? '0' + v : v + 57); };
  const unsigned b = (((value(cut[14]) & 0xFE) << 3) | (value(cut[15]) >> 1)) & 0xFF;
  const unsigned z = b ^ 'X';
  cut[14] = symbol(z >> 3);
  cut[15] = symbol(((z & 0x0F) << 1) | (z >> 7));
  EXPECT_EQ(Decoded(cut, "key", &result), "ab");
  EXPECT_EQ(result, 0);
}

}  // namespace
}  // namespace tkcenc2
