// The running shell under the real mouse: a button shows its hot and pressed
// pictures and acts on release, and the skin drags the window.
#include <gtest/gtest.h>

#include "support/images.h"
#include "support/scenario.h"
#include "support/shell.h"

namespace {

// Whether the screen shows the colour of that kind of picture at x, y.
bool Shows(int x, int y, const std::string& kind) {
    const std::uint32_t rgb = KindColour(kind);
    HDC screen = GetDC(nullptr);
    const bool shown = WaitUntil([&] { return GetPixel(screen, x, y) == RGB(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF); }, 3000);
    ReleaseDC(nullptr, screen);
    return shown;
}

TEST(Mouse, ButtonsChangeAndActAndTheSkinDrags) {
    std::vector<std::string> args;
    PrepareSite({"mouse", Params{{"SKIN", "skin-301x201.bmp"}, {"APP_BROWSER_RECT", "10,30,100,60"},
                                 {"APP_START_POS", "100,100"}} +
                              Button("CLOSE", "270,5") + Button("MIN", "245,5")},
                &args);
    ShellProcess shell(ShellExe(), args);
    std::vector<HWND> main;
    ASSERT_TRUE(WaitUntil([&] { return !(main = VisibleWindows(shell.pid(), "Korvane")).empty(); }, 20000));

    MouseMoveTo(100 + 280, 100 + 13);
    EXPECT_TRUE(Shows(100 + 280, 100 + 13, "close-hot")) << "no hot picture under the mouse";
    MouseMoveTo(100 + 255, 100 + 13);
    MouseButton(true);
    EXPECT_TRUE(Shows(100 + 255, 100 + 13, "min-click"));
    MouseButton(false);
    EXPECT_TRUE(WaitUntil([&] { return IsIconic(main[0]) != FALSE; }, 3000)) << "minimise did not minimise";
    ShowWindow(main[0], SW_RESTORE);
    EXPECT_TRUE(Shows(100 + 255, 100 + 13, "min")) << "the released button is not back to normal";

    MouseMoveTo(100 + 150, 100 + 190);
    MouseButton(true);
    MouseMoveTo(100 + 190, 100 + 220);
    MouseButton(false);
    RECT r{};
    EXPECT_TRUE(WaitUntil([&] { return GetWindowRect(main[0], &r) && r.left == 140 && r.top == 130; }, 3000))
        << "dragged to " << r.left << "," << r.top;
}

}  // namespace
