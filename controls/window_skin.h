// Shapes a borderless window to a bitmap, paints it, and lets it be dragged.
#pragma once
#include <windows.h>

#include "common/dpi_scale.h"
#include "common/handles.h"

class CWindowSkin {
public:
    // Throws the C string "Unable to load the skin." when bitmap is null or
    // the region cannot be built. Owns bitmap from the first line on.
    CWindowSkin(HBITMAP bitmap, HWND wnd);
    virtual ~CWindowSkin();
    CWindowSkin(const CWindowSkin&) = delete;
    CWindowSkin& operator=(const CWindowSkin&) = delete;

    bool Attach(HWND wnd);
    bool Detach();
    // Scales the picture and the outline from the skin's DPI to newDpi and
    // gives the window the new outline; false when either cannot be had.
    bool SetDpi(int newDpi);

    // Members go in reverse order: the bitmap is put out of the memory
    // context before either is deleted.
    HWND window = nullptr;
    WNDPROC previousProc = nullptr;
    UniqueRegion region;  // empty once the window system owns it
    UniqueDC memoryDC;
    UniqueBitmap bitmap;
    SelectedObject previousObject;
    int width = 0;
    int height = 0;
    bool shown = false;
    bool attached = false;
    // The outline as cut from the picture as drawn, at 96 DPI: every outline
    // the window gets is scaled from it.
    UniqueRegion outline;
    int dpi = kBaseDpi;
};

// The skin attached to wnd, or null.
CWindowSkin* SkinOf(HWND wnd);

LRESULT CALLBACK SkinWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

extern const char* const kSkinError;  // "Unable to load the skin."

// The most rectangles a window's outline may take.
constexpr size_t kMaxSkinRects = 30000;

// The region of a bitmap that no device context has selected: its rectangle
// minus every pixel whose colour equals that of (0, 0). A zero side gives an
// empty region without reading; a side over 65535 pixels, an outline of more
// than kMaxSkinRects rectangles, or a failure gives null.
HRGN BuildSkinRegion(HBITMAP bitmap, int width, int height);
// A new region: outline at dpi, each of its rectangles' edges scaled (a copy
// at 96 DPI); null on failure.
HRGN ScaleSkinRegion(HRGN outline, int dpi);
