// Each parameter as the shell reads it, and what its author probably meant.
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "checker/checker.h"
#include "checker/report.h"
#include "controls/info_win.h"
#include "remote/url_split.h"

namespace {

// The comma-separated tokens of a text, as the shell splits a numbers value.
std::vector<std::string> Tokens(const char* text) {
    std::vector<std::string> tokens;
    for (const char* end = text; (text = NextNumberToken(end, &end)) != nullptr;) tokens.emplace_back(text, end);
    return tokens;
}

std::string ColourName(COLORREF c) { return Hex6(RGB(GetBValue(c), GetGValue(c), GetRValue(c))); }

}  // namespace

void Checker::Stop(const std::string& errorBox) {
    if (verdict_ != kStarts) return;
    verdict_ = kDoesNotStart;
    verdictText_ = "error box: " + errorBox;
    ReportLine("NOTE the shell stops here; the rest is checked all the same");
}

void Checker::StopWithParameterError() {
    char text[kErrorTextCapacity];
    std::snprintf(text, sizeof text, kParameterErrorFormat, doc_.sourceUrl, doc_.contextText);
    std::string box = text;
    for (std::size_t at; (at = box.find("\r\n")) != std::string::npos;) box.replace(at, 2, " | ");
    Stop(box);
}

void Checker::Read(const ParamRule& rule, Reading& got) {
    const char* name = rule.name;
    std::vector<char> buffer(rule.capacity);
    const char* value = doc_.GetParamString(name, buffer.data(), buffer.size());
    got.present = value != nullptr;
    std::string reading;
    if (rule.kind == ParamKind::kFlag) reading = doc_.GetParamBool(name, false) ? " -> true" : " -> false";
    if (rule.kind == ParamKind::kColour) {
        got.colour = ParseColourText(value ? value : "");
        reading = " -> colour " + ColourName(got.colour);
    }
    if (rule.kind == ParamKind::kNumbers) {
        got.present = doc_.GetParamRect(name, got.numbers) != nullptr;
        const std::vector<std::string> labels = Tokens(rule.uses);
        for (std::size_t i = 0; i < labels.size(); ++i)
            reading += (i ? " " : " -> ") + labels[i] + "=" + std::to_string(got.numbers[i]);
        // Where the shell uses whatever it got, a single number counts.
        if (!got.present && !(rule.usedAnyway && value && !Tokens(value).empty()))
            reading = std::string(" -> read as missing: ") + rule.whenMissing;
    }
    if (value) ReportLine("PARAM %s = %s%s", name, Quoted(value).c_str(), reading.c_str());
    else ReportLine("PARAM %s missing -> %s", name, rule.whenMissing);
    if (value) ValueNotes(rule, value, got);
    RawNotes(rule);
    if (value && rule.kind == ParamKind::kImage) Image(rule, value, got);
}

void Checker::RawNotes(const ParamRule& rule) {
    const char* name = rule.name;
    {
        // The whole value, however long, as the shell would read it with
        // room enough, the context text left as it was.
        const KeptLookupState kept(doc_);
        std::vector<char> full(kMaxBodyBytes + 2);
        doc_.GetParamString(name, full.data(), full.size());
        const std::size_t length = std::strlen(full.data());
        if (length >= rule.capacity)
            Warn("shorten it to " + std::to_string(rule.capacity - 1) + " characters or fewer",
                 "%s: value of %zu characters is longer than %zu: read as missing", name, length, rule.capacity - 1);
    }
    const int inside = check::CountOpeningTags(content_, name);
    const int outside = check::CountOpeningTags(cleaned_, name) - inside;
    if (inside > 1) Warn("keep only the one you mean", "%s: written %d times: the first value counts", name, inside);
    if (outside > 0 && inside == 0)
        Warn("move it inside <korvane>", "%s: written outside <korvane>: not read there", name);
    else if (outside > 0)
        Warn("remove the one outside", "%s: also written outside <korvane>: that one is ignored", name);
    const ValueAt at = FindValue(content_.c_str(), name, nullptr, nullptr);
    if (inside > 0 && at == ValueAt::kNoCloseTag)
        Warn(std::string("add </") + name + "> after the value", "%s: no closing tag </%s>: read as missing", name,
             name);
    else if (at == ValueAt::kCloseFirst)
        Warn(std::string("put </") + name + "> after the value",
             "%s: the closing tag stands before the opening tag: read as missing", name);
}

void Checker::ValueNotes(const ParamRule& rule, const std::string& value, const Reading& got) {
    const char* name = rule.name;
    const std::string quoted = Quoted(value);
    if (rule.kind == ParamKind::kText) {
        UrlParts document, named;
        if (SplitUrl(options_.url.c_str(), &document) && document.secure && SplitUrl(value.c_str(), &named) &&
            !named.secure)
            Warn("serve it over https too", "%s: the document comes over https but this is plain http: what comes "
                 "from it can be read and changed on the way", name);
        if (std::strcmp(name, param::kNavigateTo) == 0 && !IsWebAddress(value.c_str()))
            Warn("give an http:// or https:// URL", "%s: not a web address: the shell opens a blank page", name);
        if (std::strcmp(name, param::kImagesPath) == 0 && !IsWebAddress(value.c_str()))
            Warn("write the full URL, e.g. http://skins.example.com/lantern/",
                 "%s: %s is not an absolute http:// or https:// URL: the shell appends each picture's name to it as "
                 "written, so every picture fails", name, quoted.c_str());
    } else if (rule.kind == ParamKind::kFlag) {
        const bool result = doc_.GetParamBool(name, false);
        if (value.empty())
            Warn("write true or false", "%s: empty: read as false", name);
        else if (!result && check::LooksAffirmative(value))
            Warn("write true", "%s: %s has no \"true\": read as false", name, quoted.c_str());
        else if (result && _stricmp(value.c_str(), "true") != 0)
            Warn("write just true or false", "%s: %s contains \"true\": read as true", name, quoted.c_str());
    } else if (rule.kind == ParamKind::kColour && !check::IsSixHexDigits(value)) {
        const char* fix = value.find('#') != std::string::npos                    ? "remove the #"
                          : value.size() > 2 && _strnicmp(value.c_str(), "0x", 2) == 0 ? "remove the 0x"
                                                                                   : "write six hexadecimal digits, RRGGBB";
        Warn(fix, "%s: %s is not six hexadecimal digits: read as %s", name, quoted.c_str(),
             ColourName(got.colour).c_str());
    } else if (rule.kind == ParamKind::kNumbers) {
        const std::vector<std::string> tokens = Tokens(value.c_str()), labels = Tokens(rule.uses);
        const int count = static_cast<int>(labels.size());
        const std::string write = std::string("write ") + rule.uses;
        // "50 20" is two numbers to its author and one to the shell.
        const bool unseparated = tokens.size() == 1 && check::LooksLikeSeveralNumbers(tokens[0]);
        const std::string splitFix = unseparated ? "separate the numbers with a comma" : write;
        if (tokens.empty())
            Warn(write, "%s: empty: read as missing", name);
        else if (tokens.size() == 1 && rule.usedAnyway)
            Warn(splitFix, "%s: a single number where %d are needed: the others are 0", name, count);
        else if (tokens.size() == 1)
            Warn(splitFix, "%s: a single number where two are needed: read as missing -> %s", name, rule.whenMissing);
        for (std::size_t i = 0; i < tokens.size() && i < 4 && !unseparated; ++i) {
            if (!check::IsPlainInteger(tokens[i]))
                Warn("write digits only, with no units or letters", "%s: %s is not a plain number: read as %d", name,
                     Quoted(tokens[i]).c_str(), got.numbers[i]);
        }
        if (tokens.size() > labels.size())
            Warn(count == 2 ? "remove the numbers after the second" : "remove the numbers after the fourth",
                 "%s: %zu numbers: only the first %s are used", name, tokens.size(), count == 2 ? "two" : "four");
    }
}
