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

namespace tarvik {

namespace {

void AppendEscaped(std::string* out, unsigned char c) {
  switch (c) {
    case '\n': *out += "\\n"; return;
    case '\r': *out += "\\r"; return;
    case '\t': *out += "\\t"; return;
    case '\\': *out += "\\\\"; return;
    default: break;
  }
  if (c >= 0x20 && c < 0x7F) {
    *out += static_cast<char>(c);
    return;
  }
  static const char kHex[] = "0123456789abcdef";
  *out += "\\x";
  *out += kHex[c >> 4];
  *out += kHex[c & 0xF];
}

}  // namespace

std::string EscapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) AppendEscaped(&out, static_cast<unsigned char>(c));
  return out;
}

std::string QuoteText(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') {
      out += "\\\"";
    } else {
      AppendEscaped(&out, static_cast<unsigned char>(c));
    }
  }
  return out + "\"";
}

bool HasControlCharacter(std::string_view text) {
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

}  // namespace tarvik
