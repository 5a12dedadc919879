#include "controls/bit_button.h"

#include "common/handles.h"
#include "controls/accessible.h"
#include "controls/window_prop.h"
#include "remote/skin_params.h"

int g_buttonState = 0;

namespace {

const char kButtonClass[] = "CBITBUTTON";
const char kButtonProperty[] = "BUTPROR";

// The state is shared, but only the window whose message changed it repaints.
void SetState(HWND wnd, int state) {
    if (g_buttonState == state) return;
    g_buttonState = state;
    InvalidateRect(wnd, nullptr, FALSE);
}

HBITMAP ImageForState(const CBitButton& button) {
    switch (g_buttonState) {
    case 1:
        return button.hotImage.get();
    case 2:
        return button.pressedImage.get();
    default:
        return button.normalImage.get();
    }
}

void Paint(CBitButton& button, HWND wnd) {
    {
        WindowDC dc(wnd);
        UniqueDC memory(dc.get() ? CreateCompatibleDC(dc.get()) : nullptr);
        if (memory) {
            HBITMAP image = ImageForState(button);
            SelectedObject select(memory.get(), image);
            BITMAP info{};
            if (GetObjectA(image, sizeof(info), &info))
                BitBlt(dc.get(), 0, 0, info.bmWidth, info.bmHeight, memory.get(), 0, 0, SRCCOPY);
        }
    }
    if (button.clickPending) {
        // Cleared first: the action may run a message loop that paints this
        // button again before the update region is validated, and that
        // paint must not send the action a second time.
        button.clickPending = false;
        SendMessageA(button.actionWindow, button.actionMessage, button.actionWParam, button.actionLParam);
    }
}

bool ButtonName(HWND wnd, std::string* name) {
    const auto* button = static_cast<const CBitButton*>(GetPropA(wnd, kButtonProperty));
    if (!button || !button->accessibleName) return false;
    *name = button->accessibleName;
    return true;
}

// Pressed as a click presses it: the action goes out at the next paint.
void PressButton(HWND wnd) {
    auto* button = static_cast<CBitButton*>(GetPropA(wnd, kButtonProperty));
    if (!button) return;
    button->clickPending = true;
    InvalidateRect(wnd, nullptr, FALSE);
}

const AccessibleFace kButtonFace = {ROLE_SYSTEM_PUSHBUTTON, ButtonName, L"Press", PressButton};

}  // namespace

CBitButton::CBitButton() = default;

CBitButton::~CBitButton() {
    // Only our own property: the handle may by now name another window.
    if (window && GetPropA(window, kButtonProperty) == this) RemovePropA(window, kButtonProperty);
}

HWND CBitButton::Create(HBITMAP normal, HBITMAP hot, HBITMAP pressed, HWND parent, HINSTANCE instance, int x,
                        int y) {
    parentWindow = parent;
    normalImage.reset(normal);
    hotImage.reset(hot);
    pressedImage.reset(pressed);
    if (!normal || !hot || !pressed || NoPosition(x, y)) return nullptr;

    WNDCLASSA wc{};
    wc.style = 0;
    wc.lpfnWndProc = BitButtonWndProc;
    wc.hInstance = instance;
    wc.lpszClassName = kButtonClass;
    RegisterClassA(&wc);  // fails harmlessly once the class exists

    BITMAP info{};
    GetObjectA(normal, sizeof(info), &info);
    placement[0] = 0;
    placement[1] = 0;
    placement[2] = x;
    placement[3] = y;
    window = CreateWindowExA(0, kButtonClass, kButtonClass, WS_CHILD, x, y, info.bmWidth, info.bmHeight, parent,
                             nullptr, instance, this);
    if (!window) return nullptr;
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    return window;
}

LRESULT CALLBACK BitButtonWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* button = static_cast<CBitButton*>(GetPropA(wnd, kButtonProperty));
    KeepCreateParamAsProp(wnd, msg, lParam, kButtonProperty, button);
    switch (msg) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_ERASEBKGND:
        return 0;
    case WM_GETOBJECT:
        return AnswerGetObject(wnd, wParam, lParam, kButtonFace);
    case WM_PAINT:
        if (button) Paint(*button, wnd);
        break;
    case WM_MOUSEMOVE:
        // Arriving with only the left button held is a drag from elsewhere.
        if (wParam == MK_LBUTTON || g_buttonState == 1) break;
        {
            TRACKMOUSEEVENT track{};
            track.cbSize = sizeof(track);
            track.dwFlags = TME_LEAVE;
            track.hwndTrack = wnd;
            track.dwHoverTime = 1;
            TrackMouseEvent(&track);
        }
        SetState(wnd, 1);
        break;
    case WM_LBUTTONDOWN:
        SetState(wnd, 2);
        break;
    case WM_LBUTTONUP:
        if (button && g_buttonState != 0) {
            button->clickPending = true;
            SetState(wnd, 0);
        }
        break;
    case WM_MOUSELEAVE:
        SetState(wnd, 0);
        break;
    default:
        break;
    }
    return DefWindowProcA(wnd, msg, wParam, lParam);
}
