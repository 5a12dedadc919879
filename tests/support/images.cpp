#include "support/images.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "common/handles.h"
#include "remote/remote_params.h"
#include "support/site.h"

namespace {

// The test skin: magenta (the key colour) at the top-left pixel and in a
// round hole, blue elsewhere; at least 8x8. Smooth, its edge blends the two.
Picture SkinPicture(int width, int height, bool smooth) {
    constexpr std::uint32_t kFill = 0x2850C8;
    return {width, height, [=](int x, int y) {
                const int dx = x - width / 2, dy = y - height / 2, r = std::min(width, height) / 4;
                if ((x == 0 && y == 0) || dx * dx + dy * dy < r * r) return 0xFF00FFu;
                // Smoothed, the ring of pixels around the hole is half key colour, half fill.
                const std::uint32_t half = ((0xFF00FFu & 0xFEFEFE) >> 1) + ((kFill & 0xFEFEFE) >> 1);
                return smooth && dx * dx + dy * dy < (r + 1) * (r + 1) ? half : kFill;
            }};
}

Pixels PixelsOf(const Picture& p) {
    Pixels pixels{p.width, p.height, {}};
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) pixels.px.push_back(p.rgb(x, y));
    return pixels;
}

}  // namespace

Picture SolidPicture(int width, int height, std::uint32_t rgb) {
    return {width, height, [=](int, int) { return rgb; }};
}

std::string BmpFile(const Picture& p, int bits, bool topDown) { return EncodeBmp(PixelsOf(p), bits, topDown); }

std::string GifFile(const Picture& p) { return EncodeGif(PixelsOf(p)); }

HBITMAP Decoded(const std::string& file) {
    return DecodeImage(file.data(), static_cast<std::uint32_t>(file.size()));
}

HRGN PerPixelRegion(HBITMAP bitmap, int dpi) {
    BITMAP bm{};
    GetObjectA(bitmap, sizeof bm, &bm);
    const auto at = [dpi](int v) { return MulDiv(v, dpi, 96); };
    HRGN result = CreateRectRgn(0, 0, at(bm.bmWidth), at(bm.bmHeight));
    UniqueDC dc(CreateCompatibleDC(nullptr));
    SelectedObject selected(dc.get(), bitmap);
    const COLORREF key = GetPixel(dc.get(), 0, 0);
    for (int y = 0; y < bm.bmHeight; ++y) {
        for (int x = 0; x < bm.bmWidth; ++x) {
            if (GetPixel(dc.get(), x, y) != key) continue;
            UniqueRegion pixel(CreateRectRgn(at(x), at(y), at(x + 1), at(y + 1)));
            CombineRgn(result, result, pixel.get(), RGN_XOR);
        }
    }
    return result;
}

std::uint32_t KindColour(const std::string& kind) {
    std::uint32_t h = 2166136261u;
    for (char c : kind) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    return (h & 0x7F7F7F) | 0x202020;  // never the skin's magenta
}

std::string ImageFile(const std::string& name) {
    // What cannot be made here (PNG, JPEG, transparent GIF) lies in tests/data.
    const char* source = std::getenv("KORVANE_SOURCE_DIR");
    for (const char* folder : {"/tests/data/", "/demo/skin/"}) {
        const std::string kept = source ? ReadFileBytes(WindowsPath(source + std::string(folder) + name)) : "";
        if (!kept.empty()) return kept;
    }
    int w = 0, h = 0;
    const size_t dash = name.rfind('-'), dot = name.rfind('.');
    if (dash == std::string::npos || dot == std::string::npos || std::sscanf(name.c_str() + dash + 1, "%dx%d", &w, &h) != 2)
        return "";
    const std::string kind = name.substr(0, dash);
    if (kind == "huge") {  // one pixel on a screen of that size, which is what a decoder allocates
        const std::string size = {char(w), char(w >> 8), char(h), char(h >> 8)};
        return GifFile(SolidPicture(1, 1, KindColour(kind))).replace(6, 4, size);
    }
    Picture p = kind == "skin" || kind == "smooth" ? SkinPicture(w, h, kind == "smooth")
                                                   : SolidPicture(w, h, KindColour(kind));
    if (kind == "checker") p.rgb = [](int x, int y) { return (x + y) % 2 ? 0xFF00FFu : 0x2850C8u; };
    return name.substr(dot) == ".gif" ? GifFile(p) : BmpFile(p);
}

