// The browser host as the control sees it (a fake in the expectation style),
// as the running shell drives it, and with the platform's own control.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <thread>

#include "app/app.h"
#include "browser/browser_host.h"
#include "browser/fake_control.h"
#include "browser/sites.h"
#include "controls/info_win.h"
#include "support/scenario.h"
#include "support/shell.h"
#include "support/site.h"

// Freed memory is overwritten, so that a call into a freed site object
// crashes at once instead of running on what happens to be left.
void* operator new(std::size_t size) {
    auto* block = static_cast<std::size_t*>(std::malloc(size + 16));
    if (!block) throw std::bad_alloc();
    *block = size;
    return block + 2;
}
void operator delete(void* p) noexcept {
    if (!p) return;
    std::size_t* block = static_cast<std::size_t*>(p) - 2;
    std::memset(p, 0xDD, *block);
    std::free(block);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace {

using Calls = std::vector<std::string>;
using ::operator+;  // for Params

const std::string kLongUrl = "http://example.test/" + std::string(1000, 'p');

struct Case {
    const char* name;
    const char* url;
    std::vector<IID> refused;
    Calls calls;  // of those the fake watches: the start page, the held site, the end
    bool heldByOle;
};

const Case kCases[] = {
    {"every interface", "http://example.test/start", {}, {"Navigate http://example.test/start", "gone"}},
    {"no start page", nullptr, {}, {"Navigate about:blank", "gone"}},
    {"a long start page", kLongUrl.c_str(), {}, {"Navigate " + kLongUrl, "gone"}},
    // Neither a start page nor any page in a frame may open the disk or a share.
    {"a file page", "file:///C:/x.html", {}, {"Navigate file:///C:/x.html cancelled", "gone"}},
    {"a share", "\\\\h\\s\\x", {}, {"Navigate \\\\h\\s\\x cancelled", "gone"}},
    {"no IWebBrowser2", "x", {IID_IWebBrowser2}, {"gone"}},
    {"no events", "x", {IID_IConnectionPointContainer}, {"Navigate x", "gone"}},
    {"no IOleObject", "x", {IID_IOleObject}, {"Navigate x", "gone"}},
    {"no control", "x", {IID_IUnknown}, {"gone"}},
    // A control that only the end of OLE lets go of calls its site on the
    // way out: the sites must outlive the end of OLE.
    {"held by OLE to its end", "x", {}, {"Navigate x", "site still there", "gone"}, true},
};

class BrowserHost : public ::testing::Test {
protected:
    void SetUp() override {
        OleInitialize(nullptr);
        parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override {
        DestroyWindow(parent);
        OleUninitialize();
    }
    HWND parent = nullptr;
};

// Each case on a thread of its own, whose OLE ends with the host's as in the shell.
TEST(BrowserHostControl, OpensWebPagesOnlyAndLetsGoWithTheSitesStillThere) {
    for (const Case& c : kCases) {
        std::thread([&] {
            CoInitialize(nullptr);
            HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
            FakeBrowserClass fake(c.calls, c.refused, c.heldByOle);
            fake.watched = {"Navigate", "site ", "gone"};
            auto* host = new CBrowserHost;
            host->Create(parent, c.url, 10, 20, 300, 200, false);
            CoUninitialize();
            delete host;
            EXPECT_EQ(fake.Verdict(), "") << c.name;
            DestroyWindow(parent);
        }).join();
    }
}

TEST_F(BrowserHost, SitesShareTheHostsIdentityShowStatusAndDecideMenus) {
    FakeBrowserClass fake({}, {IID_IUnknown});
    auto* host = new CBrowserHost;
    host->Create(parent, "x", 0, 0, 10, 10, false);
    host->frame->SetStatusText(L"dropped: no status line yet");
    host->CreateStatusWindow(GetModuleHandleA(nullptr), 0, 0, 200, 20, "FFFFFF");
    for (const wchar_t* text : {L"100% of %s and %n", L""}) host->frame->SetStatusText(text);
    EXPECT_STREQ(host->statusWin->text, "100% of %s and %n");
    EXPECT_EQ(Accessible(host->statusWnd), "\"100% of %s and %n\" role 41 -");
    // Three bytes a character in this code page: the text must not vanish.
    EXPECT_EQ(GetACP(), 65001u) << "run with LC_ALL=hi_IN.UTF-8";
    host->frame->SetStatusText(L"\x0939\x093f\x0902\x0926\x0940");
    EXPECT_STREQ(host->statusWin->text, "\xe0\xa4\xb9\xe0\xa4\xbf\xe0\xa4\x82\xe0\xa4\xa6\xe0\xa5\x80");

    // The page is scaled by the control itself, at the window's DPI.
    DOCHOSTUIINFO hostInfo{};
    host->uiHandler->GetHostInfo(&hostInfo);
    EXPECT_TRUE(hostInfo.dwFlags & DOCHOSTUIFLAG_DPI_AWARE);

    for (bool showMenu : {false, true}) {
        host->showIeMenu = showMenu;
        for (DWORD kind : {CONTEXT_MENU_DEFAULT, CONTEXT_MENU_IMAGE, CONTEXT_MENU_CONTROL, CONTEXT_MENU_ANCHOR}) {
            const HRESULT shown = kind == CONTEXT_MENU_CONTROL || showMenu ? S_FALSE : S_OK;
            EXPECT_EQ(host->uiHandler->ShowContextMenu(kind, nullptr, nullptr, nullptr), shown) << kind << showMenu;
        }
    }

    // The frame and the document window the control is given hold a
    // reference each, and name the window it lives in.
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* document = nullptr;
    RECT position{}, clip{};
    OLEINPLACEFRAMEINFO info{sizeof info};
    const ULONG before = host->refCount;
    ASSERT_EQ(host->inPlaceSite->GetWindowContext(&frame, &document, &position, &clip, &info), S_OK);
    EXPECT_TRUE(host->refCount == before + 2 && info.hwndFrame == parent);
    document->Release();
    // The last reference let go through any site ends the host.
    ULONG left = 1;
    for (int i = 0; i < 16 && left != 0; ++i) left = frame->Release();
    EXPECT_EQ(left, 0u);
}

// The shell itself in this process, with the fake in place of the control:
// its navigation buttons, clicked with the mouse, reach the control in order,
// keys typed into the page are offered to the control first, the control
// moves with the window's DPI, and it is let go of at the end.
TEST(RunningShell, NavigationButtonsAndKeysReachTheControlInOrder) {
    std::vector<std::string> args;
    PrepareSite({"navigation", Params{{"SKIN", "skin-301x201.bmp"}, {"APP_BROWSER_RECT", "10,30,281,120"},
                                      {"APP_NAVIGATE_TO", "http://start.test/"}} +
                                   Button("BACK", "10,175") + Button("FORWARD", "35,175") + Button("HOME", "60,175") +
                                   Button("REFRESH", "85,175")},
                &args);
    OleInitialize(nullptr);
    int result = -1;
    {
        // Its active object only as it hands it over, not when asked; "gone"
        // only once the host has let go of it too.
        FakeBrowserClass fake({"SetObjectRects 10,30,291,150 clip 10,30,291,150", "GoBack", "GoForward", "GoHome",
                               "Refresh", "TranslateAccelerator 9", "page keydown 9", "page char 9",
                               "TranslateAccelerator 65", "SetObjectRects 15,45,437,225 clip 15,45,437,225", "gone"},
                              {IID_IOleInPlaceActiveObject});
        fake.watched = {"SetObjectRects", "Go", "Refresh", "TranslateAccelerator", "page ", "gone"};
        fake.takenKey = 'A';
        std::thread user([&] {
            std::vector<HWND> main;
            WaitUntil([&] { return !(main = VisibleWindows(GetCurrentProcessId(), "Korvane")).empty(); }, 20000);
            RECT r{};
            if (!main.empty()) GetWindowRect(main[0], &r);
            for (int i = 0; i < 4 && !main.empty(); ++i) {
                // One click at a time, each seen to arrive, so the order is the clicks'.
                const size_t before = fake.CallsSoFar();
                MouseClickAt(r.left + 20 + 25 * i, r.top + 183);
                WaitUntil([&] { return fake.CallsSoFar() > before; }, 3000);
            }
            XdoKeys("Tab a");
            WaitUntil([&] { return fake.CallsSoFar() >= 9; }, 3000);
            // Moved to a monitor at 150%: the window takes the rectangle offered, and all in it scales.
            if (!main.empty()) {
                RECT offered{r.left + 1, r.top + 2, r.left + 454, r.top + 304}, window{}, back{}, outline{};
                SendMessageA(main[0], 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&offered));
                GetWindowRect(main[0], &window);
                GetWindowRect(FindWindowExA(main[0], nullptr, "CBITBUTTON", nullptr), &back);
                UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
                GetWindowRgn(main[0], region.get());
                GetRgnBox(region.get(), &outline);
                EXPECT_TRUE(EqualRect(&window, &offered) && back.left - window.left == 15 && back.top - window.top == 263 &&
                            back.right - back.left == 30 && back.bottom - back.top == 24 && outline.right == 452 &&
                            outline.bottom == 302);
                PostMessageA(main[0], WM_SYSCOMMAND, SC_CLOSE, 0);
            }
            if (HWND box = ErrorBox(GetCurrentProcessId())) PressOk(box);
        });
        char program[] = "korvane";
        char* argv[] = {program, &args[0][0], nullptr};
        result = RunKorvane(GetModuleHandleA(nullptr), 2, argv);
        user.join();
        EXPECT_EQ(fake.Verdict(), "");
    }
    OleUninitialize();
    EXPECT_EQ(result, 1);
}

// No stand-in: the platform's own control, which renders no page here but is
// created, placed, and let go of without calling into a freed site.
TEST_F(BrowserHost, ThePlatformControlIsPlacedAndLetGoOf) {
    auto* host = new CBrowserHost;
    host->Create(parent, "about:blank", 10, 20, 300, 200, false);
    ASSERT_NE(host->browser, nullptr) << "the platform control could not be created";
    HWND control = GetWindow(parent, GW_CHILD);
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_TRUE(r.left == 10 && r.top == 20 && r.right == 310 && r.bottom == 220);
    IWebBrowser2* browser = host->browser;
    browser->AddRef();  // the control outlives the host
    delete host;
    EXPECT_FALSE(IsWindow(control)) << "the control was not closed";
    EXPECT_EQ(browser->Release(), 0u);
}

}  // namespace
