#pragma once
// Reading and writing pixels as 32-bit words through GetDIBits and friends.
#include <windows.h>

#include "common/handles.h"
#include "common/pixels.h"

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

// A bitmap's pixels, top row first; empty when they cannot be read. The
// caller bounds the size: the shell's decoder makes no larger picture than
// its limits allow.
inline Pixels ReadPixels(HBITMAP bitmap) {
    BITMAP size{};
    if (!GetObjectA(bitmap, sizeof size, &size) || size.bmWidth <= 0 || size.bmHeight <= 0) return {};
    Pixels image{size.bmWidth, size.bmHeight,
                 std::vector<std::uint32_t>(static_cast<std::size_t>(size.bmWidth) * size.bmHeight)};
    BITMAPINFO info{};
    info.bmiHeader = Dib32Header(size.bmWidth, -size.bmHeight);
    UniqueDC dc(CreateCompatibleDC(nullptr));
    if (!dc || GetDIBits(dc.get(), bitmap, 0, static_cast<UINT>(size.bmHeight), image.px.data(), &info,
                         DIB_RGB_COLORS) != size.bmHeight)
        return {};
    for (std::uint32_t& p : image.px) p &= 0xFFFFFF;
    return image;
}
