// The splash window shown on its own thread while the shell is built.
#pragma once
#include <windows.h>

class CInfoWin;

class CLoaderWin {
public:
    CLoaderWin();
    virtual ~CLoaderWin();
    CLoaderWin(const CLoaderWin&) = delete;
    CLoaderWin& operator=(const CLoaderWin&) = delete;

    HWND window = nullptr;
    HWND infoWindow = nullptr;
    HBITMAP bitmap = nullptr;      // not owned
    CInfoWin* infoObject = nullptr;  // owned
};

// Thread routine; param points at the variable holding the hand-shake event
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
DWORD WINAPI LoaderThreadProc(LPVOID param);
// The hand-shake's one race, when start-up stops waiting: the loader thread
// claims the shared state once its image is in, start-up gives up on it
// after the fetch deadline, and whichever comes first decides. Each is false
// when the other came first.
bool LoaderClaims();
bool StartUpGivesUp();
void CreateAndRun(CLoaderWin* loader, HBITMAP bitmap, int x, int y, HANDLE event,
                  const char* colourText);
LRESULT CALLBACK LoaderWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

// The progress line's first text, set before the loader is shown.
extern const char* const kLoaderFirstText;

struct LoaderGeometry {
    int x, y, width, height;  // the loader window
    int infoX, infoY, infoWidth, infoHeight;
};
// Placement of the loader (centred when x and y are both 0) and of its
// progress line, for a w by h image on a screen of the given size.
LoaderGeometry ComputeLoaderGeometry(int x, int y, int w, int h, int screenWidth,
                                     int screenHeight);
