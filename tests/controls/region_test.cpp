// The window outline built from runs against the literal build, one pixel at
// a time, on what the picture decoder makes of files of several formats.
#include <gtest/gtest.h>

#include "common/handles.h"
#include "controls/window_skin.h"
#include "support/images.h"

namespace {

// Key-coloured holes, runs that touch either edge, rows that repeat and a
// colour one step away from the key's.
const Picture kSkin = {53, 37, [](int x, int y) -> std::uint32_t {
                           if ((x == 0 && y == 0) || (x + y) % 11 == 0 || (y > 20 && x > 40)) return 0xFF00FF;
                           return y % 7 == 3 ? 0xFF00FE : (x / 9) % 2 ? 0x204060 : 0xE0C000;
                       }};

TEST(SkinRegion, IsThePerPixelOutlineForEveryFormat) {
    const Picture twoColours = {kSkin.width, kSkin.height, [](int x, int y) { return kSkin.rgb(x, y) == 0xFF00FF ? 0xFF00FFu : 0u; }};
    const struct {
        const char* what;
        std::string file;
    } cases[] = {
        {"24-bit BMP", BmpFile(kSkin)},          {"32-bit top-down BMP", BmpFile(kSkin, 32, true)},
        {"16-bit BMP", BmpFile(kSkin, 16)},      {"8-bit BMP", BmpFile(kSkin, 8)},
        {"1-bit BMP", BmpFile(twoColours, 1)},   {"GIF", GifFile(kSkin)},
    };
    for (const auto& c : cases) {
        UniqueBitmap bitmap(Decoded(c.file));
        ASSERT_TRUE(bitmap) << c.what;
        UniqueRegion fast(BuildSkinRegion(bitmap.get(), kSkin.width, kSkin.height));
        UniqueRegion literal(PerPixelRegion(bitmap.get()));
        ASSERT_TRUE(fast) << c.what;
        EXPECT_TRUE(EqualRgn(fast.get(), literal.get())) << c.what;
    }
}

TEST(SkinRegion, ASkinOfOneColourShowsNothingAndAnEmptyOneReadsNothing) {
    UniqueBitmap solid(Decoded(BmpFile(SolidPicture(40, 30, 0x123456))));
    UniqueRegion empty(BuildSkinRegion(solid.get(), 40, 30)), nothing(CreateRectRgn(0, 0, 0, 0));
    EXPECT_TRUE(EqualRgn(empty.get(), nothing.get()));
    UniqueRegion none(BuildSkinRegion(nullptr, 0, 0));
    EXPECT_TRUE(none) << "a zero size is an empty outline, not a failure";
    EXPECT_EQ(BuildSkinRegion(solid.get(), 70000, 30), nullptr);
}

}  // namespace
