// The shell's one way of telling the user that something went wrong.
#include "app/app.h"

#include <cstdarg>

#include "common/format_text.h"

void ShowErrorBox(const char* format, ...) {
    // A long server URL or context text is cut rather than written past the end.
    char text[kErrorTextCapacity];
    va_list args;
    va_start(args, format);
    FormatTextV(text, sizeof text, format, args);
    va_end(args);
    MessageBoxA(nullptr, text, "Korvane", MB_OK);
}
