// korvane-check: loads a parameter document the way the shell does, with the
// shell's own document and image code, and says what the shell will make of
// it. Exit code 0: the shell would start and show its window; 1: it would
// not; 2: the URL is no parameter document; 3: the checker was used wrongly.
#include <windows.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "app/app.h"
#include "checker/checker.h"
#include "checker/report.h"
#include "remote/fetch_limits.h"

namespace {

DWORD WINAPI Watchdog(LPVOID param) {
    const int seconds = static_cast<int>(reinterpret_cast<INT_PTR>(param));
    // In steps, so that no count of seconds can wrap into a short wait.
    for (int left = seconds; left > 0; left -= 1000) Sleep(static_cast<DWORD>(left < 1000 ? left : 1000) * 1000);
    ReportFinalLineAndExit("VERDICT 1 check stopped after " + std::to_string(seconds) +
                               " s: the server has not finished answering; the shell gives up on a download after " +
                               std::to_string(kFetchLimits.deadlineMs / 1000) + " s",
                           kDoesNotStart);
}

int Usage(const std::string& problem) {
    if (!problem.empty()) std::fprintf(stderr, "korvane-check: %s\n", problem.c_str());
    std::fputs("usage: korvane-check [--preview FILE.bmp] [--timeout SECONDS] [--dpi N] [URL]\n"
               "Checks the parameter document at URL (the shell's built-in URL when none is given);\n"
               "the geometry and the preview are for a display of N dots per inch (96 unless given).\n",
               stderr);
    return kUsage;
}

// What was wrong with an option the checker does not take.
std::string OptionProblem(const std::string& arg) {
    const std::string nearest = check::NearestName(arg, {"--preview", "--timeout", "--dpi", "--help"});
    if (nearest == arg) return arg + " needs a value after it";
    return "unknown option " + arg + (nearest.empty() ? "" : " (did you mean " + nearest + "?)");
}

// text as a whole number from least to most.
bool WholeNumber(const char* text, long least, long most, int* number) {
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    if (*end != '\0' || n < least || n > most) return false;
    *number = static_cast<int>(n);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::vector<char*> positional = {argv[0]};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--preview" && i + 1 < argc) {
            options.preview = argv[++i];
        } else if (arg == "--timeout" && i + 1 < argc) {
            if (!WholeNumber(argv[++i], 1, INT_MAX, &options.timeoutSeconds))
                return Usage("--timeout takes a whole number of seconds above 0");
        } else if (arg == "--dpi" && i + 1 < argc) {
            // Windows scales a display from 100% to 500%.
            if (!WholeNumber(argv[++i], kBaseDpi, 5 * kBaseDpi, &options.dpi))
                return Usage("--dpi takes a whole number from 96 to 480");
        } else if (arg == "--help" || arg == "-h") {
            return Usage("");
        } else if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
            return Usage(OptionProblem(arg));
        } else {
            positional.push_back(argv[i]);
        }
    }
    if (positional.size() > 2) return Usage("one URL at most");
    char url[kDocumentUrlCapacity];
    if (!ChooseDocumentUrl(static_cast<int>(positional.size()), positional.data(), url, sizeof url)) {
        ReportLine("CHECK url=%s", Quoted(positional[1]).c_str());
        ReportLine("VERDICT 1 the URL is longer than %d characters: the shell ends without a window",
                   kDocumentUrlCapacity - 1);
        return kDoesNotStart;
    }
    options.url = url;

    HANDLE watchdog = CreateThread(nullptr, 0, Watchdog,
                                   reinterpret_cast<LPVOID>(static_cast<INT_PTR>(options.timeoutSeconds)), 0, nullptr);
    if (watchdog) CloseHandle(watchdog);

    try {
        Checker* checker = new Checker(options);
        const int code = checker->Run();
        // The process ends here; the check's objects go with it, in any order.
        std::fflush(stdout);
        ExitProcess(static_cast<UINT>(code));
    } catch (const std::bad_alloc&) {
        ReportLine("VERDICT 1 the checker ran out of memory");
        return kDoesNotStart;
    }
}
