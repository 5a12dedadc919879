// The browser host with the platform's own web-browser control.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browser/browser_host.h"
#include "fake_control.h"
#include "support/screen.h"

namespace {

struct ChildInfo {
    HWND wnd;
    std::string className;
    RECT inParent;
};

std::vector<ChildInfo> Children(HWND parent) {
    std::vector<ChildInfo> found;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        ChildInfo info{c, {}, {}};
        char name[128] = {};
        GetClassNameA(c, name, sizeof name);
        info.className = name;
        GetWindowRect(c, &info.inParent);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&info.inParent), 2);
        found.push_back(info);
    }
    return found;
}

std::string Describe(const std::vector<ChildInfo>& children) {
    std::string text;
    for (const ChildInfo& c : children) {
        text += c.className + " at " + DescribeRect(c.inParent) + "; ";
    }
    return text;
}

// No registration here: CLSID_WebBrowser is Wine's own control. Without an
// HTML engine it shows no page, but it is created, placed and closed.
TEST(RealBrowserControl, IsPlacedInPlaceAndLetGoOfCleanly) {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    HWND parent = SharedParent();
    DestroyChildren(parent);

    auto* host = new CBrowserHost;
    host->Create(parent, "about:blank", 10, 20, 300, 200, false);
    ASSERT_NE(host->browser, nullptr) << "the platform control could not be created";
    // The control keeps our sites while it is active.
    EXPECT_GT(host->refCount, 1u);
    PumpMessages(50, 1000);

    const std::vector<ChildInfo> children = Children(parent);
    const ChildInfo* control = nullptr;
    for (const ChildInfo& c : children) {
        if (SameRect(c.inParent, RECT{10, 20, 310, 220})) control = &c;
    }
    ASSERT_NE(control, nullptr) << Describe(children);
    const HWND controlWnd = control->wnd;
    EXPECT_TRUE(IsWindowVisible(controlWnd));

    host->CreateStatusWindow(GetModuleHandleA(nullptr), 10, 230, 300, 16, "FFFFFF");
    EXPECT_NE(host->statusWnd, nullptr);

    // Keep the control past the host: when it finally goes it must have
    // nothing of ours left to call.
    IWebBrowser2* browser = host->browser;
    browser->AddRef();
    delete host;
    PumpMessages(50, 1000);
    EXPECT_FALSE(IsWindow(controlWnd)) << "the control was not closed";
    EXPECT_EQ(browser->Release(), 0u);
    PumpMessages(20, 500);

    DestroyChildren(parent);
    OleUninitialize();
}

}  // namespace
