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
    const std::string gif = EncodeGif(Image{2, 1, {0xFF00FF, 0x2850C8}});
    const std::string transparent = gif.substr(0, 25) + std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\0\0\0", 19) +
                                    std::string("\x21\xF9\x04\x01\0\0\x01\0", 8) + gif.substr(25);
    EXPECT_EQ(FormatName(SniffFormat(transparent)), "GIF-transparent");
    EXPECT_EQ(FormatName(SniffFormat("BM")), "unknown");
    Image many{257, 1, {}};
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

TEST(CheckerPreview, ComposedPictureAndItsFile) {
    Image skin{20, 10, {}};
    for (int i = 0; i < 200; ++i) skin.px.push_back(0x101010u * static_cast<std::uint32_t>(i % 7));
    CutMask mask{20, 10, std::vector<std::uint8_t>(200, 0)};
    mask.px[0] = mask.px[9 * 20 + 19] = 1;
    const Image button{3, 2, std::vector<std::uint32_t>(6, 0x00AB00)};
    const Rect browser{-3, 4, 10, 100};
    const Image out = ComposePreview(skin, mask, {{"", Rect{18, 8, 3, 2}, button}}, &browser, nullptr);
    EXPECT_EQ(out.at(19, 9), CheckerAt(19, 9)) << "the button does not show over a cut";
    EXPECT_TRUE(out.at(19, 8) == 0x00AB00u && out.at(6, 9) == kBrowserOutline && out.at(0, 5) == skin.at(0, 5));
    const Image both = Beside(button, skin, 1);
    EXPECT_TRUE(both.width == 24 && both.at(3, 0) == CheckerAt(3, 0) && both.at(0, 5) == CheckerAt(0, 5));
    // Extreme rectangles lie wholly off the picture: they leave it as it is.
    const Rect huge{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, far{INT_MAX, INT_MAX, INT_MAX, INT_MAX};
    EXPECT_EQ(ComposePreview(skin, mask, {{"", Rect{INT_MIN, INT_MAX, 3, 2}, button}}, &huge, &far).px,
              ComposePreview(skin, mask, {}, nullptr, nullptr).px);

    const std::string bmp = EncodeBmp24(Image{3, 2, {1, 2, 3, 4, 5, 0x101112}});
    // Bottom row first, blue green red, rows padded to four bytes.
    EXPECT_EQ(bmp.substr(54, 12), std::string("\x04\0\0\x05\0\0\x12\x11\x10\0\0\0", 12));
    EXPECT_EQ(BmpPromisedBytes(bmp.substr(0, 60)), static_cast<long long>(bmp.size()));
    std::string huge32 = bmp;  // 0x7FFFFFFF x -0x7FFFFFFF pixels of 32 bits
    huge32.replace(18, 8, std::string("\xFF\xFF\xFF\x7F\x01\0\0\x80", 8));
    huge32[28] = 32;
    EXPECT_GT(BmpPromisedBytes(huge32), 0x7FFFFFFFLL) << "no overflow in the arithmetic";
}
