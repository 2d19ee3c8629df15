#include "word_list.h"

#include <sstream>

namespace devsim {

bool ParseWordList(const std::string& text, const NamedBits* table, size_t count, uint32_t* out,
                   std::string* unknown) {
  *out = 0;
  std::stringstream list(text);
  std::string word;
  while (std::getline(list, word, ',')) {
    bool known = false;
    for (size_t i = 0; i < count; ++i) {
      if (word == table[i].word) {
        *out |= table[i].bits;
        known = true;
      }
    }
    if (!known) {
      *unknown = word;
      return false;
    }
  }
  return true;
}

}  // namespace devsim
