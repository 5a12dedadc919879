// Process-wide state of the shell, start-up and shutdown.
#pragma once
#include <windows.h>

#include <cstddef>
#include <optional>

class CBitButton;
class CRemoteParams;
class CLoaderWin;
class CBrowserHost;
class CWindowSkin;

constexpr int kButtonSlots = 10;
constexpr int kDocumentUrlCapacity = 1024;
constexpr int kTitleCapacity = 1024;
constexpr int kErrorTextCapacity = 2048;
constexpr int kAppIconId = 102;

// The error box text for a parameter or image the document did not give:
// the document's source URL, then what was looked up last.
constexpr char kParameterErrorFormat[] =
    "Error: Could not get parameter from remote server\r\nServer: %s\r\n%s";

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
    BITMAP skinInfo;  // the skin as drawn: its size is at 96 DPI, not as shown
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
// Copies the document URL (the first argument, or the built-in one) into
// dest; false, with dest empty, when it does not fit in capacity.
bool ChooseDocumentUrl(int argc, char** argv, char* dest, std::size_t capacity);
// Builds the main window's skin in place. When the skin cannot be built its
// reason is shown in the error box and the result is false; the bitmap is the
// skin's from the start, whether it succeeds or not.
bool BuildMainSkin(std::optional<CWindowSkin>& skin, HBITMAP bitmap, HWND wnd);
// The skin's picture once the skin has scaled it: the main skin image from
// then on, and the main window's class brush made anew from it.
void TakeScaledSkin(HWND wnd, HBITMAP picture);
LRESULT CALLBACK MainWindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
// A message of the main loop before TranslateMessage: a browser shortcut is
// carried out, a key for the page is offered to the control. True when the
// message was used up and must be neither translated nor dispatched.
bool TakeKeyboardMessage(MSG* msg);
