// Pictures of known pixels as files a server would send, and outlines.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "common/pixels.h"

struct Picture {
    int width = 0, height = 0;
    std::function<std::uint32_t(int x, int y)> rgb;  // 0x00RRGGBB
};

Picture SolidPicture(int width, int height, std::uint32_t rgb);

// A BMP file of 16 (5-5-5), 24 or 32 bits per pixel, bottom-up unless topDown.
std::string BmpFile(const Picture& picture, int bits = 24, bool topDown = false);
// A GIF file (LZW-compressed, at most 256 colours, no transparency).
std::string GifFile(const Picture& picture);

// The outline built the literal way, a GetPixel and a region a pixel, each
// pixel's square scaled to dpi as MulDiv rounds.
HRGN PerPixelRegion(HBITMAP bitmap, int dpi = 96);
// A file's picture, decoded as the shell decodes the ones it downloads.
HBITMAP Decoded(const std::string& file);

// The file of that name in tests/data or demo/skin, or of an image named
// KIND-WxH.bmp or KIND-WxH.gif: KIND "skin" is the test skin, "smooth" the
// same smoothed, "checker" a checkerboard of single pixels of the key colour
// and blue, any other KIND one colour of its own (KindColour); "" for other
// names.
std::string ImageFile(const std::string& name);
std::uint32_t KindColour(const std::string& kind);
