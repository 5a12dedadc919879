// A picture as plain pixels, and the BMP and GIF files that hold one: the
// checker weighs a BMP against its GIF and writes its preview as a BMP, and
// the tests and benchmarks make their pictures with the same two writers.
// No Windows headers: built natively for the sanitizer tests too.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> px;  // 0x00RRGGBB, row by row from the top
    std::uint32_t at(int x, int y) const {
        return px[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
};

// An uncompressed BMP file of 16 (5-5-5), 24 or 32 bits a pixel, its rows
// bottom-up unless topDown.
std::string EncodeBmp(const Pixels& pixels, int bits = 24, bool topDown = false);
// A GIF file (one colour table, LZW, no transparency); "" when the picture
// has more than 256 colours, or none.
std::string EncodeGif(const Pixels& pixels);
