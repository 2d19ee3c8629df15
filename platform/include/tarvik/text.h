// Fixed-size text buffers: copies and formats are cut to fit, never overrun.
// And the one rule for text that came from a device or the network (names,
// aliases, addresses, replies) before it reaches a terminal or a line that
// a script reads: see EscapeText and QuoteText.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace tarvik {

// Copies src into dst[size], cut to size-1 characters, always NUL-terminated
// (when size > 0). Returns the number of characters copied.
size_t CopyText(char* dst, size_t size, const char* src);

// snprintf into dst[size], cut to fit. Returns the characters written.
size_t FormatText(char* dst, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

template <size_t N>
size_t CopyText(char (&dst)[N], const char* src) { return CopyText(dst, N, src); }

// The text of a fixed-size field, which need not hold a NUL.
template <size_t N>
std::string_view FieldText(const char (&field)[N]) {
  return std::string_view(field, strnlen(field, N));
}

// Untrusted text made printable: every byte outside printable ASCII (0x20
// to 0x7E) is written as an escape, so that a device cannot end a line,
// move the cursor or send a terminal sequence: "\n", "\r", "\t", and
// "\xhh" (two lower-case hex digits) for the rest, 0x7F and the 8-bit
// bytes included (C1 controls act on 8-bit terminals). A backslash becomes
// "\\", so the escaped text reads back one way only.
std::string EscapeText(std::string_view text);

// EscapeText inside double quotes, with a double quote inside written as
// "\"": the form of a text field in a "kind key=value" line.
std::string QuoteText(std::string_view text);

// True when text holds a byte below 0x20 or 0x7F.
bool HasControlCharacter(std::string_view text);

}  // namespace tarvik
