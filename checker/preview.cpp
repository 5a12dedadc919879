// The preview picture: the main window as the shell would compose it, and
// beside it the splash as the user first sees it, drawn as the shell draws
// them and written as a BMP file.
#include <algorithm>
#include <cstdio>
#include <new>

#include "checker/checker.h"
#include "checker/report.h"
#include "common/dib.h"
#include "controls/info_win.h"
#include "controls/loader_win.h"

namespace {

constexpr int kSplashGap = 8;
constexpr int kCheckerSquare = 8;
constexpr COLORREF kCheckerLight = RGB(255, 255, 255), kCheckerDark = RGB(192, 192, 192);
constexpr COLORREF kBrowserOutline = RGB(255, 0, 0), kStatusOutline = RGB(0, 0, 255);

// picture drawn onto dc with its top-left corner at x, y.
void Draw(HDC dc, HBITMAP picture, int x, int y) {
    BITMAP size{};
    GetObjectA(picture, sizeof size, &size);
    UniqueDC source(CreateCompatibleDC(dc));
    SelectedObject selected(source.get(), picture);
    BitBlt(dc, x, y, size.bmWidth, size.bmHeight, source.get(), 0, 0, SRCCOPY);
}

// r's outline in colour on a width by height picture. An edge far off the
// picture is drawn just off it instead, where it shows as little.
void Outline(HDC dc, const check::Rect& r, int width, int height, COLORREF colour) {
    if (r.width <= 0 || r.height <= 0) return;
    const auto edge = [](long long at, int side) { return static_cast<LONG>(std::clamp<long long>(at, -1, side + 1LL)); };
    const RECT box{edge(r.x, width), edge(r.y, height), edge(static_cast<long long>(r.x) + r.width, width),
                   edge(static_cast<long long>(r.y) + r.height, height)};
    UniqueBrush brush(CreateSolidBrush(colour));
    FrameRect(dc, &box, brush.get());
}

}  // namespace

UniqueBitmap Checker::SplashPicture() {
    const Reading& loader = Got(param::kLoaderImage);
    const int dpi = options_.dpi, w = ScaleToDpi(loader.width, dpi), h = ScaleToDpi(loader.height, dpi);
    const LoaderGeometry g = ComputeLoaderGeometry(1, 1, w, h, kScreenWidth, kScreenHeight);
    UniqueBitmap shown = PictureAtDpi(loader.bitmap.get(), dpi);
    UniqueDC dc(CreateCompatibleDC(nullptr));
    SelectedObject selected(dc.get(), shown.get());
    // One pixel around the strip, so that it does not cover the text.
    Outline(dc.get(), check::Rect{g.infoX - 1, g.infoY - 1, g.infoWidth + 2, h - g.infoY + 2}, w, h, kStatusOutline);
    // What of the progress line shows: the strip below 90 percent.
    IntersectClipRect(dc.get(), g.infoX, g.infoY, g.infoX + g.infoWidth, h);
    SetViewportOrgEx(dc.get(), g.infoX, g.infoY, nullptr);
    DrawInfoText(dc.get(), Got(param::kLoaderTextColour).colour, kLoaderFirstText, dpi);
    return shown;
}

void Checker::Preview() {
    if (options_.preview.empty()) return;
    if (!outline_) return ReportLine("PREVIEW not written: no skin to draw");
    const int dpi = options_.dpi, w = mask_.width, h = mask_.height;
    const UniqueBitmap splash = Got(param::kLoaderImage).bitmap ? SplashPicture() : UniqueBitmap();
    BITMAP splashSize{};
    GetObjectA(splash.get(), sizeof splashSize, &splashSize);
    const int width = splash ? w + kSplashGap + splashSize.bmWidth : w, height = std::max<int>(h, splashSize.bmHeight);

    BITMAPINFO info{};
    info.bmiHeader = Dib32Header(width, height);
    UniqueBitmap canvas(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, nullptr, nullptr, 0));
    std::string splashAt;
    {
        UniqueDC dc(CreateCompatibleDC(nullptr));
        SelectedObject selected(dc.get(), canvas.get());
        if (!selected) throw std::bad_alloc();
        // Cut-away pixels, and the room around the two pictures, as a checkerboard.
        UniqueBrush light(CreateSolidBrush(kCheckerLight)), dark(CreateSolidBrush(kCheckerDark));
        for (int y = 0; y < height; y += kCheckerSquare) {
            for (int x = 0; x < width; x += kCheckerSquare) {
                const RECT square{x, y, x + kCheckerSquare, y + kCheckerSquare};
                FillRect(dc.get(), &square, (x + y) / kCheckerSquare % 2 ? dark.get() : light.get());
            }
        }
        // The window's outline clips the skin and its children alike.
        SelectClipRgn(dc.get(), outline_.get());
        Draw(dc.get(), PictureAtDpi(Got(param::kSkin).bitmap.get(), dpi).get(), 0, 0);
        for (const Placed& b : buttons_) Draw(dc.get(), PictureAtDpi(b.normal, dpi).get(), b.rect.x, b.rect.y);
        SelectClipRgn(dc.get(), nullptr);
        IntersectClipRect(dc.get(), 0, 0, w, h);
        if (Got(param::kBrowserRect).present) {
            Outline(dc.get(), RectOf(param::kBrowserRect), w, h, kBrowserOutline);
            Outline(dc.get(), RectOf(param::kStatusRect), w, h, kStatusOutline);
        }
        SelectClipRgn(dc.get(), nullptr);
        if (splash) {
            Draw(dc.get(), splash.get(), w + kSplashGap, 0);
            splashAt = " splash=" + std::to_string(w + kSplashGap) + ",0";
        }
    }
    // Read once the canvas is out of the device context.
    const Pixels shown = ReadPixels(canvas.get());
    const std::string bytes = EncodeBmp(shown);
    FILE* file = shown.px.empty() ? nullptr : std::fopen(options_.preview.c_str(), "wb");
    bool ok = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file) ok = std::fclose(file) == 0 && ok;
    if (ok)
        ReportLine("PREVIEW file=%s size=%dx%d%s", options_.preview.c_str(), width, height, splashAt.c_str());
    else
        ReportLine("PREVIEW not written: cannot write %s", options_.preview.c_str());
}
