// The main window: builds the browser, the status line and the buttons while
// it is created, and turns the navigation buttons' messages into browser calls.
#include "app/app.h"

#include "browser/browser_host.h"
#include "common/dpi_scale.h"
#include "controls/bit_button.h"
#include "controls/dpi.h"
#include "controls/info_win.h"
#include "controls/window_skin.h"
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

// Not declared for the Windows versions the shell is built for.
constexpr UINT kMsgDpiChanged = 0x02E0;  // WM_DPICHANGED

// The DPI that everything inside the window is built for. The document's
// numbers are pixels at 96 DPI; each piece is scaled as it is made, and
// again when the window moves to a monitor of another DPI.
int contentsDpi = kBaseDpi;

DpiBox ScaledBox(const std::int32_t rect[4]) { return ScaleBoxToDpi(rect[0], rect[1], rect[2], rect[3], contentsDpi); }

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
    const DpiBox box = ScaledBox(rect);
    host->Create(wnd, url, box.x, box.y, box.width, box.height, showMenu);
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
    const DpiBox box = ScaledBox(rect);
    browserHost->CreateStatusWindow(appState->instance, box.x, box.y, box.width, box.height, colour);
}

void BuildButton(HWND wnd, const ButtonSpec& row) {
    ReportProgress("%s", row.progressText);
    std::int32_t position[4];
    if (!remoteParams->GetParamRect(row.position, position)) return;

    // All three are asked for even after a failure; the button keeps what it
    // is given and frees it, window or not.
    HBITMAP pressed = RescalePicture(remoteParams->LoadRemoteImage(row.pressed), kBaseDpi, contentsDpi);
    HBITMAP hot = RescalePicture(remoteParams->LoadRemoteImage(row.hot), kBaseDpi, contentsDpi);
    HBITMAP normal = RescalePicture(remoteParams->LoadRemoteImage(row.normal), kBaseDpi, contentsDpi);

    CBitButton& button = buttonTable[row.slot];
    HWND made = button.Create(normal, hot, pressed, wnd, appState->instance, ScaleToDpi(position[0], contentsDpi),
                              ScaleToDpi(position[1], contentsDpi));
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
    contentsDpi = WindowDpi(wnd);
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

// The skin and everything inside the window at a new DPI: places from the
// document's numbers again, pictures from what they are now.
void RescaleContents(HWND wnd, int dpi) {
    if (CWindowSkin* skin = SkinOf(wnd); skin && skin->SetDpi(dpi)) TakeScaledSkin(wnd, skin->bitmap.get());
    const int from = contentsDpi;
    contentsDpi = dpi;
    if (!appState || !remoteParams || !buttonTable) return;
    std::int32_t rect[4];
    if (browserHost && remoteParams->GetParamRect(param::kBrowserRect, rect)) {
        const DpiBox box = ScaledBox(rect);
        browserHost->Place(box.x, box.y, box.width, box.height);
    }
    if (browserHost && browserHost->statusWin) {
        remoteParams->GetParamRect(param::kStatusRect, rect);
        const DpiBox box = ScaledBox(rect);
        browserHost->statusWin->Place(box.x, box.y, box.width, box.height);
    }
    for (const ButtonSpec& row : kButtonSpecs) {
        CBitButton& button = buttonTable[row.slot];
        if (!button.window || !remoteParams->GetParamRect(row.position, rect)) continue;
        for (UniqueBitmap* image : {&button.normalImage, &button.hotImage, &button.pressedImage})
            image->reset(RescalePicture(image->release(), from, dpi));
        BITMAP size{};
        GetObjectA(button.normalImage.get(), sizeof size, &size);
        MoveWindow(button.window, ScaleToDpi(rect[0], dpi), ScaleToDpi(rect[1], dpi), size.bmWidth, size.bmHeight,
                   TRUE);
    }
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
    case kMsgDpiChanged: {
        RescaleContents(wnd, LOWORD(wParam));
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(wnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(wnd, nullptr, TRUE);
        break;
    }
    case WM_SETFOCUS:
        // Back from being minimised or another window: the page takes it.
        if (browserHost) browserHost->FocusPage();
        break;
    default:
        break;
    }
    return DefWindowProcA(wnd, msg, wParam, lParam);
}
