#include "controls/info_win.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "support/screen.h"

namespace {

constexpr COLORREF kBackground = RGB(0, 0, 128);
constexpr COLORREF kYellow = RGB(255, 255, 0);

// Anything that is not the parent's plain background counts as drawn text,
// whatever smoothing the font renderer applies.
int InkPixels(const Pixels& p, int left, int top, int right, int bottom) {
    int count = 0;
    for (int y = top; y < bottom && y < p.height; ++y)
        for (int x = left; x < right && x < p.width; ++x)
            if (p.at(x, y) != kBackground) ++count;
    return count;
}

int PixelsNear(const Pixels& p, COLORREF colour) {
    int count = 0;
    for (COLORREF c : p.data) {
        if (std::abs(GetRValue(c) - GetRValue(colour)) < 48 &&
            std::abs(GetGValue(c) - GetGValue(colour)) < 48 &&
            std::abs(GetBValue(c) - GetBValue(colour)) < 48)
            ++count;
    }
    return count;
}

LRESULT CALLBACK PlainParentProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

// A top-most popup whose class brush paints a plain navy picture, without
// WS_CLIPCHILDREN like the system's real parents.
HWND MakeParent(int x, int y, int w, int h, DWORD style = WS_POPUP) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = PlainParentProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = CreateSolidBrush(kBackground);
        wc.lpszClassName = "InfoTestParent";
        registered = RegisterClassA(&wc) != 0;
    }
    HWND wnd = CreateWindowExA(WS_EX_TOPMOST, "InfoTestParent", "parent", style, x, y, w, h,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    // Not activated: without a window manager, Wine takes seconds to hide an
    // activated window.
    ShowWindow(wnd, SW_SHOWNOACTIVATE);
    UpdateWindow(wnd);
    PumpMessages();
    return wnd;
}

class InfoWinTest : public ::testing::Test {
protected:
    static constexpr int kParentX = 120, kParentY = 90, kParentW = 320, kParentH = 120;
    static constexpr int kLabelX = 20, kLabelY = 40, kLabelW = 200, kLabelH = 20;

    void SetUp() override {
        parent = MakeParent(kParentX, kParentY, kParentW, kParentH);
        ASSERT_NE(parent, nullptr) << GetLastError();
    }
    void TearDown() override {
        delete info;
        if (parent) DestroyWindow(parent);
        PumpMessages(10, 500);
    }

    void CreateLabel(const char* colour, int w = kLabelW) {
        info = new CInfoWin;
        ASSERT_NE(info->Create(parent, GetModuleHandleA(nullptr), kLabelX, kLabelY, w, kLabelH,
                               colour),
                  nullptr);
        PumpMessages();
    }

    // The parent's whole client area as the screen shows it.
    Pixels Shot() {
        PumpMessages();
        RECT r{kParentX, kParentY, kParentX + kParentW, kParentY + kParentH};
        return CaptureScreen(r);
    }

    HWND parent = nullptr;
    CInfoWin* info = nullptr;
};

TEST(InfoWinColour, ReadsRedGreenBlueAsStrtoulDoes) {
    struct Case {
        const char* text;
        COLORREF expected;
    } cases[] = {
        {"FF8000", 0x0080FF},   {"ff8000", 0x0080FF}, {"FFFFFF", 0xFFFFFF},
        {"", 0},                {"zz", 0},            {"0x00FF00", 0x00FF00},
        {"  12", 0x120000},     {"1FF8000", 0x0080FF}, {"0000FFzz", 0xFF0000},
        {"12 34", 0x120000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseColourText(c.text), c.expected) << '"' << c.text << '"';
    EXPECT_EQ(ParseColourText(nullptr), 0u);
}

TEST(InfoWinNoWindow, SetInfoTextStoresNothing) {
    CInfoWin fresh;
    EXPECT_EQ(fresh.window, nullptr);
    EXPECT_EQ(fresh.parentWindow, nullptr);
    fresh.SetInfoText("before create %d", 1);
    EXPECT_STREQ(fresh.text, "");

    // A child window without a parent, or with a parent that is no window,
    // cannot be made.
    CInfoWin orphan;
    EXPECT_EQ(orphan.Create(nullptr, GetModuleHandleA(nullptr), 0, 0, 50, 20, "FFFFFF"), nullptr);
    EXPECT_EQ(orphan.window, nullptr);
    orphan.SetInfoText("after failed create");
    EXPECT_STREQ(orphan.text, "");

    CInfoWin stray;
    HWND notAWindow = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x7ffe0));
    EXPECT_EQ(stray.Create(notAWindow, GetModuleHandleA(nullptr), 0, 0, 50, 20, "FFFFFF"),
              nullptr);
    stray.SetInfoText("after failed create");
    EXPECT_STREQ(stray.text, "");
}

TEST_F(InfoWinTest, CreatePlacesTheLabelAndRecordsItsArea) {
    CreateLabel("FF8000");
    EXPECT_EQ(info->parentWindow, parent);
    EXPECT_EQ(info->textColour, 0x0080FFu);
    EXPECT_EQ(GetParent(info->window), parent);
    EXPECT_TRUE(IsWindowVisible(info->window));
    char cls[32] = {};
    GetClassNameA(info->window, cls, sizeof cls);
    EXPECT_STREQ(cls, "CINFOWIN");
    EXPECT_EQ(GetPropA(info->window, "INFOPROR"), info);
    EXPECT_EQ(info->clientRect.left, 0);
    EXPECT_EQ(info->clientRect.top, 0);
    EXPECT_EQ(info->clientRect.right, kLabelW);
    EXPECT_EQ(info->clientRect.bottom, kLabelH);
    EXPECT_EQ(info->areaInParent.left, kLabelX);
    EXPECT_EQ(info->areaInParent.top, kLabelY);
    EXPECT_EQ(info->areaInParent.right, kLabelX + kLabelW);
    EXPECT_EQ(info->areaInParent.bottom, kLabelY + kLabelH);

    // A second label registers the class again and still works.
    CInfoWin second;
    EXPECT_NE(second.Create(parent, GetModuleHandleA(nullptr), 1, 2, 30, 10, ""), nullptr);
    EXPECT_EQ(second.areaInParent.left, 1);
    EXPECT_EQ(second.areaInParent.bottom, 12);

    // The destructor drops the property but leaves the window to its parent.
    HWND wnd = info->window;
    delete info;
    info = nullptr;
    EXPECT_EQ(GetPropA(wnd, "INFOPROR"), nullptr);
    EXPECT_TRUE(IsWindow(wnd));
}

TEST_F(InfoWinTest, AreaIsInParentClientCoordinatesUnderAFrame) {
    DestroyWindow(parent);
    parent = MakeParent(kParentX, kParentY, kParentW, kParentH + 40, WS_POPUP | WS_DLGFRAME);
    CreateLabel("FFFFFF");
    EXPECT_EQ(info->areaInParent.left, kLabelX);
    EXPECT_EQ(info->areaInParent.top, kLabelY);
    EXPECT_EQ(info->areaInParent.right, kLabelX + kLabelW);
    EXPECT_EQ(info->areaInParent.bottom, kLabelY + kLabelH);
}

TEST_F(InfoWinTest, FormattingRules) {
    CreateLabel("FFFFFF");
    info->SetInfoText("Got: %s (%d)", "Image a.bmp", 3);
    EXPECT_STREQ(info->text, "Got: Image a.bmp (3)");

    char emptyFormat[1] = "";
    info->SetInfoText(emptyFormat);
    EXPECT_STREQ(info->text, "Got: Image a.bmp (3)");
    info->SetInfoText(nullptr);
    EXPECT_STREQ(info->text, "Got: Image a.bmp (3)");

    info->SetInfoText("%s", "100% done %d %n");
    EXPECT_STREQ(info->text, "100% done %d %n");

    info->SetInfoText("%s", "");
    EXPECT_STREQ(info->text, "");
}

TEST_F(InfoWinTest, OverlongTextIsCutWithoutOverrun) {
    CreateLabel("FFFFFF");
    HWND wnd = info->window;
    const std::string longText(5000, 'x');
    info->SetInfoText("%s", longText.c_str());
    EXPECT_EQ(std::strlen(info->text), sizeof info->text - 1);
    EXPECT_EQ(std::string(info->text), longText.substr(0, sizeof info->text - 1));
    // The fields after the text are untouched.
    EXPECT_EQ(info->window, wnd);
    EXPECT_EQ(info->parentWindow, parent);
    EXPECT_EQ(info->areaInParent.right, kLabelX + kLabelW);

    info->SetInfoText("%5000d|", 7);
    EXPECT_EQ(std::strlen(info->text), sizeof info->text - 1);
    EXPECT_EQ(info->text[sizeof info->text - 2], ' ');
    EXPECT_EQ(info->window, wnd);
}

TEST_F(InfoWinTest, DrawsTheTextInItsColourOverTheParent) {
    CreateLabel("FFFF00");
    Pixels before = Shot();
    ASSERT_EQ(before.width, kParentW);
    EXPECT_EQ(InkPixels(before, 0, 0, kParentW, kParentH), 0) << "label paints a background";

    info->SetInfoText("WWWWWWWWWW");
    Pixels shown = Shot();
    const int inLabel = InkPixels(shown, kLabelX, kLabelY, kLabelX + kLabelW, kLabelY + kLabelH);
    EXPECT_GT(inLabel, 40);
    EXPECT_GT(PixelsNear(shown, kYellow), 20);
    // Nothing outside the label, and only one line of 12 units at its top.
    EXPECT_EQ(InkPixels(shown, 0, 0, kParentW, kLabelY) +
                  InkPixels(shown, 0, kLabelY + kLabelH, kParentW, kParentH) +
                  InkPixels(shown, 0, kLabelY, kLabelX, kLabelY + kLabelH) +
                  InkPixels(shown, kLabelX + kLabelW, kLabelY, kParentW, kLabelY + kLabelH),
              0);
    EXPECT_EQ(InkPixels(shown, kLabelX, kLabelY + 14, kLabelX + kLabelW, kLabelY + kLabelH), 0);

    // A shorter text wipes the tail of the longer one.
    info->SetInfoText("W");
    Pixels shorter = Shot();
    EXPECT_GT(InkPixels(shorter, kLabelX, kLabelY, kLabelX + 16, kLabelY + kLabelH), 0);
    EXPECT_EQ(InkPixels(shorter, kLabelX + 20, kLabelY, kLabelX + kLabelW, kLabelY + kLabelH), 0);

    // An empty format changes nothing on screen; an empty result clears it.
    char emptyFormat[1] = "";
    info->SetInfoText(emptyFormat);
    Pixels same = Shot();
    EXPECT_EQ(same.data, shorter.data);
    info->SetInfoText("%s", "");
    EXPECT_EQ(InkPixels(Shot(), 0, 0, kParentW, kParentH), 0);
}

TEST_F(InfoWinTest, TextWiderThanTheLabelIsClippedAtItsEdge) {
    CreateLabel("FFFF00", 60);
    info->SetInfoText("%s", "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW");
    Pixels shown = Shot();
    EXPECT_GT(InkPixels(shown, kLabelX + 40, kLabelY, kLabelX + 60, kLabelY + kLabelH), 0);
    EXPECT_EQ(InkPixels(shown, kLabelX + 60, 0, kParentW, kParentH), 0);
}

TEST_F(InfoWinTest, WithoutItsPropertyThePaintDrawsNothing) {
    CreateLabel("FFFF00");
    info->SetInfoText("WWWW");
    ASSERT_GT(InkPixels(Shot(), 0, 0, kParentW, kParentH), 0);
    RemovePropA(info->window, "INFOPROR");
    InvalidateRect(parent, nullptr, TRUE);
    InvalidateRect(info->window, nullptr, TRUE);
    EXPECT_EQ(InkPixels(Shot(), 0, 0, kParentW, kParentH), 0);
}

DWORD WINAPI SetTextFromWorker(LPVOID param) {
    auto* info = static_cast<CInfoWin*>(param);
    for (int i = 0; i < 200; ++i) {
        if (i % 2)
            info->SetInfoText("%s", "WWWWWWWWWWWW");
        else
            info->SetInfoText("%s %d", "WWWWWWWWWWWWWWWWWWWWW", i);
    }
    info->SetInfoText("%s", "WW");
    return 0;
}

TEST_F(InfoWinTest, TextSetFromAnotherThreadIsPaintedByTheOwner) {
    CreateLabel("FFFF00");
    HANDLE worker = CreateThread(nullptr, 0, SetTextFromWorker, info, 0, nullptr);
    ASSERT_NE(worker, nullptr);
    // The owner keeps painting while the worker replaces the text.
    EXPECT_TRUE(PumpUntil([&] { return WaitForSingleObject(worker, 0) == WAIT_OBJECT_0; }, 10000));
    CloseHandle(worker);
    EXPECT_STREQ(info->text, "WW");
    Pixels shown = Shot();
    EXPECT_GT(InkPixels(shown, kLabelX, kLabelY, kLabelX + 24, kLabelY + kLabelH), 0);
    EXPECT_EQ(InkPixels(shown, kLabelX + 30, kLabelY, kLabelX + kLabelW, kLabelY + kLabelH), 0);
}

}  // namespace
