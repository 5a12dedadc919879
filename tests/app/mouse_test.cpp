// The running shell under the real mouse: a button shows its hot and pressed
// pictures and acts on release, the skin drags the window, and the minimise
// and close buttons do what they say.
#include <gtest/gtest.h>

#include "support/images.h"
#include "support/scenario.h"
#include "support/shell.h"

namespace {

COLORREF ScreenColour(int x, int y) {
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return c;
}

bool Shows(int x, int y, const std::string& kind) {
    const std::uint32_t rgb = KindColour(kind);
    return WaitUntil([&] { return ScreenColour(x, y) == RGB(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF); }, 3000);
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
    // One state for every button: another button that repaints shows it too.
    InvalidateRect(ChildWindowFromPoint(main[0], POINT{255, 13}), nullptr, FALSE);
    EXPECT_TRUE(Shows(100 + 255, 100 + 13, "min-hot")) << "the buttons share one state";
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

    MouseClickAt(140 + 280, 130 + 13);
    DWORD code = 0;
    EXPECT_TRUE(shell.waitForExit(10000, &code) && code == 1) << "the close button did not end the shell";
}

}  // namespace
