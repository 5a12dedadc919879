#pragma once
// printf-style formatting into a fixed buffer for texts the user sees.
#include <cstdarg>
#include <cstddef>
#include <cstdio>

// Long results are cut at the capacity, and not every runtime's vsnprintf
// terminates a cut result or leaves the buffer alone when it fails: the buffer
// always ends up a terminated string, empty after a failure.
inline void FormatTextV(char* buffer, std::size_t capacity, const char* format, va_list args) {
    if (capacity == 0) return;
    if (std::vsnprintf(buffer, capacity, format, args) < 0) buffer[0] = '\0';
    buffer[capacity - 1] = '\0';
}
