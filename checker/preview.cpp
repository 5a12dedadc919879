// The preview picture: the main window as the shell would compose it, and
// beside it the splash as the user first sees it.
#include <cstdio>

#include "checker/checker.h"
#include "checker/report.h"
#include "controls/info_win.h"
#include "controls/loader_win.h"

namespace {

constexpr int kSplashGap = 8;

}  // namespace

check::Image Checker::SplashPicture() {
    const Reading& loader = Got(param::kLoaderImage);
    const int dpi = options_.dpi, w = ScaleToDpi(loader.width, dpi), h = ScaleToDpi(loader.height, dpi);
    const LoaderGeometry g = ComputeLoaderGeometry(1, 1, w, h, kScreenWidth, kScreenHeight);
    const UniqueBitmap shown = PictureAtDpi(loader.bitmap.get(), dpi);
    {
        UniqueDC dc(CreateCompatibleDC(nullptr));
        if (!dc) return check::Image();
        SelectedObject selected(dc.get(), shown.get());
        // What of the progress line shows: the strip below 90 percent.
        IntersectClipRect(dc.get(), g.infoX, g.infoY, g.infoX + g.infoWidth, h);
        SetViewportOrgEx(dc.get(), g.infoX, g.infoY, nullptr);
        DrawInfoText(dc.get(), Got(param::kLoaderTextColour).colour, kLoaderFirstText, dpi);
    }
    check::Image picture = ReadPixels(shown.get(), w, h);
    // Drawn one pixel around the strip, so that it does not cover the text.
    const check::Rect around{g.infoX - 1, g.infoY - 1, g.infoWidth + 2, h - g.infoY + 2};
    check::DrawOutline(picture, &around, check::kStatusOutline);
    return picture;
}

void Checker::Preview() {
    if (options_.preview.empty()) return;
    if (!haveMask_ || skinPixels_.px.empty()) {
        ReportLine("PREVIEW not written: no skin to draw");
        return;
    }
    const check::Rect browser = RectOf(param::kBrowserRect), status = RectOf(param::kStatusRect);
    const bool haveBrowser = Got(param::kBrowserRect).present;
    check::Image picture = check::ComposePreview(skinPixels_, mask_, buttons_, haveBrowser ? &browser : nullptr,
                                                 haveBrowser ? &status : nullptr);
    std::string splashAt;
    if (Got(param::kLoaderImage).bitmap) {
        const check::Image splash = SplashPicture();
        if (!splash.px.empty()) {
            splashAt = " splash=" + std::to_string(picture.width + kSplashGap) + ",0";
            picture = check::Beside(picture, splash, kSplashGap);
        }
    }
    const std::string bytes = check::EncodeBmp24(picture);
    FILE* file = std::fopen(options_.preview.c_str(), "wb");
    bool ok = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file) ok = std::fclose(file) == 0 && ok;
    if (ok)
        ReportLine("PREVIEW file=%s size=%dx%d%s", options_.preview.c_str(), picture.width, picture.height,
                   splashAt.c_str());
    else
        ReportLine("PREVIEW not written: cannot write %s", options_.preview.c_str());
}
