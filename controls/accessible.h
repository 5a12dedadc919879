// What a screen reader meets in the shell's own small windows: the platform's
// standard object for the window's client area, with the name, role and
// default action that only the window's owner knows.
#pragma once
#include <windows.h>
#include <oleacc.h>

#include <string>

// IID_IAccessible written out: in a static link the import library's symbol
// is a thunk, not the identifier.
inline constexpr IID kIidAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

struct AccessibleFace {
    LONG role;
    // The window's name as it is now, asked again at every request; false
    // leaves the standard object's.
    bool (*name)(HWND wnd, std::string* name);
    const wchar_t* defaultAction;  // null: the standard object's
    void (*doDefaultAction)(HWND wnd);
};

// WM_GETOBJECT: the client area's object, with this face, for OBJID_CLIENT;
// the default procedure's answer for any other object.
LRESULT AnswerGetObject(HWND wnd, WPARAM wParam, LPARAM lParam, const AccessibleFace& face);
