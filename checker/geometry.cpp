// Where the window, the splash and the pieces inside the window land, and
// which of the skin's pixels are cut away.
#include <algorithm>

#include "checker/checker.h"
#include "checker/report.h"
#include "controls/loader_win.h"
#include "controls/window_skin.h"

void Checker::Geometry() {
    if (!skin_.bitmap) {
        ReportLine("GEOMETRY not checked: no skin image");
        return;
    }
    const int w = skin_.width, h = skin_.height;
    const check::Rect window = check::WindowOnScreen(haveStart_, startX_, startY_, w, h, kScreenWidth, kScreenHeight);
    ReportLine("GEOMETRY WINDOW x=%d y=%d size=%dx%d%s", window.x, window.y, w, h, haveStart_ ? "" : " centred");
    if (!check::Inside(window, kScreenWidth, kScreenHeight))
        ReportLine("WARN WINDOW: does not fit a %dx%d screen", kScreenWidth, kScreenHeight);

    if (haveLoader_ && loaderImage_.bitmap) {
        const LoaderGeometry g = ComputeLoaderGeometry(loaderLeft_, loaderTop_, loaderImage_.width,
                                                       loaderImage_.height, kScreenWidth, kScreenHeight);
        const int stripHeight = g.height - g.infoY;
        ReportLine("GEOMETRY LOADER x=%d y=%d size=%dx%d strip=%d,%d,%dx%d", g.x, g.y, g.width, g.height, g.infoX,
                   g.infoY, g.infoWidth, stripHeight);
        check::Rect loaderRect{g.x, g.y, g.width, g.height};
        if (!check::Inside(loaderRect, kScreenWidth, kScreenHeight))
            ReportLine("WARN LOADER: does not fit a %dx%d screen", kScreenWidth, kScreenHeight);
        if (stripHeight < kInfoFontHeight || g.infoWidth <= 0)
            ReportLine("WARN LOADER: the progress strip is %dx%d: the %d-pixel text is cut", g.infoWidth,
                       stripHeight, kInfoFontHeight);
    }

    if (static_cast<long long>(w) * h > kMaxCheckedPixels || w <= 0 || h <= 0) {
        ReportLine("GEOMETRY pixels not checked: the skin is %dx%d", w, h);
        return;
    }
    skinPixels_ = ReadPixels(skin_.bitmap.get(), w, h);
    // The shell's own outline, built from the same bitmap.
    UniqueRegion region(BuildSkinRegion(skin_.bitmap.get(), w, h));
    if (!region || skinPixels_.px.empty()) {
        Stop(kSkinError);
        return;
    }
    mask_.width = w;
    mask_.height = h;
    mask_.cut.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 1);
    const DWORD size = GetRegionData(region.get(), 0, nullptr);
    std::vector<char> data(size ? size : 1);
    auto* rgn = reinterpret_cast<RGNDATA*>(data.data());
    if (size && GetRegionData(region.get(), size, rgn) == size) {
        const RECT* rects = reinterpret_cast<const RECT*>(rgn->Buffer);
        for (DWORD i = 0; i < rgn->rdh.nCount; ++i) {
            for (LONG y = std::max<LONG>(rects[i].top, 0); y < rects[i].bottom && y < h; ++y)
                for (LONG x = std::max<LONG>(rects[i].left, 0); x < rects[i].right && x < w; ++x)
                    mask_.cut[static_cast<std::size_t>(y) * w + x] = 0;
        }
    }
    haveMask_ = true;
    long long cut = 0;
    for (std::uint8_t c : mask_.cut) cut += c;
    ReportLine("GEOMETRY SKIN size=%dx%d key=%s cut=%lld", w, h,
               Hex6(skinPixels_.at(0, 0)).c_str(), cut);
    if (cut == static_cast<long long>(w) * h)
        ReportLine("WARN SKIN: every pixel has the key colour of the top-left pixel: the window shows nothing");

    auto place = [&](const char* what, const check::Rect& r) {
        const long long outside = check::PixelsOutside(mask_, r);
        const long long under = check::CutPixelsUnder(mask_, r);
        ReportLine("GEOMETRY %s x=%d y=%d size=%dx%d outside=%lld cut=%lld", what, r.x, r.y, r.width, r.height,
                   outside, under);
        if (r.width <= 0 || r.height <= 0)
            ReportLine("WARN %s: has no area", what);
        else if (outside > 0)
            ReportLine("WARN %s: %lld pixels lie outside the %dx%d skin", what, outside, w, h);
        if (under > 0) ReportLine("WARN %s: %lld pixels lie over cut-away pixels", what, under);
    };
    if (haveBrowser_) {
        place("BROWSER", browser_);
        place("STATUS", status_);
    }
    for (const BuiltButton& b : buttons_) place(("BUTTON_" + b.label).c_str(), b.rect);
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        for (std::size_t j = i + 1; j < buttons_.size(); ++j) {
            if (check::Overlap(buttons_[i].rect, buttons_[j].rect))
                ReportLine("WARN BUTTON_%s: overlaps BUTTON_%s", buttons_[i].label.c_str(), buttons_[j].label.c_str());
        }
        if (haveBrowser_ && check::Overlap(buttons_[i].rect, browser_))
            ReportLine("WARN BUTTON_%s: overlaps the browser rectangle", buttons_[i].label.c_str());
    }
}
