// Helpers for tests that look at real windows: bitmaps of known pixels,
// reading back what the screen shows, regions, GDI object counts, message
// pumping and synthetic mouse input.
//
// Colours are COLORREF values (0x00BBGGRR); pixel rows run top to bottom.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> data;  // width * height, row by row from the top

    COLORREF at(int x, int y) const { return data[static_cast<size_t>(y) * width + x]; }
};

using ColourAt = std::function<COLORREF(int x, int y)>;
using RawPixelAt = std::function<uint32_t(int x, int y)>;

// A DIB section of the given depth whose pixels are given as raw values:
// a colour-table index for 1, 4 and 8 bits, a 5-5-5 word for 16 bits,
// 0x00RRGGBB for 24 bits and the whole 32-bit word (top byte included) for
// 32 bits. colourTable is used for depths up to 8. Null on failure.
HBITMAP MakeRawDib(int width, int height, int bitsPerPixel,
                   const std::vector<RGBQUAD>& colourTable, const RawPixelAt& raw,
                   bool topDown = true);

// A DIB section of 1, 4, 8, 16 (5-5-5), 24 or 32 bits showing colour(x, y).
// For depths up to 8 the colour table holds the distinct colours in order of
// first appearance; more than fit make it fail (null). At 16 bits colours
// lose their low three bits per channel.
HBITMAP MakeDib(int width, int height, int bitsPerPixel, const ColourAt& colour,
                bool topDown = true);
HBITMAP MakeSolidDib(int width, int height, COLORREF colour, int bitsPerPixel = 32);
// The bytes of a bottom-up BMP file of such a DIB, as a server would send
// it; empty on failure.
std::string BmpFile(int width, int height, int bitsPerPixel, const ColourAt& colour);

// A device-dependent bitmap (CreateCompatibleBitmap on the screen) showing
// colour(x, y). Null on failure.
HBITMAP MakeDeviceBitmap(int width, int height, const ColourAt& colour);

// The pixels of a bitmap as a 32-bit read of it gives them.
Pixels ReadBitmap(HBITMAP bitmap);

// What the screen shows in a rectangle of screen coordinates, copied with
// BitBlt from the screen's device context.
Pixels CaptureScreen(const RECT& screenRect);
// The screen under a window's whole rectangle (frame included).
Pixels CaptureWindow(HWND wnd);

// A window's whole rectangle on screen; empty when there is no such window.
RECT WindowRect(HWND wnd);
bool SameRect(const RECT& a, const RECT& b);
// "left,top,right,bottom", for failure messages.
std::string DescribeRect(const RECT& r);

// Regions. RegionRects lists a region's rectangles; DescribeRegion prints them
// (bounded) for failure messages.
bool SameRegion(HRGN a, HRGN b);
std::vector<RECT> RegionRects(HRGN region);
std::string DescribeRegion(HRGN region, size_t maxRects = 16);
// The region of a skin bitmap built the literal way, as the reference for
// faster builds: its rectangle, then for every pixel (16-bit counters, rows
// from the top) whose GetPixel colour equals that of (0, 0) a one-pixel
// region XORed in. Slow: one GetPixel per pixel and one region operation
// per key-coloured pixel.
HRGN PerPixelSkinRegion(HBITMAP bitmap);
// A copy of a window's region, or null when it has none.
HRGN CopyWindowRegion(HWND wnd);
// Number of pixels inside a region.
long long RegionArea(HRGN region);

// The number of GDI objects this process holds: GetGuiResources, or where
// that reports nothing (Wine), a count of the live handles in the process's
// GDI handle table. Some objects are made lazily on first use (a DC cache,
// stock objects), so warm up before taking the first count.
DWORD GdiObjectCount();

// Dispatches this thread's messages until none has arrived for quietMs, or
// maxMs have passed. Returns true if a WM_QUIT was taken from the queue.
bool PumpMessages(DWORD quietMs = 60, DWORD maxMs = 3000);
// Dispatches messages until done() holds or timeoutMs pass; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 3000);
// Removes a pending WM_QUIT (if any) without dispatching anything else;
// returns whether there was one.
bool TakeQuitMessage();

// A borderless top-level window filled with one colour, shown at once, for
// backgrounds of screen checks. DestroyWindow it when done.
HWND MakeSolidWindow(const RECT& screenRect, COLORREF colour, DWORD exStyle = 0);

// Mouse input through SendInput, in screen coordinates. The pointer really
// moves, and the messages arrive as the window system's own.
void MouseMoveTo(int x, int y);
void MouseLeftDown();
void MouseLeftUp();
void MouseClickAt(int x, int y);
