// The preview picture: the main window as the shell would compose it.
#include <cstdio>

#include "checker/checker.h"
#include "checker/report.h"

void Checker::Preview() {
    if (options_.preview.empty()) return;
    if (!haveMask_ || skinPixels_.px.empty()) {
        ReportLine("PREVIEW not written: no skin to draw");
        return;
    }
    std::vector<check::PreviewButton> buttons;
    for (const BuiltButton& b : buttons_) {
        if (b.normal.px.empty()) continue;
        check::PreviewButton p;
        p.x = b.rect.x;
        p.y = b.rect.y;
        p.normal = &b.normal;
        buttons.push_back(p);
    }
    const check::Image picture = check::ComposePreview(skinPixels_, mask_, buttons, haveBrowser_ ? &browser_ : nullptr,
                                                       haveBrowser_ ? &status_ : nullptr);
    const std::string bytes = check::EncodeBmp24(picture);
    FILE* file = std::fopen(options_.preview.c_str(), "wb");
    bool ok = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file) ok = std::fclose(file) == 0 && ok;
    if (ok)
        ReportLine("PREVIEW file=%s size=%dx%d", options_.preview.c_str(), picture.width, picture.height);
    else
        ReportLine("PREVIEW not written: cannot write %s", options_.preview.c_str());
}
