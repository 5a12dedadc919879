#include "controls/info_win.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/screen.h"

namespace {

constexpr COLORREF kBackground = RGB(0, 0, 128);

// Anything but the parent's plain background counts as drawn text, whatever
// smoothing the font renderer applies.
int Ink(const Pixels& p, int left, int top, int right, int bottom) {
    int count = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) count += p.at(x, y) != kBackground;
    return count;
}

LRESULT CALLBACK PlainProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

// A navy popup without WS_CLIPCHILDREN, like the system's real parents.
class InfoWinTest : public ::testing::Test {
protected:
    static constexpr int kX = 120, kY = 90, kW = 320, kH = 120;  // parent on screen
    static constexpr int kLx = 20, kLy = 40, kLw = 200, kLh = 20;  // label in parent

    void SetUp() override {
        WNDCLASSA wc{};
        wc.lpfnWndProc = PlainProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = CreateSolidBrush(kBackground);
        wc.lpszClassName = "InfoTestParent";
        if (!RegisterClassA(&wc)) DeleteObject(wc.hbrBackground);
        parent = CreateWindowExA(WS_EX_TOPMOST, "InfoTestParent", "", WS_POPUP, kX, kY, kW, kH,
                                 nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(parent, nullptr);
        // Not activated: without a window manager Wine takes seconds to hide
        // an activated window.
        ShowWindow(parent, SW_SHOWNOACTIVATE);
        ASSERT_NE(info.Create(parent, wc.hInstance, kLx, kLy, kLw, kLh, "FFFF00"), nullptr);
        PumpMessages();
    }
    void TearDown() override { DestroyWindow(parent); }

    Pixels Shot() {
        PumpMessages();
        return CaptureScreen(RECT{kX, kY, kX + kW, kY + kH});
    }
    int InkOutsideLabel(const Pixels& p) {
        return Ink(p, 0, 0, kW, kH) - Ink(p, kLx, kLy, kLx + kLw, kLy + kLh);
    }

    HWND parent = nullptr;
    CInfoWin info;
};

TEST(InfoWinColour, ReadsRedGreenBlueAsStrtoulDoes) {
    const std::pair<const char*, COLORREF> cases[] = {
        {"FF8000", 0x0080FF}, {"ff8000", 0x0080FF},   {"", 0},
        {"zz", 0},            {"0x00FF00", 0x00FF00}, {"  12", 0x120000},
        {"1FF8000", 0x0080FF}, {"0000FFzz", 0xFF0000}, {nullptr, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseColourText(c.first), c.second) << (c.first ? c.first : "(null)");
}

TEST(InfoWinNoWindow, SetInfoTextStoresNothing) {
    CInfoWin fresh;
    fresh.SetInfoText("before create");
    EXPECT_STREQ(fresh.text, "");
    // A child window without a parent cannot be made.
    EXPECT_EQ(fresh.Create(nullptr, GetModuleHandleA(nullptr), 0, 0, 50, 20, "FFFFFF"), nullptr);
    EXPECT_EQ(fresh.window, nullptr);
    fresh.SetInfoText("after a failed create");
    EXPECT_STREQ(fresh.text, "");
}

TEST_F(InfoWinTest, RecordsItsAreaInTheParent) {
    EXPECT_EQ(info.textColour, RGB(255, 255, 0));
    EXPECT_EQ(GetPropA(info.window, "INFOPROR"), &info);
    const RECT& a = info.areaInParent;
    EXPECT_EQ(a.left, kLx);
    EXPECT_EQ(a.top, kLy);
    EXPECT_EQ(a.right, kLx + kLw);
    EXPECT_EQ(a.bottom, kLy + kLh);
    EXPECT_EQ(info.clientRect.right, kLw);
    EXPECT_EQ(info.clientRect.bottom, kLh);

    // The destructor drops the property and leaves the window to its parent.
    auto* other = new CInfoWin;
    HWND wnd = other->Create(parent, GetModuleHandleA(nullptr), 0, 0, 10, 10, "");
    ASSERT_NE(wnd, nullptr);
    delete other;
    EXPECT_EQ(GetPropA(wnd, "INFOPROR"), nullptr);
    EXPECT_TRUE(IsWindow(wnd));
}

TEST_F(InfoWinTest, FormatsPrintfStyleAndCutsWithoutOverrun) {
    info.SetInfoText("Got: %s (%d)", "a.bmp", 3);
    EXPECT_STREQ(info.text, "Got: a.bmp (3)");
    char emptyFormat[1] = "";
    info.SetInfoText(emptyFormat);
    info.SetInfoText(nullptr);
    EXPECT_STREQ(info.text, "Got: a.bmp (3)");
    info.SetInfoText("%s", "100% done %d");
    EXPECT_STREQ(info.text, "100% done %d");

    HWND wnd = info.window;
    const std::string longText(5000, 'x');
    info.SetInfoText("%s", longText.c_str());
    EXPECT_EQ(std::string(info.text), longText.substr(0, sizeof info.text - 1));
    EXPECT_EQ(info.window, wnd);  // the field right after the text
    info.SetInfoText("%5000d", 7);
    EXPECT_EQ(std::strlen(info.text), sizeof info.text - 1);
    EXPECT_EQ(info.window, wnd);
}

TEST_F(InfoWinTest, DrawsOverTheParentAndWipesTheOldText) {
    EXPECT_EQ(Ink(Shot(), 0, 0, kW, kH), 0) << "the label paints a background";

    info.SetInfoText("WWWWWWWWWW");
    Pixels shown = Shot();
    EXPECT_GT(Ink(shown, kLx, kLy, kLx + kLw, kLy + 14), 40);
    EXPECT_EQ(Ink(shown, kLx, kLy + 14, kLx + kLw, kLy + kLh), 0) << "one line of 12 units";
    EXPECT_EQ(InkOutsideLabel(shown), 0);
    int yellow = 0;
    for (COLORREF c : shown.data) yellow += GetRValue(c) > 200 && GetGValue(c) > 200 && GetBValue(c) < 60;
    EXPECT_GT(yellow, 20);

    info.SetInfoText("W");
    Pixels shorter = Shot();
    EXPECT_GT(Ink(shorter, kLx, kLy, kLx + 16, kLy + kLh), 0);
    EXPECT_EQ(Ink(shorter, kLx + 20, kLy, kLx + kLw, kLy + kLh), 0);

    char emptyFormat[1] = "";
    info.SetInfoText(emptyFormat);
    EXPECT_EQ(Shot().data, shorter.data);
    info.SetInfoText("%s", "");
    EXPECT_EQ(Ink(Shot(), 0, 0, kW, kH), 0);
}

DWORD WINAPI SetTextFromWorker(LPVOID param) {
    auto* info = static_cast<CInfoWin*>(param);
    for (int i = 0; i < 200; ++i) info->SetInfoText("%s %d", "WWWWWWWWWWWWWWWW", i);
    info->SetInfoText("%s", "WW");
    return 0;
}

TEST_F(InfoWinTest, TextFromAnotherThreadIsPaintedByTheOwner) {
    HANDLE worker = CreateThread(nullptr, 0, SetTextFromWorker, &info, 0, nullptr);
    ASSERT_NE(worker, nullptr);
    EXPECT_TRUE(PumpUntil([&] { return WaitForSingleObject(worker, 0) == WAIT_OBJECT_0; }, 10000));
    CloseHandle(worker);
    // Which of the last paints lands first is the window system's choice;
    // what must hold is that the stored text is whole and the owner paints it.
    EXPECT_STREQ(info.text, "WW");
    RedrawWindow(parent, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pixels shown = Shot();
    EXPECT_GT(Ink(shown, kLx, kLy, kLx + 24, kLy + kLh), 0);
    EXPECT_EQ(Ink(shown, kLx + 30, kLy, kLx + kLw, kLy + kLh), 0);
}

}  // namespace
