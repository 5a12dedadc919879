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
    const struct {
        const char* what;
        std::string file;
    } cases[] = {
        {"24-bit BMP", BmpFile(kSkin)}, {"32-bit top-down BMP", BmpFile(kSkin, 32, true)},
        {"16-bit BMP", BmpFile(kSkin, 16)}, {"GIF, with a colour table", GifFile(kSkin)},
        {"JPEG", ImageFile("skin-40x30.jpg")},
    };
    for (const auto& c : cases) {
        UniqueBitmap bitmap(Decoded(c.file));
        BITMAP size{};
        ASSERT_TRUE(GetObjectA(bitmap.get(), sizeof size, &size)) << c.what;
        UniqueRegion fast(BuildSkinRegion(bitmap.get(), size.bmWidth, size.bmHeight));
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
