// The images of a document: loaded through the shell's own code, then
// fetched once more to say why one did not load.
#include <cstring>

#include "checker/checker.h"
#include "checker/http_probe.h"
#include "checker/report.h"
#include "common/dib.h"
#include "remote/http_fetch.h"
#include "remote/skin_params.h"

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
        Text(param::kImagesPath, "every image load fails", nullptr);
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
