#include "checker/logic/check_logic.h"

#include <algorithm>
#include <unordered_map>

namespace check {

namespace {

// v's lowest bytes, the lowest first.
void Put(std::string& s, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Whether p lies on the way from colour a to colour b, strictly between them,
// within a few shades of the straight line.
bool Between(std::uint32_t a, std::uint32_t p, std::uint32_t b) {
    long long along = 0, span = 0, off = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const long long d = static_cast<long long>((b >> shift) & 0xFF) - ((a >> shift) & 0xFF);
        const long long e = static_cast<long long>((p >> shift) & 0xFF) - ((a >> shift) & 0xFF);
        along += d * e;
        span += d * d;
        off += e * e;
    }
    // off - along²/span is p's squared distance from the line.
    return along > 0 && along < span && off * span - along * along <= 16 * 16 * span;
}

}  // namespace

Fringe FindFringe(const Image& skin, const CutMask& mask) {
    static const int kSteps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    auto inside = [&](int x, int y) { return x >= 0 && y >= 0 && x < skin.width && y < skin.height; };
    Fringe f;
    for (int y = 0; y < skin.height; ++y) {
        for (int x = 0; x < skin.width; ++x) {
            if (mask.at(x, y)) continue;
            for (const auto& s : kSteps) {
                if (!inside(x + s[0], y + s[1]) || !mask.at(x + s[0], y + s[1])) continue;
                ++f.outline;
                // Away from the cut, the first other colour is the edge's own.
                for (int i = 1; i <= 3; ++i) {
                    const int ix = x - i * s[0], iy = y - i * s[1];
                    if (!inside(ix, iy) || mask.at(ix, iy)) break;
                    if (skin.at(ix, iy) == skin.at(x, y)) continue;
                    f.blends += Between(skin.at(0, 0), skin.at(x, y), skin.at(ix, iy)) ? 1 : 0;
                    break;
                }
                break;
            }
        }
    }
    return f;
}

std::string EncodeGif(const Image& image) {
    // The colours in order of first appearance.
    std::vector<std::uint32_t> palette;
    std::unordered_map<std::uint32_t, unsigned> index;
    std::vector<unsigned> pixels(image.px.size());
    for (std::size_t i = 0; i < image.px.size(); ++i) {
        auto found = index.find(image.px[i]);
        if (found == index.end()) {
            if (palette.size() == 256) return "";
            found = index.emplace(image.px[i], static_cast<unsigned>(palette.size())).first;
            palette.push_back(image.px[i]);
        }
        pixels[i] = found->second;
    }
    if (pixels.empty()) return "";
    int bits = 2;
    while ((1u << bits) < palette.size()) ++bits;
    std::string s = "GIF89a";
    Put(s, static_cast<std::uint32_t>(image.width), 2);
    Put(s, static_cast<std::uint32_t>(image.height), 2);
    s += static_cast<char>(0xF0 | (bits - 1));
    s += std::string(2, '\0');
    for (std::uint32_t i = 0; i < (1u << bits); ++i) {
        const std::uint32_t c = i < palette.size() ? palette[i] : 0;
        s += {static_cast<char>(c >> 16), static_cast<char>(c >> 8), static_cast<char>(c)};
    }
    s += ',';
    Put(s, 0, 4);
    Put(s, static_cast<std::uint32_t>(image.width), 2);
    Put(s, static_cast<std::uint32_t>(image.height), 2);
    s += {'\0', static_cast<char>(bits)};

    // LZW codes packed from the lowest bit up, in sub-blocks of at most 255
    // bytes. The table maps (prefix code, next index) to a code; the entries
    // made since the last clear code are remembered so that a clear is cheap.
    std::string packed;
    unsigned long long acc = 0;
    int used = 0;
    auto put = [&](unsigned code, int size) {
        acc |= static_cast<unsigned long long>(code) << used;
        for (used += size; used >= 8; used -= 8, acc >>= 8) packed += static_cast<char>(acc & 0xFF);
    };
    const unsigned clear = 1u << bits, end = clear + 1;
    std::vector<std::uint16_t> table(4096 * 256);
    std::vector<std::size_t> made;
    unsigned next = end + 1, prefix = pixels[0];
    int size = bits + 1;
    put(clear, size);
    for (std::size_t i = 1; i < pixels.size(); ++i) {
        const std::size_t slot = prefix * 256 + pixels[i];
        if (table[slot]) {
            prefix = table[slot];
            continue;
        }
        put(prefix, size);
        if (next < 4096) {
            table[slot] = static_cast<std::uint16_t>(next++);
            made.push_back(slot);
            if (next > (1u << size) && size < 12) ++size;
        } else {
            put(clear, size);
            for (std::size_t m : made) table[m] = 0;
            made.clear();
            next = end + 1;
            size = bits + 1;
        }
        prefix = pixels[i];
    }
    put(prefix, size);
    put(end, size);
    if (used > 0) packed += static_cast<char>(acc & 0xFF);
    for (std::size_t at = 0; at < packed.size(); at += 255) {
        s += static_cast<char>(std::min<std::size_t>(255, packed.size() - at));
        s += packed.substr(at, 255);
    }
    return s + '\0' + ';';
}

}  // namespace check
