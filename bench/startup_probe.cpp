// The start-up benchmark's probe: a program linked like the shell, with its
// libraries and as a windows program, that stamps its entry on the clock
// that all processes share and times its own debug strings, so that process
// start and the cost of a progress text can be told apart from the shell's
// work. It prints "entry SECONDS string SECONDS" and never runs the shell.
#include "app/app.h"
#include "bench/bench_clock.h"

#include <algorithm>
#include <cstdio>
#include <vector>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const double entry = Now();
    // Never true: it makes the linker bring in the shell and its libraries.
    if (__argc > 1 << 20) return RunKorvane(instance, __argc, __argv);
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
    return 0;
}
