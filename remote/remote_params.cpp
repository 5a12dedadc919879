// The parameter document and its lookups. No Windows API here: the fetch
// lives in remote_params_win.cpp, so this file also builds natively for the
// sanitizer tests and the fuzzer.
#include "remote/remote_params.h"
#include "remote/skin_params.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// A malloc'd scratch string released on every path out of a lookup.
class ScratchString {
public:
    explicit ScratchString(std::size_t size) : p_(static_cast<char*>(std::malloc(size))) {}
    ~ScratchString() { std::free(p_); }
    ScratchString(const ScratchString&) = delete;
    ScratchString& operator=(const ScratchString&) = delete;
    char* get() const { return p_; }

private:
    char* p_;
};

bool IsAtolSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// atol's reading rules (white space, optional sign, digits up to the first
// other character, 0 without digits), but clamped to the 32-bit range
// instead of overflowing: the fields are 32-bit whatever the platform's long.
std::int32_t ParseNumber(const char* s, const char* end) {
    while (s < end && IsAtolSpace(*s)) ++s;
    bool negative = false;
    if (s < end && (*s == '+' || *s == '-')) {
        negative = *s == '-';
        ++s;
    }
    long long value = 0;
    const long long limit = negative ? -static_cast<long long>(INT32_MIN) : INT32_MAX;
    for (; s < end && *s >= '0' && *s <= '9'; ++s) {
        value = value * 10 + (*s - '0');
        if (value > limit) value = limit;  // keep reading, the result is pinned
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

}  // namespace

CRemoteParams::CRemoteParams() {
    sourceUrl[0] = '\0';
    imagesPath[0] = '\0';
    contextText[0] = '\0';
}

CRemoteParams::~CRemoteParams() {
    if (text) std::free(text);
    if (lowerText) std::free(lowerText);
    text = nullptr;
    lowerText = nullptr;
}

bool CRemoteParams::PrepareDocument(char* body, std::uint32_t length, const char* url) {
    // A second load must not leak the first document.
    std::free(text);
    std::free(lowerText);
    lowerText = nullptr;
    // Owned from here on, whatever happens, so the destructor releases it.
    text = body;
    if (!text || length == 0) return false;

    // From here the text is a C string: a NUL in the body ends the document.
    CleanDocument(text);

    const std::size_t size = std::strlen(text) + 1;
    lowerText = static_cast<char*>(std::malloc(size));
    if (!lowerText) return false;
    std::memcpy(lowerText, text, size);
    LowerAscii(lowerText);

    // The root element's content is cut out of text in place; the value is
    // never longer than the text it comes from, so size is always enough.
    if (!GetParamString(param::kRoot, text, size)) return false;

    std::strcpy(lowerText, text);
    LowerAscii(lowerText);

    std::snprintf(sourceUrl, sizeof sourceUrl, "%s", url ? url : "");
    return true;
}

char* CRemoteParams::GetParamString(const char* name, char* dest, std::size_t capacity) {
    if (!text || !lowerText || !dest || capacity == 0) return nullptr;
    if (!name) {
        dest[0] = '\0';
        return nullptr;
    }

    std::snprintf(contextText, sizeof contextText, "Parameter: %s", name);
    dest[0] = '\0';

    std::size_t begin = 0, end = 0;
    if (FindValue(lowerText, name, &begin, &end) != ValueAt::kFound) return nullptr;
    while (begin < end && text[begin] == ' ') ++begin;
    while (end > begin && text[end - 1] == ' ') --end;
    const std::size_t valueLength = end - begin;
    if (valueLength >= capacity) return nullptr;

    // dest may be text itself (the root element at load time).
    std::memmove(dest, text + begin, valueLength);
    dest[valueLength] = '\0';
    return dest;
}

bool CRemoteParams::ImageUrl(const char* name, char (&url)[kValueCapacity]) {
    char fileName[kValueCapacity];
    if (!GetParamString(name, fileName, sizeof fileName)) return false;

    if (imagesPath[0] == '\0') {
        if (!GetParamString(param::kImagesPath, imagesPath, sizeof imagesPath)) return false;
    }
    std::size_t pathLength = std::strlen(imagesPath);
    if (pathLength == 0 || imagesPath[pathLength - 1] != '/') {
        if (pathLength + 1 >= sizeof imagesPath) {
            // No room for the "/": forget the value so the cache only ever
            // holds a usable folder URL; every later load fails the same way.
            imagesPath[0] = '\0';
            return false;
        }
        imagesPath[pathLength++] = '/';
        imagesPath[pathLength] = '\0';
    }

    const int urlLength = std::snprintf(url, sizeof url, "%s%s", imagesPath, fileName);
    std::snprintf(contextText, sizeof contextText, "Image %s,Path: %s%s", fileName, imagesPath, fileName);
    // A cut URL would fetch some other file.
    return urlLength >= 0 && static_cast<std::size_t>(urlLength) < sizeof url;
}

std::vector<StartupImage> StartupImages(CRemoteParams& doc) {
    const KeptLookupState kept(doc);
    std::vector<StartupImage> images;
    std::vector<const char*> present;  // what a later lookup's onlyAfter may name
    for (const ParamRule& rule : kLookupOrder) {
        const auto needed = [&](const char* name) { return std::strcmp(name, rule.onlyAfter) == 0; };
        if (rule.onlyAfter && std::none_of(present.begin(), present.end(), needed)) continue;
        bool got = true;  // texts, flags and colours ask for no picture and stop nothing
        if (rule.kind == ParamKind::kImage) {
            StartupImage image{rule.name, ""};
            got = doc.ImageUrl(rule.name, image.url);
            if (got) images.push_back(image);
        } else if (rule.kind == ParamKind::kNumbers) {
            std::int32_t numbers[4];
            got = doc.GetParamRect(rule.name, numbers) != nullptr;
        }
        if (got) present.push_back(rule.name);
        else if (rule.stops) break;
    }
    return images;
}

std::int32_t* CRemoteParams::GetParamRect(const char* name, std::int32_t rect[4]) {
    if (!rect) return nullptr;
    rect[0] = rect[1] = rect[2] = rect[3] = 0;

    char value[kValueCapacity];
    if (!GetParamString(name, value, sizeof value)) return nullptr;

    int tokens = 0;
    const char* end = value;
    for (const char* token; (token = NextNumberToken(end, &end)) != nullptr; ++tokens) {
        if (tokens < 4) rect[tokens] = ParseNumber(token, end);
    }
    return tokens >= 2 ? rect : nullptr;
}

bool CRemoteParams::GetParamBool(const char* name, bool defaultValue) {
    if (!name) return false;
    char value[kValueCapacity];
    if (!GetParamString(name, value, sizeof value)) return defaultValue;
    LowerAscii(value);
    return std::strstr(value, "true") != nullptr;
}

void StripControlChars(char* text) {
    if (!text) return;
    char* out = text;
    for (const char* in = text; *in; ++in) {
        const unsigned char c = static_cast<unsigned char>(*in);
        if (c >= 32) *out++ = *in;
    }
    *out = '\0';
}

char* TrimSpaces(char* text) {
    if (!text) return text;
    const char* start = text;
    while (*start == ' ') ++start;
    std::size_t length = std::strlen(start);
    while (length > 0 && start[length - 1] == ' ') --length;
    std::memmove(text, start, length);
    text[length] = '\0';
    return text;
}

void LowerAscii(char* text) {
    for (; *text; ++text) {
        if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
    }
}

char* CleanDocument(char* text) {
    StripControlChars(text);
    return TrimSpaces(text);
}

ValueAt FindValue(const char* lowered, const char* name, std::size_t* begin, std::size_t* end) {
    const std::size_t nameLength = std::strlen(name);
    ScratchString open(nameLength + 3);   // "<" name ">"
    ScratchString close(nameLength + 4);  // "</" name ">"
    if (!open.get() || !close.get()) return ValueAt::kNoOpenTag;
    std::snprintf(open.get(), nameLength + 3, "<%s>", name);
    std::snprintf(close.get(), nameLength + 4, "</%s>", name);
    LowerAscii(open.get());
    LowerAscii(close.get());

    const char* openAt = std::strstr(lowered, open.get());
    if (!openAt) return ValueAt::kNoOpenTag;
    // Searched from the top of the document, not from the opening tag.
    const char* closeAt = std::strstr(lowered, close.get());
    if (!closeAt) return ValueAt::kNoCloseTag;
    const std::size_t valueBegin = static_cast<std::size_t>(openAt - lowered) + nameLength + 2;
    const std::size_t valueEnd = static_cast<std::size_t>(closeAt - lowered);
    // A closing tag ahead of the opening one encloses nothing.
    if (valueEnd < valueBegin) return ValueAt::kCloseFirst;
    if (begin) *begin = valueBegin;
    if (end) *end = valueEnd;
    return ValueAt::kFound;
}

const char* NextNumberToken(const char* p, const char** end) {
    while (*p == ',') ++p;
    if (!*p) return nullptr;
    for (*end = p; **end && **end != ','; ++*end) {
    }
    return p;
}
