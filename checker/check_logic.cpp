#include "checker/check_logic.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "remote/image_size.h"

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

std::uint32_t LittleEndian(const std::string& bytes, std::size_t at, int count) {
    std::uint32_t v = 0;
    for (int i = count - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return v;
}

bool StartsWith(const std::string& bytes, const char* prefix, std::size_t length, std::size_t at = 0) {
    return bytes.size() >= at + length && bytes.compare(at, length, prefix, length) == 0;
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

bool LeavesHttps(const std::string& documentUrl, const std::string& url) {
    return LowerCopy(documentUrl.substr(0, 8)) == "https://" && LowerCopy(url.substr(0, 7)) == "http://";
}

bool IsSixHexDigits(const std::string& text) {
    if (text.size() != 6) return false;
    for (char c : text) {
        const char l = Lower(c);
        if (!((l >= '0' && l <= '9') || (l >= 'a' && l <= 'f'))) return false;
    }
    return true;
}

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

bool LooksLikeSeveralNumbers(const std::string& token) {
    int runs = 0;
    for (std::size_t i = 0; i < token.size(); ++i) {
        const bool digit = token[i] >= '0' && token[i] <= '9';
        if (digit && (i == 0 || token[i - 1] < '0' || token[i - 1] > '9')) ++runs;
    }
    return runs > 1;
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

FileFormat SniffFormat(const std::string& bytes) {
    FileFormat f;
    if (StartsWith(bytes, "BM", 2) && bytes.size() >= 34) {
        f.kind = FileKind::Bmp;
        const std::uint32_t header = LittleEndian(bytes, 14, 4);
        f.bmpBits = static_cast<int>(LittleEndian(bytes, header == 12 ? 24 : 28, 2));
        f.bmpRunLength = header >= 40 && (LittleEndian(bytes, 30, 4) == 1 || LittleEndian(bytes, 30, 4) == 2);
    } else if (StartsWith(bytes, "GIF87a", 6) || StartsWith(bytes, "GIF89a", 6)) {
        f.kind = FileKind::Gif;
        GifFirstFrame(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &f.gifTransparent);
    } else if (StartsWith(bytes, "\xFF\xD8\xFF", 3)) {
        f.kind = FileKind::Jpeg;
    } else if (StartsWith(bytes, "\x89PNG", 4)) {
        f.kind = FileKind::Png;
    } else if (StartsWith(bytes, "\0\0\1\0", 4) || StartsWith(bytes, "\0\0\2\0", 4)) {
        f.kind = FileKind::Icon;
    } else if (StartsWith(bytes, "\xD7\xCD\xC6\x9A", 4) || StartsWith(bytes, " EMF", 4, 40)) {
        f.kind = FileKind::Metafile;
    } else if (StartsWith(bytes, "II*\0", 4) || StartsWith(bytes, "MM\0*", 4)) {
        f.kind = FileKind::Tiff;
    } else if (StartsWith(bytes, "RIFF", 4) && StartsWith(bytes, "WEBP", 4, 8)) {
        f.kind = FileKind::WebP;
    } else if (Trimmed(bytes.substr(0, 64)).compare(0, 1, "<") == 0) {
        f.kind = FileKind::Markup;
    }
    return f;
}

std::string FormatName(const FileFormat& f) {
    switch (f.kind) {
    case FileKind::Bmp: return "BMP-" + std::to_string(f.bmpBits) + (f.bmpRunLength ? "-RLE" : "");
    case FileKind::Gif: return f.gifTransparent ? "GIF-transparent" : "GIF";
    case FileKind::Jpeg: return "JPEG";
    case FileKind::Png: return "PNG";
    case FileKind::Icon: return "icon";
    case FileKind::Metafile: return "metafile";
    case FileKind::Tiff: return "TIFF";
    case FileKind::WebP: return "WebP";
    case FileKind::Markup: return "HTML-or-XML";
    case FileKind::Unknown: break;
    }
    return "unknown";
}

bool IsSkinFormat(FileKind kind) {
    return kind == FileKind::Bmp || kind == FileKind::Gif || kind == FileKind::Jpeg;
}

long long BmpPromisedBytes(const std::string& bytes) {
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return -1;
    auto u32 = [&](std::size_t at) { return LittleEndian(bytes, at, 4); };
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
    // A header may promise more than any file can hold; say so without
    // overflowing.
    if (rowBytes > (LLONG_MAX - offset) / height) return LLONG_MAX;
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

std::vector<std::string> TagTexts(const std::string& cleaned) {
    std::vector<std::string> texts;
    std::size_t begin = 0, end = 0;
    if (FindRoot(cleaned, &begin, &end) != RootState::Ok) return texts;
    const std::string content = cleaned.substr(begin, end - begin);
    for (std::size_t open = content.find('<'); open != std::string::npos; open = content.find('<', open + 1)) {
        const std::size_t close = content.find('>', open);
        // "<!-- <SKIN>": only the innermost "<...>" is a tag.
        if (close == std::string::npos || content.find('<', open + 1) < close) continue;
        const std::string text = content.substr(open + 1, close - open - 1);
        if (text.empty() || text[0] == '/' || text[0] == '!' || text[0] == '?') continue;
        if (std::find(texts.begin(), texts.end(), text) == texts.end()) texts.push_back(text);
    }
    return texts;
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

std::string PlaceWithin(const Rect& r, int width, int height) {
    if (r.width > width || r.height > height) return "";
    std::vector<std::string> limits;
    if (r.x < 0) limits.push_back("x >= 0");
    if (static_cast<long long>(r.x) + r.width > width) limits.push_back("x <= " + std::to_string(width - r.width));
    if (r.y < 0) limits.push_back("y >= 0");
    if (static_cast<long long>(r.y) + r.height > height) limits.push_back("y <= " + std::to_string(height - r.height));
    std::string text;
    for (const std::string& l : limits) text += (text.empty() ? "" : " and ") + l;
    return text;
}

std::string MoveClearOf(const Rect& r, const Rect& other, int width, int height) {
    struct Move {
        long long to, from, last;
        const char* limit;
    };
    const long long lastX = static_cast<long long>(width) - r.width, lastY = static_cast<long long>(height) - r.height;
    const Move moves[] = {
        {static_cast<long long>(other.x) + other.width, r.x, lastX, "x >= "},
        {static_cast<long long>(other.x) - r.width, r.x, lastX, "x <= "},
        {static_cast<long long>(other.y) + other.height, r.y, lastY, "y >= "},
        {static_cast<long long>(other.y) - r.height, r.y, lastY, "y <= "},
    };
    const Move* best = nullptr;
    for (const Move& m : moves) {
        if (m.to < 0 || m.to > m.last) continue;
        if (!best || std::llabs(m.to - m.from) < std::llabs(best->to - best->from)) best = &m;
    }
    return best ? best->limit + std::to_string(best->to) : "";
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
    DrawOutline(out, browser, kBrowserOutline);
    DrawOutline(out, status, kStatusOutline);
    return out;
}

void DrawOutline(Image& picture, const Rect* r, std::uint32_t colour) {
    if (!r || r->width <= 0 || r->height <= 0) return;
    const long long right = static_cast<long long>(r->x) + r->width - 1;
    const long long bottom = static_cast<long long>(r->y) + r->height - 1;
    auto plot = [&](long long x, long long y) {
        if (x >= 0 && y >= 0 && x < picture.width && y < picture.height)
            picture.px[static_cast<std::size_t>(y) * picture.width + static_cast<std::size_t>(x)] = colour;
    };
    const long long x0 = std::max<long long>(r->x, -1), x1 = std::min<long long>(right, picture.width);
    const long long y0 = std::max<long long>(r->y, -1), y1 = std::min<long long>(bottom, picture.height);
    for (long long x = x0; x <= x1; ++x) {
        plot(x, r->y);
        plot(x, bottom);
    }
    for (long long y = y0; y <= y1; ++y) {
        plot(r->x, y);
        plot(right, y);
    }
}

Image Beside(const Image& left, const Image& right, int gap) {
    Image out;
    out.width = left.width + gap + right.width;
    out.height = std::max(left.height, right.height);
    out.px.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            const int rx = x - left.width - gap;
            std::uint32_t p = CheckerAt(x, y);
            if (x < left.width && y < left.height) p = left.at(x, y);
            else if (rx >= 0 && y < right.height) p = right.at(rx, y);
            out.px[static_cast<std::size_t>(y) * out.width + x] = p;
        }
    }
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

std::string EncodeGif(const Image& image) {
    // The colours in order of first appearance.
    std::vector<std::uint32_t> palette;
    std::unordered_map<std::uint32_t, unsigned> index;
    std::vector<unsigned> pixels(image.px.size());
    for (std::size_t i = 0; i < image.px.size(); ++i) {
        auto found = index.find(image.px[i]);
        if (found == index.end()) {
            if (palette.size() == 256) return "";
            found = index.emplace(image.px[i], static_cast<unsigned>(palette.size())).first;
            palette.push_back(image.px[i]);
        }
        pixels[i] = found->second;
    }
    if (pixels.empty()) return "";
    int bits = 2;
    while ((1u << bits) < palette.size()) ++bits;
    std::string s = "GIF89a";
    Put16(s, static_cast<std::uint32_t>(image.width));
    Put16(s, static_cast<std::uint32_t>(image.height));
    s += static_cast<char>(0xF0 | (bits - 1));
    s += std::string(2, '\0');
    for (std::uint32_t i = 0; i < (1u << bits); ++i) {
        const std::uint32_t c = i < palette.size() ? palette[i] : 0;
        s += {static_cast<char>(c >> 16), static_cast<char>(c >> 8), static_cast<char>(c)};
    }
    s += ',';
    Put32(s, 0);
    Put16(s, static_cast<std::uint32_t>(image.width));
    Put16(s, static_cast<std::uint32_t>(image.height));
    s += {'\0', static_cast<char>(bits)};

    // LZW codes packed from the lowest bit up, in sub-blocks of at most 255
    // bytes. The table maps (prefix code, next index) to a code; the entries
    // made since the last clear code are remembered so that a clear is cheap.
    std::string packed;
    unsigned long long acc = 0;
    int used = 0;
    auto put = [&](unsigned code, int size) {
        acc |= static_cast<unsigned long long>(code) << used;
        for (used += size; used >= 8; used -= 8, acc >>= 8) packed += static_cast<char>(acc & 0xFF);
    };
    const unsigned clear = 1u << bits, end = clear + 1;
    std::vector<std::uint16_t> table(4096 * 256);
    std::vector<std::size_t> made;
    unsigned next = end + 1, prefix = pixels[0];
    int size = bits + 1;
    put(clear, size);
    for (std::size_t i = 1; i < pixels.size(); ++i) {
        const std::size_t slot = prefix * 256 + pixels[i];
        if (table[slot]) {
            prefix = table[slot];
            continue;
        }
        put(prefix, size);
        if (next < 4096) {
            table[slot] = static_cast<std::uint16_t>(next++);
            made.push_back(slot);
            if (next > (1u << size) && size < 12) ++size;
        } else {
            put(clear, size);
            for (std::size_t m : made) table[m] = 0;
            made.clear();
            next = end + 1;
            size = bits + 1;
        }
        prefix = pixels[i];
    }
    put(prefix, size);
    put(end, size);
    if (used > 0) packed += static_cast<char>(acc & 0xFF);
    for (std::size_t at = 0; at < packed.size(); at += 255) {
        s += static_cast<char>(std::min<std::size_t>(255, packed.size() - at));
        s += packed.substr(at, 255);
    }
    return s + '\0' + ';';
}

}  // namespace check
