// A child-window push button drawn from three bitmaps.
#pragma once
#include <windows.h>

#include "common/handles.h"

class CBitButton {
public:
    CBitButton();
    virtual ~CBitButton();
    CBitButton(const CBitButton&) = delete;
    CBitButton& operator=(const CBitButton&) = delete;

    HWND Create(HBITMAP normal, HBITMAP hot, HBITMAP pressed, HWND parent,
                HINSTANCE instance, int x, int y);

    HWND window = nullptr;
    HWND parentWindow = nullptr;
    HWND actionWindow = nullptr;
    UINT actionMessage = 0;
    WPARAM actionWParam = 0;
    LPARAM actionLParam = 0;
    int placement[4] = {0, 0, 0, 0};
    UniqueBitmap normalImage;
    UniqueBitmap hotImage;
    UniqueBitmap pressedImage;
    bool clickPending = false;
    // What a screen reader calls the button: its function, whatever the
    // pictures show.
    const char* accessibleName = nullptr;
};

LRESULT CALLBACK BitButtonWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

// One state for every button: 0 normal, 1 hot, 2 pressed.
extern int g_buttonState;
