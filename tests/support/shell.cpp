#include "support/shell.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <sstream>
#include <stdexcept>

#include "controls/accessible.h"
#include "support/site.h"

namespace {

// Quotes as the C runtime's argument parser reads them back, for arguments
// that hold no quote and do not end in a backslash, as the tests' never do.
std::string Quote(const std::string& arg) {
    return !arg.empty() && arg.find_first_of(" \t") == std::string::npos ? arg : "\"" + arg + "\"";
}

}  // namespace

ShellProcess::ShellProcess(const std::string& exe, const std::vector<std::string>& args, const std::string& traces) {
    std::string commandLine = Quote(exe);
    for (const auto& a : args) commandLine += " " + Quote(a);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    CreatePipe(&read, &write, &inherit, 0);
    reader_.reset(read);
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = write;
    PROCESS_INFORMATION pi{};
    // Wine writes a program's debug strings to its error output on this
    // channel, which for a window program is this program's (see wine-run.sh).
    SetEnvironmentVariableA("WINEDEBUG", ("-all,warn+debugstr" + traces).c_str());
    logStart_ = ReadFileBytes(SessionFile("stderr.log")).size();
    const BOOL ok = CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(write);
    if (!ok) throw std::runtime_error("cannot start " + exe + ": error " + std::to_string(GetLastError()));
    CloseHandle(pi.hThread);
    process_.reset(pi.hProcess);
    pid_ = pi.dwProcessId;
}

ShellProcess::~ShellProcess() {
    if (WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) TerminateProcess(process_.get(), 255);
}

void ShellProcess::TakeIn() {
    PROCESS_MEMORY_COUNTERS counters{};
    if (GetProcessMemoryInfo(process_.get(), &counters, sizeof counters)) peak_ = std::max(peak_, counters.PeakPagefileUsage);
    DWORD available = 0, n = 0;
    char buffer[4096];
    while (PeekNamedPipe(reader_.get(), nullptr, 0, nullptr, &available, nullptr) && available > 0 &&
           ReadFile(reader_.get(), buffer, sizeof buffer, &n, nullptr) && n > 0)
        output_.append(buffer, n);
}

bool ShellProcess::waitForExit(DWORD timeoutMs, DWORD* exitCode) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        TakeIn();
        if (WaitForSingleObject(process_.get(), 15) == WAIT_OBJECT_0) break;
        if (GetTickCount64() >= end) return false;
    }
    TakeIn();
    GetExitCodeProcess(process_.get(), exitCode);
    return true;
}

std::string ShellProcess::output() {
    TakeIn();
    return output_;
}

std::vector<std::string> ShellProcess::logged(const std::string& marker) {
    std::vector<std::string> texts;
    std::istringstream lines(ReadFileBytes(SessionFile("stderr.log")).substr(logStart_));
    for (std::string line; std::getline(lines, line);) {
        const size_t at = line.find(marker);
        if (at != std::string::npos) texts.push_back(line.substr(at + marker.size()));
    }
    return texts;
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
    std::vector<HWND> found;
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, className, nullptr)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid && IsWindowVisible(w)) found.push_back(w);
    }
    return found;
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() >= end) return false;
        Sleep(15);
    }
    return true;
}

bool ProcessRuns(const char* exeName) {
    UniqueKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry)) {
        if (_stricmp(entry.szExeFile, exeName) == 0) return true;
    }
    return false;
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

void XdoKeys(const std::string& keys) {
    std::string command = "/usr/bin/xdotool key " + keys;
    STARTUPINFOA si{sizeof si};
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
    WaitForSingleObject(pi.hProcess, 5000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    Sleep(100);
}

std::string Accessible(HWND wnd, bool press) {
    // The answer comes marshalled from the window's process.
    [[maybe_unused]] static const HRESULT com = CoInitialize(nullptr);
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(wnd, OBJID_CLIENT, kIidAccessible, reinterpret_cast<void**>(&object)))) return "-";
    VARIANT self{}, role{};
    self.vt = VT_I4;
    BSTR text[2] = {};
    object->get_accName(self, &text[0]);
    object->get_accRole(self, &role);
    object->get_accDefaultAction(self, &text[1]);
    if (press) object->accDoDefaultAction(self);
    object->Release();
    std::string said[2];  // the tests' names are ASCII
    for (int i = 0; i < 2; ++i) {
        for (const wchar_t* c = text[i]; c && *c; ++c) said[i] += static_cast<char>(*c);
        SysFreeString(text[i]);
    }
    return "\"" + said[0] + "\" role " + std::to_string(role.lVal) + " " + (said[1].empty() ? "-" : said[1]);
}
