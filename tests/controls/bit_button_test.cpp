#include "controls/bit_button.h"

#include "common/handles.h"
#include "support/screen.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

const COLORREF kParent = RGB(40, 40, 40);
const COLORREF kNormal = RGB(200, 0, 0);
const COLORREF kHot = RGB(0, 200, 0);
const COLORREF kPressed = RGB(0, 0, 200);
const int kButtonW = 40, kButtonH = 30;
const int kParentX = 100, kParentY = 100;
const UINT kAction = WM_USER + 3;

// Where actions land: a message-only window that counts them.
struct ActionLog {
    int count = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    int stateWhenSent = -1;
    std::function<void()> onAction;
};
ActionLog g_actions;

LRESULT CALLBACK SinkWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kAction) {
        ++g_actions.count;
        g_actions.wParam = wParam;
        g_actions.lParam = lParam;
        g_actions.stateWhenSent = g_buttonState;
        if (g_actions.onAction) g_actions.onAction();
        return 0;
    }
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

HWND MakeSink() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = SinkWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "KorvaneActionSink";
    RegisterClassA(&wc);
    return CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

struct Images {
    HBITMAP normal, hot, pressed;
};

// Hot and pressed images may be larger than the normal one; they are
// clipped to the button.
Images MakeImages(int extra = 0) {
    return {MakeSolidDib(kButtonW, kButtonH, kNormal), MakeSolidDib(kButtonW + extra, kButtonH + extra, kHot),
            MakeSolidDib(kButtonW + extra, kButtonH + extra, kPressed)};
}

// Every pixel of a screen rectangle has one colour.
::testing::AssertionResult ScreenIs(const RECT& r, COLORREF want) {
    Pixels shot = CaptureScreen(r);
    if (shot.data.empty()) return ::testing::AssertionFailure() << "no capture";
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x)
            if (shot.at(x, y) != want)
                return ::testing::AssertionFailure() << "pixel " << x << "," << y << " is " << std::hex
                                                     << shot.at(x, y) << " not " << want;
    return ::testing::AssertionSuccess();
}

}  // namespace

class BitButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_buttonState = 0;
        g_actions = ActionLog{};
        parent_ = MakeSolidWindow(RECT{kParentX, kParentY, kParentX + 300, kParentY + 200}, kParent);
        sink_ = MakeSink();
        ASSERT_NE(parent_, nullptr);
        ASSERT_NE(sink_, nullptr);
        MouseMoveTo(900, 700);  // away from everything
        PumpMessages(30, 500);
    }
    void TearDown() override {
        DestroyWindow(sink_);
        DestroyWindow(parent_);  // takes the button windows with it
        PumpMessages(10, 300);
        TakeQuitMessage();
    }

    HWND Make(CBitButton& b, int x, int y, int extra = 0) {
        Images im = MakeImages(extra);
        HWND w = b.Create(im.normal, im.hot, im.pressed, parent_, GetModuleHandleA(nullptr), x, y);
        b.actionWindow = sink_;
        b.actionMessage = kAction;
        b.actionWParam = 11;
        b.actionLParam = 22;
        return w;
    }

    void Repaint(HWND w) {
        InvalidateRect(w, nullptr, FALSE);
        UpdateWindow(w);
    }

    HWND parent_ = nullptr;
    HWND sink_ = nullptr;
};

TEST_F(BitButtonTest, CreateMakesAVisibleChildOfTheNormalImagesSize) {
    CBitButton b;
    HWND w = Make(b, 30, 20, 10);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(b.window, w);
    EXPECT_EQ(b.parentWindow, parent_);
    EXPECT_EQ(GetParent(w), parent_);
    char text[64] = {};
    GetClassNameA(w, text, sizeof text);
    EXPECT_STREQ(text, "CBITBUTTON");
    GetWindowTextA(w, text, sizeof text);
    EXPECT_STREQ(text, "CBITBUTTON");
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(w, GWL_STYLE)) & ~WS_VISIBLE, static_cast<DWORD>(WS_CHILD));
    EXPECT_TRUE(IsWindowVisible(w));
    RECT r = WindowRect(w);
    EXPECT_EQ(r.left, kParentX + 30);
    EXPECT_EQ(r.top, kParentY + 20);
    EXPECT_EQ(r.right - r.left, kButtonW);
    EXPECT_EQ(r.bottom - r.top, kButtonH);
    EXPECT_EQ(GetPropA(w, "BUTPROR"), &b);
    EXPECT_EQ(b.placement[0], 0);
    EXPECT_EQ(b.placement[1], 0);
    EXPECT_EQ(b.placement[2], 30);
    EXPECT_EQ(b.placement[3], 20);
    PumpMessages(30, 500);
    EXPECT_TRUE(ScreenIs(r, kNormal));
    // A y of 0 alone is an ordinary position.
    CBitButton top;
    EXPECT_NE(Make(top, 80, 0), nullptr);
}

TEST_F(BitButtonTest, MissingImageOrOriginMakesNoWindowAndImagesAreStillDeleted) {
    PumpMessages(10, 100);
    const DWORD before = GdiObjectCount();
    HBITMAP kept[6];
    {
        CBitButton atOrigin, noHot;
        Images a = MakeImages();
        EXPECT_EQ(atOrigin.Create(a.normal, a.hot, a.pressed, parent_, GetModuleHandleA(nullptr), 0, 0), nullptr);
        EXPECT_EQ(atOrigin.window, nullptr);
        Images b = MakeImages();
        DeleteObject(b.hot);
        EXPECT_EQ(noHot.Create(b.normal, nullptr, b.pressed, parent_, GetModuleHandleA(nullptr), 5, 5), nullptr);
        EXPECT_EQ(noHot.window, nullptr);
        EXPECT_EQ(noHot.parentWindow, parent_);
        EXPECT_EQ(noHot.normalImage, b.normal) << "kept even when nothing is made";
        kept[0] = a.normal, kept[1] = a.hot, kept[2] = a.pressed;
        kept[3] = b.normal, kept[4] = b.pressed, kept[5] = nullptr;
        EXPECT_EQ(FindWindowExA(parent_, nullptr, "CBITBUTTON", nullptr), nullptr);
    }
    for (HBITMAP h : kept) {
        if (h) {
            EXPECT_EQ(GetObjectType(h), 0u);
        }
    }
    EXPECT_EQ(GdiObjectCount(), before);
}

TEST_F(BitButtonTest, RealMouseShowsHotPressedAndNormalAndFiresOnce) {
    CBitButton b;
    HWND w = Make(b, 50, 40);
    ASSERT_NE(w, nullptr);
    PumpMessages(30, 500);
    const RECT r = WindowRect(w);
    const int cx = r.left + 10, cy = r.top + 10;

    MouseMoveTo(cx, cy);
    ASSERT_TRUE(PumpUntil([] { return g_buttonState == 1; }));
    PumpMessages(30, 500);
    EXPECT_TRUE(ScreenIs(r, kHot));

    MouseLeftDown();
    ASSERT_TRUE(PumpUntil([] { return g_buttonState == 2; }));
    PumpMessages(30, 500);
    EXPECT_TRUE(ScreenIs(r, kPressed));
    EXPECT_EQ(g_actions.count, 0);

    MouseLeftUp();
    ASSERT_TRUE(PumpUntil([] { return g_actions.count > 0; }));
    PumpMessages(30, 500);
    EXPECT_EQ(g_actions.count, 1);
    EXPECT_EQ(g_actions.wParam, 11u);
    EXPECT_EQ(g_actions.lParam, 22);
    EXPECT_EQ(g_actions.stateWhenSent, 0);
    EXPECT_FALSE(b.clickPending);
    EXPECT_TRUE(ScreenIs(r, kNormal)) << "looks released";

    // Moving again makes it hot; leaving makes it normal.
    MouseMoveTo(cx + 5, cy + 5);
    ASSERT_TRUE(PumpUntil([] { return g_buttonState == 1; }));
    MouseMoveTo(r.right + 40, r.bottom + 40);
    ASSERT_TRUE(PumpUntil([] { return g_buttonState == 0; }));
    PumpMessages(30, 500);
    EXPECT_TRUE(ScreenIs(r, kNormal));
    EXPECT_EQ(g_actions.count, 1);
}

TEST_F(BitButtonTest, MovingInWithTheLeftButtonHeldDoesNotMakeItHot) {
    CBitButton b;
    HWND w = Make(b, 50, 40);
    PumpMessages(30, 500);
    const RECT r = WindowRect(w);
    // Press on the parent, then slide onto the button.
    MouseMoveTo(r.left - 20, r.top + 10);
    MouseLeftDown();
    PumpMessages(30, 500);
    MouseMoveTo(r.left + 10, r.top + 10);
    MouseMoveTo(r.left + 12, r.top + 12);
    PumpMessages(50, 500);
    EXPECT_EQ(g_buttonState, 0);
    EXPECT_TRUE(ScreenIs(r, kNormal));
    MouseLeftUp();
    PumpMessages(50, 500);
    EXPECT_EQ(g_actions.count, 0) << "state was normal at the button-up";

    // With shift also held wParam is not exactly MK_LBUTTON: it turns hot,
    // and a button-up fires even without a button-down on it.
    SendMessageA(w, WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, MAKELPARAM(5, 5));
    EXPECT_EQ(g_buttonState, 1);
    SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(b.clickPending);
    UpdateWindow(w);
    EXPECT_EQ(g_actions.count, 1);
}

TEST_F(BitButtonTest, ActionWaitsForTheNextPaintAndTwoClicksFireOnce) {
    CBitButton b;
    HWND w = Make(b, 50, 40);
    PumpMessages(30, 500);
    SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_EQ(g_buttonState, 2);
    SendMessageA(w, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(g_buttonState, 0);
    EXPECT_TRUE(b.clickPending);
    EXPECT_EQ(g_actions.count, 0) << "a button-up draws and sends nothing by itself";
    SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageA(w, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(g_actions.count, 0);
    UpdateWindow(w);
    EXPECT_EQ(g_actions.count, 1);
    EXPECT_FALSE(b.clickPending);
    Repaint(w);
    EXPECT_EQ(g_actions.count, 1) << "a later paint sends nothing";

    // A button-up in the normal state is no click.
    SendMessageA(w, WM_LBUTTONUP, 0, 0);
    EXPECT_FALSE(b.clickPending);
}

TEST_F(BitButtonTest, HiddenButtonHoldsTheActionBackUntilItPaints) {
    CBitButton b;
    HWND w = Make(b, 50, 40);
    PumpMessages(30, 500);
    ShowWindow(w, SW_HIDE);
    SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageA(w, WM_LBUTTONUP, 0, 0);
    PumpMessages(50, 500);
    EXPECT_EQ(g_actions.count, 0);
    ShowWindow(w, SW_SHOWNA);
    PumpMessages(50, 500);
    EXPECT_EQ(g_actions.count, 1);
}

TEST_F(BitButtonTest, TheStateIsSharedByEveryButton) {
    CBitButton a, b;
    HWND wa = Make(a, 20, 20);
    HWND wb = Make(b, 150, 20, 10);
    PumpMessages(30, 500);
    const RECT ra = WindowRect(wa), rb = WindowRect(wb);
    MouseMoveTo(ra.left + 5, ra.top + 5);
    ASSERT_TRUE(PumpUntil([] { return g_buttonState == 1; }));
    Repaint(wb);
    PumpMessages(30, 500);
    EXPECT_TRUE(ScreenIs(ra, kHot));
    EXPECT_TRUE(ScreenIs(rb, kHot)) << "the other button draws the hot image too";
    // The larger hot image is clipped to the button.
    EXPECT_TRUE(ScreenIs(RECT{rb.right, rb.top, rb.right + 5, rb.bottom}, kParent));
    EXPECT_TRUE(ScreenIs(RECT{rb.left, rb.bottom, rb.right, rb.bottom + 5}, kParent));

    SendMessageA(wb, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    Repaint(wa);
    PumpMessages(30, 500);
    EXPECT_TRUE(ScreenIs(ra, kPressed));
    MouseMoveTo(800, 650);
    PumpMessages(50, 500);
}

TEST_F(BitButtonTest, EraseBackgroundIsRefusedAndDestroyPostsQuit) {
    CBitButton b;
    HWND w = Make(b, 50, 40);
    PumpMessages(30, 500);
    {
        WindowDC dc(w);
        EXPECT_EQ(SendMessageA(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc.get()), 0), 0);
    }
    PumpMessages(30, 300);
    EXPECT_TRUE(ScreenIs(WindowRect(w), kNormal)) << "nothing erased";
    TakeQuitMessage();
    DestroyWindow(w);
    EXPECT_TRUE(TakeQuitMessage());
    EXPECT_FALSE(IsWindow(w));
}

TEST_F(BitButtonTest, WindowWithoutItsButtonPostsQuitAndIgnoresClicks) {
    CBitButton b;
    ASSERT_NE(Make(b, 50, 40), nullptr);  // registers the class
    TakeQuitMessage();
    HWND orphan = CreateWindowExA(0, "CBITBUTTON", "", WS_CHILD | WS_VISIBLE, 120, 40, 20, 20, parent_, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(orphan, nullptr);
    EXPECT_TRUE(TakeQuitMessage()) << "no button at creation";
    g_buttonState = 2;
    SendMessageA(orphan, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(g_buttonState, 2) << "a button-up needs the button";
    Repaint(orphan);
    EXPECT_EQ(g_actions.count, 0);
    DestroyWindow(orphan);
    EXPECT_TRUE(TakeQuitMessage());
}

TEST_F(BitButtonTest, AnActionThatPaintsAgainIsSentOnce) {
    CBitButton b;
    HWND w = Make(b, 50, 40);
    PumpMessages(30, 500);
    int nested = 0;
    g_actions.onAction = [&] {
        // The button's update region is not yet validated here.
        if (++nested > 3) return;
        UpdateWindow(w);
        PumpMessages(10, 200);
    };
    SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageA(w, WM_LBUTTONUP, 0, 0);
    UpdateWindow(w);
    PumpMessages(30, 300);
    EXPECT_EQ(g_actions.count, 1);
}

TEST_F(BitButtonTest, AnActionThatDestroysTheParentIsSafe) {
    CBitButton b;
    HWND w = Make(b, 50, 40);
    PumpMessages(30, 500);
    HWND parent = parent_;
    g_actions.onAction = [parent] { DestroyWindow(parent); };
    SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageA(w, WM_LBUTTONUP, 0, 0);
    PumpMessages(30, 500);
    EXPECT_EQ(g_actions.count, 1);
    EXPECT_FALSE(IsWindow(w));
}

TEST_F(BitButtonTest, ManyButtonsAndPaintsLeaveNoGdiObjectsBehind) {
    auto cycle = [this](int i) {
        CBitButton b;
        HWND w = Make(b, 10 + i % 50, 10 + i % 30, i % 3);
        for (int state = 0; state < 3; ++state) {
            g_buttonState = state;
            Repaint(w);
        }
        SendMessageA(w, WM_LBUTTONUP, 0, 0);
        Repaint(w);
        if (i % 2) DestroyWindow(w);
        // else the button object goes first and its window later
        g_buttonState = 0;
        return w;
    };
    DestroyWindow(cycle(0));
    PumpMessages(20, 300);
    const DWORD before = GdiObjectCount();
    for (int i = 1; i <= 200; ++i) {
        HWND left = cycle(i);
        if (IsWindow(left)) DestroyWindow(left);
    }
    PumpMessages(20, 300);
    TakeQuitMessage();
    EXPECT_EQ(GdiObjectCount(), before);
    EXPECT_EQ(g_actions.count, 201);

    // A painted button's images are free again: each can be selected into
    // another context.
    CBitButton b;
    HWND w = Make(b, 50, 40);
    for (int state = 0; state < 3; ++state) {
        g_buttonState = state;
        Repaint(w);
    }
    g_buttonState = 0;
    UniqueDC dc(CreateCompatibleDC(nullptr));
    for (HBITMAP image : {b.normalImage, b.hotImage, b.pressedImage}) {
        HGDIOBJ old = SelectObject(dc.get(), image);
        EXPECT_TRUE(old != nullptr && old != HGDI_ERROR);
        SelectObject(dc.get(), old);
    }
}
