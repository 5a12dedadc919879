// A window's DPI and the pictures scaled to it.
#pragma once
#include <windows.h>

// The DPI that wnd is shown at: its monitor's where Windows can tell (from
// Windows 10), the system's otherwise, and for no window the system's.
int WindowDpi(HWND wnd);

// A picture drawn for DPI from, as it is to be shown at DPI to: a new bitmap,
// smoothed with HALFTONE, that takes the picture's place (the picture is
// deleted). The picture itself when the size stays, or when no bitmap of
// the new size can be had: then it shows as drawn.
HBITMAP RescalePicture(HBITMAP picture, int from, int to);
