// The shell's one way of telling the user that something went wrong.
#include "app/app.h"

#include <cstdarg>
#include <cstdio>

void ShowErrorBox(const char* format, ...) {
    // vsnprintf stops at the capacity and always terminates, so a long
    // server URL or context text is cut rather than written past the end.
    char text[kErrorTextCapacity];
    va_list args;
    va_start(args, format);
    int written = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (written < 0) text[0] = '\0';
    text[sizeof text - 1] = '\0';
    MessageBoxA(nullptr, text, "Korvane", MB_OK);
}
