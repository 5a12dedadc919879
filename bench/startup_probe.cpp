// The start-up benchmark's probe: a program linked like the shell, with its
// libraries and as a windows program, that stamps its entry on the clock
// that all processes share, shows a window of the demo splash's size at once
// and times its own debug strings. So process start, the platform's first
// window and the cost of a progress text can be told apart from the shell's
// work. It prints "entry SECONDS string SECONDS", then keeps its window until
// it is closed; it never runs the shell.
#include "app/app.h"
#include "bench/bench_clock.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

LRESULT CALLBACK ProbeWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const double entry = Now();
    // Never true: it makes the linker bring in the shell and its libraries.
    if (__argc > 1 << 20) return RunKorvane(instance, __argc, __argv);

    WNDCLASSA wc{};
    wc.lpfnWndProc = ProbeWndProc;
    wc.hInstance = instance;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = "KorvaneProbe";
    RegisterClassA(&wc);
    HWND wnd = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 320, 200, nullptr, nullptr, instance, nullptr);
    if (!wnd) return 1;
    ShowWindow(wnd, SW_SHOW);
    UpdateWindow(wnd);

    std::vector<double> times;
    for (int i = 0; i < 40; ++i) {
        const double start = Now();
        OutputDebugStringA("Korvane: probe");
        times.push_back(Now() - start);
    }
    std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
    char line[96];
    const int n = std::snprintf(line, sizeof line, "entry %.9f string %.9f\n", entry, times[times.size() / 2]);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, static_cast<DWORD>(n), &written, nullptr);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}
