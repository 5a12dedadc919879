#include "controls/dpi.h"

#include "common/dpi_scale.h"
#include "common/handles.h"

int WindowDpi(HWND wnd) {
    // Not in Windows 7 or 8, which take the system's DPI for every window.
    using DpiForWindow = UINT(WINAPI*)(HWND);
    static const auto dpiForWindow = reinterpret_cast<DpiForWindow>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (wnd && dpiForWindow) {
        if (const UINT dpi = dpiForWindow(wnd)) return static_cast<int>(dpi);
    }
    WindowDC dc(wnd);
    const int dpi = dc.get() ? GetDeviceCaps(dc.get(), LOGPIXELSX) : 0;
    return dpi > 0 ? dpi : kBaseDpi;
}

HBITMAP RescalePicture(HBITMAP picture, int from, int to) {
    BITMAP info{};
    if (!picture || !GetObjectA(picture, sizeof info, &info)) return picture;
    const int width = RescaleDpi(info.bmWidth, from, to), height = RescaleDpi(info.bmHeight, from, to);
    if (width == info.bmWidth && height == info.bmHeight) return picture;

    WindowDC screen(nullptr);
    UniqueBitmap scaled(width > 0 && height > 0 ? CreateCompatibleBitmap(screen.get(), width, height) : nullptr);
    UniqueDC source(CreateCompatibleDC(screen.get())), target(CreateCompatibleDC(screen.get()));
    if (!scaled || !source || !target) return picture;
    {
        SelectedObject in(source.get(), picture), out(target.get(), scaled.get());
        if (!in || !out) return picture;
        SetStretchBltMode(target.get(), HALFTONE);
        SetBrushOrgEx(target.get(), 0, 0, nullptr);  // as HALFTONE requires
        if (!StretchBlt(target.get(), 0, 0, width, height, source.get(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY))
            return picture;
    }
    DeleteObject(picture);
    return scaled.release();
}
