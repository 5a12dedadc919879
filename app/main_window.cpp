// The main window: builds the browser, the status line and the buttons while
// it is created, and turns the navigation buttons' messages into browser calls.
#include "app/app.h"

#include "browser/browser_host.h"
#include "controls/bit_button.h"
#include "remote/remote_params.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace {

struct ButtonRow {
    const char* progressText;
    const char* positionName;
    const char* pressedName;
    const char* hotName;
    const char* normalName;
    int slot;
    UINT message;
    WPARAM wParam;
    const char* loadedFormat;
};

// Table order is creation order. Slot 5 stays free: refresh takes slot 6.
const ButtonRow kButtons[] = {
    {"Getting Close Button Images", "BUTTON_CLOSE_POS", "BUTTON_CLOSE_CLICK", "BUTTON_CLOSE_HOT",
     "BUTTON_CLOSE_NORMAL", 0, WM_SYSCOMMAND, SC_CLOSE, "Loading %s"},
    {"Getting Minimizee Button Images", "BUTTON_MIN_POS", "BUTTON_MIN_CLICK", "BUTTON_MIN_HOT",
     "BUTTON_MIN_NORMAL", 1, WM_SYSCOMMAND, SC_MINIMIZE, "Loaded %s"},
    {"Getting Browser GoBack Button Images", "BUTTON_BACK_POS", "BUTTON_BACK_CLICK",
     "BUTTON_BACK_HOT", "BUTTON_BACK_NORMAL", 2, kCmdGoBack, 0, "Loaded %s"},
    {"Getting Browser GoForward Button Images", "BUTTON_FORWARD_POS", "BUTTON_FORWARD_CLICK",
     "BUTTON_FORWARD_HOT", "BUTTON_FORWARD_NORMAL", 3, kCmdGoForward, 0, "Loaded %s"},
    {"Getting Browser GoHome Button Images", "BUTTON_HOME_POS", "BUTTON_HOME_CLICK",
     "BUTTON_HOME_HOT", "BUTTON_HOME_NORMAL", 4, kCmdGoHome, 0, "Loaded %s"},
    {"Getting Browser Refresh Button Images", "BUTTON_REFRESH_POS", "BUTTON_REFRESH_CLICK",
     "BUTTON_REFRESH_HOT", "BUTTON_REFRESH_NORMAL", 6, kCmdRefresh, 0, "Loaded %s"},
};

void BuildBrowser(HWND wnd, const std::int32_t rect[4]) {
    CBrowserHost* host = new (std::nothrow) CBrowserHost;
    if (!host) return;
    bool showMenu = remoteParams->GetParamBool("APP_SHOW_IE_MENU", false);
    // Too long a start URL counts as none: a cut one would open the wrong page.
    char startUrl[kValueCapacity];
    const char* url = remoteParams->GetParamString("APP_NAVIGATE_TO", startUrl, sizeof startUrl);
    host->Create(wnd, url, rect[0], rect[1], rect[2], rect[3], showMenu);
    browserHost = host;
}

void BuildStatusLine() {
    ReportProgress("Getting Internet Explorer InfoWin Position");
    std::int32_t rect[4];
    // Its absence is no error: a missing status rectangle is all zeros.
    remoteParams->GetParamRect("APP_STATUS_RECT", rect);
    char colour[kColourCapacity];
    // Absent, or too long to be a colour: the default.
    if (!remoteParams->GetParamString("APP_STATUS_COLOR", colour, sizeof colour)) {
        std::strcpy(colour, "FFFFFF");
    }
    browserHost->CreateStatusWindow(appState->instance, rect[0], rect[1], rect[2], rect[3],
                                    colour);
}

void BuildButton(HWND wnd, const ButtonRow& row) {
    ReportProgress("%s", row.progressText);
    std::int32_t position[4];
    if (!remoteParams->GetParamRect(row.positionName, position)) return;

    // All three are asked for even after a failure; the button keeps what it
    // is given and frees it, window or not.
    HBITMAP pressed = remoteParams->LoadRemoteImage(row.pressedName);
    HBITMAP hot = remoteParams->LoadRemoteImage(row.hotName);
    HBITMAP normal = remoteParams->LoadRemoteImage(row.normalName);

    CBitButton& button = buttonTable[row.slot];
    HWND made = button.Create(normal, hot, pressed, wnd, appState->instance, position[0],
                              position[1]);
    button.actionWindow = wnd;
    button.actionMessage = row.message;
    button.actionWParam = row.wParam;
    button.actionLParam = 0;
    if (made) ReportProgress(row.loadedFormat, remoteParams->contextText);
}

void BuildContents(HWND wnd) {
    // Only start-up creates this window, after it has made all of these.
    if (!appState || !remoteParams || !buttonTable) return;
    ReportProgress("Getting Internet Explorer Control Position");
    std::int32_t browserRect[4];
    if (!remoteParams->GetParamRect("APP_BROWSER_RECT", browserRect)) {
        ShowErrorBox(kParameterErrorFormat, remoteParams->sourceUrl, remoteParams->contextText);
        PostQuitMessage(0);
        return;
    }

    BuildBrowser(wnd, browserRect);
    if (browserHost) BuildStatusLine();

    for (const ButtonRow& row : kButtons) BuildButton(wnd, row);

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
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(wnd, msg, wParam, lParam);
}
