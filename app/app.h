// Process-wide state of the shell, start-up and shutdown.
#pragma once
#include <windows.h>

class CBitButton;
class CRemoteParams;
class CLoaderWin;
class CBrowserHost;

constexpr int kButtonSlots = 10;
constexpr int kDocumentUrlCapacity = 1024;
constexpr int kTitleCapacity = 1024;
constexpr int kErrorTextCapacity = 2048;
constexpr int kAppIconId = 102;

// Private commands that the navigation buttons send to the main window.
constexpr UINT kCmdGoHome = WM_USER;
constexpr UINT kCmdGoBack = WM_USER + 1;
constexpr UINT kCmdGoForward = WM_USER + 2;
constexpr UINT kCmdRefresh = WM_USER + 3;

struct AppState {
    HINSTANCE instance;
    HWND mainWnd;
    HBITMAP skinBitmap;
    HBITMAP loaderBitmap;
    HBRUSH backgroundBrush;
    BITMAP skinInfo;
    char documentUrl[kDocumentUrlCapacity];
};

extern AppState* appState;
extern CBitButton* buttonTable;
extern CRemoteParams* remoteParams;
extern CLoaderWin* loader;
extern CBrowserHost* browserHost;

extern const char* const kDefaultDocumentUrl;

// The shell from the command line to the exit code.
int RunKorvane(HINSTANCE instance, int argc, char** argv);
void CleanupApp();
void ShowErrorBox(const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(gnu_printf, 1, 2)))
#endif
    ;
// A progress text in the loader's info window, when there is one.
void ReportProgress(const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(gnu_printf, 1, 2)))
#endif
    ;
LRESULT CALLBACK MainWindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
