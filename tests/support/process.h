// Running the shell as a user would, with this test as its debugger: what it
// writes with OutputDebugStringA, its top-level windows, its message boxes
// and its exit code.
#pragma once
#include <windows.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class ShellProcess {
public:
    // Called on the debugger thread for each debug string, while every thread
    // of the child is stopped: the child's windows hold still, but nothing
    // that sends the child a message may be called from here.
    using StringHook = std::function<void(DWORD pid, const std::string&)>;

    // Starts exe with args (quoted as needed); env entries are added to, or
    // replace those of, this process's environment. Throws std::runtime_error
    // when the process cannot be started.
    //
    // asDebugger false starts it as a plain child: no debug strings, but a
    // C++ throw in a mingw x86_64 program kills that program when a debugger
    // is attached (libgcc's unwinder hands RtlUnwindEx a stale context).
    ShellProcess(const std::string& exe, const std::vector<std::string>& args,
                 const std::vector<std::pair<std::string, std::string>>& env = {},
                 StringHook hook = nullptr, bool asDebugger = true);
    ~ShellProcess();  // terminates the child if it still runs
    ShellProcess(const ShellProcess&) = delete;
    ShellProcess& operator=(const ShellProcess&) = delete;

    DWORD pid() const { return pid_; }
    std::vector<std::string> debugStrings();
    // The debug strings that start with "Korvane: ", without that prefix.
    std::vector<std::string> progressTexts();
    bool waitForDebugString(const std::string& text, DWORD timeoutMs);
    // True and the exit code once the child has ended within timeoutMs.
    bool waitForExit(DWORD timeoutMs, DWORD* exitCode);
    // Exceptions that reached the child's last chance (a crash).
    std::vector<DWORD> unhandledExceptions();

private:
    void Run(std::string exe, std::string commandLine, std::string environment, bool asDebugger);
    DWORD WaitPlain(HANDLE process);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
    StringHook hook_;
    DWORD pid_ = 0;
    bool started_ = false, exited_ = false;
    std::string startError_;
    DWORD exitCode_ = 0;
    std::vector<std::string> strings_;
    std::vector<DWORD> unhandled_;
    bool stopRequested_ = false;
};

// Visible or hidden top-level windows of a process, of a class (any when null).
std::vector<HWND> ProcessWindows(DWORD pid, const char* className = nullptr);
// The first such window that is visible, waiting up to timeoutMs.
HWND WaitForVisibleWindow(DWORD pid, const char* className, DWORD timeoutMs);
// Waits until the process has no visible window of the class.
bool WaitForNoVisibleWindow(DWORD pid, const char* className, DWORD timeoutMs);
std::string WindowText(HWND wnd);
std::string ClassOf(HWND wnd);

// The shell's error box: a dialog of the process captioned "Korvane".
HWND WaitForErrorBox(DWORD pid, DWORD timeoutMs);
// The message text of a message box.
std::string MessageBoxText(HWND box);
// Presses the box's OK button as a click would.
void PressOk(HWND box);
