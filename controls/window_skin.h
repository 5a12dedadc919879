// Shapes a borderless window to a bitmap, paints it, and lets it be dragged.
#pragma once
#include <windows.h>

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

    HWND window = nullptr;
    WNDPROC previousProc = nullptr;
    HRGN region = nullptr;          // null once the window system owns it
    HDC memoryDC = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previousObject = nullptr;
    int width = 0;
    int height = 0;
    bool shown = false;
    bool attached = false;

private:
    HRGN MakeRegion();
    // Gives back everything acquired so far and throws kSkinError.
    [[noreturn]] void Fail();
    void ReleaseResources();
};

LRESULT CALLBACK SkinWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

extern const char* const kSkinError;  // "Unable to load the skin."

// The region of a bitmap selected into dc: its rectangle minus every pixel
// whose colour equals that of (0, 0). Reads the pixels in bulk, or one by
// one from dc when bitmap is null or can't be read so. A zero side gives an
// empty region without reading; a side over 65535 pixels, or a failure,
// gives null.
HRGN BuildSkinRegion(HDC dc, HBITMAP bitmap, int width, int height);
