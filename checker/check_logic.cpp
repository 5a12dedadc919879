#include "checker/check_logic.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace check {

namespace {

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerCopy(const std::string& s) {
    std::string out = s;
    for (char& c : out) c = Lower(c);
    return out;
}

std::string Trimmed(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

void Put16(std::string& s, std::uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, std::uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

// The overlap of r with [0, width) x [0, height), empty when none.
Rect Clip(const Rect& r, int width, int height) {
    const long long left = std::max<long long>(r.x, 0);
    const long long top = std::max<long long>(r.y, 0);
    const long long right = std::min<long long>(static_cast<long long>(r.x) + std::max(r.width, 0), width);
    const long long bottom = std::min<long long>(static_cast<long long>(r.y) + std::max(r.height, 0), height);
    Rect c;
    if (right <= left || bottom <= top) return c;
    c.x = static_cast<int>(left);
    c.y = static_cast<int>(top);
    c.width = static_cast<int>(right - left);
    c.height = static_cast<int>(bottom - top);
    return c;
}

}  // namespace

std::vector<std::string> SplitNumberTokens(const std::string& value) {
    std::vector<std::string> tokens;
    std::size_t p = 0;
    while (p < value.size()) {
        while (p < value.size() && value[p] == ',') ++p;
        if (p >= value.size()) break;
        std::size_t end = value.find(',', p);
        if (end == std::string::npos) end = value.size();
        tokens.push_back(value.substr(p, end - p));
        p = end;
    }
    return tokens;
}

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
    if (text.size() != 6) return false;
    for (char c : text) {
        const char l = Lower(c);
        if (!((l >= '0' && l <= '9') || (l >= 'a' && l <= 'f'))) return false;
    }
    return true;
}

bool FlagAsRead(const std::string& value) { return LowerCopy(value).find("true") != std::string::npos; }

bool LooksAffirmative(const std::string& value) {
    static const char* const kYes[] = {"yes", "y", "1", "on", "enabled", "enable", "t"};
    const std::string v = Trimmed(LowerCopy(value));
    for (const char* yes : kYes) {
        if (v == yes) return true;
    }
    return false;
}

std::string ShortenForReport(const std::string& value, std::size_t maxChars) {
    if (value.size() <= maxChars) return value;
    return value.substr(0, maxChars) + "...(" + std::to_string(value.size()) + " characters)";
}

long long BmpPromisedBytes(const std::string& bytes) {
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return -1;
    auto u32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
        return v;
    };
    const std::uint32_t offset = u32(10);
    const std::uint32_t headerSize = u32(14);
    if (headerSize < 40) return -1;  // the old core header: not checked
    const long long width = static_cast<std::int32_t>(u32(18));
    long long height = static_cast<std::int32_t>(u32(22));
    const std::uint32_t bits = u32(28) & 0xFFFF;
    const std::uint32_t compression = u32(30);
    if (compression != 0 || width <= 0 || height == 0) return -1;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return -1;
    if (height < 0) height = -height;
    const long long rowBytes = (width * bits + 31) / 32 * 4;
    return static_cast<long long>(offset) + rowBytes * height;
}

std::string CleanForSearch(const char* body, std::size_t length) {
    std::string out;
    if (!body) return out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(body[i]);
        if (c == 0) break;
        if (c < 32) continue;
        out += Lower(static_cast<char>(c));
    }
    return out;
}

RootState FindRoot(const std::string& cleaned, std::size_t* contentBegin, std::size_t* contentEnd) {
    const std::size_t open = cleaned.find("<korvane>");
    if (open == std::string::npos) return RootState::NoOpenTag;
    const std::size_t close = cleaned.find("</korvane>");
    if (close == std::string::npos) return RootState::NoCloseTag;
    const std::size_t begin = open + std::strlen("<korvane>");
    if (close < begin) return RootState::CloseBeforeOpen;
    if (contentBegin) *contentBegin = begin;
    if (contentEnd) *contentEnd = close;
    return RootState::Ok;
}

TagScan ScanTag(const std::string& cleaned, const std::string& name) {
    TagScan scan;
    std::size_t begin = 0, end = 0;
    if (FindRoot(cleaned, &begin, &end) != RootState::Ok) return scan;
    const std::string open = "<" + LowerCopy(name) + ">";
    const std::string close = "</" + LowerCopy(name) + ">";
    for (std::size_t at = cleaned.find(open); at != std::string::npos; at = cleaned.find(open, at + 1)) {
        // Counted where the tag starts; a tag that straddles the root's end
        // is not one the shell sees.
        if (at >= begin && at + open.size() <= end) ++scan.inside;
        else ++scan.outside;
    }
    const std::string content = cleaned.substr(begin, end - begin);
    const std::size_t firstOpen = content.find(open);
    const std::size_t firstClose = content.find(close);
    scan.closeInside = firstClose != std::string::npos;
    scan.closeBeforeOpen = firstOpen != std::string::npos && firstClose != std::string::npos &&
                           firstClose < firstOpen + open.size();
    return scan;
}

bool Inside(const Rect& r, int width, int height) {
    if (r.width <= 0 || r.height <= 0) return false;
    return r.x >= 0 && r.y >= 0 && static_cast<long long>(r.x) + r.width <= width &&
           static_cast<long long>(r.y) + r.height <= height;
}

long long CutPixelsUnder(const CutMask& mask, const Rect& r) {
    const Rect c = Clip(r, mask.width, mask.height);
    long long count = 0;
    for (int y = c.y; y < c.y + c.height; ++y) {
        for (int x = c.x; x < c.x + c.width; ++x) count += mask.isCut(x, y) ? 1 : 0;
    }
    return count;
}

long long PixelsOutside(const CutMask& mask, const Rect& r) {
    if (r.width <= 0 || r.height <= 0) return 0;
    const Rect c = Clip(r, mask.width, mask.height);
    return static_cast<long long>(r.width) * r.height - static_cast<long long>(c.width) * c.height;
}

bool Overlap(const Rect& a, const Rect& b) {
    if (a.width <= 0 || a.height <= 0 || b.width <= 0 || b.height <= 0) return false;
    return static_cast<long long>(a.x) < static_cast<long long>(b.x) + b.width &&
           static_cast<long long>(b.x) < static_cast<long long>(a.x) + a.width &&
           static_cast<long long>(a.y) < static_cast<long long>(b.y) + b.height &&
           static_cast<long long>(b.y) < static_cast<long long>(a.y) + a.height;
}

Rect WindowOnScreen(bool hasStart, int startX, int startY, int width, int height, int screenWidth,
                    int screenHeight) {
    Rect r;
    r.width = width;
    r.height = height;
    if (hasStart) {
        r.x = startX;
        r.y = startY;
    } else {
        r.x = screenWidth / 2 - width / 2;
        r.y = screenHeight / 2 - height / 2;
    }
    return r;
}

std::uint32_t CheckerAt(int x, int y) {
    return ((x / kCheckerSquare + y / kCheckerSquare) % 2 == 0) ? kCheckerLight : kCheckerDark;
}

Image ComposePreview(const Image& skin, const CutMask& mask, const std::vector<PreviewButton>& buttons,
                     const Rect* browser, const Rect* status) {
    Image out;
    out.width = skin.width;
    out.height = skin.height;
    out.px.assign(static_cast<std::size_t>(skin.width) * static_cast<std::size_t>(skin.height), 0);
    const bool haveMask = mask.width == skin.width && mask.height == skin.height;
    auto kept = [&](int x, int y) { return !haveMask || !mask.isCut(x, y); };
    for (int y = 0; y < skin.height; ++y) {
        for (int x = 0; x < skin.width; ++x) {
            out.px[static_cast<std::size_t>(y) * skin.width + x] = kept(x, y) ? skin.at(x, y) : CheckerAt(x, y);
        }
    }
    for (const PreviewButton& b : buttons) {
        if (!b.normal) continue;
        Rect r;
        r.x = b.x;
        r.y = b.y;
        r.width = b.normal->width;
        r.height = b.normal->height;
        const Rect c = Clip(r, skin.width, skin.height);
        for (int y = c.y; y < c.y + c.height; ++y) {
            for (int x = c.x; x < c.x + c.width; ++x) {
                if (kept(x, y)) out.px[static_cast<std::size_t>(y) * skin.width + x] = b.normal->at(x - b.x, y - b.y);
            }
        }
    }
    auto outline = [&](const Rect* r, std::uint32_t colour) {
        if (!r || r->width <= 0 || r->height <= 0) return;
        const long long right = static_cast<long long>(r->x) + r->width - 1;
        const long long bottom = static_cast<long long>(r->y) + r->height - 1;
        auto plot = [&](long long x, long long y) {
            if (x >= 0 && y >= 0 && x < skin.width && y < skin.height)
                out.px[static_cast<std::size_t>(y) * skin.width + static_cast<std::size_t>(x)] = colour;
        };
        const long long x0 = std::max<long long>(r->x, -1), x1 = std::min<long long>(right, skin.width);
        const long long y0 = std::max<long long>(r->y, -1), y1 = std::min<long long>(bottom, skin.height);
        for (long long x = x0; x <= x1; ++x) {
            plot(x, r->y);
            plot(x, bottom);
        }
        for (long long y = y0; y <= y1; ++y) {
            plot(r->x, y);
            plot(right, y);
        }
    };
    outline(browser, kBrowserOutline);
    outline(status, kStatusOutline);
    return out;
}

std::string EncodeBmp24(const Image& image) {
    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(image.width) * 3 + 3) & ~3u;
    const std::uint32_t pixelBytes = rowBytes * static_cast<std::uint32_t>(image.height);
    std::string s;
    s.reserve(54 + pixelBytes);
    s += "BM";
    Put32(s, 54 + pixelBytes);
    Put32(s, 0);
    Put32(s, 54);
    Put32(s, 40);
    Put32(s, static_cast<std::uint32_t>(image.width));
    Put32(s, static_cast<std::uint32_t>(image.height));
    Put16(s, 1);
    Put16(s, 24);
    Put32(s, 0);
    Put32(s, pixelBytes);
    Put32(s, 2835);
    Put32(s, 2835);
    Put32(s, 0);
    Put32(s, 0);
    for (int y = image.height - 1; y >= 0; --y) {
        std::size_t written = 0;
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t p = image.at(x, y);
            s += static_cast<char>(p & 0xFF);
            s += static_cast<char>((p >> 8) & 0xFF);
            s += static_cast<char>((p >> 16) & 0xFF);
            written += 3;
        }
        for (; written < rowBytes; ++written) s += '\0';
    }
    return s;
}

}  // namespace check
