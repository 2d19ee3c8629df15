// The device file's comma lists of named switches ("fault = late,duplicate",
// "hostile = name,alias"): one word per switch, read into a bit set.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace devsim {

struct NamedBits {
  const char* word;
  uint32_t bits;
};

// The OR of the bits of every word of the comma list text, each looked up
// in table[count]. False, with the first unknown word in *unknown, when a
// word is not in the table.
bool ParseWordList(const std::string& text, const NamedBits* table, size_t count, uint32_t* out,
                   std::string* unknown);

template <size_t N>
bool ParseWordList(const std::string& text, const NamedBits (&table)[N], uint32_t* out,
                   std::string* unknown) {
  return ParseWordList(text, table, N, out, unknown);
}

}  // namespace devsim
