// The document's pixels at a display's DPI: rounding, rectangles whose pieces
// still meet, scaling again without drift, and no overflow anywhere.
#include <gtest/gtest.h>

#include <climits>

#include "common/dpi_scale.h"

namespace {

TEST(DpiScale, RoundsHalvesAwayFromZeroAndStaysInRange) {
    const struct { long long value; int dpi, scaled; } cases[] = {
        {291, 144, 437}, {-3, 144, -5}, {5, 120, 6}, {7, 120, 9}, {-38, 192, -76}, {12, 144, 18},
        {INT_MAX, 96, INT_MAX}, {INT_MIN, 96, INT_MIN}, {INT_MAX, 192, INT_MAX}, {INT_MIN, 65535, INT_MIN}, {5, 0, 5},
    };
    for (const auto& c : cases) EXPECT_EQ(ScaleToDpi(c.value, c.dpi), c.scaled) << c.value << " at " << c.dpi;
}

TEST(DpiScale, RectanglesKeepTheirEdgesAndScalingAgainNeverDrifts) {
    const DpiBox box = ScaleBoxToDpi(10, 30, 281, 120, 144);
    EXPECT_TRUE(box.x == 15 && box.y == 45 && box.width == 422 && box.height == 180);
    const DpiBox same = ScaleBoxToDpi(INT_MAX, INT_MIN, INT_MAX, -1, 96);
    EXPECT_TRUE(same.x == INT_MAX && same.y == INT_MIN && same.width == INT_MAX && same.height == -1);
    const DpiBox far = ScaleBoxToDpi(INT_MAX - 1, 0, INT_MAX, 1, 240);
    EXPECT_TRUE(far.x == INT_MAX && far.width == 0);
    for (int from : {96, 120, 144, 168, 192, 288})
        for (int to : {96, 120, 144, 192})
            for (int v = -600; v <= 600; ++v) ASSERT_EQ(RescaleDpi(ScaleToDpi(v, from), from, to), ScaleToDpi(v, to)) << v;
}

}  // namespace
