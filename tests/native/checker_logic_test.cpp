// The skin checker's own reasoning where the whole-program table cannot
// reach, natively under the sanitizers: names, formats and tags at their
// edges, and arithmetic at the ends of the integer range.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "checker/logic/check_logic.h"

using namespace check;

TEST(CheckerReading, NamesFormatsAndTags) {
    for (const char* far : {"SK", "BUTTON_MAX_SIZE", ""}) EXPECT_EQ(NearestName(far, {"SKIN", "BUTTON_MIN_POS"}), "") << far;

    // The transparency flag behind a looping animation's block.
    const std::string gif = EncodeGif(Pixels{2, 1, {0xFF00FF, 0x2850C8}});
    const std::string transparent = gif.substr(0, 25) + std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\0\0\0", 19) +
                                    std::string("\x21\xF9\x04\x01\0\0\x01\0", 8) + gif.substr(25);
    EXPECT_EQ(FormatName(SniffFormat(transparent)), "GIF-transparent");
    EXPECT_EQ(FormatName(SniffFormat("BM")), "unknown");
    Pixels many{257, 1, {}};
    for (std::uint32_t i = 0; i < 257; ++i) many.px.push_back(i);
    EXPECT_EQ(EncodeGif(many), "") << "a 257th colour makes no GIF";

    const std::string tags = "<!-- <skin>a</skin> --><skin >b</skin ><buton>c</buton><skin>";
    EXPECT_EQ(TagTexts(tags), (std::vector<std::string>{"skin", "skin ", "buton"}));
}

TEST(CheckerGeometry, PlacementsAtTheEdgesOfTheRange) {
    const CutMask mask{4, 3, {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}};
    EXPECT_EQ(CutPixelsUnder(mask, Rect{-5, -5, 6, 6}), 1);
    EXPECT_EQ(CutPixelsUnder(mask, Rect{INT_MIN, INT_MIN, INT_MAX, INT_MAX}), 0);
    EXPECT_EQ(PixelsOutside(mask, Rect{INT_MAX, 0, INT_MAX, 1}), static_cast<long long>(INT_MAX));
    EXPECT_FALSE(Inside(Rect{INT_MAX, 0, INT_MAX, 1}, 4, 3));
    EXPECT_FALSE(Overlap(Rect{0, 0, 2, 2}, Rect{2, 0, 2, 2})) << "touching edges";
    EXPECT_FALSE(Overlap(Rect{INT_MAX, 0, INT_MAX, 1}, Rect{INT_MIN, 0, 1, 1}));
    EXPECT_EQ(PlaceWithin(Rect{290, -3, 20, 16}, 301, 201), "x <= 281 and y >= 0");
    EXPECT_EQ(MoveClearOf(Rect{0, 0, 10, 10}, Rect{0, 0, 301, 201}, 301, 201), "");
}

TEST(CheckerReading, TheRowsABmpHeaderPromises) {
    // The headers of a 3x2 24-bit BMP, whose rows of 12 bytes follow them.
    const std::string bmp =
        std::string("BM\0\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x03\0\0\0\x02\0\0\0\x01\0\x18\0", 30) + std::string(24, '\0');
    EXPECT_EQ(BmpPromisedBytes(bmp), 78);
    std::string huge32 = bmp;  // 0x7FFFFFFF x -0x7FFFFFFF pixels of 32 bits
    huge32.replace(18, 8, std::string("\xFF\xFF\xFF\x7F\x01\0\0\x80", 8));
    huge32[28] = 32;
    EXPECT_GT(BmpPromisedBytes(huge32), 0x7FFFFFFFLL) << "no overflow in the arithmetic";
}
