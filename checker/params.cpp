// Each parameter as the shell reads it, and what its author probably meant.
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "checker/checker.h"
#include "checker/report.h"
#include "controls/info_win.h"
#include "remote/skin_params.h"
#include "remote/url_split.h"

namespace {

// The comma-separated tokens of a text, as the shell splits a numbers value.
std::vector<std::string> Tokens(const char* text) {
    std::vector<std::string> tokens;
    for (const char* end = text; (text = NextNumberToken(end, &end)) != nullptr;) tokens.emplace_back(text, end);
    return tokens;
}

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
    switch (rule.kind) {
    case ParamKind::kText: Text(rule, got); break;
    case ParamKind::kNumbers: Numbers(rule, got); break;
    case ParamKind::kFlag: Flag(rule, got); break;
    case ParamKind::kColour: Colour(rule, got); break;
    case ParamKind::kImage: return Image(rule, got);  // its notes come before the download's
    }
    RawNotes(rule);
}

bool Checker::FullValue(const char* name, std::string* value) {
    const KeptContext kept(doc_);
    std::vector<char> buffer(kMaxBodyBytes + 2);
    const bool present = doc_.GetParamString(name, buffer.data(), buffer.size()) != nullptr;
    if (present && value) *value = buffer.data();
    return present;
}

void Checker::RawNotes(const ParamRule& rule) {
    const char* name = rule.name;
    std::string full;
    if (FullValue(name, &full) && full.size() >= rule.capacity) {
        Warn("shorten it to " + std::to_string(rule.capacity - 1) + " characters or fewer",
             "%s: value of %zu characters is longer than %zu: read as missing", name, full.size(), rule.capacity - 1);
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

void Checker::Text(const ParamRule& rule, Reading& got) {
    char buffer[kValueCapacity];
    const char* value = doc_.GetParamString(rule.name, buffer, sizeof buffer);
    got.present = value != nullptr;
    if (value) {
        ReportLine("PARAM %s = %s", rule.name, Quoted(value).c_str());
        if (check::LeavesHttps(options_.url, value))
            Warn("serve it over https too", "%s: the document comes over https but this is plain http: what comes "
                 "from it can be read and changed on the way", rule.name);
        if (std::strcmp(rule.name, param::kNavigateTo) == 0 && !IsWebAddress(value))
            Warn("give an http:// or https:// URL", "%s: not a web address: the shell opens a blank page", rule.name);
        if (std::strcmp(rule.name, param::kImagesPath) == 0 && !IsWebAddress(value))
            Warn("write the full URL, e.g. http://skins.example.com/lantern/",
                 "%s: %s is not an absolute http:// or https:// URL: the shell appends each picture's name to it as "
                 "written, so every picture fails", rule.name, Quoted(value).c_str());
    } else {
        ReportLine("PARAM %s missing -> %s", rule.name, rule.whenMissing);
    }
}

void Checker::Numbers(const ParamRule& rule, Reading& got) {
    const char* name = rule.name;
    const std::int32_t* out = got.numbers;
    got.present = doc_.GetParamRect(name, got.numbers) != nullptr;
    std::string raw;
    const bool written = FullValue(name, &raw) && raw.size() < rule.capacity;
    const std::vector<std::string> tokens = Tokens(raw.c_str()), labels = Tokens(rule.uses);
    const int count = static_cast<int>(labels.size());
    std::string reading;
    for (int i = 0; i < count; ++i) reading += (i ? " " : "") + labels[i] + "=" + std::to_string(out[i]);
    if (got.present || (written && rule.usedAnyway && !tokens.empty())) {
        ReportLine("PARAM %s = %s -> %s", name, Quoted(raw).c_str(), reading.c_str());
    } else if (written) {
        ReportLine("PARAM %s = %s -> read as missing: %s", name, Quoted(raw).c_str(), rule.whenMissing);
    } else {
        ReportLine("PARAM %s missing -> %s", name, rule.whenMissing);
    }
    if (written) {
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
        for (std::size_t i = 0; i < tokens.size() && i < 4; ++i) {
            if (!check::IsPlainInteger(tokens[i]) && !unseparated)
                Warn("write digits only, with no units or letters", "%s: %s is not a plain number: read as %d", name,
                     Quoted(tokens[i]).c_str(), out[i]);
        }
        if (tokens.size() > labels.size())
            Warn(count == 2 ? "remove the numbers after the second" : "remove the numbers after the fourth",
                 "%s: %zu numbers: only the first %s are used", name, tokens.size(), count == 2 ? "two" : "four");
    }
}

void Checker::Flag(const ParamRule& rule, Reading& got) {
    const char* name = rule.name;
    char buffer[kValueCapacity];
    got.present = doc_.GetParamString(name, buffer, sizeof buffer) != nullptr;
    const std::string value = got.present ? buffer : "";
    const bool result = doc_.GetParamBool(name, false);
    if (!got.present) {
        ReportLine("PARAM %s missing -> %s", name, rule.whenMissing);
    } else {
        ReportLine("PARAM %s = %s -> %s", name, Quoted(value).c_str(), result ? "true" : "false");
        std::string lowered = value;
        LowerAscii(&lowered[0]);
        if (value.empty())
            Warn("write true or false", "%s: empty: read as false", name);
        else if (!result && check::LooksAffirmative(value))
            Warn("write true", "%s: %s has no \"true\": read as false", name, Quoted(value).c_str());
        else if (result && lowered != "true")
            Warn("write just true or false", "%s: %s contains \"true\": read as true", name, Quoted(value).c_str());
    }
}

void Checker::Colour(const ParamRule& rule, Reading& got) {
    const char* name = rule.name;
    std::vector<char> buffer(rule.capacity);
    const char* value = doc_.GetParamString(name, buffer.data(), buffer.size());
    got.present = value != nullptr;
    got.colour = ParseColourText(value ? value : "");
    if (!value) {
        ReportLine("PARAM %s missing -> %s", name, rule.whenMissing);
    } else {
        const COLORREF c = got.colour;
        const std::uint32_t rgb = (static_cast<std::uint32_t>(GetRValue(c)) << 16) |
                                  (static_cast<std::uint32_t>(GetGValue(c)) << 8) | GetBValue(c);
        ReportLine("PARAM %s = %s -> colour %s", name, Quoted(value).c_str(), Hex6(rgb).c_str());
        const std::string text = value;
        const char* fix = "write six hexadecimal digits, RRGGBB";
        if (text.find('#') != std::string::npos) fix = "remove the #";
        else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) fix = "remove the 0x";
        if (!check::IsSixHexDigits(value))
            Warn(fix, "%s: %s is not six hexadecimal digits: read as %s", name, Quoted(value).c_str(), Hex6(rgb).c_str());
    }
}
