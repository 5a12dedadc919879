#include "controls/loader_win.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/app.h"
#include "controls/info_win.h"
#include "remote/remote_params.h"
#include "support/screen.h"
#include "support/test_server.h"

namespace {

constexpr COLORREF kRed = RGB(220, 0, 0);
constexpr COLORREF kGreen = RGB(0, 200, 0);
constexpr COLORREF kGrey = RGB(200, 200, 200);
constexpr COLORREF kMagenta = RGB(255, 0, 255);

bool Near(COLORREF a, COLORREF b, int tolerance = 40) {
    return std::abs(GetRValue(a) - GetRValue(b)) < tolerance &&
           std::abs(GetGValue(a) - GetGValue(b)) < tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) < tolerance;
}

int CountNear(const Pixels& p, const RECT& r, COLORREF colour, int tolerance = 40) {
    int count = 0;
    for (int y = r.top; y < r.bottom && y < p.height; ++y)
        for (int x = r.left; x < r.right && x < p.width; ++x)
            if (Near(p.at(x, y), colour, tolerance)) ++count;
    return count;
}

// Polls the screen, since the loader thread paints on its own schedule.
bool ScreenShows(HWND wnd, const std::function<bool(const Pixels&)>& check,
                 DWORD timeoutMs = 3000) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (check(CaptureWindow(wnd))) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(30);
    }
}

// A 24-bit BMP file showing colour(x, y).
std::string BmpFile(int w, int h, const std::function<COLORREF(int, int)>& colour) {
    const int stride = (w * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = w;
    info.biHeight = h;  // bottom-up
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(stride * h);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::string out(reinterpret_cast<const char*>(&file), sizeof file);
    out.append(reinterpret_cast<const char*>(&info), sizeof info);
    for (int row = h - 1; row >= 0; --row) {
        std::string line(static_cast<size_t>(stride), '\0');
        for (int x = 0; x < w; ++x) {
            const COLORREF c = colour(x, row);
            line[x * 3] = static_cast<char>(GetBValue(c));
            line[x * 3 + 1] = static_cast<char>(GetGValue(c));
            line[x * 3 + 2] = static_cast<char>(GetRValue(c));
        }
        out += line;
    }
    return out;
}

TEST(LoaderGeometry, PlacesTheLoaderAndItsProgressLine) {
    LoaderGeometry g = ComputeLoaderGeometry(5, 7, 300, 200, 1024, 768);
    EXPECT_EQ(g.x, 5);
    EXPECT_EQ(g.y, 7);
    EXPECT_EQ(g.width, 300);
    EXPECT_EQ(g.height, 200);
    EXPECT_EQ(g.infoX, 30);
    EXPECT_EQ(g.infoY, 180);
    EXPECT_EQ(g.infoWidth, 240);
    EXPECT_EQ(g.infoHeight, 180);

    g = ComputeLoaderGeometry(1, 1, 305, 199, 1024, 768);
    EXPECT_EQ(g.infoX, 30);
    EXPECT_EQ(g.infoY, 179);
    EXPECT_EQ(g.infoWidth, 245);
    EXPECT_EQ(g.infoHeight, 179);

    g = ComputeLoaderGeometry(0, 0, 9, 9, 1024, 768);
    EXPECT_EQ(g.infoX, 0);
    EXPECT_EQ(g.infoY, 8);
    EXPECT_EQ(g.infoWidth, 9);
}

TEST(LoaderGeometry, CentresOnlyWhenBothNumbersAreZero) {
    LoaderGeometry g = ComputeLoaderGeometry(0, 0, 301, 201, 1024, 768);
    EXPECT_EQ(g.x, 362);
    EXPECT_EQ(g.y, 284);
    g = ComputeLoaderGeometry(0, 0, 1001, 11, 800, 600);
    EXPECT_EQ(g.x, -100);
    EXPECT_EQ(g.y, 295);
    g = ComputeLoaderGeometry(0, 50, 301, 201, 1024, 768);
    EXPECT_EQ(g.x, 0);
    EXPECT_EQ(g.y, 50);
    g = ComputeLoaderGeometry(300, 0, 301, 201, 1024, 768);
    EXPECT_EQ(g.x, 300);
    EXPECT_EQ(g.y, 0);
    // Sizes far beyond any screen still give sane percentages.
    g = ComputeLoaderGeometry(1, 1, 300000000, 300000000, 1024, 768);
    EXPECT_EQ(g.infoX, 30000000);
    EXPECT_EQ(g.infoY, 270000000);
}

// Runs CreateAndRun on a thread of its own, as the loader thread does, and
// waits for its signal.
class DirectLoader {
public:
    DirectLoader(HBITMAP bitmap, int x, int y, const char* colour)
        : bitmap_(bitmap), x_(x), y_(y), colour_(colour) {
        event_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        object = new CLoaderWin;
        thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId);
        signalled = WaitForSingleObject(event_, 10000) == WAIT_OBJECT_0;
    }
    ~DirectLoader() {
        if (object->window) SendMessageA(object->window, WM_SYSCOMMAND, SC_CLOSE, 0);
        WaitForSingleObject(thread_, 10000);
        CloseHandle(thread_);
        CloseHandle(event_);
        delete object;
        DeleteObject(bitmap_);
    }
    // Waits for the thread; its exit code, or STILL_ACTIVE.
    DWORD Join() {
        WaitForSingleObject(thread_, 10000);
        DWORD code = STILL_ACTIVE;
        GetExitCodeThread(thread_, &code);
        return code;
    }

    CLoaderWin* object = nullptr;
    DWORD threadId = 0;
    bool signalled = false;

private:
    static DWORD WINAPI Run(LPVOID self) {
        auto* me = static_cast<DirectLoader*>(self);
        CreateAndRun(me->object, me->bitmap_, me->x_, me->y_, me->event_, me->colour_);
        return 0;
    }
    HBITMAP bitmap_;
    int x_, y_;
    const char* colour_;
    HANDLE event_ = nullptr;
    HANDLE thread_ = nullptr;
};

RECT WindowRect(HWND wnd) {
    RECT r{};
    GetWindowRect(wnd, &r);
    return r;
}

TEST(LoaderWindow, IsATopMostPopupOfTheImageShowingItsPicture) {
    // Left half red, right half green.
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
    const LONG_PTR style = GetWindowLongPtrA(wnd, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME | WS_BORDER | WS_CHILD));
    EXPECT_TRUE(GetWindowLongPtrA(wnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(GetWindowThreadProcessId(wnd, nullptr), run.threadId);
    EXPECT_EQ(GetPropA(wnd, "LOADERPROR"), run.object);

    const RECT r = WindowRect(wnd);
    EXPECT_EQ(r.left, 40);
    EXPECT_EQ(r.top, 30);
    EXPECT_EQ(r.right - r.left, 300);
    EXPECT_EQ(r.bottom - r.top, 200);

    // The progress line sits in the lower tenth, cut off at the bottom edge.
    ASSERT_NE(run.object->infoObject, nullptr);
    ASSERT_NE(run.object->infoWindow, nullptr);
    EXPECT_EQ(run.object->infoWindow, run.object->infoObject->window);
    EXPECT_EQ(GetParent(run.object->infoWindow), wnd);
    EXPECT_STREQ(run.object->infoObject->text, "Loader Initialized");
    EXPECT_EQ(run.object->infoObject->textColour, kMagenta);
    const RECT info = run.object->infoObject->areaInParent;
    EXPECT_EQ(info.left, 30);
    EXPECT_EQ(info.top, 180);
    EXPECT_EQ(info.right, 270);
    EXPECT_EQ(info.bottom, 360);
    EXPECT_EQ(run.object->bitmap != nullptr, true);

    const RECT upperLeft{0, 0, 150, 180}, upperRight{150, 0, 300, 180};
    const RECT strip{30, 180, 270, 200}, leftOfStrip{0, 180, 30, 200};
    EXPECT_TRUE(ScreenShows(wnd, [&](const Pixels& p) {
        return CountNear(p, upperLeft, kRed) == 150 * 180 &&
               CountNear(p, upperRight, kGreen) == 150 * 180 && CountNear(p, strip, kMagenta) > 20;
    })) << "picture or first progress text missing";
    Pixels shot = CaptureWindow(wnd);
    EXPECT_EQ(CountNear(shot, upperLeft, kMagenta) + CountNear(shot, upperRight, kMagenta), 0);
    EXPECT_EQ(CountNear(shot, leftOfStrip, kMagenta), 0);

    // A progress text from this thread replaces the line on the loader thread.
    run.object->infoObject->SetInfoText("%s", "W");
    EXPECT_TRUE(ScreenShows(wnd, [&](const Pixels& p) {
        return CountNear(p, RECT{60, 180, 270, 200}, kMagenta) == 0 &&
               CountNear(p, RECT{30, 180, 45, 200}, kMagenta) > 0;
    }));

    // Closed from another thread, the loader thread ends by itself.
    HWND infoWnd = run.object->infoWindow;
    SendMessageA(wnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindow(wnd));
    EXPECT_FALSE(IsWindow(infoWnd));
    EXPECT_EQ(run.Join(), 0u);
}

TEST(LoaderWindow, CentresWhenAtZeroAndShowsEachLoadersOwnPicture) {
    {
        DirectLoader first(MakeSolidDib(120, 80, kRed), 10, 10, "");
        ASSERT_TRUE(first.signalled);
        EXPECT_TRUE(ScreenShows(first.object->window, [](const Pixels& p) {
            return CountNear(p, RECT{0, 0, 120, 70}, kRed) == 120 * 70;
        }));
    }
    // The class is still registered from the first loader; the second one
    // must not show the first one's picture.
    DirectLoader second(MakeSolidDib(301, 201, kGreen), 0, 0, "");
    ASSERT_TRUE(second.signalled);
    const RECT r = WindowRect(second.object->window);
    EXPECT_EQ(r.left, 362);
    EXPECT_EQ(r.top, 284);
    EXPECT_EQ(r.right - r.left, 301);
    EXPECT_EQ(r.bottom - r.top, 201);
    EXPECT_TRUE(ScreenShows(second.object->window, [](const Pixels& p) {
        return CountNear(p, RECT{0, 0, 301, 180}, kGreen) == 301 * 180;
    }));
}

TEST(LoaderWindow, DestructorClosesAnOpenWindowAndIsHarmlessAfterwards) {
    DirectLoader run(MakeSolidDib(100, 60, kGrey), 20, 20, "000000");
    ASSERT_TRUE(run.signalled);
    HWND wnd = run.object->window;
    HWND infoWnd = run.object->infoWindow;
    ASSERT_TRUE(IsWindow(wnd));

    CLoaderWin* object = run.object;
    run.object = new CLoaderWin;  // the runner's own clean-up has nothing left to close
    delete object;
    EXPECT_FALSE(IsWindow(wnd));
    EXPECT_FALSE(IsWindow(infoWnd));
    EXPECT_EQ(run.Join(), 0u);

    // After the window has gone, a second object on the same handles.
    CLoaderWin* stale = new CLoaderWin;
    stale->window = wnd;
    stale->infoObject = new CInfoWin;
    delete stale;
}

// --- The loader thread, fed by a parameter document and the test server ---

class LoaderThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        appState = static_cast<AppState*>(std::calloc(1, sizeof(AppState)));
        remoteParams = new CRemoteParams;
        loader = nullptr;
        event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        ASSERT_NE(event, nullptr);
    }
    void TearDown() override {
        if (loader && loader->window) SendMessageA(loader->window, WM_SYSCOMMAND, SC_CLOSE, 0);
        if (thread) {
            WaitForSingleObject(thread, 10000);
            CloseHandle(thread);
        }
        delete loader;
        loader = nullptr;
        if (appState->loaderBitmap) DeleteObject(appState->loaderBitmap);
        std::free(appState);
        appState = nullptr;
        delete remoteParams;
        remoteParams = nullptr;
        if (event) CloseHandle(event);
    }

    void Prepare(const std::string& body) {
        char* copy = static_cast<char*>(std::malloc(body.size() + 1));
        std::memcpy(copy, body.c_str(), body.size() + 1);
        ASSERT_TRUE(remoteParams->PrepareDocument(copy, static_cast<std::uint32_t>(body.size()),
                                                  "http://127.0.0.1/doc"));
    }

    // Serves a BMP under /img/ and returns the document text around it.
    std::string DocumentWithImage(const std::string& extra, int w, int h, COLORREF colour) {
        if (!server) server = std::make_unique<TestServer>();
        TestReply reply;
        reply.body = BmpFile(w, h, [&](int, int) { return colour; });
        reply.headers = {{"Content-Type", "image/bmp"}};
        server->route("/img/loader.bmp", reply);
        return "<korvane><IMAGES_PATH>" + server->url("/img") +
               "</IMAGES_PATH><APP_LOADER_IMAGE>loader.bmp</APP_LOADER_IMAGE>" + extra +
               "</korvane>";
    }

    // Starts the thread as start-up does and waits for its signal.
    bool StartAndWait(DWORD flags = 0) {
        thread = CreateThread(nullptr, 0, LoaderThreadProc, &event, flags, &threadId);
        if (!thread) return false;
        if (flags & CREATE_SUSPENDED) return true;
        return WaitForSingleObject(event, 10000) == WAIT_OBJECT_0;
    }

    DWORD Join() {
        EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
        DWORD code = STILL_ACTIVE;
        GetExitCodeThread(thread, &code);
        return code;
    }

    // The hand-shake event must still be start-up's to wait on and close.
    void ExpectEventStillOpenAndSet() {
        DWORD flags = 0;
        EXPECT_TRUE(GetHandleInformation(event, &flags));
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
        EXPECT_TRUE(CloseHandle(event));
        event = nullptr;
    }

    std::unique_ptr<TestServer> server;
    HANDLE event = nullptr;
    HANDLE thread = nullptr;
    DWORD threadId = 0;
};

TEST_F(LoaderThreadTest, WithoutALoaderImageItSignalsAndEndsAtOnce) {
    Prepare("<korvane><IMAGES_PATH>http://127.0.0.1/img/</IMAGES_PATH></korvane>");
    ASSERT_TRUE(StartAndWait());
    EXPECT_EQ(Join(), 0u);
    EXPECT_EQ(loader, nullptr);
    EXPECT_EQ(appState->loaderBitmap, nullptr);
    EXPECT_STREQ(remoteParams->contextText, "Parameter: APP_LOADER_IMAGE");
    ExpectEventStillOpenAndSet();
}

TEST_F(LoaderThreadTest, AnImageTheServerDoesNotHaveMeansNoLoader) {
    server = std::make_unique<TestServer>();
    TestReply missing;
    missing.status = 404;
    server->route("/img/loader.bmp", missing);
    Prepare("<korvane><IMAGES_PATH>" + server->url("/img") +
            "</IMAGES_PATH><APP_LOADER_IMAGE>loader.bmp</APP_LOADER_IMAGE></korvane>");
    ASSERT_TRUE(StartAndWait());
    EXPECT_EQ(Join(), 0u);
    EXPECT_EQ(loader, nullptr);
    ExpectEventStillOpenAndSet();
}

TEST_F(LoaderThreadTest, FirstPositionNumberIsTheTopSecondTheLeft) {
    Prepare(DocumentWithImage("<APP_LOADER_POS>10,300</APP_LOADER_POS>"
                              "<APP_LOADER_TEXT_COLOR>FF00FF</APP_LOADER_TEXT_COLOR>",
                              200, 100, kGrey));
    ASSERT_TRUE(StartAndWait());
    ASSERT_NE(loader, nullptr);
    ASSERT_NE(loader->window, nullptr);
    EXPECT_EQ(loader->bitmap, appState->loaderBitmap);
    const RECT r = WindowRect(loader->window);
    EXPECT_EQ(r.left, 300);
    EXPECT_EQ(r.top, 10);
    EXPECT_EQ(r.right - r.left, 200);
    EXPECT_EQ(r.bottom - r.top, 100);
    EXPECT_EQ(loader->infoObject->textColour, kMagenta);
    EXPECT_TRUE(ScreenShows(loader->window, [](const Pixels& p) {
        return CountNear(p, RECT{0, 0, 200, 90}, kGrey) == 200 * 90 &&
               CountNear(p, RECT{20, 90, 180, 100}, kMagenta) > 10;
    }));

    SendMessageA(loader->window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(Join(), 0u);
    ExpectEventStillOpenAndSet();
}

TEST_F(LoaderThreadTest, ASingleNumberIsTheTopAndNoColourGivesBlackText) {
    Prepare(DocumentWithImage("<APP_LOADER_POS>50</APP_LOADER_POS>", 200, 100, kGrey));
    ASSERT_TRUE(StartAndWait());
    ASSERT_NE(loader, nullptr);
    const RECT r = WindowRect(loader->window);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 50);
    EXPECT_EQ(loader->infoObject->textColour, 0u);
    EXPECT_TRUE(ScreenShows(loader->window, [](const Pixels& p) {
        return CountNear(p, RECT{20, 90, 180, 100}, RGB(0, 0, 0), 60) > 10 &&
               CountNear(p, RECT{0, 0, 200, 90}, kGrey) == 200 * 90;
    }));
}

TEST_F(LoaderThreadTest, WithoutAPositionItIsCentred) {
    Prepare(DocumentWithImage("", 301, 201, kGrey));
    ASSERT_TRUE(StartAndWait());
    ASSERT_NE(loader, nullptr);
    const RECT r = WindowRect(loader->window);
    EXPECT_EQ(r.left, 362);
    EXPECT_EQ(r.top, 284);
}

// Refuses the loader window's creation on the thread it is installed for.
LRESULT CALLBACK RefuseLoaderWindow(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const auto* cbt = reinterpret_cast<const CBT_CREATEWNDA*>(lParam);
        const char* cls = cbt->lpcs->lpszClass;
        if (!IS_INTRESOURCE(cls) && std::strcmp(cls, "KorvaneLoader") == 0) return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(LoaderThreadTest, AWindowThatCannotBeMadeStillSignalsAndEnds) {
    Prepare(DocumentWithImage("", 64, 64, kGrey));
    ASSERT_TRUE(StartAndWait(CREATE_SUSPENDED));
    HHOOK hook = SetWindowsHookExA(WH_CBT, RefuseLoaderWindow, nullptr, threadId);
    ASSERT_NE(hook, nullptr);
    ResumeThread(thread);
    EXPECT_EQ(WaitForSingleObject(event, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(Join(), 0u);
    UnhookWindowsHookEx(hook);
    ASSERT_NE(loader, nullptr);
    EXPECT_EQ(loader->window, nullptr);
    EXPECT_EQ(loader->infoObject, nullptr);
    EXPECT_NE(appState->loaderBitmap, nullptr);
    ExpectEventStillOpenAndSet();
}

}  // namespace
