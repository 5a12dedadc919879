// Times the skin outline build against the per-pixel reference in the same
// run and prints their ratio. Not a test: it fails only when the two
// outlines differ or a picture cannot be made.
//
// The JPEG skin in bench/data is the largest 4:3 picture that stays within
// the 1 MiB download limit; it was made once with ImageMagick (one line):
//   convert -size 1656x1242 -seed 7 plasma:fractal
//     ( -size 1656x1242 xc:black -fill white
//       -draw "roundrectangle 82,62 1573,1179 138,138" )
//     -alpha off -compose CopyOpacity -composite
//     -background '#FF00FF' -alpha remove -alpha off
//     -quality 95 -sampling-factor 4:4:4 skin_1656x1242.jpg
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/bench_clock.h"
#include "common/handles.h"
#include "controls/window_skin.h"
#include "support/images.h"
#include "support/site.h"

namespace {

// A skin-like picture: an ellipse on the key colour, holes, colour bands.
std::uint32_t Synthetic(int x, int y, int w, int h) {
    const long long dx = x - w / 2, dy = y - h / 2, a = w / 2, b = h / 2;
    if (dx * dx * b * b + dy * dy * a * a > a * a * b * b) return 0xFF00FF;
    if ((x / (w / 10 + 1) + y / (h / 10 + 1)) % 7 == 3 && (x + y) % 17 < 9) return 0xFF00FF;
    return (((x * 255) / w) << 16) | (((y * 255) / h) << 8) | ((x ^ y) & 0xFF);
}

// Seconds per build, building until at least a second has passed.
double SecondsPerBuild(HBITMAP bitmap, int w, int h) {
    int runs = 0;
    const double start = Now();
    do {
        DeleteObject(BuildSkinRegion(bitmap, w, h));
        ++runs;
    } while (Now() - start < 1.0);
    return (Now() - start) / runs;
}

bool Bench(const char* name, HBITMAP bitmap, bool withReference = true) {
    BITMAP bm{};
    GetObjectA(bitmap, sizeof bm, &bm);
    UniqueRegion fast(BuildSkinRegion(bitmap, bm.bmWidth, bm.bmHeight));
    const double f = SecondsPerBuild(bitmap, bm.bmWidth, bm.bmHeight);
    const unsigned long rects = fast ? (GetRegionData(fast.get(), 0, nullptr) - sizeof(RGNDATAHEADER)) / sizeof(RECT) : 0;
    std::printf("%-30s %5ldx%-5ld %8lu rects  fast %9.3f ms", name, bm.bmWidth, bm.bmHeight, rects, f * 1e3);
    if (!withReference) {
        std::printf("  per-pixel not run%s\n", fast ? "" : "  (refused)");
        return true;
    }
    // The reference is slow: one run, whose outline is also the comparison.
    const double start = Now();
    UniqueRegion ref(PerPixelRegion(bitmap));
    const double r = Now() - start;
    const bool same = fast && EqualRgn(fast.get(), ref.get());
    std::printf("  per-pixel %10.1f ms  ratio %8.1f  %s\n", r * 1e3, r / f, same ? "equal" : "DIFFERENT");
    std::fflush(stdout);
    return same;
}

}  // namespace

int main(int argc, char** argv) {
    bool ok = true;
    const bool skipJpeg = argc > 1 && std::strcmp(argv[1], "--no-jpeg") == 0;
    for (auto size : {std::pair<int, int>{200, 150}, {1000, 1000}}) {
        const int w = size.first, h = size.second;
        const Picture picture = {w, h, [w, h](int x, int y) { return Synthetic(x, y, w, h); }};
        const Picture fewer = {w, h, [w, h](int x, int y) { return Synthetic(x, y, w, h) & 0xE0E0C0; }};
        UniqueBitmap bmp(Decoded(BmpFile(picture))), gif(Decoded(GifFile(fewer)));
        if (!bmp || !gif) {
            std::printf("could not make the %dx%d pictures\n", w, h);
            return 2;
        }
        ok &= Bench("synthetic, 24-bit BMP", bmp.get());
        ok &= Bench("synthetic, GIF", gif.get());
    }
    // The worst case for the run builder: no two neighbours alike. Its
    // per-pixel reference would take hours, so it is timed alone.
    UniqueBitmap board(Decoded(BmpFile({1000, 1000, [](int x, int y) { return (x + y) % 2 ? 0xFFu : 0xFF00FFu; }})));
    ok &= Bench("checkerboard, 24-bit BMP", board.get(), false);
    if (!skipJpeg) {
        const std::string path = WindowsPath(std::getenv("KORVANE_SOURCE_DIR")) + "\\bench\\data\\skin_1656x1242.jpg";
        UniqueBitmap jpeg(Decoded(ReadFileBytes(path)));
        if (!jpeg) {
            std::printf("could not decode %s\n", path.c_str());
            return 2;
        }
        ok &= Bench("1 MiB JPEG via OleLoadPicture", jpeg.get());
    }
    return ok ? 0 : 1;
}
