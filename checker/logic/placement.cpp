#include "checker/logic/check_logic.h"

#include <algorithm>
#include <cstdlib>

namespace check {

namespace {

// The part of r that lies within a width by height area; empty when none.
Rect Clip(const Rect& r, int width, int height) {
    const long long left = std::max<long long>(r.x, 0);
    const long long top = std::max<long long>(r.y, 0);
    const long long right = std::min<long long>(static_cast<long long>(r.x) + std::max(r.width, 0), width);
    const long long bottom = std::min<long long>(static_cast<long long>(r.y) + std::max(r.height, 0), height);
    Rect c{};
    if (right <= left || bottom <= top) return c;
    c.x = static_cast<int>(left);
    c.y = static_cast<int>(top);
    c.width = static_cast<int>(right - left);
    c.height = static_cast<int>(bottom - top);
    return c;
}

}  // namespace

bool Inside(const Rect& r, int width, int height) {
    if (r.width <= 0 || r.height <= 0) return false;
    return r.x >= 0 && r.y >= 0 && static_cast<long long>(r.x) + r.width <= width &&
           static_cast<long long>(r.y) + r.height <= height;
}

long long CutPixelsUnder(const CutMask& mask, const Rect& r) {
    const Rect c = Clip(r, mask.width, mask.height);
    long long count = 0;
    for (int y = c.y; y < c.y + c.height; ++y) {
        for (int x = c.x; x < c.x + c.width; ++x) count += mask.at(x, y) ? 1 : 0;
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

}  // namespace check
