// The whole program against documents and images served by the test server,
// watched from outside as a user would see it: its windows, its error box,
// the requests it makes, the progress it reports and its exit code.
#include "support/paths.h"
#include "support/process.h"
#include "support/screen.h"
#include "support/test_server.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr DWORD kWaitMs = 15000;

// A 24-bit BMP file whose top-left pixel (the skin's cut-away colour) is
// magenta and whose other pixels are one colour.
std::string Bmp(int w, int h, COLORREF fill = RGB(40, 90, 200)) {
    return BmpFile(w, h, 24, [=](int x, int y) { return x == 0 && y == 0 ? RGB(255, 0, 255) : fill; });
}

using Params = std::vector<std::pair<std::string, std::string>>;

const char* const kButtonNames[] = {"CLOSE", "MIN", "BACK", "FORWARD", "HOME", "REFRESH"};

struct WindowSnapshot {
    bool seen = false;
    RECT rect{};
    LONG exStyle = 0;
    bool visible = false;
};

WindowSnapshot Snapshot(DWORD pid, const char* className) {
    WindowSnapshot s;
    for (HWND w : ProcessWindows(pid, className)) {
        s.seen = true;
        GetWindowRect(w, &s.rect);
        s.exStyle = GetWindowLongA(w, GWL_EXSTYLE);
        s.visible = IsWindowVisible(w) != FALSE;
    }
    return s;
}

::testing::AssertionResult HasRect(const RECT& r, int x, int y, int w, int h) {
    if (r.left == x && r.top == y && r.right - r.left == w && r.bottom - r.top == h) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "window at " << r.left << "," << r.top << " size " << r.right - r.left << "x"
           << r.bottom - r.top << ", expected " << x << "," << y << " size " << w << "x" << h;
}

class Shell : public ::testing::Test {
protected:
    void ServeImage(const std::string& file, const std::string& bytes) {
        TestReply reply;
        reply.headers = {{"Content-Type", "image/bmp"}};
        reply.body = bytes;
        server.route("/img/" + file, reply);
    }

    // The document at /doc.xml, with IMAGES_PATH pointing at /img (no final
    // slash: the shell adds it).
    std::string ServeDocument(Params params) {
        std::string doc = "<html><body>\r\n<KORVANE>\r\n";
        params.insert(params.begin(), {"IMAGES_PATH", server.url("/img")});
        for (const auto& p : params) doc += "<" + p.first + ">" + p.second + "</" + p.first + ">\r\n";
        doc += "</korvane>\r\n</body></html>\r\n";
        TestReply reply;
        reply.headers = {{"Content-Type", "text/xml"}};
        reply.body = doc;
        server.route("/doc.xml", reply);
        return server.url("/doc.xml");
    }

    // A button's position and its three images (click, hot, normal).
    void AddButton(Params& params, const std::string& name, const std::string& position,
                   bool withHot = true) {
        params.push_back({"BUTTON_" + name + "_POS", position});
        for (const char* state : {"CLICK", "HOT", "NORMAL"}) {
            if (!withHot && std::string(state) == "HOT") continue;
            std::string file = name + "_" + state + ".bmp";
            params.push_back({"BUTTON_" + name + "_" + state, file});
            ServeImage(file, Bmp(20, 16));
        }
    }

    std::vector<std::string> RequestedPaths() {
        std::vector<std::string> paths;
        for (const auto& r : server.requests()) {
            if (r.path != "/start.html") paths.push_back(r.path);
        }
        return paths;
    }

    DWORD ExitCode(ShellProcess& shell) {
        DWORD code = 1234;
        EXPECT_TRUE(shell.waitForExit(kWaitMs, &code)) << "the shell did not end";
        EXPECT_TRUE(shell.unhandledExceptions().empty()) << "the shell crashed";
        return code;
    }

    TestServer server;
};

std::vector<std::string> ImageRequests(const std::vector<std::string>& files) {
    std::vector<std::string> paths;
    for (const auto& f : files) paths.push_back("/img/" + f);
    return paths;
}

TEST_F(Shell, FullDocumentBuildsEverythingReportsEachStepAndClosesWithOne) {
    Params params = {{"APP_TITLE", "Korvane Test Shell"},
                     {"SKIN", "skin.bmp"},
                     {"APP_LOADER_IMAGE", "loader.bmp"},
                     {"APP_LOADER_TEXT_COLOR", "FFFFFF"},
                     {"APP_TOP_MOST", "yes"},
                     {"APP_BROWSER_RECT", "10,30,281,120"},
                     {"APP_NAVIGATE_TO", server.url("/start.html")},
                     {"APP_STATUS_RECT", "120,175,150,20"},
                     {"APP_STATUS_COLOR", "00FF00"}};
    const int positions[][2] = {{270, 5}, {245, 5}, {10, 175}, {35, 175}, {60, 175}, {85, 175}};
    for (int i = 0; i < 6; ++i) {
        AddButton(params, kButtonNames[i],
                  std::to_string(positions[i][0]) + "," + std::to_string(positions[i][1]));
    }
    ServeImage("skin.bmp", Bmp(301, 201));
    ServeImage("loader.bmp", Bmp(300, 200, RGB(200, 200, 60)));
    TestReply page;
    page.body = "<html><body>start</body></html>";
    server.route("/start.html", page);
    const std::string url = ServeDocument(params);

    std::mutex m;
    WindowSnapshot loaderAtStart, loaderAtEnd, mainWhileBuilding;
    ShellProcess shell(ShellExe(), {url}, {}, [&](DWORD pid, const std::string& s) {
        std::lock_guard<std::mutex> lock(m);
        if (s == "Korvane: Loader Initialized") loaderAtStart = Snapshot(pid, "KorvaneLoader");
        if (s == "Korvane: Getting Top Most Parameter") {
            loaderAtEnd = Snapshot(pid, "KorvaneLoader");
            mainWhileBuilding = Snapshot(pid, "Korvane");
        }
    });

    HWND main = WaitForVisibleWindow(shell.pid(), "Korvane", kWaitMs);
    ASSERT_TRUE(main) << "no main window";
    EXPECT_TRUE(WaitForNoVisibleWindow(shell.pid(), "KorvaneLoader", kWaitMs));
    EXPECT_TRUE(ProcessWindows(shell.pid(), "KorvaneLoader").empty()) << "loader not destroyed";

    {
        std::lock_guard<std::mutex> lock(m);
        ASSERT_TRUE(loaderAtStart.seen);
        EXPECT_TRUE(loaderAtStart.visible);
        EXPECT_TRUE(HasRect(loaderAtStart.rect, 362, 284, 300, 200));
        EXPECT_TRUE(loaderAtStart.exStyle & WS_EX_TOPMOST);
        EXPECT_TRUE(loaderAtEnd.visible) << "the loader closed before the main window was ready";
        EXPECT_TRUE(mainWhileBuilding.seen);
        EXPECT_FALSE(mainWhileBuilding.visible) << "main window shown before it was complete";
    }

    RECT r;
    GetWindowRect(main, &r);
    EXPECT_TRUE(HasRect(r, 362, 284, 301, 201));  // 512 - 150, 384 - 100
    EXPECT_EQ(WindowText(main), "Korvane Test Shell");
    const LONG style = GetWindowLongA(main, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME | WS_BORDER));
    EXPECT_FALSE(GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_TOPMOST);

    std::vector<std::pair<int, int>> buttonsAt;
    for (HWND c = GetWindow(main, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (ClassOf(c) != "CBITBUTTON") continue;
        RECT b;
        GetWindowRect(c, &b);
        buttonsAt.push_back({b.left - r.left, b.top - r.top});
    }
    for (const auto& p : positions) {
        EXPECT_EQ(std::count(buttonsAt.begin(), buttonsAt.end(), std::make_pair(p[0], p[1])), 1)
            << "button at " << p[0] << "," << p[1];
    }
    EXPECT_EQ(buttonsAt.size(), 6u);

    std::vector<std::string> files = {"loader.bmp", "skin.bmp"};
    for (const char* name : kButtonNames) {
        for (const char* state : {"CLICK", "HOT", "NORMAL"}) {
            files.push_back(std::string(name) + "_" + state + ".bmp");
        }
    }
    std::vector<std::string> expectedRequests = {"/doc.xml"};
    for (const auto& p : ImageRequests(files)) expectedRequests.push_back(p);
    EXPECT_EQ(RequestedPaths(), expectedRequests);

    const std::string img = server.url("/img/");
    auto got = [&](const std::string& f) { return "Image " + f + ",Path: " + img + f; };
    std::vector<std::string> expected = {"Loader Initialized",
                                         "Loading Main Skin Image",
                                         "Got: " + got("skin.bmp"),
                                         "Loading Application Startup Position",
                                         "Creating Korvane Window",
                                         "Getting Internet Explorer Control Position",
                                         "Getting Internet Explorer InfoWin Position",
                                         "Getting Close Button Images",
                                         "Loading " + got("CLOSE_NORMAL.bmp"),
                                         "Getting Minimizee Button Images",
                                         "Loaded " + got("MIN_NORMAL.bmp"),
                                         "Getting Browser GoBack Button Images",
                                         "Loaded " + got("BACK_NORMAL.bmp"),
                                         "Getting Browser GoForward Button Images",
                                         "Loaded " + got("FORWARD_NORMAL.bmp"),
                                         "Getting Browser GoHome Button Images",
                                         "Loaded " + got("HOME_NORMAL.bmp"),
                                         "Getting Browser Refresh Button Images",
                                         "Loaded " + got("REFRESH_NORMAL.bmp"),
                                         "Done Loading",
                                         "Getting Top Most Parameter"};
    EXPECT_EQ(shell.progressTexts(), expected);

    // The close button, clicked with the real mouse, ends the run normally.
    MouseClickAt(r.left + 270 + 10, r.top + 5 + 8);
    EXPECT_EQ(ExitCode(shell), 1u);
}

TEST_F(Shell, StartPositionTopMostAndNoLoader) {
    ServeImage("skin.bmp", Bmp(120, 90));
    const std::string url = ServeDocument({{"SKIN", "skin.bmp"},
                                           {"APP_START_POS", "0,0"},
                                           {"APP_TOP_MOST", "it is TRUE"},
                                           {"APP_BROWSER_RECT", "0,0,10,10"}});
    // Arguments after the first are ignored.
    ShellProcess shell(ShellExe(), {url, server.url("/ignored.xml")});

    HWND main = WaitForVisibleWindow(shell.pid(), "Korvane", kWaitMs);
    ASSERT_TRUE(main);
    RECT r;
    GetWindowRect(main, &r);
    EXPECT_TRUE(HasRect(r, 0, 0, 120, 90));
    EXPECT_TRUE(GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(WindowText(main), "");
    EXPECT_TRUE(ProcessWindows(shell.pid(), "KorvaneLoader").empty());

    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(ExitCode(shell), 1u);
    EXPECT_TRUE(shell.progressTexts().empty());
    EXPECT_EQ(RequestedPaths(), (std::vector<std::string>{"/doc.xml", "/img/skin.bmp"}));
}

TEST_F(Shell, CentresAWideSkinAndSkipsIncompleteButtons) {
    ServeImage("skin.bmp", Bmp(1101, 61));
    ServeImage("loader.bmp", Bmp(301, 201));
    Params params = {{"SKIN", "skin.bmp"},
                     {"APP_LOADER_IMAGE", "loader.bmp"},
                     {"APP_START_POS", "50"},
                     {"APP_BROWSER_RECT", "0,0,100,40"}};
    AddButton(params, "CLOSE", "0,0");
    AddButton(params, "REFRESH", "5,5", false);
    WindowSnapshot loader;
    std::mutex m;
    ShellProcess shell(ShellExe(), {ServeDocument(params)}, {}, [&](DWORD pid, const std::string& s) {
        std::lock_guard<std::mutex> lock(m);
        if (s == "Korvane: Loader Initialized") loader = Snapshot(pid, "KorvaneLoader");
    });

    HWND main = WaitForVisibleWindow(shell.pid(), "Korvane", kWaitMs);
    ASSERT_TRUE(main);
    RECT r;
    GetWindowRect(main, &r);
    EXPECT_TRUE(HasRect(r, -38, 354, 1101, 61));  // 512 - 550, 384 - 30
    {
        std::lock_guard<std::mutex> lock(m);
        EXPECT_TRUE(HasRect(loader.rect, 362, 284, 301, 201));  // 512 - 150, 384 - 100
    }
    int buttons = 0;
    for (HWND c = GetWindow(main, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        buttons += ClassOf(c) == "CBITBUTTON" && IsWindowVisible(c);
    }
    EXPECT_EQ(buttons, 0);

    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(ExitCode(shell), 1u);
    EXPECT_EQ(RequestedPaths(),
              (std::vector<std::string>{"/doc.xml", "/img/loader.bmp", "/img/skin.bmp",
                                        "/img/CLOSE_CLICK.bmp", "/img/CLOSE_HOT.bmp",
                                        "/img/CLOSE_NORMAL.bmp", "/img/REFRESH_CLICK.bmp",
                                        "/img/REFRESH_NORMAL.bmp"}));
    const std::vector<std::string> texts = shell.progressTexts();
    const std::vector<std::string> tail(texts.begin() + std::min<size_t>(texts.size(), 6),
                                        texts.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"Getting Internet Explorer InfoWin Position",
                                              "Getting Close Button Images",
                                              "Getting Minimizee Button Images",
                                              "Getting Browser GoBack Button Images",
                                              "Getting Browser GoForward Button Images",
                                              "Getting Browser GoHome Button Images",
                                              "Getting Browser Refresh Button Images",
                                              "Done Loading", "Getting Top Most Parameter"}));
}

TEST_F(Shell, MissingSkinShowsTheErrorAndEndsWithZero) {
    ServeImage("loader.bmp", Bmp(200, 100));
    const std::string url =
        ServeDocument({{"APP_LOADER_IMAGE", "loader.bmp"}, {"APP_BROWSER_RECT", "0,0,10,10"}});
    ShellProcess shell(ShellExe(), {url});

    HWND box = WaitForErrorBox(shell.pid(), kWaitMs);
    ASSERT_TRUE(box);
    EXPECT_EQ(MessageBoxText(box), "Error: Could not get parameter from remote server\r\nServer: " +
                                       url + "\r\nParameter: SKIN");
    EXPECT_TRUE(WaitForVisibleWindow(shell.pid(), "KorvaneLoader", 0)) << "loader should stay up";
    EXPECT_TRUE(ProcessWindows(shell.pid(), "Korvane").empty());
    PressOk(box);
    EXPECT_EQ(ExitCode(shell), 0u);
    EXPECT_EQ(shell.progressTexts(),
              (std::vector<std::string>{"Loader Initialized", "Loading Main Skin Image"}));
}

TEST_F(Shell, MissingBrowserRectShowsTheErrorBuildsNothingAndEndsWithOne) {
    ServeImage("skin.bmp", Bmp(120, 90));
    ServeImage("loader.bmp", Bmp(200, 100));
    Params params = {{"SKIN", "skin.bmp"}, {"APP_LOADER_IMAGE", "loader.bmp"}};
    AddButton(params, "CLOSE", "5,5");
    const std::string url = ServeDocument(params);
    ShellProcess shell(ShellExe(), {url});

    HWND box = WaitForErrorBox(shell.pid(), kWaitMs);
    ASSERT_TRUE(box);
    EXPECT_EQ(MessageBoxText(box), "Error: Could not get parameter from remote server\r\nServer: " +
                                       url + "\r\nParameter: APP_BROWSER_RECT");
    PressOk(box);
    EXPECT_EQ(ExitCode(shell), 1u);
    EXPECT_EQ(RequestedPaths(),
              (std::vector<std::string>{"/doc.xml", "/img/loader.bmp", "/img/skin.bmp"}));
    const std::vector<std::string> texts = shell.progressTexts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(texts.end() - 2, texts.end()),
              (std::vector<std::string>{"Getting Internet Explorer Control Position",
                                        "Getting Top Most Parameter"}));
}

// A skin wider than a window skin can take: the skin refuses it, the shell
// reports that and ends cleanly instead of dying of the thrown error. Run
// without the debugger, under which a mingw program cannot survive a throw.
TEST_F(Shell, ASkinThatCannotBeBuiltIsReportedAndEndsWithZero) {
    ServeImage("skin.bmp", Bmp(65536, 2));
    ServeImage("loader.bmp", Bmp(200, 100));
    ShellProcess shell(ShellExe(),
                       {ServeDocument({{"SKIN", "skin.bmp"},
                                       {"APP_LOADER_IMAGE", "loader.bmp"},
                                       {"APP_BROWSER_RECT", "0,0,10,10"}})},
                       {}, nullptr, false);
    HWND box = WaitForErrorBox(shell.pid(), kWaitMs);
    ASSERT_TRUE(box);
    EXPECT_EQ(MessageBoxText(box), "Unable to load the skin.");
    ASSERT_EQ(ProcessWindows(shell.pid(), "Korvane").size(), 1u);
    EXPECT_FALSE(IsWindowVisible(ProcessWindows(shell.pid(), "Korvane")[0]));
    PressOk(box);
    EXPECT_EQ(ExitCode(shell), 0u);
    EXPECT_EQ(RequestedPaths(),
              (std::vector<std::string>{"/doc.xml", "/img/loader.bmp", "/img/skin.bmp"}));
}

// The open verb ends in tests/harness/record-open.sh, which appends what it
// was given to korvane-opened.log in KORVANE_OPEN_LOG_DIR (set for the whole
// test program by the harness). Only what is written after construction counts.
class OpenLog {
public:
    OpenLog() {
        const char* dir = std::getenv("KORVANE_OPEN_LOG_DIR");
        path_ = WindowsPath(std::string(dir && *dir ? dir : "/tmp") + "/korvane-opened.log");
        start_ = All().size();
    }
    std::string Contents() { return All().substr(std::min(start_, All().size())); }
    // Waits until a line holding exactly text has been written.
    bool WaitFor(const std::string& text) {
        for (int i = 0; i < 400; ++i) {
            const std::string c = "\n" + Contents();
            if (c.find("\n" + text + "\n") != std::string::npos) return true;
            Sleep(25);
        }
        return false;
    }

private:
    std::string All() {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string path_;
    size_t start_ = 0;
};

TEST_F(Shell, APageThatIsNoDocumentGoesToTheBrowser) {
    TestReply page;
    page.body = "<html><body>Just a page</body></html>";
    server.route("/page.html", page);
    OpenLog log;
    ShellProcess shell(ShellExe(), {server.url("/page.html")});
    EXPECT_EQ(ExitCode(shell), 0u);
    EXPECT_TRUE(log.WaitFor(server.url("/page.html"))) << "opened: " << log.Contents();
    EXPECT_EQ(RequestedPaths(), (std::vector<std::string>{"/page.html"}));
    EXPECT_TRUE(shell.progressTexts().empty());
}

TEST_F(Shell, AnOverlongUrlIsRefusedAndTheLongestIsUsedWhole) {
    const std::string base = server.url("/");
    const std::string longest = base + std::string(1023 - base.size(), 'p');
    const std::string path = longest.substr(base.size() - 1);
    OpenLog log;

    ShellProcess refused(ShellExe(), {longest + "q"});
    EXPECT_EQ(ExitCode(refused), 0u);
    EXPECT_TRUE(RequestedPaths().empty());

    // A document without a skin: the error box names the whole URL.
    TestReply doc;
    doc.body = "<korvane><APP_TITLE>t</APP_TITLE></korvane>";
    server.route(path, doc);
    ShellProcess used(ShellExe(), {longest});
    HWND box = WaitForErrorBox(used.pid(), kWaitMs);
    ASSERT_TRUE(box);
    EXPECT_EQ(MessageBoxText(box), "Error: Could not get parameter from remote server\r\nServer: " +
                                       longest + "\r\nParameter: SKIN");
    PressOk(box);
    EXPECT_EQ(ExitCode(used), 0u);
    EXPECT_EQ(RequestedPaths(), std::vector<std::string>{path});
    EXPECT_EQ(log.Contents(), "") << "nothing is handed to the open verb";
}

// Icon group 102: 48, 32 and 16 pixels, each in 16 colours, 256 colours and
// 32 bits, and every image one the system can turn into an icon.
TEST(Icon, GroupHoldsNineUsableImages) {
    HMODULE exe = LoadLibraryExA(ShellExe().c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_TRUE(exe);
    HRSRC group = FindResourceA(exe, MAKEINTRESOURCEA(102), MAKEINTRESOURCEA(14));
    ASSERT_TRUE(group) << "no icon group 102";
    const BYTE* dir = static_cast<const BYTE*>(LockResource(LoadResource(exe, group)));
    ASSERT_TRUE(dir);
    const WORD count = *reinterpret_cast<const WORD*>(dir + 4);
    std::vector<std::pair<int, int>> images;
    for (WORD i = 0; i < count; ++i) {
        const BYTE* e = dir + 6 + 14 * i;  // packed GRPICONDIRENTRY
        const int size = e[0] ? e[0] : 256;
        const int bits = *reinterpret_cast<const WORD*>(e + 6);
        const WORD id = *reinterpret_cast<const WORD*>(e + 12);
        images.push_back({size, bits});
        HRSRC one = FindResourceA(exe, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(3));
        ASSERT_TRUE(one);
        HICON icon = CreateIconFromResourceEx(
            static_cast<BYTE*>(LockResource(LoadResource(exe, one))), SizeofResource(exe, one),
            TRUE, 0x00030000, size, size, 0);
        EXPECT_TRUE(icon) << size << " px, " << bits << " bits";
        if (icon) DestroyIcon(icon);
    }
    std::sort(images.begin(), images.end());
    // Wine cannot read another process's class icon, so the class's own call
    // is made here on the same file instead.
    HICON classIcon = LoadIconA(exe, MAKEINTRESOURCEA(102));
    EXPECT_TRUE(classIcon);
    EXPECT_EQ(images, (std::vector<std::pair<int, int>>{
                          {16, 4}, {16, 8}, {16, 32}, {32, 4}, {32, 8}, {32, 32}, {48, 4}, {48, 8},
                          {48, 32}}));
    FreeLibrary(exe);
}

}  // namespace
