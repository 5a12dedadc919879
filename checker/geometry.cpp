// Where the window, the splash and the pieces inside the window land, and
// which of the skin's pixels are cut away.
#include <algorithm>
#include <string>

#include "checker/checker.h"
#include "checker/report.h"
#include "common/dib.h"
#include "controls/loader_win.h"
#include "controls/window_skin.h"

namespace {

std::string ScreenSize() { return std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight); }

// Which pixels of a width by height picture the outline leaves out: the
// outline painted black on white, the cut what stays white.
check::CutMask MaskOf(HRGN outline, int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader = Dib32Header(width, height);
    UniqueBitmap canvas(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, nullptr, nullptr, 0));
    {
        UniqueDC dc(CreateCompatibleDC(nullptr));
        SelectedObject selected(dc.get(), canvas.get());
        PatBlt(dc.get(), 0, 0, width, height, WHITENESS);
        FillRgn(dc.get(), outline, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    return ReadPixels(canvas.get());
}

}  // namespace

void Checker::Geometry() {
    const Reading& skin = Got(param::kSkin);
    if (!skin.bitmap) return ReportLine("GEOMETRY not checked: no skin image");
    // Everything of the document at the display's DPI, as the shell scales it.
    const int dpi = options_.dpi;
    const Reading& start = Got(param::kStartPos);
    const check::Rect window = MainWindowBox(start.present ? start.numbers : nullptr, skin.width, skin.height, dpi,
                                             kScreenWidth, kScreenHeight);
    const int w = window.width, h = window.height;
    ReportLine("GEOMETRY WINDOW x=%d y=%d size=%dx%d%s", window.x, window.y, w, h, start.present ? "" : " centred");
    if (!check::Inside(window, kScreenWidth, kScreenHeight)) {
        const std::string place = check::PlaceWithin(window, kScreenWidth, kScreenHeight);
        Warn(place.empty() ? "make the skin at most " + ScreenSize() : "set APP_START_POS to " + place,
             "WINDOW: does not fit a %s screen: part of it is off the screen there", ScreenSize().c_str());
    }

    if (const Reading& loader = Got(param::kLoaderImage); loader.bitmap) {
        const ScreenPoint at = LoaderCorner(Got(param::kLoaderPos).numbers, dpi);
        const LoaderGeometry g = ComputeLoaderGeometry(at.x, at.y, ScaleToDpi(loader.width, dpi),
                                                       ScaleToDpi(loader.height, dpi), kScreenWidth, kScreenHeight);
        const int stripHeight = g.height - g.infoY;
        ReportLine("GEOMETRY LOADER x=%d y=%d size=%dx%d strip=%d,%d,%dx%d", g.x, g.y, g.width, g.height, g.infoX,
                   g.infoY, g.infoWidth, stripHeight);
        check::Rect loaderRect{g.x, g.y, g.width, g.height};
        if (!check::Inside(loaderRect, kScreenWidth, kScreenHeight))
            Warn(g.width > kScreenWidth || g.height > kScreenHeight ? "make the splash picture at most " + ScreenSize()
                                                                     : "set APP_LOADER_POS to 0,0 to centre it",
                 "LOADER: does not fit a %s screen: part of it is off the screen there", ScreenSize().c_str());
        if (stripHeight < ScaleToDpi(check::kInfoTextRoom, dpi)) {
            // The least picture height that leaves the text its room, by the
            // shell's own arithmetic, in the picture's own pixels.
            int enough = loader.height;
            while (enough - ComputeLoaderGeometry(1, 1, loader.width, enough, kScreenWidth, kScreenHeight).infoY <
                   check::kInfoTextRoom)
                ++enough;
            Warn("make the splash picture at least " + std::to_string(enough) + " pixels high",
                 "LOADER: the progress strip is %dx%d, lower than the %d pixels its text needs: the text may run "
                 "off the splash's bottom edge",
                 g.infoWidth, stripHeight, check::kInfoTextRoom);
        }
    }

    if (static_cast<long long>(std::max(w, skin.width)) * std::max(h, skin.height) > kMaxCheckedPixels || w <= 0 ||
        h <= 0)
        return ReportLine("GEOMETRY pixels not checked: the skin is %dx%d", w, h);
    // The shell's own outline, cut from the picture as drawn, and the pixels
    // of both as the window shows them.
    UniqueRegion outline(BuildSkinRegion(skin.bitmap.get(), skin.width, skin.height));
    auto read = [&](HBITMAP picture, int width, int height) {
        skinPixels_ = ReadPixels(picture);
        mask_ = MaskOf(outline.get(), width, height);
        return !skinPixels_.px.empty() && !mask_.px.empty();
    };
    if (!outline || !read(skin.bitmap.get(), skin.width, skin.height)) {
        // Within the side limits only too many pieces fail the outline.
        if (!outline)
            Warn("draw the key colour in whole areas, not dotted or dithered",
                 "SKIN: the outline would take more than %zu rectangles: the shell shows \"%s\" and ends",
                 kMaxSkinRects, kSkinError);
        Stop(kSkinError);
        return;
    }
    // A smoothed edge is the drawing's: it is looked for before any scaling.
    const check::Fringe fringe = check::FindFringe(skinPixels_, mask_);
    if (dpi != kBaseDpi) {
        outline.reset(ScaleSkinRegion(outline.get(), dpi));
        if (!outline || !read(PictureAtDpi(skin.bitmap.get(), dpi).get(), w, h))
            return ReportLine("GEOMETRY pixels not checked: the skin cannot be scaled to %d DPI", dpi);
    }
    outline_ = std::move(outline);
    long long cut = 0;
    for (std::uint32_t c : mask_.px) cut += c != 0;
    ReportLine("GEOMETRY SKIN size=%dx%d key=%s cut=%lld", w, h,
               Hex6(skinPixels_.at(0, 0)).c_str(), cut);
    if (cut == static_cast<long long>(w) * h)
        Warn("give the top-left pixel a colour that the visible part never uses, such as FF00FF",
             "SKIN: every pixel has the key colour of the top-left pixel: the window shows nothing");
    // A few near-key pixels in a drawing are no fringe; a tenth of the outline is.
    if (fringe.blends * 10 > fringe.outline)
        Warn("draw the edge without smoothing (convert ... +antialias), or paint the edge pixels in the skin's colour",
             "SKIN: %lld of the %lld pixels along the outline blend the key colour %s into the edge's colour: they "
             "stay in the window as a fringe of that colour",
             fringe.blends, fringe.outline, Hex6(skinPixels_.at(0, 0)).c_str());

    auto place = [&](const std::string& what, const check::Rect& r, const char* smaller) {
        const long long outside = check::PixelsOutside(mask_, r);
        const long long under = check::CutPixelsUnder(mask_, r);
        ReportLine("GEOMETRY %s x=%d y=%d size=%dx%d outside=%lld cut=%lld", what.c_str(), r.x, r.y, r.width,
                   r.height, outside, under);
        const std::string within = check::PlaceWithin(r, w, h);
        if (r.width <= 0 || r.height <= 0)
            Warn("give it a width and a height above 0", "%s: has no area", what.c_str());
        else if (outside > 0)
            Warn(within.empty() ? std::string(smaller) : "move it to " + within + " or " + smaller,
                 "%s: %lld pixels lie outside the %dx%d skin: they are not shown", what.c_str(), outside, w, h);
        if (under > 0)
            Warn("move it onto the skin's visible part",
                 "%s: %lld pixels lie over cut-away pixels: the outline hides them and clicks there go to the "
                 "window behind",
                 what.c_str(), under);
    };
    // Only one of two overlapping children shows where they overlap, and
    // takes the clicks there.
    auto clear = [&](const std::string& what, const check::Rect& r, const std::string& other, const check::Rect& o,
                     const char* smaller, const char* hidden) {
        if (!check::Overlap(r, o)) return;
        const std::string move = check::MoveClearOf(r, o, w, h);
        Warn(move.empty() ? std::string(smaller) : "move it to " + move + " or " + smaller, "%s: overlaps %s: %s",
             what.c_str(), other.c_str(), hidden);
    };
    const bool haveBrowser = Got(param::kBrowserRect).present;
    const check::Rect browser = RectOf(param::kBrowserRect), status = RectOf(param::kStatusRect);
    if (haveBrowser) {
        place("BROWSER", browser, "make it smaller");
        place("STATUS", status, "make it smaller");
        const int statusHeight = Got(param::kStatusRect).numbers[3];
        if (status.width > 0 && status.height > 0 && statusHeight < check::kInfoTextRoom)
            Warn("make it at least " + std::to_string(check::kInfoTextRoom) + " pixels high",
                 "STATUS: %d pixels high, lower than the %d pixels its text needs: the text may be cut at the bottom",
                 statusHeight, check::kInfoTextRoom);
        clear("STATUS", status, "the browser rectangle", browser, "make the browser smaller",
              "the page covers the status text there");
    }
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        const std::string what = "BUTTON_" + buttons_[i].label;
        place(what, buttons_[i].rect, "make its image smaller");
        for (std::size_t j = 0; j < i; ++j)
            clear(what, buttons_[i].rect, "BUTTON_" + buttons_[j].label, buttons_[j].rect, "make its image smaller",
                  "only one of the two shows there and takes the clicks");
        if (haveBrowser)
            clear(what, buttons_[i].rect, "the browser rectangle", browser, "make its image smaller",
                  "the page may cover the button there and take its clicks");
    }
}
