#include "support/screen.h"

#include "common/dib.h"
#include "common/handles.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

namespace {

int Stride(int width, int bitsPerPixel) { return ((width * bitsPerPixel + 31) / 32) * 4; }

COLORREF FromBgrWord(uint32_t v) {
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

uint32_t ToBgrWord(COLORREF c) {
    return (static_cast<uint32_t>(GetRValue(c)) << 16) | (static_cast<uint32_t>(GetGValue(c)) << 8) |
           GetBValue(c);
}

// A BITMAPINFO with room for a full colour table.
struct BitmapInfo {
    BITMAPINFOHEADER header{};
    RGBQUAD colours[256]{};
    BITMAPINFO* get() { return reinterpret_cast<BITMAPINFO*>(this); }
};

// 32-bit top-down rows of a bitmap, read with GetDIBits.
bool ReadRows(HBITMAP bitmap, int width, int height, std::vector<uint32_t>& rows) {
    BitmapInfo info;
    info.header = Dib32Header(width, -height);
    rows.assign(static_cast<size_t>(width) * height, 0);
    WindowDC screen(nullptr);
    return GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(height), rows.data(), info.get(),
                     DIB_RGB_COLORS) == height;
}

Pixels ToPixels(int width, int height, const std::vector<uint32_t>& rows) {
    Pixels p;
    p.width = width;
    p.height = height;
    p.data.resize(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) p.data[i] = FromBgrWord(rows[i]);
    return p;
}

const char kSolidClass[] = "KorvaneTestSolid";

LRESULT CALLBACK SolidWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_ERASEBKGND: {
        RECT rc;
        GetClientRect(wnd, &rc);
        UniqueBrush brush(CreateSolidBrush(static_cast<COLORREF>(GetWindowLongPtrA(wnd, GWLP_USERDATA))));
        FillRect(reinterpret_cast<HDC>(wParam), &rc, brush.get());
        return 1;
    }
    case WM_PAINT: {
        PaintScope paint(wnd);
        RECT rc;
        GetClientRect(wnd, &rc);
        UniqueBrush brush(CreateSolidBrush(static_cast<COLORREF>(GetWindowLongPtrA(wnd, GWLP_USERDATA))));
        FillRect(paint.get(), &rc, brush.get());
        return 0;
    }
    default:
        return DefWindowProcA(wnd, msg, wParam, lParam);
    }
}

void SendMouse(DWORD flags, LONG dx = 0, LONG dy = 0) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = dx;
    in.mi.dy = dy;
    in.mi.dwFlags = flags;
    SendInput(1, &in, sizeof(in));
}

}  // namespace

HBITMAP MakeRawDib(int width, int height, int bitsPerPixel, const std::vector<RGBQUAD>& colourTable,
                   const RawPixelAt& raw, bool topDown) {
    if (width <= 0 || height <= 0) return nullptr;
    BitmapInfo info;
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = width;
    info.header.biHeight = topDown ? -height : height;
    info.header.biPlanes = 1;
    info.header.biBitCount = static_cast<WORD>(bitsPerPixel);
    info.header.biCompression = BI_RGB;
    if (bitsPerPixel <= 8) {
        size_t n = std::min<size_t>(colourTable.size(), size_t(1) << bitsPerPixel);
        info.header.biClrUsed = static_cast<DWORD>(n);
        std::copy(colourTable.begin(), colourTable.begin() + n, info.colours);
    }
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, info.get(), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bmp || !bits) {
        if (bmp) DeleteObject(bmp);
        return nullptr;
    }
    const int stride = Stride(width, bitsPerPixel);
    auto* base = static_cast<uint8_t*>(bits);
    std::memset(base, 0, static_cast<size_t>(stride) * height);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = base + static_cast<size_t>(stride) * (topDown ? y : height - 1 - y);
        for (int x = 0; x < width; ++x) {
            uint32_t v = raw(x, y);
            switch (bitsPerPixel) {
            case 1:
                if (v & 1) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
                break;
            case 4:
                row[x / 2] |= static_cast<uint8_t>((v & 0xF) << ((x % 2) ? 0 : 4));
                break;
            case 8:
                row[x] = static_cast<uint8_t>(v);
                break;
            case 16:
                row[2 * x] = static_cast<uint8_t>(v);
                row[2 * x + 1] = static_cast<uint8_t>(v >> 8);
                break;
            case 24:
                row[3 * x] = static_cast<uint8_t>(v);
                row[3 * x + 1] = static_cast<uint8_t>(v >> 8);
                row[3 * x + 2] = static_cast<uint8_t>(v >> 16);
                break;
            case 32:
                std::memcpy(row + 4 * x, &v, 4);
                break;
            default:
                DeleteObject(bmp);
                return nullptr;
            }
        }
    }
    GdiFlush();
    return bmp;
}

HBITMAP MakeDib(int width, int height, int bitsPerPixel, const ColourAt& colour, bool topDown) {
    if (bitsPerPixel <= 8) {
        std::map<COLORREF, uint32_t> index;
        std::vector<RGBQUAD> table;
        const size_t capacity = size_t(1) << bitsPerPixel;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                COLORREF c = colour(x, y);
                if (index.count(c)) continue;
                if (table.size() == capacity) return nullptr;
                index[c] = static_cast<uint32_t>(table.size());
                table.push_back(RGBQUAD{GetBValue(c), GetGValue(c), GetRValue(c), 0});
            }
        }
        return MakeRawDib(width, height, bitsPerPixel, table,
                          [&](int x, int y) { return index[colour(x, y)]; }, topDown);
    }
    return MakeRawDib(width, height, bitsPerPixel, {},
                      [&](int x, int y) -> uint32_t {
                          COLORREF c = colour(x, y);
                          if (bitsPerPixel == 16)
                              return ((GetRValue(c) >> 3u) << 10) | ((GetGValue(c) >> 3u) << 5) |
                                     (GetBValue(c) >> 3u);
                          return ToBgrWord(c);
                      },
                      topDown);
}

HBITMAP MakeSolidDib(int width, int height, COLORREF colour, int bitsPerPixel) {
    return MakeDib(width, height, bitsPerPixel, [colour](int, int) { return colour; });
}

std::string BmpFile(int width, int height, int bitsPerPixel, const ColourAt& colour) {
    UniqueBitmap dib(MakeDib(width, height, bitsPerPixel, colour, false));
    DIBSECTION section{};
    if (!dib || GetObjectA(dib.get(), sizeof section, &section) != sizeof section) return {};
    RGBQUAD table[256];
    UINT colours = 0;
    if (bitsPerPixel <= 8) {
        UniqueDC dc(CreateCompatibleDC(nullptr));
        SelectScope select(dc.get(), dib.get());
        colours = GetDIBColorTable(dc.get(), 0, 256, table);
    }
    const DWORD pixels = static_cast<DWORD>(Stride(width, bitsPerPixel)) * static_cast<DWORD>(height);
    BITMAPINFOHEADER info = section.dsBmih;
    info.biClrUsed = colours;
    info.biSizeImage = pixels;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = static_cast<DWORD>(sizeof file + sizeof info + colours * sizeof(RGBQUAD));
    file.bfSize = file.bfOffBits + pixels;
    std::string out(reinterpret_cast<const char*>(&file), sizeof file);
    out.append(reinterpret_cast<const char*>(&info), sizeof info);
    out.append(reinterpret_cast<const char*>(table), colours * sizeof(RGBQUAD));
    out.append(static_cast<const char*>(section.dsBm.bmBits), pixels);
    return out;
}

HBITMAP MakeDeviceBitmap(int width, int height, const ColourAt& colour) {
    if (width <= 0 || height <= 0) return nullptr;
    WindowDC screen(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(screen.get(), width, height);
    if (!bmp) return nullptr;
    std::vector<uint32_t> rows(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) rows[static_cast<size_t>(y) * width + x] = ToBgrWord(colour(x, y));
    BitmapInfo info;
    info.header = Dib32Header(width, -height);
    if (SetDIBits(screen.get(), bmp, 0, static_cast<UINT>(height), rows.data(), info.get(),
                  DIB_RGB_COLORS) != height) {
        DeleteObject(bmp);
        return nullptr;
    }
    return bmp;
}

Pixels ReadBitmap(HBITMAP bitmap) {
    BITMAP bm{};
    if (!GetObjectA(bitmap, sizeof(bm), &bm) || bm.bmWidth <= 0 || bm.bmHeight == 0) return {};
    int height = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    std::vector<uint32_t> rows;
    if (!ReadRows(bitmap, bm.bmWidth, height, rows)) return {};
    return ToPixels(bm.bmWidth, height, rows);
}

Pixels CaptureScreen(const RECT& r) {
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return {};
    WindowDC screen(nullptr);
    UniqueDC mem(CreateCompatibleDC(screen.get()));
    BitmapInfo info;
    info.header = Dib32Header(width, -height);
    void* bits = nullptr;
    UniqueBitmap dib(CreateDIBSection(screen.get(), info.get(), DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!mem || !dib || !bits) return {};
    {
        SelectScope sel(mem.get(), dib.get());
        BitBlt(mem.get(), 0, 0, width, height, screen.get(), r.left, r.top, SRCCOPY | CAPTUREBLT);
        GdiFlush();
    }
    const auto* words = static_cast<const uint32_t*>(bits);
    return ToPixels(width, height, std::vector<uint32_t>(words, words + static_cast<size_t>(width) * height));
}

Pixels CaptureWindow(HWND wnd) {
    RECT r{};
    if (!GetWindowRect(wnd, &r)) return {};
    return CaptureScreen(r);
}

RECT WindowRect(HWND wnd) {
    RECT r{};
    GetWindowRect(wnd, &r);
    return r;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string DescribeRect(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

bool SameRegion(HRGN a, HRGN b) { return a && b && EqualRgn(a, b); }

std::vector<RECT> RegionRects(HRGN region) {
    std::vector<RECT> out;
    if (!region) return out;
    DWORD size = GetRegionData(region, 0, nullptr);
    if (!size) return out;
    std::vector<uint8_t> buf(size);
    auto* data = reinterpret_cast<RGNDATA*>(buf.data());
    if (!GetRegionData(region, size, data)) return out;
    const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
    out.assign(rects, rects + data->rdh.nCount);
    return out;
}

std::string DescribeRegion(HRGN region, size_t maxRects) {
    if (!region) return "(no region)";
    std::vector<RECT> rects = RegionRects(region);
    std::string s = std::to_string(rects.size()) + " rects, area " + std::to_string(RegionArea(region)) + ":";
    char buf[80];
    for (size_t i = 0; i < rects.size() && i < maxRects; ++i) {
        std::snprintf(buf, sizeof buf, " [%ld,%ld-%ld,%ld)", rects[i].left, rects[i].top, rects[i].right,
                      rects[i].bottom);
        s += buf;
    }
    if (rects.size() > maxRects) s += " ...";
    return s;
}

HRGN PerPixelSkinRegion(HBITMAP bitmap) {
    BITMAP bm{};
    GetObjectA(bitmap, sizeof bm, &bm);
    const int width = bm.bmWidth;
    const int height = bm.bmHeight;
    HRGN result = CreateRectRgn(0, 0, width, height);
    UniqueDC dc(CreateCompatibleDC(nullptr));
    SelectScope select(dc.get(), bitmap);
    COLORREF key = 0;
    for (uint16_t y = 0; y < height; ++y) {
        for (uint16_t x = 0; x < width; ++x) {
            if (x == 0 && y == 0) key = GetPixel(dc.get(), 0, 0);
            if (GetPixel(dc.get(), x, y) == key) {
                HRGN pixel = CreateRectRgn(x, y, x + 1, y + 1);
                CombineRgn(result, result, pixel, RGN_XOR);
                DeleteObject(pixel);
            }
        }
    }
    return result;
}

HRGN CopyWindowRegion(HWND wnd) {
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    int kind = GetWindowRgn(wnd, r);
    if (kind == ERROR) {
        DeleteObject(r);
        return nullptr;
    }
    return r;
}

long long RegionArea(HRGN region) {
    long long area = 0;
    for (const RECT& r : RegionRects(region))
        area += static_cast<long long>(r.right - r.left) * (r.bottom - r.top);
    return area;
}

DWORD GdiObjectCount() {
    DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (n) return n;
    // A handle whose upper word is zero names its table slot whatever the
    // slot's reuse count, so every slot can be asked for its object.
    for (UINT_PTR slot = 1; slot < 0x10000; ++slot)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(slot))) ++n;
    return n;
}

bool PumpMessages(DWORD quietMs, DWORD maxMs) {
    bool quit = false;
    const DWORD start = GetTickCount();
    DWORD lastActivity = start;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
            } else {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            lastActivity = GetTickCount();
        }
        const DWORD now = GetTickCount();
        if (now - lastActivity >= quietMs || now - start >= maxMs) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return quit;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs) return done();
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done()) return true;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

bool TakeQuitMessage() {
    MSG msg;
    return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

HWND MakeSolidWindow(const RECT& r, COLORREF colour, DWORD exStyle) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = SolidWndProc;
    wc.hInstance = instance;
    wc.lpszClassName = kSolidClass;
    RegisterClassA(&wc);  // a repeated registration fails harmlessly
    HWND wnd = CreateWindowExA(exStyle, kSolidClass, "", WS_POPUP, r.left, r.top, r.right - r.left,
                               r.bottom - r.top, nullptr, nullptr, instance, nullptr);
    if (!wnd) return nullptr;
    SetWindowLongPtrA(wnd, GWLP_USERDATA, static_cast<LONG_PTR>(colour));
    ShowWindow(wnd, SW_SHOWNOACTIVATE);
    UpdateWindow(wnd);
    return wnd;
}

void MouseMoveTo(int x, int y) {
    // Absolute input is scaled by the screen size over 65536; rounding up
    // lands exactly on the wanted pixel.
    const int w = GetSystemMetrics(SM_CXSCREEN);
    const int h = GetSystemMetrics(SM_CYSCREEN);
    const LONG dx = static_cast<LONG>((static_cast<long long>(x) * 65536 + w - 1) / w);
    const LONG dy = static_cast<LONG>((static_cast<long long>(y) * 65536 + h - 1) / h);
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, dx, dy);
    POINT p{};
    if (GetCursorPos(&p) && (p.x != x || p.y != y)) SetCursorPos(x, y);
}

void MouseLeftDown() { SendMouse(MOUSEEVENTF_LEFTDOWN); }
void MouseLeftUp() { SendMouse(MOUSEEVENTF_LEFTUP); }

void MouseClickAt(int x, int y) {
    MouseMoveTo(x, y);
    MouseLeftDown();
    MouseLeftUp();
}
