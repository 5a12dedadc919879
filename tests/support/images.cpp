#include "support/images.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "checker/logic/check_logic.h"
#include "common/handles.h"
#include "remote/remote_params.h"
#include "support/site.h"

namespace {

void Put(std::string& s, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

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

}  // namespace

Picture SolidPicture(int width, int height, std::uint32_t rgb) {
    return {width, height, [=](int, int) { return rgb; }};
}

std::string BmpFile(const Picture& p, int bits, bool topDown) {
    const std::uint32_t stride = (p.width * bits + 31) / 32 * 4;
    std::string s = "BM";
    for (std::uint32_t v : {54 + stride * p.height, 0u, 54u, 40u, static_cast<std::uint32_t>(p.width),
                            static_cast<std::uint32_t>(topDown ? -p.height : p.height)})
        Put(s, v, 4);
    Put(s, 1, 2);
    Put(s, bits, 2);
    for (std::uint32_t v : {0u, stride * p.height, 2835u, 2835u, 0u, 0u}) Put(s, v, 4);
    for (int row = 0; row < p.height; ++row) {
        std::string line;
        for (int x = 0; x < p.width; ++x) {
            const std::uint32_t c = p.rgb(x, topDown ? row : p.height - 1 - row);
            Put(line, bits == 16 ? ((c >> 9) & 0x7C00) | ((c >> 6) & 0x3E0) | ((c >> 3) & 0x1F) : c, bits / 8);
        }
        s += line + std::string(stride - line.size(), '\0');
    }
    return s;
}

std::string GifFile(const Picture& p) {
    check::Image image;
    image.width = p.width;
    image.height = p.height;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) image.px.push_back(p.rgb(x, y));
    return check::EncodeGif(image);
}

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

