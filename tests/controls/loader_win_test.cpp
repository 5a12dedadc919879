#include "controls/loader_win.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "app/app.h"
#include "controls/info_win.h"
#include "remote/remote_params.h"
#include "support/screen.h"
#include "support/test_server.h"

namespace {

constexpr COLORREF kRed = RGB(220, 0, 0), kGreen = RGB(0, 200, 0), kGrey = RGB(200, 200, 200);
constexpr COLORREF kMagenta = RGB(255, 0, 255), kBlack = RGB(0, 0, 0);

int CountNear(const Pixels& p, const RECT& r, COLORREF c) {
    int count = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
            const COLORREF q = p.at(x, y);
            count += std::abs(GetRValue(q) - GetRValue(c)) < 50 &&
                     std::abs(GetGValue(q) - GetGValue(c)) < 50 &&
                     std::abs(GetBValue(q) - GetBValue(c)) < 50;
        }
    return count;
}

// The loader thread paints on its own schedule: poll the screen.
bool ScreenShows(HWND wnd, const std::function<bool(const Pixels&)>& check) {
    const DWORD start = GetTickCount();
    while (!check(CaptureWindow(wnd))) {
        if (GetTickCount() - start > 3000) return false;
        Sleep(30);
    }
    return true;
}

TEST(LoaderGeometry, PlacesTheLoaderAndItsProgressLine) {
    struct Case {
        int x, y, w, h, sw, sh;
        LoaderGeometry want;
    } cases[] = {
        {5, 7, 300, 200, 1024, 768, {5, 7, 300, 200, 30, 180, 240, 180}},
        {1, 1, 305, 199, 1024, 768, {1, 1, 305, 199, 30, 179, 245, 179}},
        {0, 0, 301, 201, 1024, 768, {362, 284, 301, 201, 30, 180, 241, 180}},
        {0, 0, 1001, 11, 800, 600, {-100, 295, 1001, 11, 100, 9, 801, 9}},
        {0, 50, 10, 10, 1024, 768, {0, 50, 10, 10, 1, 9, 8, 9}},  // one zero: no centring
        {1, 1, 300000000, 300000000, 9, 9, {1, 1, 300000000, 300000000, 30000000, 270000000,
                                            240000000, 270000000}},
    };
    for (const Case& c : cases) {
        const LoaderGeometry g = ComputeLoaderGeometry(c.x, c.y, c.w, c.h, c.sw, c.sh);
        EXPECT_EQ(std::memcmp(&g, &c.want, sizeof g), 0) << c.w << "x" << c.h << " at " << c.x
                                                         << "," << c.y << " -> " << g.x << ","
                                                         << g.y << " info " << g.infoX << ","
                                                         << g.infoY << " " << g.infoWidth;
    }
}

// CreateAndRun on a thread of its own, as the loader thread runs it.
struct DirectLoader {
    DirectLoader(HBITMAP image, int x, int y, const char* colour)
        : bitmap(image), x(x), y(y), colour(colour) {
        event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread = CreateThread(nullptr, 0, Run, this, 0, &threadId);
        signalled = WaitForSingleObject(event, 10000) == WAIT_OBJECT_0;
    }
    ~DirectLoader() {
        if (object->window) SendMessageA(object->window, WM_SYSCOMMAND, SC_CLOSE, 0);
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
        CloseHandle(event);
        delete object;  // its window is gone by now
        DeleteObject(bitmap);
    }
    static DWORD WINAPI Run(LPVOID self) {
        auto* me = static_cast<DirectLoader*>(self);
        CreateAndRun(me->object, me->bitmap, me->x, me->y, me->event, me->colour);
        return 0;
    }
    CLoaderWin* object = new CLoaderWin;
    HBITMAP bitmap;
    int x, y;
    const char* colour;
    HANDLE event, thread;
    DWORD threadId = 0;
    bool signalled;
};

TEST(LoaderWindow, IsATopMostPopupOfTheImageShowingItsPicture) {
    DirectLoader run(MakeDib(300, 200, 32, [](int x, int) { return x < 150 ? kRed : kGreen; }),
                     40, 30, "FF00FF");
    ASSERT_TRUE(run.signalled);
    HWND wnd = run.object->window;
    ASSERT_NE(wnd, nullptr);
    char text[64] = {};
    GetClassNameA(wnd, text, sizeof text);
    EXPECT_STREQ(text, "KorvaneLoader");
    GetWindowTextA(wnd, text, sizeof text);
    EXPECT_STREQ(text, "Korvane Loader");
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrA(wnd, GWL_STYLE));
    EXPECT_EQ(style & ~DWORD(WS_CLIPSIBLINGS), DWORD(WS_POPUP | WS_VISIBLE));
    EXPECT_TRUE(GetWindowLongPtrA(wnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(GetWindowThreadProcessId(wnd, nullptr), run.threadId);
    const RECT r = WindowRect(wnd);
    EXPECT_EQ(r.left, 40);
    EXPECT_EQ(r.top, 30);
    EXPECT_EQ(r.right, 340);
    EXPECT_EQ(r.bottom, 230);

    ASSERT_NE(run.object->infoObject, nullptr);
    EXPECT_EQ(run.object->infoWindow, run.object->infoObject->window);
    EXPECT_EQ(GetParent(run.object->infoWindow), wnd);
    EXPECT_STREQ(run.object->infoObject->text, "Loader Initialized");
    EXPECT_EQ(run.object->infoObject->areaInParent.left, 30);
    EXPECT_EQ(run.object->infoObject->areaInParent.top, 180);

    // The picture, and the first progress text in the strip below 90 percent.
    const RECT left{0, 0, 150, 180}, right{150, 0, 300, 180}, strip{30, 180, 270, 200};
    EXPECT_TRUE(ScreenShows(wnd, [&](const Pixels& p) {
        return CountNear(p, left, kRed) == 150 * 180 && CountNear(p, right, kGreen) == 150 * 180 &&
               CountNear(p, strip, kMagenta) > 20 &&
               CountNear(p, RECT{0, 180, 30, 200}, kMagenta) == 0;
    }));

    // A progress text from this thread is painted by the loader thread.
    run.object->infoObject->SetInfoText("%s", "W");
    EXPECT_TRUE(ScreenShows(wnd, [&](const Pixels& p) {
        return CountNear(p, RECT{60, 180, 270, 200}, kMagenta) == 0 &&
               CountNear(p, RECT{30, 180, 45, 200}, kMagenta) > 0;
    }));

    // Closed from another thread, the loader thread ends by itself.
    HWND infoWnd = run.object->infoWindow;
    SendMessageA(wnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindow(wnd) || IsWindow(infoWnd));
    ASSERT_EQ(WaitForSingleObject(run.thread, 10000), WAIT_OBJECT_0);
}

TEST(LoaderWindow, CentresAtZeroAndShowsEachLoadersOwnPicture) {
    {
        DirectLoader first(MakeSolidDib(120, 80, kRed), 10, 10, "");
        ASSERT_TRUE(first.signalled);
    }
    // The class outlives the first loader; the second must not show its picture.
    DirectLoader second(MakeSolidDib(301, 201, kGreen), 0, 0, "");
    ASSERT_TRUE(second.signalled);
    const RECT r = WindowRect(second.object->window);
    EXPECT_EQ(r.left, 362);
    EXPECT_EQ(r.top, 284);
    EXPECT_TRUE(ScreenShows(second.object->window, [](const Pixels& p) {
        return CountNear(p, RECT{0, 0, 301, 180}, kGreen) == 301 * 180;
    }));
}

// The loader thread as start-up runs it, fed by a document and the test server.
class LoaderThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        appState = static_cast<AppState*>(std::calloc(1, sizeof(AppState)));
        remoteParams = new CRemoteParams;
        loader = nullptr;
        DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &keeper, 0, FALSE,
                        DUPLICATE_SAME_ACCESS);
    }
    void TearDown() override {
        CloseHandle(keeper);
        if (loader && loader->window) SendMessageA(loader->window, WM_SYSCOMMAND, SC_CLOSE, 0);
        if (thread) WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
        delete loader;
        loader = nullptr;
        DeleteObject(appState->loaderBitmap);
        std::free(appState);
        appState = nullptr;
        delete remoteParams;
        remoteParams = nullptr;
    }

    // Prepares a document; with an image size, the server has a BMP of it.
    void Prepare(const std::string& params, int w = 0, int h = 0) {
        std::string doc = "<korvane>" + params;
        if (w) {
            server.route("/img/loader.bmp", BodyReply(BmpFile(w, h, 24, [](int, int) { return kGrey; })));
            doc += "<IMAGES_PATH>" + server.url("/img") +
                   "</IMAGES_PATH><APP_LOADER_IMAGE>loader.bmp</APP_LOADER_IMAGE>";
        }
        doc += "</korvane>";
        char* body = static_cast<char*>(std::malloc(doc.size() + 1));
        std::memcpy(body, doc.c_str(), doc.size() + 1);
        ASSERT_TRUE(remoteParams->PrepareDocument(body, std::uint32_t(doc.size()), "http://x/"));
    }

    // Starts the thread as start-up does; waits for the signal unless suspended.
    bool Start(DWORD flags = 0) {
        thread = CreateThread(nullptr, 0, LoaderThreadProc, &event, flags, &threadId);
        return thread && (flags || WaitForSingleObject(event, 10000) == WAIT_OBJECT_0);
    }

    // After the thread has ended, the event is still start-up's to close.
    void ExpectThreadEndedAndEventStillOpen() {
        ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
        DWORD code = STILL_ACTIVE;
        GetExitCodeThread(thread, &code);
        EXPECT_EQ(code, 0u);
        // The handle must still name the very event: resetting it through
        // the handle shows on a duplicate made before the start. (A closed
        // handle value may already have been reused for another object.)
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
        ASSERT_TRUE(ResetEvent(event));
        ASSERT_EQ(WaitForSingleObject(keeper, 0), static_cast<DWORD>(WAIT_TIMEOUT));
        EXPECT_TRUE(CloseHandle(event));
    }

    TestServer server;
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE keeper = nullptr;  // the same event, for checking that event still names it
    HANDLE thread = nullptr;
    DWORD threadId = 0;
};

TEST_F(LoaderThreadTest, WithoutALoaderImageItSignalsAndEndsAtOnce) {
    Prepare("<IMAGES_PATH>http://127.0.0.1/img/</IMAGES_PATH>");
    ASSERT_TRUE(Start());
    ExpectThreadEndedAndEventStillOpen();
    EXPECT_EQ(loader, nullptr);
    EXPECT_EQ(appState->loaderBitmap, nullptr);
}

struct PositionCase {
    const char* params;
    LONG left, top;
    COLORREF text;
};

class LoaderPositionTest : public LoaderThreadTest, public ::testing::WithParamInterface<PositionCase> {};

// The first position number is the top, the second the left; a single
// number is still the top. No colour gives black text.
TEST_P(LoaderPositionTest, PositionAndTextColourFromTheDocument) {
    const PositionCase& c = GetParam();
    Prepare(c.params, 200, 100);
    ASSERT_TRUE(Start());
    ASSERT_NE(loader, nullptr);
    EXPECT_EQ(loader->bitmap, appState->loaderBitmap);
    const RECT r = WindowRect(loader->window);
    EXPECT_EQ(r.left, c.left);
    EXPECT_EQ(r.top, c.top);
    EXPECT_EQ(r.right - r.left, 200);
    EXPECT_EQ(r.bottom - r.top, 100);
    EXPECT_TRUE(ScreenShows(loader->window, [&](const Pixels& p) {
        return CountNear(p, RECT{0, 0, 200, 90}, kGrey) == 200 * 90 &&
               CountNear(p, RECT{20, 90, 180, 100}, c.text) > 10;
    }));
    SendMessageA(loader->window, WM_SYSCOMMAND, SC_CLOSE, 0);
    ExpectThreadEndedAndEventStillOpen();
}

INSTANTIATE_TEST_SUITE_P(
    Documents, LoaderPositionTest,
    ::testing::Values(
        PositionCase{"<APP_LOADER_POS>10,300</APP_LOADER_POS><APP_LOADER_TEXT_COLOR>FF00FF</APP_LOADER_TEXT_COLOR>",
                     300, 10, kMagenta},
        PositionCase{"<APP_LOADER_POS>50</APP_LOADER_POS>", 0, 50, kBlack}));

// Refuses the loader window on the thread it is installed for.
LRESULT CALLBACK RefuseLoaderWindow(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const char* cls = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs->lpszClass;
        if (!IS_INTRESOURCE(cls) && std::strcmp(cls, "KorvaneLoader") == 0) return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(LoaderThreadTest, AWindowThatCannotBeMadeStillSignalsAndEnds) {
    Prepare("", 64, 64);
    ASSERT_TRUE(Start(CREATE_SUSPENDED));
    HHOOK hook = SetWindowsHookExA(WH_CBT, RefuseLoaderWindow, nullptr, threadId);
    ASSERT_NE(hook, nullptr);
    ResumeThread(thread);
    EXPECT_EQ(WaitForSingleObject(event, 10000), WAIT_OBJECT_0);
    ExpectThreadEndedAndEventStillOpen();
    UnhookWindowsHookEx(hook);
    ASSERT_NE(loader, nullptr);
    EXPECT_EQ(loader->window, nullptr);
    EXPECT_EQ(loader->infoObject, nullptr);
}

}  // namespace
