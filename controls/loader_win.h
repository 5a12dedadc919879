// The splash window shown on its own thread while the shell is built.
#pragma once
#include <windows.h>

class CInfoWin;

class CLoaderWin {
public:
    CLoaderWin();
    virtual ~CLoaderWin();

    HWND window = nullptr;
    HWND infoWindow = nullptr;
    HBITMAP bitmap = nullptr;      // not owned
    CInfoWin* infoObject = nullptr;  // owned

    CLoaderWin(const CLoaderWin&) = delete;
    CLoaderWin& operator=(const CLoaderWin&) = delete;
};

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
