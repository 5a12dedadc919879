#pragma once
// The object behind each of the shell's own windows travels in the last
// argument of CreateWindowExA and lives in a window property from WM_NCCREATE on.
#include <windows.h>

// Stores the object at WM_NCCREATE. Without it the window is useless, so a
// failed store, or no object found by WM_CREATE, ends the thread's message loop.
// Both messages still go on to DefWindowProcA.
inline void KeepCreateParamAsProp(HWND wnd, UINT msg, LPARAM lParam, const char* property, const void* stored) {
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        if (!SetPropA(wnd, property, create->lpCreateParams)) PostQuitMessage(0);
    } else if (msg == WM_CREATE && !stored) {
        PostQuitMessage(0);
    }
}
