// A one-line text label drawn over its parent's picture.
#pragma once
#include <windows.h>

#include "common/dpi_scale.h"

class CInfoWin {
public:
    CInfoWin();
    virtual ~CInfoWin();

    HWND Create(HWND parent, HINSTANCE instance, int x, int y, int width, int height,
                const char* colourText);
    // Moves the label to a new place in its parent.
    void Place(int x, int y, int width, int height);
    // printf-style; outside text must only ever be passed as a "%s" argument.
    void SetInfoText(const char* format, ...)
#ifdef __GNUC__
        __attribute__((format(gnu_printf, 2, 3)))
#endif
        ;

    char text[1024];
    HWND window = nullptr;
    HWND parentWindow = nullptr;
    COLORREF textColour = 0;
    RECT clientRect{};
    RECT areaInParent{};
    // The text is written by whichever thread calls SetInfoText and read by
    // the thread that owns the window when it paints; this keeps a paint
    // from seeing half of a new text.
    SRWLOCK textLock = SRWLOCK_INIT;

    CInfoWin(const CInfoWin&) = delete;
    CInfoWin& operator=(const CInfoWin&) = delete;
};

LRESULT CALLBACK InfoWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
// One line of text as an info window paints it, from dc's origin, in a font
// scaled to dpi: the checker's preview draws with it too.
void DrawInfoText(HDC dc, COLORREF colour, const char* text, int dpi = kBaseDpi);
// Reads RRGGBB as strtoul with base 16 does and turns it into a COLORREF.
COLORREF ParseColourText(const char* colourText);
