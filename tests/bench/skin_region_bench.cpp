// Times the skin region build against the per-pixel reference in the same
// run and prints their ratio. Not a test: it fails only when the two
// regions differ or a picture cannot be made.
//
// The JPEG skin in tests/data is the largest 4:3 picture that stays within
// the 1 MiB download limit; it was made once with ImageMagick (one line):
//   convert -size 1656x1242 -seed 7 plasma:fractal
//     ( -size 1656x1242 xc:black -fill white
//       -draw "roundrectangle 82,62 1573,1179 138,138" )
//     -alpha off -compose CopyOpacity -composite
//     -background '#FF00FF' -alpha remove -alpha off
//     -quality 95 -sampling-factor 4:4:4 skin_1656x1242.jpg
#include "common/com_ptr.h"
#include "common/handles.h"
#include "controls/window_skin.h"
#include "support/bench_clock.h"
#include "support/paths.h"
#include "support/screen.h"

#include <objbase.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A skin-like picture: an ellipse on the key colour, holes, colour bands.
COLORREF Synthetic(int x, int y, int w, int h) {
    const long long dx = x - w / 2, dy = y - h / 2;
    const long long a = w / 2, b = h / 2;
    if (dx * dx * b * b + dy * dy * a * a > a * a * b * b) return RGB(255, 0, 255);
    if ((x / (w / 10 + 1) + y / (h / 10 + 1)) % 7 == 3 && (x + y) % 17 < 9) return RGB(255, 0, 255);
    return RGB((x * 255) / w, (y * 255) / h, (x ^ y) & 0xFF);
}

// Decodes an image file the way the shell decodes downloaded images:
// a global memory stream given to OleLoadPicture.
ComPtr<IPicture> LoadPicture(const std::string& path) {
    UniqueKernelHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                        nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        file.release();
        return {};
    }
    const DWORD size = GetFileSize(file.get(), nullptr);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block) return {};
    void* p = GlobalLock(block);
    DWORD got = 0;
    const BOOL read = ReadFile(file.get(), p, size, &got, nullptr);
    GlobalUnlock(block);
    ComPtr<IStream> stream;
    if (!read || got != size || CreateStreamOnHGlobal(block, TRUE, stream.put()) != S_OK) {
        if (!stream) GlobalFree(block);
        return {};
    }
    ComPtr<IPicture> picture;
    if (OleLoadPicture(stream.get(), static_cast<LONG>(size), FALSE, IID_IPicture, picture.put_void()) != S_OK)
        return {};
    return picture;
}

struct Timing {
    double perBuild;  // seconds
    int runs;
};

// Runs build until at least minSeconds have passed (and at least once).
template <typename Build>
Timing Measure(Build build, double minSeconds) {
    int runs = 0;
    const double start = Now();
    double elapsed = 0;
    do {
        DeleteObject(build());
        ++runs;
        elapsed = Now() - start;
    } while (elapsed < minSeconds);
    return {elapsed / runs, runs};
}

bool Bench(const char* name, HBITMAP bitmap, bool withReference = true) {
    BITMAP bm{};
    GetObjectA(bitmap, sizeof bm, &bm);
    UniqueRegion fast;
    Timing f{};
    {
        // As in the skin: the bitmap sits in a memory context while the
        // region is built. A bitmap can be in one context only, so this one
        // lets go of it before the reference selects it into its own.
        UniqueDC dc(CreateCompatibleDC(nullptr));
        SelectScope select(dc.get(), bitmap);
        fast.reset(BuildSkinRegion(dc.get(), bitmap, bm.bmWidth, bm.bmHeight));
        f = Measure([&] { return BuildSkinRegion(dc.get(), bitmap, bm.bmWidth, bm.bmHeight); }, 1.0);
    }
    if (!withReference) {
        std::printf("%-30s %5ldx%-5ld %8zu rects  fast %9.3f ms (x%d)  per-pixel not run\n", name, bm.bmWidth,
                    bm.bmHeight, RegionRects(fast.get()).size(), f.perBuild * 1e3, f.runs);
        std::fflush(stdout);
        return fast.get() != nullptr;
    }
    // The reference is slow: one run, whose region is also the comparison.
    const double start = Now();
    UniqueRegion ref(PerPixelSkinRegion(bitmap));
    const Timing r{Now() - start, 1};
    const bool same = SameRegion(fast.get(), ref.get());
    std::printf("%-30s %5ldx%-5ld %8zu rects  fast %9.3f ms (x%d)  per-pixel %10.1f ms (x%d)  ratio %8.1f  %s\n",
                name, bm.bmWidth, bm.bmHeight, RegionRects(fast.get()).size(), f.perBuild * 1e3, f.runs,
                r.perBuild * 1e3, r.runs, r.perBuild / f.perBuild, same ? "equal" : "DIFFERENT");
    std::fflush(stdout);
    return same;
}

}  // namespace

int main(int argc, char** argv) {
    bool ok = true;
    bool skipJpeg = false;
    for (int i = 1; i < argc; ++i) skipJpeg |= std::strcmp(argv[i], "--no-jpeg") == 0;

    for (auto size : {std::pair<int, int>{200, 150}, {1000, 1000}}) {
        const int w = size.first, h = size.second;
        auto colour = [w, h](int x, int y) { return Synthetic(x, y, w, h); };
        UniqueBitmap dib(MakeDib(w, h, 32, colour));
        UniqueBitmap ddb(MakeDeviceBitmap(w, h, colour));
        if (!dib || !ddb) {
            std::printf("could not make the %dx%d pictures\n", w, h);
            return 2;
        }
        ok &= Bench("synthetic, 32-bit DIB", dib.get());
        ok &= Bench("synthetic, screen bitmap", ddb.get());
    }

    {
        // The worst case for the run builder: no two neighbours alike. Its
        // per-pixel reference would take hours, so it is timed alone.
        UniqueBitmap board(MakeDib(1000, 1000, 32, [](int x, int y) {
            return (x + y) % 2 ? RGB(0, 0, 255) : RGB(255, 0, 255);
        }));
        ok &= Bench("checkerboard, 32-bit DIB", board.get(), false);
    }

    if (!skipJpeg) {
        OleInitialize(nullptr);
        {
            const std::string path = SourceDir() + "\\tests\\data\\skin_1656x1242.jpg";
            ComPtr<IPicture> picture = LoadPicture(path);
            OLE_HANDLE handle = 0;
            if (!picture || picture->get_Handle(&handle) != S_OK || !handle) {
                std::printf("could not decode %s\n", path.c_str());
                return 2;
            }
            ok &= Bench("1 MiB JPEG via OleLoadPicture", reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)));
        }
        OleUninitialize();
    }
    return ok ? 0 : 1;
}
