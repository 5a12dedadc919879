// Running a program as a user would, with this test as its debugger: what it
// writes with OutputDebugStringA and to its output, its windows, its message
// boxes, its memory and its exit code.
#pragma once
#include <windows.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ShellProcess {
public:
    // Called on the debugger thread for each debug string while the whole
    // child is stopped, so its windows hold still; nothing that sends the
    // child a message may be called from here.
    using StringHook = std::function<void(DWORD pid, const std::string&)>;

    // asDebugger false starts a plain child, which sees no debug strings:
    // under Wine a C++ throw in a mingw x86_64 program dies when a debugger
    // is attached. Throws std::runtime_error when it cannot start.
    ShellProcess(const std::string& exe, const std::vector<std::string>& args, StringHook hook = nullptr,
                 bool asDebugger = true);
    ~ShellProcess();  // terminates the child if it still runs
    ShellProcess(const ShellProcess&) = delete;
    ShellProcess& operator=(const ShellProcess&) = delete;

    DWORD pid() const { return pid_; }
    // The debug strings that start with "Korvane: ", without that prefix.
    std::vector<std::string> progressTexts();
    // False when the child has not ended within timeoutMs.
    bool waitForExit(DWORD timeoutMs, DWORD* exitCode);
    // What it wrote to its standard output and error.
    std::string output();
    bool crashed();
    // The most memory the child ever had committed (debugger runs only).
    SIZE_T peakBytes();

private:
    void Run(std::string exe, std::string commandLine, bool asDebugger);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
    StringHook hook_;
    DWORD pid_ = 0, exitCode_ = 0;
    bool started_ = false, exited_ = false, crashed_ = false, stop_ = false;
    std::string startError_, output_;
    std::vector<std::string> strings_;
    SIZE_T peak_ = 0;
};

// Visible top-level windows of a process, of a class (any when null).
std::vector<HWND> VisibleWindows(DWORD pid, const char* className = nullptr);
std::string ClassOf(HWND wnd);
std::string WindowText(HWND wnd);
// Polls until done() holds or timeoutMs pass; returns done().
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs);
// The shell's error box (captioned "Korvane") of a process, or null.
HWND ErrorBox(DWORD pid);
// A message box's text, its line breaks shown as " | ".
std::string MessageBoxText(HWND box);
void PressOk(HWND box);
// Real input through SendInput, in screen coordinates.
void MouseMoveTo(int x, int y);
void MouseButton(bool down);
void MouseClickAt(int x, int y);
