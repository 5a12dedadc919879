#include "remote/image_size.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

unsigned Little16(const unsigned char* p) { return p[0] | (p[1] << 8); }
unsigned Big16(const unsigned char* p) { return (p[0] << 8) | p[1]; }
std::uint32_t Little32(const unsigned char* p) { return Little16(p) | (static_cast<std::uint32_t>(Little16(p + 2)) << 16); }

// A header's signed 32-bit side: its size, whichever way the rows run.
unsigned Side(std::uint32_t v) { return v & 0x80000000u ? 0u - v : v; }

bool Bmp(const unsigned char* d, std::size_t n, unsigned* w, unsigned* h) {
    if (n < 22) return false;
    if (Little32(d + 14) == 12) {  // the old core header: 16-bit sides
        *w = Little16(d + 18);
        *h = Little16(d + 20);
        return true;
    }
    if (n < 26) return false;
    *w = Side(Little32(d + 18));
    *h = Side(Little32(d + 22));
    return true;
}

bool Gif(const unsigned char* d, std::size_t n, unsigned* w, unsigned* h) {
    bool transparent = false;
    const std::size_t at = GifFirstFrame(d, n, &transparent);
    if (at == 0 || at + 9 > n) return false;
    // The first frame may reach past the screen.
    *w = std::max(Little16(d + 6), Little16(d + at + 1) + Little16(d + at + 5));
    *h = std::max(Little16(d + 8), Little16(d + at + 3) + Little16(d + at + 7));
    return true;
}

bool Jpeg(const unsigned char* d, std::size_t n, unsigned* w, unsigned* h) {
    for (std::size_t at = 2; at + 4 <= n;) {
        if (d[at] != 0xFF) return false;
        const unsigned char marker = d[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return false;  // the data begin before any frame
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (at + 9 > n) return false;
            *h = Big16(d + at + 5);
            *w = Big16(d + at + 7);
            return true;
        }
        at += 2 + Big16(d + at + 2);
    }
    return false;
}

}  // namespace

std::size_t GifFirstFrame(const unsigned char* d, std::size_t n, bool* transparent) {
    *transparent = false;
    if (n < 13) return 0;
    std::size_t at = 13 + (d[10] & 0x80 ? 3u << ((d[10] & 7) + 1) : 0);
    while (at < n) {
        if (d[at] == 0x2C) return at;
        if (d[at] != 0x21 || at + 2 >= n) return 0;
        const bool control = d[at + 1] == 0xF9;
        at += 2;
        if (control && at + 1 < n && (d[at + 1] & 1)) *transparent = true;
        // Sub-blocks, each after its length, up to an empty one.
        for (; at < n && d[at] != 0; at += d[at] + 1u) {
        }
        ++at;
    }
    return 0;
}

ImageFormat DecodedFormat(const unsigned char* data, std::size_t size) {
    if (!data || size < 4) return ImageFormat::kOther;
    if (data[0] == 'B' && data[1] == 'M') return ImageFormat::kBmp;
    if (size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0))
        return ImageFormat::kGif;
    if (data[0] == 0xFF && data[1] == 0xD8) return ImageFormat::kJpeg;
    return ImageFormat::kOther;
}

bool DeclaredImageSize(const unsigned char* data, std::size_t size, unsigned* width, unsigned* height) {
    switch (DecodedFormat(data, size)) {
    case ImageFormat::kBmp: return Bmp(data, size, width, height);
    case ImageFormat::kGif: return Gif(data, size, width, height);
    case ImageFormat::kJpeg: return Jpeg(data, size, width, height);
    case ImageFormat::kOther: break;
    }
    return false;
}

bool WithinImageLimits(unsigned width, unsigned height) {
    return width <= kMaxImageSide && height <= kMaxImageSide &&
           static_cast<unsigned long long>(width) * height <= kMaxImagePixels;
}
