#include "common/pixels.h"

#include <algorithm>
#include <unordered_map>

namespace {

// v's lowest bytes, the lowest first.
void Put(std::string& s, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

std::string EncodeBmp(const Pixels& p, int bits, bool topDown) {
    const std::uint32_t stride = (static_cast<std::uint32_t>(p.width) * bits + 31) / 32 * 4;
    const std::uint32_t size = stride * static_cast<std::uint32_t>(p.height);
    std::string s = "BM";
    s.reserve(54 + size);
    for (std::uint32_t v : {54 + size, 0u, 54u, 40u, static_cast<std::uint32_t>(p.width),
                            static_cast<std::uint32_t>(topDown ? -p.height : p.height)})
        Put(s, v, 4);
    Put(s, 1, 2);
    Put(s, static_cast<std::uint32_t>(bits), 2);
    for (std::uint32_t v : {0u, size, 2835u, 2835u, 0u, 0u}) Put(s, v, 4);  // 72 DPI
    for (int row = 0; row < p.height; ++row) {
        const std::size_t start = s.size();
        for (int x = 0; x < p.width; ++x) {
            const std::uint32_t c = p.at(x, topDown ? row : p.height - 1 - row);
            Put(s, bits == 16 ? ((c >> 9) & 0x7C00) | ((c >> 6) & 0x3E0) | ((c >> 3) & 0x1F) : c, bits / 8);
        }
        s.append(stride - (s.size() - start), '\0');
    }
    return s;
}

std::string EncodeGif(const Pixels& image) {
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
