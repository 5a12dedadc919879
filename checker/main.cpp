// korvane-check: loads a parameter document the way the shell does, with the
// shell's own document and image code, and says what the shell will make of
// it. Exit code 0: the shell would start and show its window; 1: it would
// not; 2: the URL is no parameter document; 3: the checker was used wrongly.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "app/app.h"
#include "checker/check_logic.h"
#include "checker/http_probe.h"
#include "checker/report.h"
#include "common/dib.h"
#include "common/handles.h"
#include "controls/info_win.h"
#include "controls/loader_win.h"
#include "controls/window_skin.h"
#include "remote/http_fetch.h"
#include "remote/remote_params.h"

namespace {

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr int kDefaultTimeoutSeconds = 60;
// Beyond this the pixel checks and the preview would need hundreds of MiB.
constexpr long long kMaxCheckedPixels = 16LL * 1024 * 1024;
constexpr int kInfoFontHeight = 12;

enum Verdict { kStarts = 0, kDoesNotStart = 1, kNotADocument = 2, kUsage = 3 };

struct Options {
    std::string url;
    std::string preview;
    int timeoutSeconds = kDefaultTimeoutSeconds;
};

std::string Hex6(std::uint32_t rgb) {
    char text[8];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(rgb & 0xFFFFFF));
    return text;
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// The pixels of a bitmap as 0x00RRGGBB, top row first; empty on failure.
check::Image ReadPixels(HBITMAP bitmap, int width, int height) {
    check::Image image;
    if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > kMaxCheckedPixels) return image;
    std::vector<std::uint32_t> px(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    BITMAPINFO info{};
    info.bmiHeader = Dib32Header(width, -height);
    UniqueDC dc(CreateCompatibleDC(nullptr));
    if (!dc) return image;
    if (GetDIBits(dc.get(), bitmap, 0, static_cast<UINT>(height), px.data(), &info, DIB_RGB_COLORS) != height)
        return image;
    for (std::uint32_t& p : px) p &= 0xFFFFFF;
    image.width = width;
    image.height = height;
    image.px = std::move(px);
    return image;
}

// A loaded image and what the report says about it.
struct LoadedImage {
    UniqueBitmap bitmap;
    int width = 0;
    int height = 0;
};

struct ButtonSpec {
    const char* label;
    const char* position;
    const char* pressed;
    const char* hot;
    const char* normal;
};

const ButtonSpec kButtons[] = {
    {"CLOSE", "BUTTON_CLOSE_POS", "BUTTON_CLOSE_CLICK", "BUTTON_CLOSE_HOT", "BUTTON_CLOSE_NORMAL"},
    {"MIN", "BUTTON_MIN_POS", "BUTTON_MIN_CLICK", "BUTTON_MIN_HOT", "BUTTON_MIN_NORMAL"},
    {"BACK", "BUTTON_BACK_POS", "BUTTON_BACK_CLICK", "BUTTON_BACK_HOT", "BUTTON_BACK_NORMAL"},
    {"FORWARD", "BUTTON_FORWARD_POS", "BUTTON_FORWARD_CLICK", "BUTTON_FORWARD_HOT", "BUTTON_FORWARD_NORMAL"},
    {"HOME", "BUTTON_HOME_POS", "BUTTON_HOME_CLICK", "BUTTON_HOME_HOT", "BUTTON_HOME_NORMAL"},
    {"REFRESH", "BUTTON_REFRESH_POS", "BUTTON_REFRESH_CLICK", "BUTTON_REFRESH_HOT", "BUTTON_REFRESH_NORMAL"},
};

// How the shell uses a numbers parameter: how many of the numbers, under
// which names, and whether it takes them even when it counts the parameter
// as missing (fewer than two numbers).
struct NumberUse {
    int count;
    const char* labels[4];
    bool takenAnyway;
};
const NumberUse kPosition = {2, {"x", "y", "", ""}, false};
const NumberUse kRectangle = {4, {"x", "y", "width", "height"}, false};
const NumberUse kStatusRectangle = {4, {"x", "y", "width", "height"}, true};
const NumberUse kLoaderPosition = {2, {"top", "left", "", ""}, true};

struct BuiltButton {
    std::string label;
    check::Rect rect;
    check::Image normal;
};

class Checker {
public:
    explicit Checker(const Options& options) : options_(options) {}
    int Run();

private:
    // The full value of a parameter whatever its length, without disturbing
    // the context text that the shell's error box would show.
    bool FullValue(const char* name, std::string* value);
    void RawNotes(const char* name, std::size_t capacity);
    bool Text(const char* name, const char* whenMissing, std::string* value);
    // The four numbers as the shell reads them; true when it counts them as
    // present (two numbers or more).
    bool Numbers(const char* name, const char* whenMissing, std::int32_t out[4], const NumberUse& use);
    bool Flag(const char* name, const char* whenMissing);
    void Colour(const char* name, std::size_t capacity, const char* whenMissing);
    HBITMAP Image(const char* name, const char* whenMissing, LoadedImage* loaded);
    void NotRead(const char* name, const char* why);
    void Stop(const std::string& errorBox);
    void StopWithParameterError();
    int NotADocument();
    void Geometry();
    void Preview();

    Options options_;
    CRemoteParams doc_;
    std::string cleaned_;    // the raw document as the shell searches it
    bool haveRaw_ = false;
    bool imagesPathReported_ = false;

    int verdict_ = kStarts;
    std::string verdictText_;

    LoadedImage skin_;
    bool haveLoader_ = false;
    int loaderTop_ = 0, loaderLeft_ = 0;
    LoadedImage loaderImage_;
    bool haveStart_ = false;
    int startX_ = 0, startY_ = 0;
    bool haveBrowser_ = false;
    check::Rect browser_, status_;
    std::vector<BuiltButton> buttons_;
    check::Image skinPixels_;
    check::CutMask mask_;
    bool haveMask_ = false;
};

void Checker::Stop(const std::string& errorBox) {
    if (verdict_ != kStarts) return;
    verdict_ = kDoesNotStart;
    verdictText_ = "error box: " + errorBox;
    ReportLine("NOTE the shell stops here; the rest is checked all the same");
}

void Checker::StopWithParameterError() {
    char text[kErrorTextCapacity];
    std::snprintf(text, sizeof text, kParameterErrorFormat, doc_.sourceUrl, doc_.contextText);
    std::string box;
    for (const char* p = text; *p; ++p) {
        if (p[0] == '\r' && p[1] == '\n') {
            box += " | ";
            ++p;
        } else {
            box += *p;
        }
    }
    Stop(box);
}

bool Checker::FullValue(const char* name, std::string* value) {
    char saved[sizeof doc_.contextText];
    std::memcpy(saved, doc_.contextText, sizeof saved);
    std::vector<char> buffer(kMaxBodyBytes + 2);
    const bool present = doc_.GetParamString(name, buffer.data(), buffer.size()) != nullptr;
    std::memcpy(doc_.contextText, saved, sizeof saved);
    if (present && value) *value = buffer.data();
    return present;
}

void Checker::RawNotes(const char* name, std::size_t capacity) {
    std::string full;
    if (FullValue(name, &full) && full.size() >= capacity) {
        ReportLine("WARN %s: value of %zu characters is longer than %zu: read as missing", name, full.size(),
                   capacity - 1);
    }
    if (!haveRaw_) return;
    const check::TagScan scan = check::ScanTag(cleaned_, name);
    if (scan.inside > 1)
        ReportLine("WARN %s: written %d times: the first value counts", name, scan.inside);
    if (scan.outside > 0 && scan.inside == 0)
        ReportLine("WARN %s: written outside <korvane>: not read there", name);
    else if (scan.outside > 0)
        ReportLine("WARN %s: also written outside <korvane>: that one is ignored", name);
    if (scan.inside > 0 && !scan.closeInside)
        ReportLine("WARN %s: no closing tag </%s>: read as missing", name, name);
    else if (scan.closeBeforeOpen)
        ReportLine("WARN %s: the closing tag stands before the opening tag: read as missing", name);
}

void Checker::NotRead(const char* name, const char* why) { ReportLine("PARAM %s not read -> %s", name, why); }

bool Checker::Text(const char* name, const char* whenMissing, std::string* value) {
    char buffer[kValueCapacity];
    const char* got = doc_.GetParamString(name, buffer, sizeof buffer);
    if (got) {
        ReportLine("PARAM %s = %s", name, Quoted(got).c_str());
        if (value) *value = got;
    } else {
        ReportLine("PARAM %s missing -> %s", name, whenMissing);
    }
    RawNotes(name, kValueCapacity);
    return got != nullptr;
}

bool Checker::Numbers(const char* name, const char* whenMissing, std::int32_t out[4], const NumberUse& use) {
    const bool present = doc_.GetParamRect(name, out) != nullptr;
    std::string raw;
    const bool written = FullValue(name, &raw) && raw.size() < kValueCapacity;
    const std::vector<std::string> tokens = check::SplitNumberTokens(raw);
    std::string reading;
    for (int i = 0; i < use.count; ++i)
        reading += std::string(i ? " " : "") + use.labels[i] + "=" + std::to_string(out[i]);
    if (present) {
        ReportLine("PARAM %s = %s -> %s", name, Quoted(raw).c_str(), reading.c_str());
    } else if (written && use.takenAnyway && !tokens.empty()) {
        ReportLine("PARAM %s = %s -> %s", name, Quoted(raw).c_str(), reading.c_str());
    } else if (written) {
        ReportLine("PARAM %s = %s -> read as missing: %s", name, Quoted(raw).c_str(), whenMissing);
    } else {
        ReportLine("PARAM %s missing -> %s", name, whenMissing);
    }
    if (written) {
        if (tokens.empty())
            ReportLine("WARN %s: empty: read as missing", name);
        else if (tokens.size() == 1 && use.takenAnyway)
            ReportLine("WARN %s: a single number where %d are needed: the others are 0", name, use.count);
        else if (tokens.size() == 1)
            ReportLine("WARN %s: a single number where two are needed: read as missing", name);
        for (std::size_t i = 0; i < tokens.size() && i < 4; ++i) {
            if (!check::IsPlainInteger(tokens[i]))
                ReportLine("WARN %s: %s is not a plain number: read as %d", name, Quoted(tokens[i]).c_str(),
                           out[i]);
        }
        if (tokens.size() > static_cast<std::size_t>(use.count))
            ReportLine("WARN %s: %zu numbers: only the first %s used", name, tokens.size(),
                       use.count == 2 ? "two are" : "four are");
    }
    RawNotes(name, kValueCapacity);
    return present;
}

bool Checker::Flag(const char* name, const char* whenMissing) {
    char buffer[kValueCapacity];
    const bool written = doc_.GetParamString(name, buffer, sizeof buffer) != nullptr;
    const std::string value = written ? buffer : "";
    const bool result = doc_.GetParamBool(name, false);
    if (!written) {
        ReportLine("PARAM %s missing -> %s", name, whenMissing);
    } else {
        ReportLine("PARAM %s = %s -> %s", name, Quoted(value).c_str(), result ? "true" : "false");
        std::string lowered = value;
        for (char& c : lowered) c = static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
        if (value.empty())
            ReportLine("WARN %s: empty: read as false", name);
        else if (!result && check::LooksAffirmative(value))
            ReportLine("WARN %s: %s has no \"true\": read as false", name, Quoted(value).c_str());
        else if (result && lowered != "true")
            ReportLine("WARN %s: %s contains \"true\": read as true", name, Quoted(value).c_str());
    }
    RawNotes(name, kValueCapacity);
    return result;
}

void Checker::Colour(const char* name, std::size_t capacity, const char* whenMissing) {
    std::vector<char> buffer(capacity);
    const char* got = doc_.GetParamString(name, buffer.data(), buffer.size());
    if (!got) {
        ReportLine("PARAM %s missing -> %s", name, whenMissing);
    } else {
        const COLORREF c = ParseColourText(got);
        const std::uint32_t rgb = (static_cast<std::uint32_t>(GetRValue(c)) << 16) |
                                  (static_cast<std::uint32_t>(GetGValue(c)) << 8) | GetBValue(c);
        ReportLine("PARAM %s = %s -> colour %s", name, Quoted(got).c_str(), Hex6(rgb).c_str());
        if (!check::IsSixHexDigits(got))
            ReportLine("WARN %s: %s is not six hexadecimal digits: read as %s", name, Quoted(got).c_str(),
                       Hex6(rgb).c_str());
    }
    RawNotes(name, capacity);
}

HBITMAP Checker::Image(const char* name, const char* whenMissing, LoadedImage* loaded) {
    const bool hadPath = doc_.imagesPath[0] != '\0';
    LARGE_INTEGER before, after;
    QueryPerformanceCounter(&before);
    HBITMAP bitmap = doc_.LoadRemoteImage(name);
    QueryPerformanceCounter(&after);
    UniqueBitmap owner(bitmap);

    char fileName[kValueCapacity];
    char saved[sizeof doc_.contextText];
    std::memcpy(saved, doc_.contextText, sizeof saved);
    const bool present = doc_.GetParamString(name, fileName, sizeof fileName) != nullptr;
    std::memcpy(doc_.contextText, saved, sizeof saved);

    if (!present) {
        ReportLine("PARAM %s missing -> %s", name, whenMissing);
        RawNotes(name, kValueCapacity);
        return nullptr;
    }
    ReportLine("PARAM %s = %s", name, Quoted(fileName).c_str());
    RawNotes(name, kValueCapacity);

    if (!hadPath && !imagesPathReported_) {
        // The first image load is where the shell looks the folder up.
        imagesPathReported_ = true;
        std::memcpy(saved, doc_.contextText, sizeof saved);
        Text("IMAGES_PATH", "every image load fails", nullptr);
        std::memcpy(doc_.contextText, saved, sizeof saved);
    }
    if (doc_.imagesPath[0] == '\0') {
        ReportLine("IMAGE %s not loaded: no usable IMAGES_PATH -> %s", name, whenMissing);
        return nullptr;
    }

    const std::string url = std::string(doc_.imagesPath) + fileName;
    const ProbeResult probe = ProbeUrl(url.c_str(), kMaxBodyBytes);
    std::string status = probe.requested ? std::to_string(probe.status) : "none";
    std::string bytes = probe.overCap ? "over-1MiB" : std::to_string(probe.body.size());
    int width = 0, height = 0;
    if (bitmap) {
        BITMAP info{};
        GetObjectA(bitmap, sizeof info, &info);
        width = info.bmWidth;
        height = info.bmHeight;
    }
    const double ms = Milliseconds(before, after);
    if (bitmap)
        ReportLine("IMAGE %s url=%s status=%s bytes=%s decoded=yes size=%dx%d ms=%.0f", name, url.c_str(),
                   status.c_str(), bytes.c_str(), width, height, ms);
    else
        ReportLine("IMAGE %s url=%s status=%s bytes=%s decoded=no ms=%.0f", name, url.c_str(), status.c_str(),
                   bytes.c_str(), ms);

    if (!bitmap) {
        std::string why;
        if (url.size() >= kValueCapacity) why = "the image URL is longer than 1023 characters";
        else if (!probe.requested) why = probe.error;
        else if (probe.status != 200) why = "the server answered " + status + ", the shell takes only 200";
        else if (probe.overCap) why = "the file is larger than 1 MiB";
        else if (probe.body.empty()) why = "the file is empty";
        else why = "the picture decoder does not accept it (BMP, GIF or JPEG only)";
        ReportLine("WARN %s: not loaded: %s -> %s", name, why.c_str(), whenMissing);
        return nullptr;
    }
    const long long promised = check::BmpPromisedBytes(probe.body);
    if (!probe.overCap && promised > static_cast<long long>(probe.body.size()))
        ReportLine("WARN %s: the file has %zu of the %lld bytes its header promises: the picture is incomplete",
                   name, probe.body.size(), promised);
    if (loaded) {
        loaded->bitmap = std::move(owner);
        loaded->width = width;
        loaded->height = height;
    }
    return bitmap;
}

int Checker::NotADocument() {
    const ProbeResult probe = ProbeUrl(options_.url.c_str(), kMaxBodyBytes);
    std::string why;
    if (!probe.requested) {
        why = probe.error;
    } else if (probe.status != 200) {
        why = "the server answered " + std::to_string(probe.status);
    } else if (probe.overCap) {
        why = "the document is larger than 1 MiB";
    } else {
        const std::string cleaned = check::CleanForSearch(probe.body.data(), probe.body.size());
        switch (check::FindRoot(cleaned, nullptr, nullptr)) {
        case check::RootState::NoOpenTag: why = "no <korvane> tag"; break;
        case check::RootState::NoCloseTag: why = "no </korvane> tag"; break;
        case check::RootState::CloseBeforeOpen: why = "</korvane> stands before <korvane>"; break;
        case check::RootState::Ok: why = "the download failed"; break;
        }
        if (probe.body.empty()) why = "the document is empty";
    }
    if (probe.requested)
        ReportLine("DOCUMENT url=%s status=%lu bytes=%s", options_.url.c_str(), probe.status,
                   probe.overCap ? "over-1MiB" : std::to_string(probe.body.size()).c_str());
    ReportLine("VERDICT 2 not a parameter document (%s): the shell would hand the URL to the web browser",
               why.c_str());
    return kNotADocument;
}

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
    UniqueDC dc(CreateCompatibleDC(nullptr));
    UniqueRegion region;
    COLORREF key = 0;
    if (dc) {
        SelectScope selected(dc.get(), skin_.bitmap.get());
        key = GetPixel(dc.get(), 0, 0);
        region.reset(BuildSkinRegion(dc.get(), skin_.bitmap.get(), w, h));
    }
    if (!region) {
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
               Hex6((GetRValue(key) << 16) | (GetGValue(key) << 8) | GetBValue(key)).c_str(), cut);
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

int Checker::Run() {
    ReportLine("CHECK url=%s", options_.url.c_str());
    LARGE_INTEGER before, after;
    QueryPerformanceCounter(&before);
    const bool loaded = doc_.LoadDocument(options_.url.c_str());
    QueryPerformanceCounter(&after);
    if (!loaded) return NotADocument();

    // A second copy of the document, only to see where tags stand outside
    // what the shell reads.
    const ProbeResult raw = ProbeUrl(options_.url.c_str(), kMaxBodyBytes);
    if (raw.requested && raw.status == 200 && !raw.overCap) {
        cleaned_ = check::CleanForSearch(raw.body.data(), raw.body.size());
        haveRaw_ = check::FindRoot(cleaned_, nullptr, nullptr) == check::RootState::Ok;
    }
    ReportLine("DOCUMENT url=%s status=200 bytes=%zu ms=%.0f", options_.url.c_str(),
               haveRaw_ ? raw.body.size() : static_cast<std::size_t>(0), Milliseconds(before, after));
    if (!haveRaw_) ReportLine("NOTE second download failed: tags outside <korvane> and repeated tags not checked");
    if (haveRaw_) {
        std::size_t begin = 0;
        check::FindRoot(cleaned_, &begin, nullptr);
        if (cleaned_.find("<korvane>", begin) != std::string::npos &&
            cleaned_.find("<korvane>", begin) < cleaned_.find("</korvane>"))
            ReportLine("WARN KORVANE: a second <korvane> inside the root element: the first </korvane> ends it");
    }

    // The loader thread's lookups come first.
    haveLoader_ = Image("APP_LOADER_IMAGE", "no loader window", &loaderImage_) != nullptr;
    if (haveLoader_) {
        std::int32_t pos[4];
        Numbers("APP_LOADER_POS", "loader centred", pos, kLoaderPosition);
        // Read even when it counts as missing: one number is the top.
        loaderTop_ = pos[0];
        loaderLeft_ = pos[1];
        if (pos[0] == 0 && pos[1] == 0) ReportLine("NOTE APP_LOADER_POS: loader centred");
        Colour("APP_LOADER_TEXT_COLOR", kValueCapacity, "empty: black text");
    } else {
        NotRead("APP_LOADER_POS", "no loader window");
        NotRead("APP_LOADER_TEXT_COLOR", "no loader window");
    }

    if (!Image("SKIN", "error box, the shell ends", &skin_)) StopWithParameterError();

    std::int32_t start[4];
    haveStart_ = Numbers("APP_START_POS", "window centred", start, kPosition);
    startX_ = start[0];
    startY_ = start[1];
    Text("APP_TITLE", "no title", nullptr);

    std::int32_t rect[4];
    haveBrowser_ = Numbers("APP_BROWSER_RECT", "error box, the shell ends", rect, kRectangle);
    if (!haveBrowser_) StopWithParameterError();
    browser_ = check::Rect{rect[0], rect[1], rect[2], rect[3]};
    Flag("APP_SHOW_IE_MENU", "false: no page context menu");
    Text("APP_NAVIGATE_TO", "no start page", nullptr);
    std::int32_t statusRect[4];
    Numbers("APP_STATUS_RECT", "status line at 0,0 with no size", statusRect, kStatusRectangle);
    status_ = check::Rect{statusRect[0], statusRect[1], statusRect[2], statusRect[3]};
    Colour("APP_STATUS_COLOR", kColourCapacity, "colour FFFFFF");

    for (const ButtonSpec& row : kButtons) {
        std::int32_t pos[4];
        if (!Numbers(row.position, "button not created", pos, kPosition)) {
            NotRead(row.pressed, "no position");
            NotRead(row.hot, "no position");
            NotRead(row.normal, "no position");
            ReportLine("BUTTON %s not created: no position", row.label);
            continue;
        }
        LoadedImage pressed, hot, normal;
        const bool havePressed = Image(row.pressed, "button not created", &pressed) != nullptr;
        const bool haveHot = Image(row.hot, "button not created", &hot) != nullptr;
        const bool haveNormal = Image(row.normal, "button not created", &normal) != nullptr;
        if (!havePressed || !haveHot || !haveNormal) {
            ReportLine("BUTTON %s not created: an image did not load", row.label);
            continue;
        }
        if (pos[0] == 0 && pos[1] == 0) {
            ReportLine("BUTTON %s not created: position 0,0", row.label);
            continue;
        }
        ReportLine("BUTTON %s created x=%d y=%d size=%dx%d", row.label, pos[0], pos[1], normal.width, normal.height);
        auto sizeNote = [&](const char* name, const LoadedImage& image) {
            if (image.width > normal.width || image.height > normal.height)
                ReportLine("WARN %s: %dx%d is larger than the %dx%d normal image: drawn cut", name, image.width,
                           image.height, normal.width, normal.height);
            else if (image.width < normal.width || image.height < normal.height)
                ReportLine("WARN %s: %dx%d is smaller than the %dx%d normal image: the rest keeps the last picture",
                           name, image.width, image.height, normal.width, normal.height);
        };
        sizeNote(row.hot, hot);
        sizeNote(row.pressed, pressed);
        BuiltButton built;
        built.label = row.label;
        built.rect = check::Rect{pos[0], pos[1], normal.width, normal.height};
        built.normal = ReadPixels(normal.bitmap.get(), normal.width, normal.height);
        buttons_.push_back(std::move(built));
    }

    Flag("APP_TOP_MOST", "false: not top-most");

    Geometry();
    Preview();

    if (verdict_ == kStarts) ReportLine("VERDICT 0 shell would start");
    else ReportLine("VERDICT 1 %s", verdictText_.c_str());
    return verdict_;
}

DWORD WINAPI Watchdog(LPVOID param) {
    const int seconds = static_cast<int>(reinterpret_cast<INT_PTR>(param));
    Sleep(static_cast<DWORD>(seconds) * 1000);
    ReportFinalLineAndExit("VERDICT 1 check stopped after " + std::to_string(seconds) +
                               " s: the server has not finished answering; the shell would still be waiting",
                           kDoesNotStart);
}

void Usage() {
    std::fputs("usage: korvane-check [--preview FILE.bmp] [--timeout SECONDS] [URL]\n"
               "Checks the parameter document at URL (the shell's built-in URL when none is given).\n",
               stderr);
}

}  // namespace

int main(int argc, char** argv) {
    ReportInit();
    Options options;
    std::vector<char*> positional = {argv[0]};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--preview" && i + 1 < argc) {
            options.preview = argv[++i];
        } else if (arg == "--timeout" && i + 1 < argc) {
            options.timeoutSeconds = std::atoi(argv[++i]);
            if (options.timeoutSeconds <= 0) {
                Usage();
                return kUsage;
            }
        } else if (arg == "--help" || arg == "-h" || (arg.size() > 1 && arg[0] == '-' && arg[1] == '-')) {
            Usage();
            return kUsage;
        } else {
            positional.push_back(argv[i]);
        }
    }
    if (positional.size() > 2) {
        Usage();
        return kUsage;
    }
    char url[kDocumentUrlCapacity];
    if (!ChooseDocumentUrl(static_cast<int>(positional.size()), positional.data(), url, sizeof url)) {
        ReportLine("CHECK url=%s", Quoted(positional[1]).c_str());
        ReportLine("VERDICT 1 the URL is longer than %d characters: the shell ends without a window",
                   kDocumentUrlCapacity - 1);
        return kDoesNotStart;
    }
    options.url = url;

    HANDLE watchdog = CreateThread(nullptr, 0, Watchdog,
                                   reinterpret_cast<LPVOID>(static_cast<INT_PTR>(options.timeoutSeconds)), 0, nullptr);
    if (watchdog) CloseHandle(watchdog);

    try {
        Checker* checker = new Checker(options);
        const int code = checker->Run();
        // The process ends here; the check's objects go with it, in any order.
        std::fflush(stdout);
        ExitProcess(static_cast<UINT>(code));
    } catch (const std::bad_alloc&) {
        ReportLine("VERDICT 1 the checker ran out of memory");
        return kDoesNotStart;
    }
}
