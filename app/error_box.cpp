// The shell's one way of telling the user that something went wrong.
#include "app/app.h"

#include <cstdarg>

#include "common/format_text.h"
#include "controls/loader_win.h"

void ShowErrorBox(const char* format, ...) {
    // A long server URL or context text is cut rather than written past the end.
    char text[kErrorTextCapacity];
    va_list args;
    va_start(args, format);
    FormatTextV(text, sizeof text, format, args);
    va_end(args);
    // The splash is top-most and centred, as is the box: left up, it would
    // hide the box and look like a start-up that never ends.
    if (loader && loader->window) SendMessageA(loader->window, WM_SYSCOMMAND, SC_CLOSE, 0);
    MessageBoxA(nullptr, text, "Korvane", MB_OK);
}
