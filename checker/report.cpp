#include "checker/report.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "checker/check_logic.h"
#include "checker/checker.h"
#include "controls/info_win.h"
#include "remote/http_fetch.h"

namespace {
CRITICAL_SECTION outputLock;
}

void ReportInit() { InitializeCriticalSection(&outputLock); }

namespace {

void WriteLine(const char* prefix, const char* format, va_list args, const char* suffix) {
    EnterCriticalSection(&outputLock);
    std::fputs(prefix, stdout);
    std::vfprintf(stdout, format, args);
    std::fputs(suffix, stdout);
    std::fputc('\n', stdout);
    // Line by line, so that whatever stops the check leaves complete lines.
    std::fflush(stdout);
    LeaveCriticalSection(&outputLock);
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
    EnterCriticalSection(&outputLock);
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    // The main thread may be stuck inside a read; ending the whole process
    // is the only way out, and the lock stays held so nothing follows.
    ExitProcess(static_cast<UINT>(code));
}

std::string Quoted(const std::string& value) { return "\"" + check::ShortenForReport(value) + "\""; }

std::string Hex6(std::uint32_t rgb) {
    char text[8];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(rgb & 0xFFFFFF));
    return text;
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void Checker::Stop(const std::string& errorBox) {
    if (verdict_ != kStarts) return;
    verdict_ = kDoesNotStart;
    verdictText_ = "error box: " + errorBox;
    ReportLine("NOTE the shell stops here; the rest is checked all the same");
}

void Checker::StopWithParameterError() {
    char text[kErrorTextCapacity];
    std::snprintf(text, sizeof text, kParameterErrorFormat, doc_.sourceUrl, doc_.contextText);
    std::string box;
    for (const char* p = text; *p; ++p) {
        if (p[0] == '\r' && p[1] == '\n') {
            box += " | ";
            ++p;
        } else {
            box += *p;
        }
    }
    Stop(box);
}

bool Checker::FullValue(const char* name, std::string* value) {
    const KeptContext kept(doc_);
    std::vector<char> buffer(kMaxBodyBytes + 2);
    const bool present = doc_.GetParamString(name, buffer.data(), buffer.size()) != nullptr;
    if (present && value) *value = buffer.data();
    return present;
}

void Checker::RawNotes(const char* name, std::size_t capacity) {
    std::string full;
    if (FullValue(name, &full) && full.size() >= capacity) {
        Warn("shorten it to " + std::to_string(capacity - 1) + " characters or fewer",
             "%s: value of %zu characters is longer than %zu: read as missing", name, full.size(), capacity - 1);
    }
    if (!haveRaw_) return;
    const check::TagScan scan = check::ScanTag(cleaned_, name);
    if (scan.inside > 1)
        Warn("keep only the one you mean", "%s: written %d times: the first value counts", name, scan.inside);
    if (scan.outside > 0 && scan.inside == 0)
        Warn("move it inside <korvane>", "%s: written outside <korvane>: not read there", name);
    else if (scan.outside > 0)
        Warn("remove the one outside", "%s: also written outside <korvane>: that one is ignored", name);
    if (scan.inside > 0 && !scan.closeInside)
        Warn(std::string("add </") + name + "> after the value", "%s: no closing tag </%s>: read as missing", name,
             name);
    else if (scan.closeBeforeOpen)
        Warn(std::string("put </") + name + "> after the value",
             "%s: the closing tag stands before the opening tag: read as missing", name);
}

void Checker::NotRead(const char* name, const char* why) { ReportLine("PARAM %s not read -> %s", name, why); }

bool Checker::Text(const char* name, const char* whenMissing, std::string* value) {
    char buffer[kValueCapacity];
    const char* got = doc_.GetParamString(name, buffer, sizeof buffer);
    if (got) {
        ReportLine("PARAM %s = %s", name, Quoted(got).c_str());
        if (value) *value = got;
        if (check::LeavesHttps(options_.url, got))
            Warn("serve it over https too", "%s: the document comes over https but this is plain http: what comes "
                 "from it can be read and changed on the way", name);
    } else {
        ReportLine("PARAM %s missing -> %s", name, whenMissing);
    }
    RawNotes(name, kValueCapacity);
    return got != nullptr;
}

bool Checker::Numbers(const char* name, const char* whenMissing, std::int32_t out[4], const NumberUse& use) {
    const bool present = doc_.GetParamRect(name, out) != nullptr;
    std::string raw;
    const bool written = FullValue(name, &raw) && raw.size() < kValueCapacity;
    const std::vector<std::string> tokens = check::SplitNumberTokens(raw);
    std::string reading;
    for (int i = 0; i < use.count; ++i)
        reading += std::string(i ? " " : "") + use.labels[i] + "=" + std::to_string(out[i]);
    if (present) {
        ReportLine("PARAM %s = %s -> %s", name, Quoted(raw).c_str(), reading.c_str());
    } else if (written && use.takenAnyway && !tokens.empty()) {
        ReportLine("PARAM %s = %s -> %s", name, Quoted(raw).c_str(), reading.c_str());
    } else if (written) {
        ReportLine("PARAM %s = %s -> read as missing: %s", name, Quoted(raw).c_str(), whenMissing);
    } else {
        ReportLine("PARAM %s missing -> %s", name, whenMissing);
    }
    if (written) {
        std::string wanted;
        for (int i = 0; i < use.count; ++i) wanted += std::string(i ? "," : "") + use.labels[i];
        const std::string write = "write " + wanted;
        // "50 20" is two numbers to its author and one to the shell.
        const bool unseparated = tokens.size() == 1 && check::LooksLikeSeveralNumbers(tokens[0]);
        const std::string splitFix = unseparated ? "separate the numbers with a comma" : write;
        if (tokens.empty())
            Warn(write, "%s: empty: read as missing", name);
        else if (tokens.size() == 1 && use.takenAnyway)
            Warn(splitFix, "%s: a single number where %d are needed: the others are 0", name, use.count);
        else if (tokens.size() == 1)
            Warn(splitFix, "%s: a single number where two are needed: read as missing -> %s", name, whenMissing);
        for (std::size_t i = 0; i < tokens.size() && i < 4; ++i) {
            if (!check::IsPlainInteger(tokens[i]) && !unseparated)
                Warn("write digits only, with no units or letters", "%s: %s is not a plain number: read as %d", name,
                     Quoted(tokens[i]).c_str(), out[i]);
        }
        if (tokens.size() > static_cast<std::size_t>(use.count))
            Warn(use.count == 2 ? "remove the numbers after the second" : "remove the numbers after the fourth",
                 "%s: %zu numbers: only the first %s are used", name, tokens.size(), use.count == 2 ? "two" : "four");
    }
    RawNotes(name, kValueCapacity);
    return present;
}

bool Checker::Flag(const char* name, const char* whenMissing) {
    char buffer[kValueCapacity];
    const bool written = doc_.GetParamString(name, buffer, sizeof buffer) != nullptr;
    const std::string value = written ? buffer : "";
    const bool result = doc_.GetParamBool(name, false);
    if (!written) {
        ReportLine("PARAM %s missing -> %s", name, whenMissing);
    } else {
        ReportLine("PARAM %s = %s -> %s", name, Quoted(value).c_str(), result ? "true" : "false");
        std::string lowered = value;
        for (char& c : lowered) c = static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
        if (value.empty())
            Warn("write true or false", "%s: empty: read as false", name);
        else if (!result && check::LooksAffirmative(value))
            Warn("write true", "%s: %s has no \"true\": read as false", name, Quoted(value).c_str());
        else if (result && lowered != "true")
            Warn("write just true or false", "%s: %s contains \"true\": read as true", name, Quoted(value).c_str());
    }
    RawNotes(name, kValueCapacity);
    return result;
}

COLORREF Checker::Colour(const char* name, std::size_t capacity, const char* whenMissing) {
    std::vector<char> buffer(capacity);
    const char* got = doc_.GetParamString(name, buffer.data(), buffer.size());
    const COLORREF c = ParseColourText(got ? got : "");
    if (!got) {
        ReportLine("PARAM %s missing -> %s", name, whenMissing);
    } else {
        const std::uint32_t rgb = (static_cast<std::uint32_t>(GetRValue(c)) << 16) |
                                  (static_cast<std::uint32_t>(GetGValue(c)) << 8) | GetBValue(c);
        ReportLine("PARAM %s = %s -> colour %s", name, Quoted(got).c_str(), Hex6(rgb).c_str());
        const std::string text = got;
        const char* fix = "write six hexadecimal digits, RRGGBB";
        if (text.find('#') != std::string::npos) fix = "remove the #";
        else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) fix = "remove the 0x";
        if (!check::IsSixHexDigits(got))
            Warn(fix, "%s: %s is not six hexadecimal digits: read as %s", name, Quoted(got).c_str(), Hex6(rgb).c_str());
    }
    RawNotes(name, capacity);
    return c;
}
