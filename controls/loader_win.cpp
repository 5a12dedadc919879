#include "controls/loader_win.h"

#include <cstdint>
#include <new>

#include "controls/info_win.h"
#include "controls/window_prop.h"
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
    if (NoPosition(x, y)) {
        x = Centred(screenWidth, w);
        y = Centred(screenHeight, h);
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
