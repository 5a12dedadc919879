// Process-wide state of the shell, start-up and shutdown.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstring>
#include <optional>

class CBitButton;
class CRemoteParams;
class CLoaderWin;
class CBrowserHost;
class CWindowSkin;

constexpr int kButtonSlots = 10;
constexpr int kDocumentUrlCapacity = 1024;
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

inline constexpr char kDefaultDocumentUrl[] = "http://127.0.0.53/demo/korvane.xml";

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
// dest; false, with dest empty, when it does not fit in capacity. Inline, so
// that the checker chooses as the shell does without linking the shell.
inline bool ChooseDocumentUrl(int argc, char** argv, char* dest, std::size_t capacity) {
    if (!dest || capacity == 0) return false;
    dest[0] = '\0';
    const char* url = (argc < 2 || !argv || !argv[1]) ? kDefaultDocumentUrl : argv[1];
    const std::size_t length = std::strlen(url);
    if (length >= capacity) return false;
    std::memcpy(dest, url, length + 1);
    return true;
}
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

// Thread routine; eventSlot points at the variable holding the hand-shake event
// (a manual-reset event, not signalled). The thread reads that variable once,
// at its start, and sets the event exactly once, on every path: after the
// loader window is shown, or at once when there is no loader image, no memory
// for the loader, or no loader window. Returns 0.
//
// The event belongs to the caller: this thread never closes it, and touches
// neither the event nor the variable after setting it. The caller closes the
// handle itself once its wait has returned, so the handle can never vanish
// under the waiter, whichever of the two threads runs first. The variable
// must stay alive until the event is set.
DWORD WINAPI LoaderThreadProc(LPVOID eventSlot);
// The hand-shake's one race, when start-up stops waiting: the loader thread
// claims the shared state once its image is in, start-up gives up on it
// after the fetch deadline, and whichever comes first decides. Each is false
// when the other came first.
bool LoaderClaims();
bool StartUpGivesUp();
