#include "controls/loader_win.h"

#include <atomic>
#include <cstdint>
#include <new>

#include "app/app.h"
#include "common/dpi_scale.h"
#include "common/handles.h"
#include "controls/dpi.h"
#include "controls/window_prop.h"
#include "controls/info_win.h"
#include "remote/remote_params.h"
#include "remote/skin_params.h"

namespace {

const char kLoaderClass[] = "KorvaneLoader";
const char kLoaderTitle[] = "Korvane Loader";
const char kLoaderProp[] = "LOADERPROR";

}  // namespace

const char* const kLoaderFirstText = "Loader Initialized";

CLoaderWin::CLoaderWin() = default;

CLoaderWin::~CLoaderWin() {
    if (window) {
        // Closing a window that is already gone does nothing.
        SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        RemovePropA(window, kLoaderProp);
    }
    delete infoObject;
    infoObject = nullptr;
}

LoaderGeometry ComputeLoaderGeometry(int x, int y, int w, int h, int screenWidth,
                                     int screenHeight) {
    LoaderGeometry g{};
    if (x == 0 && y == 0) {
        x = screenWidth / 2 - w / 2;
        y = screenHeight / 2 - h / 2;
    }
    g.x = x;
    g.y = y;
    g.width = w;
    g.height = h;
    // Wide intermediates: the percentages must not overflow for any size.
    const int margin = static_cast<int>(static_cast<std::int64_t>(w) * 10 / 100);
    const int top = static_cast<int>(static_cast<std::int64_t>(h) * 90 / 100);
    g.infoX = margin;
    g.infoY = top;
    g.infoWidth = w - 2 * margin;
    // As tall as its offset: the loader's bottom edge clips it to the strip
    // below 90 percent.
    g.infoHeight = top;
    return g;
}

void CreateAndRun(CLoaderWin* loaderWin, HBITMAP bitmap, int x, int y, HANDLE event,
                  const char* colourText) {
    if (!loaderWin) {
        SetEvent(event);
        return;
    }
    HBRUSH brush = CreatePatternBrush(bitmap);  // lives as long as the class
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    loaderWin->bitmap = bitmap;

    HINSTANCE instance = GetModuleHandleA(nullptr);

    WNDCLASSA wc{};
    wc.style = CS_VREDRAW | CS_HREDRAW;
    wc.lpfnWndProc = LoaderWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = brush;
    wc.lpszClassName = kLoaderClass;
    const bool registered = RegisterClassA(&wc) != 0;

    const LoaderGeometry g = ComputeLoaderGeometry(x, y, info.bmWidth, info.bmHeight,
                                                   GetSystemMetrics(SM_CXSCREEN),
                                                   GetSystemMetrics(SM_CYSCREEN));

    HWND wnd = CreateWindowExA(0, kLoaderClass, kLoaderTitle, WS_POPUP, g.x, g.y, g.width,
                               g.height, nullptr, nullptr, instance, loaderWin);
    loaderWin->window = wnd;
    if (!wnd) {
        SetEvent(event);
        return;
    }
    if (!registered && brush) {
        // The class outlived an earlier loader of this process and still
        // carries that loader's picture.
        SetClassLongPtrA(wnd, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(brush));
    }

    SetWindowPos(wnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

    loaderWin->infoObject = new (std::nothrow) CInfoWin;
    if (loaderWin->infoObject) {
        loaderWin->infoWindow = loaderWin->infoObject->Create(
            wnd, instance, g.infoX, g.infoY, g.infoWidth, g.infoHeight, colourText);
        loaderWin->infoObject->SetInfoText("%s", kLoaderFirstText);
    }

    ShowWindow(wnd, SW_SHOW);
    UpdateWindow(wnd);

    // From here on the waiting thread owns the shared state again.
    SetEvent(event);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

namespace {
enum HandshakeState { kWaiting, kLoaderClaimed, kStartUpGaveUp };
std::atomic<int> handshakeState{kWaiting};
}  // namespace

bool LoaderClaims() {
    int waiting = kWaiting;
    return handshakeState.compare_exchange_strong(waiting, kLoaderClaimed);
}

bool StartUpGivesUp() {
    int waiting = kWaiting;
    return handshakeState.compare_exchange_strong(waiting, kStartUpGaveUp);
}

DWORD WINAPI LoaderThreadProc(LPVOID param) {
    HANDLE event = param ? *static_cast<HANDLE*>(param) : nullptr;

    if (!appState || !remoteParams) {
        SetEvent(event);
        return 0;
    }

    UniqueBitmap bitmap(remoteParams->LoadRemoteImage(param::kLoaderImage));
    // Start-up may have gone on without us while the image came in; then
    // nothing it shares may be touched, not even the event.
    if (!LoaderClaims()) return 0;
    // Drawn at 96 DPI, shown at the screen's, like everything of the skin.
    const int dpi = WindowDpi(nullptr);
    appState->loaderBitmap = RescalePicture(bitmap.release(), kBaseDpi, dpi);
    if (!appState->loaderBitmap) {
        SetEvent(event);
        return 0;
    }

    loader = new (std::nothrow) CLoaderWin;
    if (!loader) {
        SetEvent(event);
        return 0;
    }

    std::int32_t position[4] = {0, 0, 0, 0};
    // A single number is still wanted: it is the top.
    remoteParams->GetParamRect(param::kLoaderPos, position);

    char colour[kValueCapacity] = {};
    remoteParams->GetParamString(param::kLoaderTextColour, colour, sizeof colour);

    // The first number is the top, the second the left edge.
    CreateAndRun(loader, appState->loaderBitmap, ScaleToDpi(position[1], dpi), ScaleToDpi(position[0], dpi), event,
                 colour);
    return 0;
}

LRESULT CALLBACK LoaderWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    KeepCreateParamAsProp(wnd, msg, lParam, kLoaderProp, GetPropA(wnd, kLoaderProp));
    switch (msg) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(wnd, msg, wParam, lParam);
}
