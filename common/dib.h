#pragma once
// Reading and writing pixels as 32-bit words through GetDIBits and friends.
#include <windows.h>

// The header of an uncompressed 32-bit DIB. A negative height means the
// top row comes first, a positive one the bottom row.
inline BITMAPINFOHEADER Dib32Header(int width, int height) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    return header;
}
