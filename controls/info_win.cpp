#include "controls/info_win.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/dpi_scale.h"
#include "common/format_text.h"
#include "common/handles.h"
#include "controls/accessible.h"
#include "controls/dpi.h"
#include "controls/window_prop.h"

namespace {

const char kInfoClass[] = "CINFOWIN";
const char kInfoProp[] = "INFOPROR";
constexpr size_t kTextCapacity = sizeof(CInfoWin::text);

void PaintText(HWND wnd, CInfoWin* info) {
    // Take a private copy first so that no drawing happens while the writer
    // could be waiting for the lock.
    char line[kTextCapacity];
    {
        SharedLock guard(&info->textLock);
        std::memcpy(line, info->text, sizeof line);
    }
    line[sizeof line - 1] = '\0';

    PaintScope paint(wnd);
    if (paint.get()) DrawInfoText(paint.get(), info->textColour, line, WindowDpi(wnd));
}

// Static text named by what it shows.
bool InfoName(HWND wnd, std::string* name) {
    auto* info = static_cast<CInfoWin*>(GetPropA(wnd, kInfoProp));
    if (!info) return false;
    SharedLock guard(&info->textLock);
    name->assign(info->text, strnlen(info->text, sizeof info->text));
    return true;
}

const AccessibleFace kInfoFace = {ROLE_SYSTEM_STATICTEXT, InfoName, nullptr, nullptr};

// Where the label lies, in its own coordinates and in its parent's, for
// wiping its old text.
void TakeArea(CInfoWin& info) {
    GetWindowRect(info.window, &info.areaInParent);
    GetClientRect(info.window, &info.clientRect);
    POINT topLeft{info.areaInParent.left, info.areaInParent.top};
    ScreenToClient(info.parentWindow, &topLeft);
    info.areaInParent.left = topLeft.x;
    info.areaInParent.top = topLeft.y;
    info.areaInParent.bottom = info.areaInParent.top + (info.clientRect.bottom - info.clientRect.top);
    info.areaInParent.right = info.areaInParent.left + (info.clientRect.right - info.clientRect.left);
}

}  // namespace

void DrawInfoText(HDC dc, COLORREF colour, const char* text, int dpi) {
    SetBkMode(dc, TRANSPARENT);
    UniqueFont font(CreateFontA(ScaleToDpi(12, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, HEBREW_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                DEFAULT_PITCH | FF_SWISS, "Arial"));
    SelectedObject selected(dc, font.get());
    SetTextColor(dc, colour);
    TextOutA(dc, 0, 0, text, static_cast<int>(std::strlen(text)));
}

COLORREF ParseColourText(const char* colourText) {
    if (!colourText) return RGB(0, 0, 0);
    const unsigned long value = std::strtoul(colourText, nullptr, 16);
    return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

CInfoWin::CInfoWin() { text[0] = '\0'; }

CInfoWin::~CInfoWin() {
    if (window) RemovePropA(window, kInfoProp);
}

HWND CInfoWin::Create(HWND parent, HINSTANCE instance, int x, int y, int width, int height,
                      const char* colourText) {
    parentWindow = parent;
    textColour = ParseColourText(colourText);

    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_VREDRAW | CS_HREDRAW;
    wc.lpfnWndProc = InfoWndProc;
    wc.hInstance = instance;
    wc.lpszClassName = kInfoClass;
    RegisterClassExA(&wc);  // a repeated registration fails harmlessly

    window = CreateWindowExA(0, kInfoClass, nullptr, WS_CHILD | WS_VISIBLE, x, y, width, height,
                             parent, nullptr, instance, this);
    if (!window) return nullptr;
    TakeArea(*this);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    return window;
}

void CInfoWin::Place(int x, int y, int width, int height) {
    if (!window) return;
    MoveWindow(window, x, y, width, height, TRUE);
    TakeArea(*this);
}

void CInfoWin::SetInfoText(const char* format, ...) {
    if (!window) return;
    if (!format || !*format) return;

    char formatted[kTextCapacity] = {};
    va_list args;
    va_start(args, format);
    FormatTextV(formatted, sizeof formatted, format, args);
    va_end(args);

    {
        ExclusiveLock guard(&textLock);
        std::memcpy(text, formatted, sizeof text);
    }

    // The label has no background of its own: the parent must first repaint
    // its picture under the label to wipe the old text.
    InvalidateRect(parentWindow, &areaInParent, TRUE);
    InvalidateRect(window, &clientRect, TRUE);
}

LRESULT CALLBACK InfoWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* info = static_cast<CInfoWin*>(GetPropA(wnd, kInfoProp));
    KeepCreateParamAsProp(wnd, msg, lParam, kInfoProp, info);
    switch (msg) {
    case WM_GETOBJECT:
        return AnswerGetObject(wnd, wParam, lParam, kInfoFace);
    case WM_PAINT:
        if (info) PaintText(wnd, info);
        break;
    default:
        break;
    }
    return DefWindowProcA(wnd, msg, wParam, lParam);
}
