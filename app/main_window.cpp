// The main window: builds the browser, the status line and the buttons while
// it is created, and turns the navigation buttons' messages into browser calls.
#include "app/app.h"

#include "browser/browser_host.h"
#include "controls/bit_button.h"
#include "remote/remote_params.h"
#include "remote/skin_params.h"
#include "remote/url_split.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace {

static_assert(kMsgSysCommand == WM_SYSCOMMAND && kSysClose == SC_CLOSE &&
                  kSysMinimise == SC_MINIMIZE && kMsgGoHome == kCmdGoHome &&
                  kMsgGoBack == kCmdGoBack && kMsgGoForward == kCmdGoForward &&
                  kMsgRefresh == kCmdRefresh,
              "the button table's messages are the window system's");

void BuildBrowser(HWND wnd, const std::int32_t rect[4]) {
    CBrowserHost* host = new (std::nothrow) CBrowserHost;
    if (!host) return;
    bool showMenu = remoteParams->GetParamBool(param::kShowIeMenu, false);
    // Too long a start URL counts as none: a cut one would open the wrong page.
    char startUrl[kValueCapacity];
    const char* url = remoteParams->GetParamString(param::kNavigateTo, startUrl, sizeof startUrl);
    // Only a web page: the document may come over plain http, and a file, a
    // share or script would open with more rights than the web has.
    if (url && !IsWebAddress(url)) url = nullptr;
    host->Create(wnd, url, rect[0], rect[1], rect[2], rect[3], showMenu);
    browserHost = host;
}

void BuildStatusLine() {
    ReportProgress("Getting Internet Explorer InfoWin Position");
    std::int32_t rect[4];
    // Its absence is no error: a missing status rectangle is all zeros.
    remoteParams->GetParamRect(kStatusRectRule.name, rect);
    char colour[kStatusColourRule.capacity];
    // Absent, or too long to be a colour: the default.
    if (!remoteParams->GetParamString(kStatusColourRule.name, colour, sizeof colour)) {
        std::strcpy(colour, param::kDefaultStatusColour);
    }
    browserHost->CreateStatusWindow(appState->instance, rect[0], rect[1], rect[2], rect[3],
                                    colour);
}

void BuildButton(HWND wnd, const ButtonSpec& row) {
    ReportProgress("%s", row.progressText);
    std::int32_t position[4];
    if (!remoteParams->GetParamRect(row.position, position)) return;

    // All three are asked for even after a failure; the button keeps what it
    // is given and frees it, window or not.
    HBITMAP pressed = remoteParams->LoadRemoteImage(row.pressed);
    HBITMAP hot = remoteParams->LoadRemoteImage(row.hot);
    HBITMAP normal = remoteParams->LoadRemoteImage(row.normal);

    CBitButton& button = buttonTable[row.slot];
    HWND made = button.Create(normal, hot, pressed, wnd, appState->instance, position[0],
                              position[1]);
    button.actionWindow = wnd;
    button.actionMessage = row.message;
    button.actionWParam = row.wParam;
    button.actionLParam = 0;
    button.accessibleName = row.accessibleName;
    if (made) ReportProgress(row.loadedFormat, remoteParams->contextText);
}

void BuildContents(HWND wnd) {
    // Only start-up creates this window, after it has made all of these.
    if (!appState || !remoteParams || !buttonTable) return;
    ReportProgress("Getting Internet Explorer Control Position");
    std::int32_t browserRect[4];
    if (!remoteParams->GetParamRect(param::kBrowserRect, browserRect)) {
        ShowErrorBox(kParameterErrorFormat, remoteParams->sourceUrl, remoteParams->contextText);
        PostQuitMessage(0);
        return;
    }

    BuildBrowser(wnd, browserRect);
    if (browserHost) BuildStatusLine();

    for (const ButtonSpec& row : kButtonSpecs) BuildButton(wnd, row);

    ReportProgress("Done Loading");
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        BuildContents(wnd);
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        break;
    case kCmdGoHome:
    case kCmdGoBack:
    case kCmdGoForward:
    case kCmdRefresh:
        if (browserHost && browserHost->browser) {
            IWebBrowser2* browser = browserHost->browser;
            if (msg == kCmdGoHome) browser->GoHome();
            else if (msg == kCmdGoBack) browser->GoBack();
            else if (msg == kCmdGoForward) browser->GoForward();
            else browser->Refresh();
            // A click on a skin button leaves the keyboard with the page.
            browserHost->FocusPage();
        }
        break;
    case WM_SETFOCUS:
        // Back from being minimised or another window: the page takes it.
        if (browserHost) browserHost->FocusPage();
        break;
    default:
        break;
    }
    return DefWindowProcA(wnd, msg, wParam, lParam);
}
