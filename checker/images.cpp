// The images of a document: each looked up, fetched once and decoded by the
// shell's own code, and why one did not load.
#include <algorithm>
#include <cstring>

#include "checker/checker.h"
#include "checker/report.h"
#include "common/dib.h"
#include "controls/dpi.h"
#include "remote/image_size.h"
#include "remote/prefetch.h"
#include "remote/url_split.h"

UniqueBitmap PictureAtDpi(HBITMAP picture, int dpi) {
    auto* copy = static_cast<HBITMAP>(CopyImage(picture, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    return UniqueBitmap(RescalePicture(copy, kBaseDpi, dpi));
}

void Checker::Image(const ParamRule& rule, const std::string& fileName, Reading& got) {
    const char* name = rule.name;
    got.present = false;
    const bool hadPath = doc_.imagesPath[0] != '\0';
    // The lookups that LoadRemoteImage makes, and the URL it fetches.
    char url[kValueCapacity] = "";
    const bool fetches = doc_.ImageUrl(name, url);
    if (!hadPath && !imagesPathReported_) {
        // The first image load is where the shell looks the folder up.
        imagesPathReported_ = true;
        const KeptLookupState kept(doc_);
        Reading path;
        Read(kImagesPathRule, path);
    }
    // No web address in IMAGES_PATH, none fetched: its one warning says why.
    if (doc_.imagesPath[0] == '\0' || (!IsWebAddress(doc_.imagesPath) && !IsWebAddress(url)))
        return ReportLine("IMAGE %s not loaded: no usable IMAGES_PATH -> %s", name, rule.whenMissing);

    FetchResult fetched;
    if (fetches) fetched = FetchUrl(url, true);
    // The shell reads every body that comes with a 200, pauses included,
    // whether the picture then decodes or not.
    if (fetched.answered)
        budget_.push_back({name, fetched.status == 200, fetched.status == 200 ? fetched.length : 0,
                           fetched.status == 200 ? fetched.pauses : 0, 1 + fetched.redirects});
    const std::string body = fetched.body ? std::string(fetched.body.get(), fetched.length) : "";
    got.bitmap.reset(Accepted(fetched) ? DecodeImage(body.data(), fetched.length) : nullptr);
    got.present = static_cast<bool>(got.bitmap);
    BITMAP info{};
    if (got.present) GetObjectA(got.bitmap.get(), sizeof info, &info);
    got.width = info.bmWidth;
    got.height = info.bmHeight;
    const check::FileFormat format = check::SniffFormat(body);
    const std::string formatName = body.empty() ? "none" : check::FormatName(format);
    const std::string size = "yes size=" + std::to_string(got.width) + "x" + std::to_string(got.height);
    ReportLine("IMAGE %s url=%s%s status=%s bytes=%s format=%s decoded=%s ms=%.0f", name, doc_.imagesPath,
               fileName.c_str(), fetched.answered ? std::to_string(fetched.status).c_str() : "none",
               fetched.overCap ? "over-1MiB" : std::to_string(body.size()).c_str(), formatName.c_str(),
               got.present ? size.c_str() : "no", fetched.ms);

    const bool isSkin = std::strcmp(name, param::kSkin) == 0;
    const char* saveAs = isSkin ? "save the skin as GIF or 24-bit BMP" : "save it as GIF or BMP";
    if (!got.present) {
        FetchFault fault = FaultOf(fetched, url, "file");
        if (fetched.answered && fetched.status != 200) fault.why += ", the shell takes only 200";
        const auto* data = reinterpret_cast<const unsigned char*>(body.data());
        unsigned width = 0, height = 0;
        const bool declared = DeclaredImageSize(data, body.size(), &width, &height);
        if (!fetches) {
            fault = {"the image URL is longer than " + std::to_string(kValueCapacity - 1) + " characters",
                     "shorten IMAGES_PATH or the file name"};
        } else if (fault.why.empty()) {
            if (format.kind == check::FileKind::Markup)
                fault = {"the server sent a page, not a picture", "check the file name and IMAGES_PATH"};
            else if (DecodedFormat(data, body.size()) == ImageFormat::kOther)
                fault = {check::WhyRefused(body, format), saveAs};
            else if (declared && !WithinImageLimits(width, height))
                fault = {"its header declares " + std::to_string(width) + "x" + std::to_string(height) +
                             " pixels; the shell decodes no side over " + std::to_string(kMaxImageSide) +
                             " and no more than " + std::to_string(kMaxImagePixels) + " pixels",
                         "make the picture smaller"};
            else
                fault = {"the picture decoder does not accept this " + formatName + " file", saveAs};
        }
        return Warn(fault.fix, "%s: not loaded: %s -> %s", name, fault.why.c_str(), rule.whenMissing);
    }
    const long long promised = check::BmpPromisedBytes(body);
    if (promised > static_cast<long long>(body.size()))
        Warn("upload the whole file again",
             "%s: the file has %zu of the %lld bytes its header promises: the missing rows are made up", name,
             body.size(), promised);
    if (isSkin && format.kind == check::FileKind::Jpeg)
        Warn(saveAs, "SKIN: a JPEG file: its colours are not exact, so the key colour misses parts of the border: "
                     "the outline comes out ragged");
    if (isSkin && format.gifTransparent)
        Warn("save it without a transparent colour", "SKIN: a GIF with a transparent colour: the decoder does not "
                                                      "keep that colour, so the key colour is not exact and the "
                                                      "outline may cut the wrong pixels");
    if (format.kind == check::FileKind::Bmp && body.size() > kWorthShrinkingBytes)
        SuggestGif(name, body.size(), ReadPixels(got.bitmap.get()));
}

void Checker::SuggestGif(const char* name, std::size_t bmpBytes, const Pixels& pixels) {
    const std::size_t gifBytes = EncodeGif(pixels).size();
    // Only when it pays: at most half the size.
    if (gifBytes == 0 || gifBytes * 2 > bmpBytes) return;
    Warn("save it as GIF",
         "%s: %zu KiB as BMP but %zu KiB as GIF with the same pixels: the shell would pause %zu ms less at start-up "
         "(%zu chunks of 4 KiB down to %zu)",
         name, Kib(bmpBytes), Kib(gifBytes), (ChunksOf(bmpBytes) - ChunksOf(gifBytes)) * kPauseAfterChunkMs,
         ChunksOf(bmpBytes), ChunksOf(gifBytes));
}

void Checker::Budget() {
    std::size_t bytes = 0, chunks = 0, pauses = 0;
    for (const Download& d : budget_) {
        if (!d.read) continue;
        ReportLine("BUDGET %s bytes=%zu chunks=%zu pause=%zums", d.name.c_str(), d.bytes, ChunksOf(d.bytes),
                   d.pauses * kPauseAfterChunkMs);
        bytes += d.bytes;
        chunks += ChunksOf(d.bytes);
        pauses += d.pauses;
    }
    ReportLine("BUDGET TOTAL bytes=%zu chunks=%zu pause=%zums", bytes, chunks, pauses * kPauseAfterChunkMs);

    // What start-up waits for: the document, then every picture at once over
    // the document's connection and new ones, each new one first connecting
    // (and over https agreeing its keys: two more round trips for TLS 1.2).
    UrlParts parts;
    const int connect = SplitUrl(options_.url.c_str(), &parts) && parts.secure ? 3 : 1;
    struct Path {
        int trips;
        std::size_t pauses;
        bool operator<(const Path& o) const { return trips != o.trips ? trips < o.trips : pauses < o.pauses; }
    };
    const Path document{connect + budget_[0].trips, budget_[0].pauses};
    std::vector<Path> lines(kConnectionsPerServer, Path{document.trips + connect, document.pauses});
    lines[0] = document;
    Path main = document;
    for (std::size_t i = 1; i < budget_.size(); ++i) {
        Path& line = *std::min_element(lines.begin(), lines.end());
        line.trips += budget_[i].trips;
        line.pauses += budget_[i].pauses;
        main = std::max(main, line);
        if (budget_[i].name == param::kLoaderImage)
            ReportLine("BUDGET SPLASH round-trips=%d pause=%zums", line.trips, line.pauses * kPauseAfterChunkMs);
    }
    ReportLine("BUDGET MAIN round-trips=%d pause=%zums", main.trips, main.pauses * kPauseAfterChunkMs);
}
