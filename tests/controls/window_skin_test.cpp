#include "controls/window_skin.h"

#include "common/handles.h"
#include "support/screen.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

BITMAP SizeOf(HBITMAP bitmap) {
    BITMAP bm{};
    GetObjectA(bitmap, sizeof bm, &bm);
    return bm;
}

// The fast build, run as the skin runs it: over a memory context holding
// the bitmap. A null `read` bitmap makes it read pixel by pixel.
HRGN FastRegion(HBITMAP bitmap, bool bulk = true) {
    BITMAP bm = SizeOf(bitmap);
    UniqueDC dc(CreateCompatibleDC(nullptr));
    SelectScope select(dc.get(), bitmap);
    return BuildSkinRegion(dc.get(), bulk ? bitmap : nullptr, bm.bmWidth, bm.bmHeight);
}

void ExpectSameAsReference(HBITMAP bitmap, const std::string& what, bool bulk = true) {
    ASSERT_NE(bitmap, nullptr) << what;
    UniqueRegion fast(FastRegion(bitmap, bulk));
    UniqueRegion ref(PerPixelSkinRegion(bitmap));
    ASSERT_NE(fast.get(), nullptr) << what;
    EXPECT_TRUE(SameRegion(fast.get(), ref.get()))
        << what << "\n fast: " << DescribeRegion(fast.get()) << "\n  ref: " << DescribeRegion(ref.get());
}

// Pictures as colour functions of (x, y).
struct Pattern {
    const char* name;
    int width, height;
    ColourAt colour;
};

const COLORREF kKey = RGB(255, 0, 255);

std::vector<Pattern> Patterns() {
    return {
        {"single colour", 17, 9, [](int, int) { return RGB(10, 20, 30); }},
        {"1x1", 1, 1, [](int, int) { return RGB(1, 2, 3); }},
        {"key only at origin", 6, 5, [](int x, int y) { return x == 0 && y == 0 ? kKey : RGB(0, 128, 0); }},
        {"holes inside", 23, 19,
         [](int x, int y) {
             if (x == 0 || y == 0 || x == 22 || y == 18) return kKey;
             if ((x >= 5 && x < 9 && y >= 4 && y < 7) || (x == 15 && y == 12)) return kKey;
             return RGB(200, 100, 50);
         }},
        {"checkerboard", 31, 13, [](int x, int y) { return (x + y) % 2 ? RGB(0, 0, 255) : kKey; }},
        {"vertical stripes", 13, 7, [](int x, int) { return x % 3 == 0 ? kKey : RGB(255, 255, 0); }},
        {"horizontal stripes", 7, 11, [](int, int y) { return y % 2 ? RGB(0, 255, 255) : kKey; }},
        {"width 5 diagonal", 5, 9, [](int x, int y) { return x == y % 5 ? kKey : RGB(30, 60, 90); }},
        {"width 3 many colours", 3, 8,
         [](int x, int y) { return (x * 7 + y * 3) % 4 == 0 ? kKey : RGB(40 * x, 20 * y, 90); }},
        {"ellipse with frame", 41, 27,
         [](int x, int y) {
             const int dx = x - 20, dy = y - 13;
             if (dx * dx * 27 * 27 + dy * dy * 41 * 41 > 20 * 20 * 27 * 27) return kKey;
             return (x + y) % 5 ? RGB(20, 200, 20) : RGB(255, 255, 255);
         }},
        {"key colour only at right and bottom edges", 9, 6,
         [](int x, int y) { return (x == 0 && y == 0) || x == 8 || y == 5 ? kKey : RGB(0, 0, 0); }},
    };
}

long long NonKeyCount(const Pattern& p) {
    const COLORREF key = p.colour(0, 0);
    long long n = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) n += p.colour(x, y) != key;
    return n;
}

}  // namespace

TEST(SkinRegion, MatchesPerPixelReferenceAtEveryDepthAndOrientation) {
    const int depths[] = {32, 24, 16, 8, 4};
    for (const Pattern& p : Patterns()) {
        // The reference itself, against a plain count of the pixels whose
        // colour differs from the top-left one.
        UniqueBitmap plain(MakeDib(p.width, p.height, 24, p.colour));
        UniqueRegion ref(PerPixelSkinRegion(plain.get()));
        EXPECT_EQ(RegionArea(ref.get()), NonKeyCount(p)) << p.name;
        for (int depth : depths) {
            for (bool topDown : {true, false}) {
                UniqueBitmap bmp(MakeDib(p.width, p.height, depth, p.colour, topDown));
                if (!bmp && depth == 4) continue;  // more than 16 colours
                ExpectSameAsReference(bmp.get(), std::string(p.name) + " at " + std::to_string(depth) +
                                                     (topDown ? " bits, top-down" : " bits, bottom-up"));
            }
        }
        UniqueBitmap ddb(MakeDeviceBitmap(p.width, p.height, p.colour));
        ExpectSameAsReference(ddb.get(), std::string(p.name) + " as a device-dependent bitmap");
    }
}

TEST(SkinRegion, ComparesColoursAsGetPixelSeesThem) {
    // A colour table with two entries of the same colour: both are the key.
    std::vector<RGBQUAD> table = {{255, 0, 255, 0}, {0, 0, 200, 0}, {255, 0, 255, 0}, {0, 200, 0, 0}};
    auto index = [](int x, int y) -> uint32_t { return static_cast<uint32_t>((x * 3 + y) % 4); };
    for (int depth : {8, 4}) {
        UniqueBitmap bmp(MakeRawDib(11, 7, depth, table, index));
        ExpectSameAsReference(bmp.get(), "duplicate palette entries at " + std::to_string(depth) + " bits");
        UniqueRegion fast(FastRegion(bmp.get()));
        long long odd = 0;
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 11; ++x) odd += index(x, y) % 2;
        EXPECT_EQ(RegionArea(fast.get()), odd) << "indexes 0 and 2 are both cut";
    }
    std::vector<RGBQUAD> mono = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    UniqueBitmap one(MakeRawDib(19, 5, 1, mono, [](int x, int y) -> uint32_t { return (x / 3 + y) % 2; }));
    ExpectSameAsReference(one.get(), "1-bit picture");

    // 32-bit pixels that differ only in the unused top byte are one colour.
    UniqueBitmap top(MakeRawDib(9, 6, 32, {}, [](int x, int y) -> uint32_t {
        const uint32_t rgb = (x + y) % 3 ? 0x00112233u : 0x00445566u;
        return rgb | static_cast<uint32_t>((x * 37 + y * 11) & 0xFF) << 24;
    }));
    ExpectSameAsReference(top.get(), "32-bit with noise in the top byte");

    // 16-bit words one step apart in each channel stay distinct.
    UniqueBitmap close(MakeRawDib(12, 4, 16, {}, [](int x, int y) -> uint32_t {
        static const uint32_t words[] = {0x7C1F, 0x7C1E, 0x7C3F, 0x781F, 0x7C1F};
        return words[(x + 2 * y) % 5];
    }));
    ExpectSameAsReference(close.get(), "16-bit neighbouring colours");
}

TEST(SkinRegion, ReadsPixelByPixelWhenTheBitmapCannotBeReadInBulk) {
    for (int depth : {32, 16, 8}) {
        for (const Pattern& p : Patterns()) {
            UniqueBitmap bmp(MakeDib(p.width, p.height, depth, p.colour));
            ExpectSameAsReference(bmp.get(), std::string(p.name) + " read by GetPixel", false);
        }
    }
}

TEST(SkinRegion, ZeroSizeGivesAnEmptyRegionWithoutReading) {
    // No context and no bitmap to read from: any pixel read would fail.
    for (auto size : {std::pair<int, int>{0, 10}, {10, 0}, {0, 0}}) {
        UniqueRegion r(BuildSkinRegion(nullptr, nullptr, size.first, size.second));
        ASSERT_NE(r.get(), nullptr);
        RECT box{};
        EXPECT_EQ(GetRgnBox(r.get(), &box), NULLREGION);
    }
}

TEST(SkinRegion, SideLimitIs65535Pixels) {
    auto colour = [](int x, int y) { return x % 1000 == 0 && y == 0 ? kKey : (x % 7 ? RGB(9, 9, 9) : kKey); };
    UniqueBitmap widest(MakeDib(65535, 2, 24, colour));
    ExpectSameAsReference(widest.get(), "65535 wide");

    UniqueBitmap tooWide(MakeDib(65536, 1, 24, colour));
    ASSERT_NE(tooWide.get(), nullptr);
    UniqueRegion none(FastRegion(tooWide.get()));
    EXPECT_EQ(none.get(), nullptr);
}

TEST(SkinRegion, LargeBitmapsReadInStripsAndMergedInBatches) {
    // 700 x 300 needs several strips; a checkerboard of 400 x 200 makes far
    // more rectangles than one batch holds. Checked pixel by pixel, as the
    // per-pixel reference would take too long here.
    struct Case {
        int width, height;
        ColourAt colour;
    } cases[] = {
        {700, 300,
         [](int x, int y) {
             const int dx = x - 350, dy = y - 150;
             if (dx * dx / 9 + dy * dy > 140 * 140) return kKey;
             return (x / 13 + y / 7) % 9 == 0 ? kKey : RGB(x % 256, y % 256, 77);
         }},
        {400, 200, [](int x, int y) { return (x + y) % 2 ? RGB(0, 0, 255) : kKey; }},
    };
    for (const Case& c : cases) {
        UniqueBitmap bmp(MakeDib(c.width, c.height, 32, c.colour, false));
        UniqueRegion fast(FastRegion(bmp.get()));
        ASSERT_NE(fast.get(), nullptr);
        const COLORREF key = c.colour(0, 0);
        long long expectedArea = 0;
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                const bool inside = c.colour(x, y) != key;
                expectedArea += inside;
                ASSERT_EQ(PtInRegion(fast.get(), x, y) != FALSE, inside) << c.width << " wide, at " << x << "," << y;
            }
        }
        EXPECT_EQ(RegionArea(fast.get()), expectedArea);
    }
}

// ---------------------------------------------------------------------------
// The skin on real windows.

namespace {

const char kTargetClass[] = "KorvaneSkinTarget";

struct TargetLog {
    HWND focusOnActivate = nullptr;  // a child that takes the focus on activation
    int lbuttonDowns = 0;
    int paints = 0;
    UINT lastMessage = 0;
    WPARAM lastWParam = 0;
    LPARAM lastLParam = 0;
};
TargetLog g_log;

// The window's own procedure, which the skin passes every message on to.
LRESULT CALLBACK TargetWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_LBUTTONDOWN) ++g_log.lbuttonDowns;
    if (msg == WM_PAINT) ++g_log.paints;
    if (msg == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE && g_log.focusOnActivate) {
        SetFocus(g_log.focusOnActivate);
        return 0;
    }
    if (msg >= WM_USER) {
        g_log.lastMessage = msg;
        g_log.lastWParam = wParam;
        g_log.lastLParam = lParam;
        return 0x5A5A;
    }
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

HWND MakeTarget(int x, int y, int width, int height) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = TargetWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kTargetClass;
    RegisterClassA(&wc);
    return CreateWindowExA(0, kTargetClass, "skin target", WS_POPUP, x, y, width, height, nullptr, nullptr,
                           instance, nullptr);
}

// A skin picture: an ellipse on the key colour, a square hole, and inside
// a few colour bands.
const int kSkinW = 160, kSkinH = 120;
COLORREF SkinColour(int x, int y) {
    const int dx = x - kSkinW / 2, dy = y - kSkinH / 2;
    if (dx * dx * kSkinH * kSkinH + dy * dy * kSkinW * kSkinW > (kSkinW / 2) * (kSkinW / 2) * kSkinH * kSkinH)
        return kKey;
    if (x >= 70 && x < 90 && y >= 50 && y < 70) return kKey;
    return x < 60 ? RGB(200, 30, 30) : (y < 40 ? RGB(30, 30, 200) : RGB(250, 250, 250));
}

struct WindowGuard {
    HWND wnd;
    ~WindowGuard() {
        if (IsWindow(wnd)) DestroyWindow(wnd);
    }
};

// Runs xdotool, which sends real X input from outside the process, and
// pumps until done() holds. Wine hands back no waitable handle for a Unix
// process, so completion is judged by its effect.
void RunXdotool(const std::string& args, const std::function<bool()>& done, DWORD timeoutMs) {
    std::string cmd = "/usr/bin/xdotool " + args;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        << "xdotool could not be started";
    if (pi.hThread) CloseHandle(pi.hThread);
    if (pi.hProcess) CloseHandle(pi.hProcess);
    // The drag holds this thread inside the window system's move loop, which
    // pumps what it needs; after it, keep pumping until the input is done.
    PumpUntil(done, timeoutMs);
    PumpMessages(50, 500);
}

}  // namespace

class WindowSkinTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_log = TargetLog{};
        PumpMessages(10, 200);
    }
};

TEST_F(WindowSkinTest, NullBitmapThrowsTheSkinErrorBeforeTouchingTheWindow) {
    WindowGuard w{MakeTarget(10, 10, 50, 50)};
    const LONG_PTR proc = GetWindowLongPtrA(w.wnd, GWLP_WNDPROC);
    const char* thrown = nullptr;
    try {
        CWindowSkin skin(nullptr, w.wnd);
        ADD_FAILURE() << "no exception";
    } catch (const char* e) {
        thrown = e;
    }
    ASSERT_NE(thrown, nullptr);
    EXPECT_STREQ(thrown, "Unable to load the skin.");
    EXPECT_EQ(thrown, kSkinError);
    EXPECT_EQ(GetWindowLongPtrA(w.wnd, GWLP_WNDPROC), proc);
    EXPECT_EQ(GetPropA(w.wnd, "Skin"), nullptr);
    UniqueRegion r(CopyWindowRegion(w.wnd));
    EXPECT_EQ(r.get(), nullptr);

    // Also catchable as an untyped pointer.
    bool caught = false;
    try {
        CWindowSkin skin(nullptr, w.wnd);
    } catch (const void* e) {
        caught = e == kSkinError;
    }
    EXPECT_TRUE(caught);
}

TEST_F(WindowSkinTest, UnusableBitmapThrowsAndIsDisposedOf) {
    WindowGuard w{MakeTarget(10, 10, 50, 50)};
    // Not a bitmap at all.
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_THROW(CWindowSkin(reinterpret_cast<HBITMAP>(brush), w.wnd), const char*);
    EXPECT_EQ(GetObjectType(brush), 0u) << "the skin owns what it was given";
    // Wider than the skin format allows.
    HBITMAP wide = MakeSolidDib(65536, 1, RGB(0, 0, 0), 24);
    ASSERT_NE(wide, nullptr);
    EXPECT_THROW(CWindowSkin(wide, w.wnd), const char*);
    EXPECT_EQ(GetObjectType(wide), 0u);
    EXPECT_EQ(GetPropA(w.wnd, "Skin"), nullptr);
}

TEST_F(WindowSkinTest, AttachShapesSubclassesAndDestructorRestores) {
    WindowGuard w{MakeTarget(40, 40, kSkinW, kSkinH)};
    const LONG_PTR original = GetWindowLongPtrA(w.wnd, GWLP_WNDPROC);
    HBITMAP bmp = MakeDib(kSkinW, kSkinH, 24, SkinColour);
    UniqueRegion ref(PerPixelSkinRegion(bmp));
    {
        CWindowSkin skin(bmp, w.wnd);
        EXPECT_TRUE(skin.attached);
        EXPECT_TRUE(skin.shown);
        EXPECT_EQ(skin.window, w.wnd);
        EXPECT_EQ(skin.width, kSkinW);
        EXPECT_EQ(skin.height, kSkinH);
        EXPECT_EQ(skin.region, nullptr) << "the window system owns the region now";
        EXPECT_EQ(reinterpret_cast<LONG_PTR>(skin.previousProc), original);
        EXPECT_EQ(GetWindowLongPtrA(w.wnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(SkinWndProc));
        EXPECT_EQ(GetPropA(w.wnd, "Skin"), &skin);
        EXPECT_EQ(GetCurrentObject(skin.memoryDC, OBJ_BITMAP), bmp) << "stays selected for painting";
        UniqueRegion r(CopyWindowRegion(w.wnd));
        ASSERT_NE(r.get(), nullptr);
        EXPECT_TRUE(SameRegion(r.get(), ref.get())) << DescribeRegion(r.get());

        // Messages reach the window's own procedure unchanged, and its
        // result comes back.
        EXPECT_EQ(SendMessageA(w.wnd, WM_USER + 7, 0x1234, 0x5678), 0x5A5A);
        EXPECT_EQ(g_log.lastMessage, WM_USER + 7u);
        EXPECT_EQ(g_log.lastWParam, 0x1234u);
        EXPECT_EQ(g_log.lastLParam, 0x5678);
    }
    EXPECT_EQ(GetWindowLongPtrA(w.wnd, GWLP_WNDPROC), original);
    EXPECT_EQ(GetPropA(w.wnd, "Skin"), nullptr);
    UniqueRegion after(CopyWindowRegion(w.wnd));
    EXPECT_EQ(after.get(), nullptr) << "full rectangle again";
    EXPECT_EQ(GetObjectType(bmp), 0u) << "bitmap deleted with the skin";
}

TEST_F(WindowSkinTest, DetachAndAttachAgainRebuildsTheRegion) {
    WindowGuard a{MakeTarget(40, 40, kSkinW, kSkinH)};
    WindowGuard b{MakeTarget(240, 40, kSkinW, kSkinH)};
    HBITMAP bmp = MakeDib(kSkinW, kSkinH, 16, SkinColour);
    UniqueRegion ref(PerPixelSkinRegion(bmp));
    CWindowSkin skin(bmp, a.wnd);
    ASSERT_TRUE(skin.attached);

    EXPECT_TRUE(skin.Detach());
    EXPECT_FALSE(skin.attached);
    EXPECT_FALSE(skin.Detach()) << "nothing to take off";
    UniqueRegion none(CopyWindowRegion(a.wnd));
    EXPECT_EQ(none.get(), nullptr);
    EXPECT_EQ(GetPropA(a.wnd, "Skin"), nullptr);

    ASSERT_TRUE(skin.Attach(a.wnd));
    UniqueRegion again(CopyWindowRegion(a.wnd));
    ASSERT_NE(again.get(), nullptr);
    EXPECT_TRUE(SameRegion(again.get(), ref.get()));

    // Attaching elsewhere takes the skin off the first window.
    ASSERT_TRUE(skin.Attach(b.wnd));
    EXPECT_EQ(GetPropA(a.wnd, "Skin"), nullptr);
    EXPECT_NE(GetWindowLongPtrA(a.wnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(SkinWndProc));
    UniqueRegion aNone(CopyWindowRegion(a.wnd));
    EXPECT_EQ(aNone.get(), nullptr);
    UniqueRegion onB(CopyWindowRegion(b.wnd));
    ASSERT_NE(onB.get(), nullptr);
    EXPECT_TRUE(SameRegion(onB.get(), ref.get()));
    EXPECT_EQ(GetPropA(b.wnd, "Skin"), &skin);
}

TEST_F(WindowSkinTest, FailedAttachIsNoFailureOfConstruction) {
    HWND gone = MakeTarget(10, 10, 20, 20);
    DestroyWindow(gone);
    PumpMessages(10, 200);
    HBITMAP bmp = MakeDib(kSkinW, kSkinH, 32, SkinColour);
    auto* skin = new CWindowSkin(bmp, gone);
    EXPECT_FALSE(skin->attached);
    EXPECT_FALSE(skin->shown);
    EXPECT_NE(skin->region, nullptr) << "never given away, still the skin's";
    EXPECT_NE(skin->memoryDC, nullptr);
    delete skin;
    EXPECT_EQ(GetObjectType(bmp), 0u);
}

TEST_F(WindowSkinTest, DestructorAfterTheWindowIsGone) {
    HWND wnd = MakeTarget(10, 10, kSkinW, kSkinH);
    HBITMAP bmp = MakeDib(kSkinW, kSkinH, 24, SkinColour);
    auto* skin = new CWindowSkin(bmp, wnd);
    ASSERT_TRUE(skin->attached);
    ShowWindow(wnd, SW_SHOWNA);
    PumpMessages(20, 500);
    DestroyWindow(wnd);
    PumpMessages(10, 200);
    delete skin;  // every window call fails; the releases still happen
    EXPECT_EQ(GetObjectType(bmp), 0u);
}

TEST_F(WindowSkinTest, WithoutThePropertyMessagesGoToTheDefaultProcedure) {
    WindowGuard w{MakeTarget(10, 10, 50, 50)};
    g_log.lastMessage = 0;
    EXPECT_EQ(SkinWndProc(w.wnd, WM_USER + 9, 1, 2), 0);
    EXPECT_EQ(g_log.lastMessage, 0u) << "the window's own procedure was not called";
    char title[64] = {};
    SkinWndProc(w.wnd, WM_GETTEXT, sizeof title, reinterpret_cast<LPARAM>(title));
    EXPECT_STREQ(title, "skin target");
}

TEST_F(WindowSkinTest, ScreenShowsTheSkinAndHolesShowWhatIsBehind) {
    const int left = 300, top = 200;
    const COLORREF behind = RGB(0, 160, 0);
    WindowGuard back{MakeSolidWindow(RECT{left - 20, top - 20, left + kSkinW + 20, top + kSkinH + 20}, behind)};
    WindowGuard w{MakeTarget(left, top, kSkinW, kSkinH)};
    HBITMAP bmp = MakeDib(kSkinW, kSkinH, 24, SkinColour);
    UniqueRegion ref(PerPixelSkinRegion(bmp));
    CWindowSkin skin(bmp, w.wnd);
    ShowWindow(w.wnd, SW_SHOWNA);
    UpdateWindow(w.wnd);
    PumpMessages(100, 2000);

    Pixels shot = CaptureScreen(RECT{left, top, left + kSkinW, top + kSkinH});
    ASSERT_EQ(shot.width, kSkinW);
    int wrong = 0;
    std::string first;
    for (int y = 0; y < kSkinH; ++y) {
        for (int x = 0; x < kSkinW; ++x) {
            const COLORREF want = PtInRegion(ref.get(), x, y) ? SkinColour(x, y) : behind;
            if (shot.at(x, y) != want && wrong++ == 0)
                first = std::to_string(x) + "," + std::to_string(y) + ": " + std::to_string(shot.at(x, y));
        }
    }
    EXPECT_EQ(wrong, 0) << "first wrong pixel " << first;

    // Clicks in a hole or outside the outline reach the window behind.
    EXPECT_EQ(WindowFromPoint(POINT{left + 80, top + 60}), back.wnd);
    EXPECT_EQ(WindowFromPoint(POINT{left + 1, top + 1}), back.wnd);
    EXPECT_EQ(WindowFromPoint(POINT{left + 30, top + 60}), w.wnd);

    // A repaint of a small part puts the picture back there.
    {
        WindowDC dc(w.wnd);
        UniqueBrush junk(CreateSolidBrush(RGB(1, 1, 1)));
        RECT all{0, 0, kSkinW, kSkinH};
        FillRect(dc.get(), &all, junk.get());
    }
    RECT part{20, 50, 50, 80};
    InvalidateRect(w.wnd, &part, FALSE);
    UpdateWindow(w.wnd);
    PumpMessages(50, 1000);
    Pixels after = CaptureScreen(RECT{left + part.left, top + part.top, left + part.right, top + part.bottom});
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_EQ(after.at(x, y), SkinColour(part.left + x, part.top + y)) << x << "," << y;
}

TEST_F(WindowSkinTest, DragMovesTheWindowAndGivesItTheFocus) {
    const int left = 200, top = 150;
    WindowGuard w{MakeTarget(left, top, kSkinW, kSkinH)};
    CWindowSkin skin(MakeDib(kSkinW, kSkinH, 24, SkinColour), w.wnd);
    ShowWindow(w.wnd, SW_SHOW);
    UpdateWindow(w.wnd);
    PumpMessages(100, 2000);
    // The window hands the focus to a child when it is activated, as the
    // shell's window does with its browser; after a drag the window itself
    // has it. Before the drag something else has the focus.
    HWND child = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 70, 5, 20, 10, w.wnd, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(child, nullptr);
    g_log.focusOnActivate = child;
    WindowGuard other{MakeTarget(600, 500, 50, 50)};
    ShowWindow(other.wnd, SW_SHOW);
    SetForegroundWindow(other.wnd);
    SetFocus(other.wnd);
    PumpMessages(50, 1000);
    ASSERT_NE(GetFocus(), w.wnd);

    // Real X input from outside the process: press on the red band, move in
    // steps, let go.
    const int x0 = left + 30, y0 = top + 60;
    RunXdotool("mousemove " + std::to_string(x0) + " " + std::to_string(y0) +
                   " sleep 0.3 mousedown 1 sleep 0.3 mousemove " + std::to_string(x0 + 20) + " " +
                   std::to_string(y0 + 10) + " sleep 0.2 mousemove " + std::to_string(x0 + 45) + " " +
                   std::to_string(y0 + 30) + " sleep 0.2 mousemove " + std::to_string(x0 + 60) + " " +
                   std::to_string(y0 + 40) + " sleep 0.3 mouseup 1",
               [&] {
                   POINT p{};
                   GetCursorPos(&p);
                   return p.x == x0 + 60 && p.y == y0 + 40 && g_log.lbuttonDowns > 0 &&
                          !(GetAsyncKeyState(VK_LBUTTON) & 0x8000);
               },
               10000);
    RECT r{};
    GetWindowRect(w.wnd, &r);
    EXPECT_EQ(r.left, left + 60);
    EXPECT_EQ(r.top, top + 40);
    EXPECT_EQ(g_log.lbuttonDowns, 1) << "the window's own procedure still gets the press";
    EXPECT_EQ(GetFocus(), w.wnd);
    g_log.focusOnActivate = nullptr;
}

TEST_F(WindowSkinTest, ManySkinsLeaveNoGdiObjectsBehind) {
    auto cycle = [](int i) {
        HWND wnd = MakeTarget(50 + i % 7, 50, kSkinW, kSkinH);
        HBITMAP bmp = i % 3 ? MakeDib(kSkinW, kSkinH, i % 2 ? 32 : 8, SkinColour)
                            : MakeDeviceBitmap(kSkinW, kSkinH, SkinColour);
        auto* skin = new CWindowSkin(bmp, wnd);
        ShowWindow(wnd, SW_SHOWNOACTIVATE);
        UpdateWindow(wnd);
        if (i % 4 == 0) {
            skin->Detach();
            skin->Attach(wnd);
        }
        if (i % 2) {
            DestroyWindow(wnd);
            delete skin;
        } else {
            delete skin;
            DestroyWindow(wnd);
        }
        try {
            CWindowSkin failing(nullptr, nullptr);
        } catch (const char*) {
        }
    };
    cycle(0);  // lazily made objects come into being here
    PumpMessages(20, 500);
    const DWORD before = GdiObjectCount();
    for (int i = 1; i <= 200; ++i) cycle(i);
    PumpMessages(20, 500);
    EXPECT_EQ(GdiObjectCount(), before);
}
