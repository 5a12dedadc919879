// The main thread from the command line to the exit code: fetch the document,
// hand the loader its thread, build and run the main window, release it all.
#include "app/app.h"

#include "browser/browser_host.h"
#include "common/dpi_scale.h"
#include "common/format_text.h"
#include "common/handles.h"
#include "controls/bit_button.h"
#include "controls/dpi.h"
#include "controls/info_win.h"
#include "controls/loader_win.h"
#include "controls/window_skin.h"
#include "remote/remote_params.h"
#include "remote/fetch_limits.h"
#include "remote/prefetch.h"
#include "remote/skin_params.h"
#include "remote/url_split.h"

#include <shellapi.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// The loader thread reads the event handle through this pointer; a static
// keeps the variable alive however late that thread gets to run.
HANDLE handshakeEvent = nullptr;

// The loader's progress line, when the loader made one.
CInfoWin* ProgressLine() {
    if (!loader || !loader->infoObject || !loader->infoObject->window) return nullptr;
    return loader->infoObject;
}

// Mirrors the line's current text to an attached debugger, so the progress
// can be followed without reading pixels off the splash.
void TraceProgressLine(const CInfoWin* line) {
    char trace[32 + sizeof line->text];
    std::snprintf(trace, sizeof trace, "Korvane: %.*s", static_cast<int>(sizeof line->text - 1),
                  line->text);
    OutputDebugStringA(trace);
}

// Starts the loader thread and returns once it has shown its window, or has
// given up on it. Without an event or a thread the shell simply runs with no
// splash.
void RunLoaderHandshake() {
    UniqueKernelHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!event) return;
    handshakeEvent = event.get();
    UniqueKernelHandle thread(CreateThread(nullptr, 0, LoaderThreadProc, &handshakeEvent, 0, nullptr));
    if (!thread) return;
    // Its fetch ends by the deadline; a loader still not up then is left
    // behind, unless it has just claimed the shared state and is on its way.
    if (WaitForSingleObject(event.get(), kFetchLimits.deadlineMs) == WAIT_TIMEOUT && StartUpGivesUp()) return;
    WaitForSingleObject(event.get(), INFINITE);
    // The loader never closes the event; closing it only here, after the wait,
    // means the handle cannot disappear while this thread still waits on it.
}

}  // namespace

bool BuildMainSkin(std::optional<CWindowSkin>& skin, HBITMAP bitmap, HWND wnd) {
    try {
        skin.emplace(bitmap, wnd);
        return true;
    } catch (const char* reason) {
        ShowErrorBox("%s", reason ? reason : kSkinError);
    }
    return false;
}

void TakeScaledSkin(HWND wnd, HBITMAP picture) {
    appState->skinBitmap = picture;
    HBRUSH brush = CreatePatternBrush(picture);
    if (!brush) return;
    SetClassLongPtrA(wnd, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(brush));
    if (appState->backgroundBrush) DeleteObject(appState->backgroundBrush);
    appState->backgroundBrush = brush;
}

void ReportProgress(const char* format, ...) {
    CInfoWin* line = ProgressLine();
    if (!line) return;
    char text[sizeof line->text];
    va_list args;
    va_start(args, format);
    FormatTextV(text, sizeof text, format, args);
    va_end(args);
    // Passed as an argument, never as the format: context texts come from the
    // server and may hold percent signs.
    line->SetInfoText("%s", text);
    TraceProgressLine(line);
}

void CleanupApp() {
    StopPrefetch();
    if (browserHost) {
        delete browserHost;
        browserHost = nullptr;
    }
    if (buttonTable) {
        delete[] buttonTable;
        buttonTable = nullptr;
    }
    if (remoteParams) {
        delete remoteParams;
        remoteParams = nullptr;
    }
    if (loader) {
        delete loader;
        loader = nullptr;
    }
    if (appState) {
        if (appState->backgroundBrush) DeleteObject(appState->backgroundBrush);
        if (appState->loaderBitmap) DeleteObject(appState->loaderBitmap);
        std::free(appState);
        appState = nullptr;
    }
}

int RunKorvane(HINSTANCE instance, int argc, char** argv) {
    appState = static_cast<AppState*>(std::calloc(1, sizeof(AppState)));
    if (appState) buttonTable = new (std::nothrow) CBitButton[kButtonSlots];
    if (buttonTable) remoteParams = new (std::nothrow) CRemoteParams;
    if (!remoteParams) {
        CleanupApp();
        return 0;
    }

    // An argument that does not fit is refused rather than cut: a cut URL
    // would fetch, or hand to the system, an address nobody asked for.
    if (!ChooseDocumentUrl(argc, argv, appState->documentUrl, sizeof appState->documentUrl)) {
        CleanupApp();
        return 0;
    }

    if (!remoteParams->LoadDocument(appState->documentUrl)) {
        // Not ours to show: let the user's browser have it. But only a web
        // address: "open" runs a program or a file as readily as it browses,
        // and the argument can come from any link or shortcut.
        UrlParts parts;
        if (SplitUrl(appState->documentUrl, &parts))
            ShellExecuteA(nullptr, "open", appState->documentUrl, "", "", SW_SHOWDEFAULT);
        CleanupApp();
        return 0;
    }

    PrefetchStartupImages(*remoteParams);
    appState->instance = instance;
    RunLoaderHandshake();
    if (CInfoWin* line = ProgressLine()) TraceProgressLine(line);

    HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(kAppIconId));

    ReportProgress("Loading Main Skin Image");
    appState->skinBitmap = remoteParams->LoadRemoteImage(param::kSkin);
    if (!appState->skinBitmap) {
        StopPrefetch();
        ShowErrorBox(kParameterErrorFormat, remoteParams->sourceUrl, remoteParams->contextText);
        return 0;
    }
    ReportProgress("Got: %s", remoteParams->contextText);

    appState->backgroundBrush = CreatePatternBrush(appState->skinBitmap);
    GetObjectA(appState->skinBitmap, sizeof(BITMAP), &appState->skinInfo);

    WNDCLASSA wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = appState->backgroundBrush;
    wc.lpszClassName = "Korvane";
    RegisterClassA(&wc);

    ReportProgress("Loading Application Startup Position");
    // The skin's numbers are pixels at 96 DPI; the window opens at the
    // screen's DPI.
    const int dpi = WindowDpi(nullptr);
    std::int32_t position[4];
    const bool placed = remoteParams->GetParamRect(param::kStartPos, position) != nullptr;
    const BITMAP& picture = appState->skinInfo;
    const DpiBox at = MainWindowBox(placed ? position : nullptr, picture.bmWidth, picture.bmHeight, dpi,
                                    GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));

    ReportProgress("Creating Korvane Window");
    // A title too long for the buffer counts as no title.
    char title[kTitleRule.capacity];
    const char* windowName = remoteParams->GetParamString(kTitleRule.name, title, sizeof title);

    appState->mainWnd = CreateWindowExA(0, "Korvane", windowName, WS_POPUP, at.x, at.y, at.width, at.height,
                                        nullptr, nullptr, instance, nullptr);
    if (!appState->mainWnd) {
        StopPrefetch();
        ShowErrorBox("Error: Could not create main window");
        return 0;
    }

    // Its contents and its skin are built for its own DPI, which differs
    // when it opened on a monitor of another DPI than the system's.
    if (const int own = WindowDpi(appState->mainWnd); own != dpi) {
        SetWindowPos(appState->mainWnd, nullptr, 0, 0, ScaleToDpi(appState->skinInfo.bmWidth, own),
                     ScaleToDpi(appState->skinInfo.bmHeight, own), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    std::optional<CWindowSkin> skin;
    if (!BuildMainSkin(skin, appState->skinBitmap, appState->mainWnd)) {
        // The skin disposes of its bitmap even when it fails; forget it here
        // so that nothing deletes it a second time.
        appState->skinBitmap = nullptr;
        DestroyWindow(appState->mainWnd);
        CleanupApp();
        return 0;
    }
    if (skin->bitmap.get() != appState->skinBitmap) TakeScaledSkin(appState->mainWnd, skin->bitmap.get());

    ReportProgress("Getting Top Most Parameter");
    if (remoteParams->GetParamBool(param::kTopMost, false)) {
        SetWindowPos(appState->mainWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }

    if (loader && loader->window) SendMessageA(loader->window, WM_SYSCOMMAND, SC_CLOSE, 0);

    ShowWindow(appState->mainWnd, SW_SHOW);
    UpdateWindow(appState->mainWnd);
    // The keyboard belongs to the page from the start, as in a browser.
    if (browserHost) browserHost->UIActivate();

    MSG msg;
    // -1 (an invalid call) ends the loop too instead of spinning on it.
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (TakeKeyboardMessage(&msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }

    ShowWindow(appState->mainWnd, SW_HIDE);
    CleanupApp();
    skin.reset();
    return 1;
}
