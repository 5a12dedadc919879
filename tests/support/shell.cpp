#include "support/shell.h"

#include <psapi.h>

#include "common/handles.h"

#include <chrono>
#include <stdexcept>

namespace {

// The C runtime's quoting rules, as its argument parser undoes them.
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
    return out.append(slashes * 2, '\\') + "\"";
}

}  // namespace

ShellProcess::ShellProcess(const std::string& exe, const std::vector<std::string>& args, StringHook hook,
                           bool asDebugger)
    : hook_(std::move(hook)) {
    std::string commandLine = Quote(exe);
    for (const auto& a : args) commandLine += " " + Quote(a);
    // Debug events go to the thread that created the process.
    thread_ = std::thread(&ShellProcess::Run, this, exe, commandLine, asDebugger);
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return started_; });
    if (startError_.empty()) return;
    lock.unlock();
    thread_.join();
    throw std::runtime_error(startError_);
}

ShellProcess::~ShellProcess() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    thread_.join();
}

void ShellProcess::Run(std::string exe, std::string commandLine, bool asDebugger) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    CreatePipe(&read, &write, &inherit, 0);
    UniqueKernelHandle reader(read);
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = write;
    PROCESS_INFORMATION pi{};
    const BOOL ok = CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                   asDebugger ? DEBUG_ONLY_THIS_PROCESS : 0, nullptr, nullptr, &si, &pi);
    CloseHandle(write);
    // Read as it comes, so a full pipe never stops the child.
    auto drain = [&] {
        DWORD available = 0, n = 0;
        char buffer[4096];
        while (PeekNamedPipe(read, nullptr, 0, nullptr, &available, nullptr) && available > 0 &&
               ReadFile(read, buffer, sizeof buffer, &n, nullptr) && n > 0) {
            std::lock_guard<std::mutex> lock(mutex_);
            output_.append(buffer, n);
        }
    };
    {
        std::lock_guard<std::mutex> lock(mutex_);
        started_ = true;
        pid_ = pi.dwProcessId;
        if (!ok) startError_ = "cannot start " + exe + ": error " + std::to_string(GetLastError());
    }
    changed_.notify_all();
    if (!ok) return;
    CloseHandle(pi.hThread);
    auto stopRequested = [&] {
        std::lock_guard<std::mutex> lock(mutex_);
        return stop_;
    };
    DWORD code = 0;
    bool done = false;
    while (!done) {
        drain();
        if (!asDebugger) {
            if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) break;
            if (stopRequested()) TerminateProcess(pi.hProcess, 255);
            continue;
        }
        DEBUG_EVENT ev;
        if (!WaitForDebugEvent(&ev, 50)) {
            if (stopRequested()) TerminateProcess(pi.hProcess, 255);
            continue;
        }
        DWORD status = DBG_CONTINUE;
        switch (ev.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            CloseHandle(ev.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            CloseHandle(ev.u.LoadDll.hFile);
            break;
        case OUTPUT_DEBUG_STRING_EVENT: {
            std::string text(ev.u.DebugString.fUnicode ? 0 : ev.u.DebugString.nDebugStringLength, '\0');
            SIZE_T got = 0;
            ReadProcessMemory(pi.hProcess, ev.u.DebugString.lpDebugStringData, &text[0], text.size(), &got);
            text.resize(strnlen(text.c_str(), got));
            if (hook_) hook_(pi.dwProcessId, text);
            std::lock_guard<std::mutex> lock(mutex_);
            strings_.push_back(text);
            break;
        }
        case EXCEPTION_DEBUG_EVENT:
            // The loader's breakpoint is ours; everything else is the child's.
            if (ev.u.Exception.ExceptionRecord.ExceptionCode == EXCEPTION_BREAKPOINT) break;
            status = DBG_EXCEPTION_NOT_HANDLED;
            if (!ev.u.Exception.dwFirstChance) {
                // A crash: end it rather than leave it to a dialog nobody answers.
                std::lock_guard<std::mutex> lock(mutex_);
                crashed_ = true;
                TerminateProcess(pi.hProcess, ev.u.Exception.ExceptionRecord.ExceptionCode);
            }
            break;
        case EXIT_PROCESS_DEBUG_EVENT: {
            PROCESS_MEMORY_COUNTERS counters{};
            if (GetProcessMemoryInfo(pi.hProcess, &counters, sizeof counters)) {
                std::lock_guard<std::mutex> lock(mutex_);
                peak_ = counters.PeakPagefileUsage;
            }
            done = true;
            break;
        }
        default:
            break;
        }
        ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, status);
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    drain();
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        exited_ = true;
        exitCode_ = code;
    }
    changed_.notify_all();
}

std::vector<std::string> ShellProcess::progressTexts() {
    static const std::string prefix = "Korvane: ";
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    for (const auto& s : strings_) {
        if (s.compare(0, prefix.size(), prefix) == 0) out.push_back(s.substr(prefix.size()));
    }
    return out;
}

bool ShellProcess::waitForExit(DWORD timeoutMs, DWORD* exitCode) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return exited_; })) return false;
    *exitCode = exitCode_;
    return true;
}

std::string ShellProcess::output() {
    std::lock_guard<std::mutex> lock(mutex_);
    return output_;
}

bool ShellProcess::crashed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return crashed_;
}

SIZE_T ShellProcess::peakBytes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return peak_;
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

std::vector<HWND> VisibleWindows(DWORD pid, const char* className) {
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
            if (owner == s->pid && IsWindowVisible(wnd) && (!s->className || ClassOf(wnd) == s->className))
                s->found.push_back(wnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() >= end) return false;
        Sleep(15);
    }
    return true;
}

HWND ErrorBox(DWORD pid) {
    for (HWND w : VisibleWindows(pid, "#32770")) {
        if (WindowText(w) == "Korvane") return w;
    }
    return nullptr;
}

std::string MessageBoxText(HWND box) {
    std::string text;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (_stricmp(ClassOf(child).c_str(), "Static") == 0 && !WindowText(child).empty()) text = WindowText(child);
    }
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, " | ");
    return text;
}

void PressOk(HWND box) {
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}

namespace {
void SendMouse(DWORD flags, LONG dx = 0, LONG dy = 0) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = dx;
    in.mi.dy = dy;
    in.mi.dwFlags = flags;
    SendInput(1, &in, sizeof in);
    Sleep(50);
}
}  // namespace

void MouseMoveTo(int x, int y) {
    // Absolute input is scaled by the screen size over 65536; rounding up
    // lands exactly on the wanted pixel.
    const long long w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, static_cast<LONG>((x * 65536LL + w - 1) / w),
              static_cast<LONG>((y * 65536LL + h - 1) / h));
}

void MouseButton(bool down) { SendMouse(down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP); }

void MouseClickAt(int x, int y) {
    MouseMoveTo(x, y);
    MouseButton(true);
    MouseButton(false);
}
