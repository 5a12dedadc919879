#include "checker/logic/check_logic.h"

#include <algorithm>
#include <cctype>

#include "remote/remote_params.h"

namespace check {

namespace {

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Trimmed(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

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

}  // namespace

bool IsPlainInteger(const std::string& token) {
    const std::string t = Trimmed(token);
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    if (i >= t.size()) return false;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9') return false;
    }
    return true;
}

bool IsSixHexDigits(const std::string& text) {
    return text.size() == 6 && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c); });
}

bool LooksAffirmative(const std::string& value) {
    static const char* const kYes[] = {"yes", "y", "1", "on", "enabled", "enable", "t"};
    std::string v = Trimmed(value);
    LowerAscii(&v[0]);
    for (const char* yes : kYes) {
        if (v == yes) return true;
    }
    return false;
}

bool LooksLikeSeveralNumbers(const std::string& token) {
    int runs = 0;
    for (std::size_t i = 0; i < token.size(); ++i) {
        const bool digit = token[i] >= '0' && token[i] <= '9';
        if (digit && (i == 0 || token[i - 1] < '0' || token[i - 1] > '9')) ++runs;
    }
    return runs > 1;
}

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

}  // namespace check
