// The shell's own buttons clicked with the real mouse while the shell runs:
// minimise on the program as a user starts it, and the four navigation
// buttons on a shell run inside this process, where the stand-in control can
// record what reaches it.
#include "app/app.h"
#include "browser/fake_control.h"
#include "support/paths.h"
#include "support/process.h"
#include "support/screen.h"
#include "support/test_server.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr DWORD kWaitMs = 15000;

// Every button is 20x16; a click lands at its middle.
constexpr int kButtonW = 20, kButtonH = 16;
struct ButtonSpot {
    const char* name;
    int x, y;
};
const ButtonSpot kSpots[] = {{"CLOSE", 270, 5},  {"MIN", 245, 5},     {"BACK", 10, 175},
                             {"FORWARD", 35, 175}, {"HOME", 60, 175}, {"REFRESH", 85, 175}};

std::string Bmp(int w, int h, COLORREF fill) {
    return BmpFile(w, h, 24, [=](int x, int y) { return x == 0 && y == 0 ? RGB(255, 0, 255) : fill; });
}

// A document with a 301x201 skin (centred on the 1024x768 screen) and all six
// buttons at kSpots, no loader image.
std::string ServeShell(TestServer& server) {
    auto image = [&](const std::string& file, const std::string& bytes) {
        TestReply reply;
        reply.headers = {{"Content-Type", "image/bmp"}};
        reply.body = bytes;
        server.route("/img/" + file, reply);
    };
    image("skin.bmp", Bmp(301, 201, RGB(40, 90, 200)));
    std::string doc = "<korvane>\r\n<IMAGES_PATH>" + server.url("/img") +
                      "</IMAGES_PATH>\r\n<SKIN>skin.bmp</SKIN>\r\n"
                      "<APP_TITLE>Running Shell</APP_TITLE>\r\n"
                      "<APP_BROWSER_RECT>10,30,281,120</APP_BROWSER_RECT>\r\n"
                      "<APP_NAVIGATE_TO>" + server.url("/start.html") + "</APP_NAVIGATE_TO>\r\n";
    for (const ButtonSpot& b : kSpots) {
        const std::string name = b.name;
        doc += "<BUTTON_" + name + "_POS>" + std::to_string(b.x) + "," + std::to_string(b.y) +
               "</BUTTON_" + name + "_POS>\r\n";
        for (const char* state : {"CLICK", "HOT", "NORMAL"}) {
            const std::string file = name + "_" + state + ".bmp";
            doc += "<BUTTON_" + name + "_" + state + ">" + file + "</BUTTON_" + name + "_" +
                   state + ">\r\n";
            image(file, Bmp(kButtonW, kButtonH, RGB(200, 60, 60)));
        }
    }
    doc += "</korvane>\r\n";
    server.route("/doc.xml", BodyReply(doc));
    server.route("/start.html", BodyReply("<html><body>start</body></html>"));
    return server.url("/doc.xml");
}

void ClickButton(HWND main, const char* name) {
    RECT r = WindowRect(main);
    for (const ButtonSpot& b : kSpots) {
        if (std::string(b.name) == name) {
            MouseClickAt(r.left + b.x + kButtonW / 2, r.top + b.y + kButtonH / 2);
        }
    }
}

TEST(RunningShell, MinimiseButtonMinimisesAndTheShellRunsOnUntilClosed) {
    TestServer server;
    ShellProcess shell(ShellExe(), {ServeShell(server)});
    HWND main = WaitForVisibleWindow(shell.pid(), "Korvane", kWaitMs);
    ASSERT_TRUE(main) << "no main window";
    EXPECT_FALSE(IsIconic(main));

    ClickButton(main, "MIN");
    bool iconic = false;
    for (int i = 0; i < 200 && !(iconic = IsIconic(main) != FALSE); ++i) Sleep(25);
    EXPECT_TRUE(iconic) << "the minimise button did not minimise the window";
    DWORD code = 1234;
    EXPECT_FALSE(shell.waitForExit(300, &code)) << "the shell ended on minimise, code " << code;
    EXPECT_TRUE(IsWindow(main));

    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(shell.waitForExit(kWaitMs, &code)) << "the shell did not end";
    EXPECT_EQ(code, 1u);
    EXPECT_TRUE(shell.unhandledExceptions().empty()) << "the shell crashed";
}

// The fake's log belongs to this thread while the shell runs; a thread timer,
// dispatched by the shell's own message loop, copies the navigation calls
// out for the clicking thread.
const FakeLog* g_watchedLog = nullptr;
std::mutex g_seenMutex;
std::vector<std::string> g_seen;

std::vector<std::string> NavigationCalls(const FakeLog& log) {
    std::vector<std::string> nav;
    for (const std::string& c : log.calls) {
        if (c == "GoBack" || c == "GoForward" || c == "GoHome" || c == "Refresh") nav.push_back(c);
    }
    return nav;
}

void CALLBACK CopyNavigationCalls(HWND, UINT, UINT_PTR, DWORD) {
    std::vector<std::string> nav = NavigationCalls(*g_watchedLog);
    std::lock_guard<std::mutex> lock(g_seenMutex);
    g_seen = std::move(nav);
}

size_t SeenCount() {
    std::lock_guard<std::mutex> lock(g_seenMutex);
    return g_seen.size();
}

// Runs once per test program: the shell's window class and globals are
// process-wide.
TEST(RunningShell, NavigationButtonsReachTheControlInClickOrder) {
    TestServer server;
    const std::string url = ServeShell(server);
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    FakeLog log;
    int result = -1;
    {
        FakeBrowserClass fakeClass(&log);
        ASSERT_TRUE(fakeClass.registered());
        g_watchedLog = &log;
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, CopyNavigationCalls);
        ASSERT_NE(timer, 0u);

        bool mainSeen = false;
        std::vector<size_t> countsAfterClicks;
        std::thread clicker([&] {
            HWND main = WaitForVisibleWindow(GetCurrentProcessId(), "Korvane", kWaitMs);
            mainSeen = main != nullptr;
            if (main) {
                // One click at a time, each waited for, so that the order in
                // the log is the order of the clicks.
                for (const char* name : {"BACK", "FORWARD", "HOME", "REFRESH"}) {
                    const size_t before = SeenCount();
                    ClickButton(main, name);
                    for (int i = 0; i < 200 && SeenCount() == before; ++i) Sleep(10);
                    countsAfterClicks.push_back(SeenCount());
                }
                PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
            } else if (HWND box = WaitForErrorBox(GetCurrentProcessId(), 0)) {
                PressOk(box);  // lets a failed start-up return instead of hanging
            }
        });

        char program[] = "korvane";
        std::vector<char> arg(url.begin(), url.end());
        arg.push_back('\0');
        char* argv[] = {program, arg.data(), nullptr};
        result = RunKorvane(GetModuleHandleA(nullptr), 2, argv);
        clicker.join();
        KillTimer(nullptr, timer);
        g_watchedLog = nullptr;

        EXPECT_TRUE(mainSeen) << "no main window";
        EXPECT_EQ(countsAfterClicks, (std::vector<size_t>{1, 2, 3, 4}));
    }
    OleUninitialize();

    EXPECT_EQ(NavigationCalls(log),
              (std::vector<std::string>{"GoBack", "GoForward", "GoHome", "Refresh"}));
    const std::string start = server.url("/start.html");
    EXPECT_EQ(log.navigations, std::vector<std::wstring>{std::wstring(start.begin(), start.end())});
    EXPECT_EQ(result, 1);
    EXPECT_EQ(log.objectsAlive, 0) << "the control outlived the shell";
    EXPECT_EQ(appState, nullptr);
    EXPECT_EQ(browserHost, nullptr);
}

}  // namespace
