#include "support/process.h"

#include <chrono>
#include <cstring>
#include <stdexcept>

namespace {

// The usual rules of CommandLineToArgvW / the C runtime's parser.
std::string Quote(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
    std::string out = "\"";
    size_t slashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        out.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, '\\');
    return out + "\"";
}

std::string Environment(const std::vector<std::pair<std::string, std::string>>& extra) {
    if (extra.empty()) return {};
    std::string block;
    char* current = GetEnvironmentStringsA();
    for (const char* p = current; p && *p; p += std::strlen(p) + 1) {
        bool replaced = false;
        for (const auto& kv : extra) {
            const std::string prefix = kv.first + "=";
            if (_strnicmp(p, prefix.c_str(), prefix.size()) == 0) replaced = true;
        }
        if (!replaced) block.append(p, std::strlen(p) + 1);
    }
    if (current) FreeEnvironmentStringsA(current);
    for (const auto& kv : extra) block += kv.first + "=" + kv.second + '\0';
    return block + '\0';
}

template <typename Pred>
bool Poll(DWORD timeoutMs, Pred done) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (done()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(15);
    }
}

}  // namespace

ShellProcess::ShellProcess(const std::string& exe, const std::vector<std::string>& args,
                           const std::vector<std::pair<std::string, std::string>>& env,
                           StringHook hook, bool asDebugger)
    : hook_(std::move(hook)) {
    std::string commandLine = Quote(exe);
    for (const auto& a : args) commandLine += " " + Quote(a);
    // Debug events go to the thread that created the process, so one thread
    // both starts the child and serves its events.
    thread_ =
        std::thread(&ShellProcess::Run, this, exe, commandLine, Environment(env), asDebugger);
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return started_; });
    if (!startError_.empty()) {
        std::string error = startError_;
        lock.unlock();
        thread_.join();
        throw std::runtime_error(error);
    }
}

ShellProcess::~ShellProcess() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopRequested_ = true;
    }
    if (thread_.joinable()) thread_.join();
}

DWORD ShellProcess::WaitPlain(HANDLE process) {
    for (;;) {
        if (WaitForSingleObject(process, 50) == WAIT_OBJECT_0) break;
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopRequested_) TerminateProcess(process, 255);
    }
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return code;
}

void ShellProcess::Run(std::string exe, std::string commandLine, std::string environment,
                       bool asDebugger) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    BOOL ok = CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                             asDebugger ? DEBUG_ONLY_THIS_PROCESS : 0,
                             environment.empty() ? nullptr : &environment[0],
                             nullptr, &si, &pi);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        started_ = true;
        if (!ok) startError_ = "CreateProcess failed for " + exe + ": " + std::to_string(GetLastError());
        else pid_ = pi.dwProcessId;
    }
    changed_.notify_all();
    if (!ok) return;
    CloseHandle(pi.hThread);

    bool terminated = false;
    DWORD exitCode = 0;
    for (;;) {
        if (!asDebugger) {
            exitCode = WaitPlain(pi.hProcess);
            break;
        }
        DEBUG_EVENT ev;
        if (!WaitForDebugEvent(&ev, 50)) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopRequested_ && !terminated) {
                TerminateProcess(pi.hProcess, 255);
                terminated = true;
            }
            continue;
        }
        DWORD status = DBG_CONTINUE;
        bool done = false;
        switch (ev.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            if (ev.u.CreateProcessInfo.hFile) CloseHandle(ev.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (ev.u.LoadDll.hFile) CloseHandle(ev.u.LoadDll.hFile);
            break;
        case OUTPUT_DEBUG_STRING_EVENT: {
            const OUTPUT_DEBUG_STRING_INFO& info = ev.u.DebugString;
            std::string text;
            if (!info.fUnicode && info.nDebugStringLength > 0) {
                text.resize(info.nDebugStringLength);
                SIZE_T got = 0;
                ReadProcessMemory(pi.hProcess, info.lpDebugStringData, &text[0], text.size(), &got);
                text.resize(strnlen(text.c_str(), got));
            }
            if (hook_) {
                try {
                    hook_(pi.dwProcessId, text);
                } catch (...) {
                }
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                strings_.push_back(text);
            }
            changed_.notify_all();
            break;
        }
        case EXCEPTION_DEBUG_EVENT:
            // Only the loader's initial breakpoint is ours; every other
            // exception belongs to the child's own handlers.
            if (ev.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
                status = DBG_EXCEPTION_NOT_HANDLED;
                if (!ev.u.Exception.dwFirstChance) {
                    // A crash: end it here rather than leave it to a crash
                    // dialog that nobody will answer.
                    {
                        std::lock_guard<std::mutex> lock(mutex_);
                        unhandled_.push_back(ev.u.Exception.ExceptionRecord.ExceptionCode);
                    }
                    TerminateProcess(pi.hProcess, ev.u.Exception.ExceptionRecord.ExceptionCode);
                }
            }
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            exitCode = ev.u.ExitProcess.dwExitCode;
            done = true;
            break;
        default:
            break;
        }
        ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, status);
        if (done) break;
    }
    CloseHandle(pi.hProcess);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        exited_ = true;
        exitCode_ = exitCode;
    }
    changed_.notify_all();
}

std::vector<std::string> ShellProcess::debugStrings() {
    std::lock_guard<std::mutex> lock(mutex_);
    return strings_;
}

std::vector<std::string> ShellProcess::progressTexts() {
    static const std::string prefix = "Korvane: ";
    std::vector<std::string> out;
    for (const auto& s : debugStrings()) {
        if (s.compare(0, prefix.size(), prefix) == 0) out.push_back(s.substr(prefix.size()));
    }
    return out;
}

bool ShellProcess::waitForDebugString(const std::string& text, DWORD timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto seen = [&] {
        for (const auto& s : strings_) {
            if (s == text) return true;
        }
        return false;
    };
    changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return seen() || exited_; });
    return seen();
}

bool ShellProcess::waitForExit(DWORD timeoutMs, DWORD* exitCode) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return exited_; })) {
        return false;
    }
    if (exitCode) *exitCode = exitCode_;
    return true;
}

std::vector<DWORD> ShellProcess::unhandledExceptions() {
    std::lock_guard<std::mutex> lock(mutex_);
    return unhandled_;
}

std::string ClassOf(HWND wnd) {
    char name[256] = {};
    GetClassNameA(wnd, name, sizeof name);
    return name;
}

std::string WindowText(HWND wnd) {
    char text[4096] = {};
    GetWindowTextA(wnd, text, sizeof text);
    return text;
}

std::vector<HWND> ProcessWindows(DWORD pid, const char* className) {
    struct Search {
        DWORD pid;
        const char* className;
        std::vector<HWND> found;
    } search{pid, className, {}};
    EnumWindows(
        [](HWND wnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(wnd, &owner);
            if (owner == s->pid && (!s->className || ClassOf(wnd) == s->className)) {
                s->found.push_back(wnd);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForVisibleWindow(DWORD pid, const char* className, DWORD timeoutMs) {
    HWND found = nullptr;
    Poll(timeoutMs, [&] {
        for (HWND w : ProcessWindows(pid, className)) {
            if (IsWindowVisible(w)) found = w;
        }
        return found != nullptr;
    });
    return found;
}

bool WaitForNoVisibleWindow(DWORD pid, const char* className, DWORD timeoutMs) {
    return Poll(timeoutMs, [&] {
        for (HWND w : ProcessWindows(pid, className)) {
            if (IsWindowVisible(w)) return false;
        }
        return true;
    });
}

HWND WaitForErrorBox(DWORD pid, DWORD timeoutMs) {
    HWND found = nullptr;
    Poll(timeoutMs, [&] {
        for (HWND w : ProcessWindows(pid, "#32770")) {
            if (IsWindowVisible(w) && WindowText(w) == "Korvane") found = w;
        }
        return found != nullptr;
    });
    return found;
}

std::string MessageBoxText(HWND box) {
    std::string text;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (_stricmp(ClassOf(child).c_str(), "Static") == 0) {
            std::string t = WindowText(child);
            if (!t.empty()) text = t;
        }
    }
    return text;
}

void PressOk(HWND box) {
    HWND ok = GetDlgItem(box, IDOK);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
}
