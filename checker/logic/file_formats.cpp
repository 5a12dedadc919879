#include "checker/logic/check_logic.h"

#include <climits>

#include "remote/image_size.h"

namespace check {

namespace {

std::uint32_t LittleEndian(const std::string& bytes, std::size_t at, int count) {
    std::uint32_t v = 0;
    for (int i = count - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return v;
}

bool StartsWith(const std::string& bytes, const char* prefix, std::size_t length, std::size_t at = 0) {
    return bytes.size() >= at + length && bytes.compare(at, length, prefix, length) == 0;
}

}  // namespace

FileFormat SniffFormat(const std::string& bytes) {
    FileFormat f;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const ImageFormat decoded = DecodedFormat(data, bytes.size());
    if (decoded == ImageFormat::kBmp) {
        f.kind = FileKind::Bmp;
        if (bytes.size() >= 34) {
            const std::uint32_t header = LittleEndian(bytes, 14, 4);
            f.bmpBits = static_cast<int>(LittleEndian(bytes, header == 12 ? 24 : 28, 2));
            f.bmpRunLength = header >= 40 && (LittleEndian(bytes, 30, 4) == 1 || LittleEndian(bytes, 30, 4) == 2);
        }
    } else if (decoded == ImageFormat::kGif) {
        f.kind = FileKind::Gif;
        GifFirstFrame(data, bytes.size(), &f.gifTransparent);
    } else if (decoded == ImageFormat::kJpeg) {
        f.kind = FileKind::Jpeg;
    } else if (StartsWith(bytes, "\x89PNG", 4)) {
        f.kind = FileKind::Png;
    } else if (StartsWith(bytes, "\0\0\1\0", 4) || StartsWith(bytes, "\0\0\2\0", 4)) {
        f.kind = FileKind::Icon;
    } else if (StartsWith(bytes, "\xD7\xCD\xC6\x9A", 4) || StartsWith(bytes, " EMF", 4, 40)) {
        f.kind = FileKind::Metafile;
    } else if (StartsWith(bytes, "II*\0", 4) || StartsWith(bytes, "MM\0*", 4)) {
        f.kind = FileKind::Tiff;
    } else if (StartsWith(bytes, "RIFF", 4) && StartsWith(bytes, "WEBP", 4, 8)) {
        f.kind = FileKind::WebP;
    } else if (StartsWith(bytes, "\x1F\x8B", 2)) {
        f.kind = FileKind::Gzip;
    } else if (const std::size_t first = bytes.substr(0, 64).find_first_not_of(" \t\n\v\f\r");
               first != std::string::npos && bytes[first] == '<') {
        f.kind = FileKind::Markup;
    }
    return f;
}

std::string FormatName(const FileFormat& f) {
    switch (f.kind) {
    case FileKind::Bmp: return "BMP-" + std::to_string(f.bmpBits) + (f.bmpRunLength ? "-RLE" : "");
    case FileKind::Gif: return f.gifTransparent ? "GIF-transparent" : "GIF";
    case FileKind::Jpeg: return "JPEG";
    case FileKind::Png: return "PNG";
    case FileKind::Icon: return "icon";
    case FileKind::Metafile: return "metafile";
    case FileKind::Tiff: return "TIFF";
    case FileKind::WebP: return "WebP";
    case FileKind::Markup: return "HTML-or-XML";
    case FileKind::Gzip: return "gzip";
    case FileKind::Unknown: break;
    }
    return "unknown";
}

std::string WhyRefused(const std::string& bytes, const FileFormat& format) {
    if (format.kind == FileKind::Gzip) return "gzip-compressed data";
    if (format.kind != FileKind::Unknown) return "the shell reads BMP, GIF and JPEG only, not " + FormatName(format);
    std::string first;
    for (std::size_t i = 0; i < bytes.size() && i < 4; ++i) {
        static const char kHex[] = "0123456789ABCDEF";
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        first += std::string(i ? " " : "") + kHex[b >> 4] + kHex[b & 15];
    }
    return "not a picture (it starts " + first + ")";
}

long long BmpPromisedBytes(const std::string& bytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    unsigned width = 0, height = 0;
    // Uncompressed rows after a whole header: the old core header is not checked.
    if (bytes.size() < 54 || DecodedFormat(data, bytes.size()) != ImageFormat::kBmp || LittleEndian(bytes, 14, 4) < 40 ||
        LittleEndian(bytes, 30, 4) != 0 || !DeclaredImageSize(data, bytes.size(), &width, &height) || height == 0)
        return -1;
    const std::uint32_t offset = LittleEndian(bytes, 10, 4), bits = LittleEndian(bytes, 28, 2);
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return -1;
    const long long rowBytes = (static_cast<long long>(width) * bits + 31) / 32 * 4;
    // A header may promise more than any file can hold; say so without
    // overflowing.
    if (rowBytes > (LLONG_MAX - offset) / height) return LLONG_MAX;
    return static_cast<long long>(offset) + rowBytes * height;
}

}  // namespace check
