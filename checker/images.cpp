// The images of a document: loaded through the shell's own code, then
// fetched once more to say why one did not load.
#include <cstring>

#include "checker/checker.h"
#include "checker/http_probe.h"
#include "checker/report.h"
#include "common/dib.h"
#include "remote/http_fetch.h"
#include "remote/image_size.h"
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

    std::string fileName;
    const bool present = FullValue(name, &fileName) && fileName.size() < kValueCapacity;

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
        const KeptContext kept(doc_);
        Text(param::kImagesPath, "every image load fails", nullptr);
    }
    if (doc_.imagesPath[0] == '\0') {
        ReportLine("IMAGE %s not loaded: no usable IMAGES_PATH -> %s", name, whenMissing);
        return nullptr;
    }

    const std::string url = std::string(doc_.imagesPath) + fileName;
    const ProbeResult probe = ProbeUrl(url.c_str(), kMaxBodyBytes);
    // The shell reads every body that comes with a 200, pauses included,
    // whether the picture then decodes or not; a URL too long it never asks for.
    if (probe.requested && probe.status == 200 && url.size() < kValueCapacity)
        budget_.push_back({name, probe.body.size()});
    const check::FileFormat format = check::SniffFormat(probe.body);
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
    const std::string formatName = probe.body.empty() ? "none" : check::FormatName(format);
    if (bitmap)
        ReportLine("IMAGE %s url=%s status=%s bytes=%s format=%s decoded=yes size=%dx%d ms=%.0f", name, url.c_str(),
                   status.c_str(), bytes.c_str(), formatName.c_str(), width, height, ms);
    else
        ReportLine("IMAGE %s url=%s status=%s bytes=%s format=%s decoded=no ms=%.0f", name, url.c_str(),
                   status.c_str(), bytes.c_str(), formatName.c_str(), ms);

    const bool isSkin = std::strcmp(name, param::kSkin) == 0;
    const std::string saveAs = isSkin ? "save the skin as GIF or 24-bit BMP" : "save it as GIF or BMP";
    if (!bitmap) {
        std::string why, fix = saveAs;
        unsigned declaredWidth = 0, declaredHeight = 0;
        const bool declared = DeclaredImageSize(reinterpret_cast<const unsigned char*>(probe.body.data()),
                                                probe.body.size(), &declaredWidth, &declaredHeight);
        if (url.size() >= kValueCapacity) {
            why = "the image URL is longer than 1023 characters";
            fix = "shorten IMAGES_PATH or the file name";
        } else if (!probe.requested) {
            why = probe.error;
            fix = "check that the server in IMAGES_PATH is up and reachable";
        } else if (probe.status != 200) {
            why = "the server answered " + status + ", the shell takes only 200";
            fix = "put the file at that URL or correct its name";
        } else if (probe.overCap) {
            why = "the file is larger than 1 MiB";
            fix = "make it smaller, as GIF for example";
        } else if (probe.cut) {
            why = "the server sent less than the whole file";
            fix = "check the server: the shell takes only whole files";
        } else if (probe.body.empty()) {
            why = "the file is empty";
            fix = "upload it again";
        } else if (format.kind == check::FileKind::Markup) {
            why = "the server sent a page, not a picture";
            fix = "check the file name and IMAGES_PATH";
        } else if (!check::IsSkinFormat(format.kind)) {
            why = "the shell reads BMP, GIF and JPEG only, not " + formatName;
        } else if (declared && !WithinImageLimits(declaredWidth, declaredHeight)) {
            why = "its header declares " + std::to_string(declaredWidth) + "x" + std::to_string(declaredHeight) +
                  " pixels; the shell decodes no side over " + std::to_string(kMaxImageSide) + " and no more than " +
                  std::to_string(kMaxImagePixels) + " pixels";
            fix = "make the picture smaller";
        } else {
            why = "the picture decoder does not accept this " + formatName + " file";
        }
        Warn(fix, "%s: not loaded: %s -> %s", name, why.c_str(), whenMissing);
        return nullptr;
    }
    const long long promised = check::BmpPromisedBytes(probe.body);
    if (!probe.overCap && promised > static_cast<long long>(probe.body.size()))
        Warn("upload the whole file again",
             "%s: the file has %zu of the %lld bytes its header promises: the missing rows are made up", name,
             probe.body.size(), promised);
    if (isSkin && format.kind == check::FileKind::Jpeg)
        Warn(saveAs, "SKIN: a JPEG file: its colours are not exact, so the key colour misses parts of the border: "
                     "the outline comes out ragged");
    if (isSkin && format.gifTransparent)
        Warn("save it without a transparent colour", "SKIN: a GIF with a transparent colour: the decoder does not "
                                                      "keep that colour, so the key colour is not exact and the "
                                                      "outline may cut the wrong pixels");
    if (format.kind == check::FileKind::Bmp && probe.body.size() > kWorthShrinkingBytes)
        SuggestGif(name, probe.body.size(), ReadPixels(bitmap, width, height));
    if (loaded) {
        loaded->bitmap = std::move(owner);
        loaded->width = width;
        loaded->height = height;
    }
    return bitmap;
}

void Checker::SuggestGif(const char* name, std::size_t bmpBytes, const check::Image& pixels) {
    const std::size_t gifBytes = check::EncodeGif(pixels).size();
    // Only when it pays: at most half the size.
    if (gifBytes == 0 || gifBytes * 2 > bmpBytes) return;
    Warn("save it as GIF",
         "%s: %zu KiB as BMP but %zu KiB as GIF with the same pixels: the shell would pause %zu ms less at start-up "
         "(%zu chunks of 4 KiB down to %zu)",
         name, Kib(bmpBytes), Kib(gifBytes), (Chunks(bmpBytes) - Chunks(gifBytes)) * kPauseAfterChunkMs,
         Chunks(bmpBytes), Chunks(gifBytes));
}

void Checker::Budget() {
    std::size_t bytes = 0, chunks = 0;
    for (const auto& item : budget_) {
        ReportLine("BUDGET %s bytes=%zu chunks=%zu pause=%zums", item.first.c_str(), item.second, Chunks(item.second),
                   Chunks(item.second) * kPauseAfterChunkMs);
        bytes += item.second;
        chunks += Chunks(item.second);
    }
    ReportLine("BUDGET TOTAL bytes=%zu chunks=%zu pause=%zums", bytes, chunks, chunks * kPauseAfterChunkMs);
}
