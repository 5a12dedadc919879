// Running a program as a user would and watching it from outside.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/handles.h"

class ShellProcess {
public:
    // Throws std::runtime_error when it cannot start; traces: more Wine debug channels.
    ShellProcess(const std::string& exe, const std::vector<std::string>& args, const std::string& traces = "");
    ~ShellProcess();  // ends the program if it still runs
    ShellProcess(const ShellProcess&) = delete;
    ShellProcess& operator=(const ShellProcess&) = delete;

    DWORD pid() const { return pid_; }
    // False when it has not ended within timeoutMs; takes in its output and
    // its memory use while it waits.
    bool waitForExit(DWORD timeoutMs, DWORD* exitCode);
    // What it wrote to its standard output and error.
    std::string output();
    // The rest of each line of its Wine log after marker ("OutputDebugStringA \"").
    std::vector<std::string> logged(const std::string& marker);
    // The most memory it has had committed, as far as it was watched.
    SIZE_T peakBytes() const { return peak_; }

private:
    void TakeIn();

    UniqueKernelHandle process_, reader_;
    DWORD pid_ = 0;
    size_t logStart_ = 0;
    std::string output_;
    SIZE_T peak_ = 0;
};

// Visible top-level windows of a process, of a class (any when null).
std::vector<HWND> VisibleWindows(DWORD pid, const char* className = nullptr);
std::string ClassOf(HWND wnd);
std::string WindowText(HWND wnd);
// Polls until done() holds or timeoutMs pass; returns done().
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs);
bool ProcessRuns(const char* exeName);
// The shell's error box (captioned "Korvane") of a process, or null.
HWND ErrorBox(DWORD pid);
// A message box's text, its line breaks shown as " | ".
std::string MessageBoxText(HWND box);
void PressOk(HWND box);
// Real input through SendInput, in screen coordinates.
void MouseMoveTo(int x, int y);
void MouseButton(bool down);
void MouseClickAt(int x, int y);
// Real keys through the X server, as xdotool names them ("alt+Left Tab"),
// to the window with the keyboard.
void XdoKeys(const std::string& keys);
// What a screen reader hears of a window: "NAME" role N ACTION (- for
// none); with press, its default action is done too.
std::string Accessible(HWND wnd, bool press = false);
