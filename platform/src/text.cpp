#include "tarvik/text.h"

#include <cstdio>
#include <cstring>

namespace tarvik {

size_t CopyText(char* dst, size_t size, const char* src) {
  if (!dst || size == 0) return 0;
  if (!src) src = "";
  size_t n = 0;
  while (n + 1 < size && src[n]) {
    dst[n] = src[n];
    ++n;
  }
  dst[n] = '\0';
  return n;
}

size_t FormatText(char* dst, size_t size, const char* format, ...) {
  if (!dst || size == 0) return 0;
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(dst, size, format, args);
  va_end(args);
  if (n < 0) {
    dst[0] = '\0';
    return 0;
  }
  return size_t(n) < size ? size_t(n) : size - 1;
}

}  // namespace tarvik
