// Report lines on standard output. One lock for every line, so that the
// watchdog's last word never lands inside another line.
#pragma once
#include <string>

void ReportLine(const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(gnu_printf, 1, 2)))
#endif
    ;
// A WARN line: what is wrong and, where not plain, what the user will see
// (printf-style), then after "; " how to put it right. Every warning says how.
void Warn(const std::string& fix, const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(gnu_printf, 2, 3)))
#endif
    ;
// Ends the process with code after printing line, once no other line is
// being written; used by the watchdog thread.
[[noreturn]] void ReportFinalLineAndExit(const std::string& line, int code);

// A value in double quotes; a very long one shortened, with a note of its
// full length.
std::string Quoted(const std::string& value);
