// The keyboard in the main window, as in a browser: the browser's own
// shortcuts first, wherever the focus is, then the page.
#include "app/app.h"

#include "browser/browser_host.h"

namespace {

constexpr UINT kStop = 0;  // no button sends it

struct Shortcut {
    UINT message;  // the Alt chords come as WM_SYSKEYDOWN
    WPARAM key;
    bool ctrl;
    UINT command;  // what the button of the same command sends
};

// Backspace is not Back: browsers dropped it, as it loses what a user has
// typed in a form.
const Shortcut kShortcuts[] = {
    {WM_SYSKEYDOWN, VK_LEFT, false, kCmdGoBack}, {WM_SYSKEYDOWN, VK_RIGHT, false, kCmdGoForward},
    {WM_SYSKEYDOWN, VK_HOME, false, kCmdGoHome}, {WM_KEYDOWN, VK_F5, false, kCmdRefresh},
    {WM_KEYDOWN, 'R', true, kCmdRefresh},        {WM_KEYDOWN, VK_ESCAPE, false, kStop},
};

bool Held(int key) { return GetKeyState(key) < 0; }

const Shortcut* ShortcutFor(const MSG& msg) {
    const bool alt = (msg.lParam & (1 << 29)) != 0;  // the key's context code
    for (const Shortcut& s : kShortcuts) {
        if (msg.message != s.message || msg.wParam != s.key) continue;
        if (s.message == WM_SYSKEYDOWN && !alt) continue;
        // AltGr is Ctrl and Alt together: AltGr+R types a character.
        if (s.ctrl && (!Held(VK_CONTROL) || Held(VK_MENU))) continue;
        return &s;
    }
    return nullptr;
}

bool RunShortcut(const MSG& msg) {
    HWND main = appState ? appState->mainWnd : nullptr;
    if (!main || (msg.hwnd != main && !IsChild(main, msg.hwnd))) return false;
    const Shortcut* shortcut = ShortcutFor(msg);
    if (!shortcut) return false;
    if (shortcut->command != kStop) {
        // The same path as the button's click, whether the skin has the button or not.
        SendMessageA(main, shortcut->command, 0, 0);
    } else if (browserHost && browserHost->browser) {
        browserHost->browser->Stop();
    }
    return true;
}

}  // namespace

bool TakeKeyboardMessage(MSG* msg) {
    if (RunShortcut(*msg)) return true;
    return browserHost && browserHost->TranslateKey(msg);
}
