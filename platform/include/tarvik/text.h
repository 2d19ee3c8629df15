// Fixed-size text buffers: copies and formats are cut to fit, never overrun.
#pragma once
#include <cstdarg>
#include <cstddef>

namespace tarvik {

// Copies src into dst[size], cut to size-1 characters, always NUL-terminated
// (when size > 0). Returns the number of characters copied.
size_t CopyText(char* dst, size_t size, const char* src);

// snprintf into dst[size], cut to fit. Returns the characters written.
size_t FormatText(char* dst, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

template <size_t N>
size_t CopyText(char (&dst)[N], const char* src) { return CopyText(dst, N, src); }

}  // namespace tarvik
