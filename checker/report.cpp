#include "checker/report.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

#include "checker/check_logic.h"

namespace {
CRITICAL_SECTION outputLock;
}

void ReportInit() { InitializeCriticalSection(&outputLock); }

void ReportLine(const char* format, ...) {
    EnterCriticalSection(&outputLock);
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    std::fputc('\n', stdout);
    // Line by line, so that whatever stops the check leaves complete lines.
    std::fflush(stdout);
    LeaveCriticalSection(&outputLock);
}

void ReportFinalLineAndExit(const std::string& line, int code) {
    EnterCriticalSection(&outputLock);
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    // The main thread may be stuck inside a read; ending the whole process
    // is the only way out, and the lock stays held so nothing follows.
    ExitProcess(static_cast<UINT>(code));
}

std::string Quoted(const std::string& value) { return "\"" + check::ShortenForReport(value) + "\""; }
