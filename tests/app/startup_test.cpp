// In-process checks of what the whole-program runs cannot see: the built-in
// URL, the error box's cut, and the navigation commands' mapping onto the
// browser's interface.
#include "app/app.h"
#include "browser/browser_host.h"
#include "support/process.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

// Dismisses the error box that the calling thread is about to show, and
// keeps its text.
class BoxWatcher {
public:
    BoxWatcher()
        : thread_([this] {
              HWND box = WaitForErrorBox(GetCurrentProcessId(), 10000);
              if (!box) return;
              text_ = MessageBoxText(box);
              PressOk(box);
          }) {}
    std::string Text() {
        thread_.join();
        return text_;
    }

private:
    std::string text_;
    std::thread thread_;
};

// The whole-program tests cover the argument's length limit; the built-in
// URL is only reachable here, as the test server cannot take its address.
TEST(DocumentUrl, WithoutArgumentTheBuiltInOne) {
    char dest[kDocumentUrlCapacity];
    char program[] = "korvane.exe";
    char* argv[] = {program, nullptr};
    ASSERT_TRUE(ChooseDocumentUrl(1, argv, dest, sizeof dest));
    EXPECT_STREQ(dest, kDefaultDocumentUrl);
}

TEST(ErrorBox, ALongTextIsCutToTheBox) {
    std::string context(5000, 'c');
    BoxWatcher watcher;
    ShowErrorBox("%s%s", "x", context.c_str());
    EXPECT_EQ(watcher.Text(), "x" + std::string(kErrorTextCapacity - 2, 'c'));
}

// A stand-in for the control's IWebBrowser2 that records which slot of its
// interface table is called. The table layout is the published one, so the
// slot numbers name the methods: 7 GoBack, 8 GoForward, 9 GoHome, 12 Refresh.
struct FakeBrowser {
    void* const* table;
    std::vector<int> calls;
};

template <int N>
HRESULT STDMETHODCALLTYPE RecordSlot(FakeBrowser* self) {
    self->calls.push_back(N);
    return S_OK;
}

template <int... N>
std::vector<void*> SlotTable(std::integer_sequence<int, N...>) {
    return {reinterpret_cast<void*>(&RecordSlot<N>)...};
}

TEST(MainWindow, NavigationCommandsReachTheBrowser) {
    HWND wnd = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(wnd);

    // Without a host the commands do nothing, and nothing fails.
    ASSERT_EQ(browserHost, nullptr);
    for (UINT m = WM_USER; m <= WM_USER + 3; ++m) MainWindowProc(wnd, m, 0, 0);

    const std::vector<void*> table = SlotTable(std::make_integer_sequence<int, 16>());
    FakeBrowser fake{table.data(), {}};
    browserHost = new CBrowserHost;
    browserHost->browser = reinterpret_cast<IWebBrowser2*>(&fake);
    for (UINT m = WM_USER; m <= WM_USER + 5; ++m) MainWindowProc(wnd, m, 0, 0);
    EXPECT_EQ(fake.calls, (std::vector<int>{9, 7, 8, 12}));

    browserHost->browser = nullptr;
    delete browserHost;
    browserHost = nullptr;
    DestroyWindow(wnd);
}

}  // namespace
