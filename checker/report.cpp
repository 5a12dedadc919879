#include "checker/report.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "checker/checker.h"

namespace {

std::mutex outputLock;

void WriteLine(const char* prefix, const char* format, va_list args, const char* suffix) {
    const std::lock_guard<std::mutex> hold(outputLock);
    std::fputs(prefix, stdout);
    std::vfprintf(stdout, format, args);
    std::fputs(suffix, stdout);
    std::fputc('\n', stdout);
    // Line by line, so that whatever stops the check leaves complete lines.
    std::fflush(stdout);
}

}  // namespace

void ReportLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    WriteLine("", format, args, "");
    va_end(args);
}

void Warn(const std::string& fix, const char* format, ...) {
    va_list args;
    va_start(args, format);
    WriteLine("WARN ", format, args, ("; " + fix).c_str());
    va_end(args);
}

void ReportFinalLineAndExit(const std::string& line, int code) {
    outputLock.lock();
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    // The main thread may be stuck inside a read; ending the whole process
    // is the only way out, and the lock stays held so nothing follows.
    ExitProcess(static_cast<UINT>(code));
}

std::string Quoted(const std::string& value) {
    constexpr std::size_t kShown = 160;
    if (value.size() <= kShown) return "\"" + value + "\"";
    return "\"" + value.substr(0, kShown) + "...(" + std::to_string(value.size()) + " characters)\"";
}

std::string Hex6(std::uint32_t rgb) {
    char text[8];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(rgb & 0xFFFFFF));
    return text;
}
