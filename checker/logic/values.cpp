#include <algorithm>
#include <regex>

#include "checker/logic/check_logic.h"

namespace check {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

int EditDistance(const std::string& a, const std::string& b) {
    std::vector<int> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = static_cast<int>(j);
    for (std::size_t i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = static_cast<int>(i);
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const int above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (Lower(a[i - 1]) == Lower(b[j - 1]) ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

bool Matches(const std::string& text, const char* pattern) {
    return std::regex_match(text, std::regex(pattern, std::regex::icase));
}

}  // namespace

bool IsPlainInteger(const std::string& token) { return Matches(token, "\\s*[-+]?[0-9]+\\s*"); }

bool IsSixHexDigits(const std::string& text) { return Matches(text, "[0-9a-f]{6}"); }

bool LeavesHttps(const std::string& documentUrl, const std::string& url) {
    return Matches(documentUrl, "https://.*") && Matches(url, "http://.*");
}

bool LooksAffirmative(const std::string& value) { return Matches(value, "\\s*(yes|y|1|on|enabled?|t)\\s*"); }

bool LooksLikeSeveralNumbers(const std::string& token) { return Matches(token, ".*[0-9][^0-9]+[0-9].*"); }

bool LooksUtf16(const std::string& bytes) {
    if (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0) return true;
    std::size_t zeros[2] = {0, 0};
    for (std::size_t i = 0; i < bytes.size(); ++i) zeros[i % 2] += bytes[i] == '\0';
    // Every other byte 0, and not all of them.
    return bytes.size() >= 2 && zeros[0] + zeros[1] < bytes.size() &&
           (zeros[1] == bytes.size() / 2 || zeros[0] == (bytes.size() + 1) / 2);
}

std::string NearestName(const std::string& word, const std::vector<std::string>& names) {
    // Two slips at least, more in long names, but never a whole word.
    const int allowed = std::min(std::max(2, static_cast<int>(word.size()) / 4), static_cast<int>(word.size()) - 1);
    std::string best;
    int bestDistance = allowed + 1;
    for (const std::string& name : names) {
        const int d = EditDistance(word, name);
        if (d < bestDistance) {
            bestDistance = d;
            best = name;
        }
    }
    return best;
}

std::string ConnectionError(unsigned long code, const std::string& host, unsigned port) {
    const std::string place = host + ":" + std::to_string(port);
    std::string words;
    switch (code) {
    case 12007: words = "the server name " + host + " was not found"; break;
    case 12029: words = "could not connect to " + place; break;
    case 12002: words = place + " did not answer in time"; break;
    case 12030:
    case 12031: words = "the connection to " + place + " broke off"; break;
    case 12152: words = place + " did not answer in HTTP"; break;
    case 12037: words = "the certificate of " + host + " has expired"; break;
    case 12038: words = "the certificate of " + host + " is made out to another name"; break;
    case 12045:
    case 12169:
    case 12175: words = "the certificate of " + host + " is not trusted"; break;
    case 12157: words = "no secure connection to " + place; break;
    case 12156: words = "the redirects from " + place + " led nowhere, or past ten"; break;
    case 12040: words = "a redirect from " + place + " led from https to plain http"; break;
    default: words = "no answer from " + place; break;
    }
    return words + " (error " + std::to_string(code) + ")";
}

}  // namespace check
