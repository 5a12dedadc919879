#include "checker/logic/check_logic.h"

namespace check {

namespace {

// Whether p lies on the way from colour a to colour b, strictly between them,
// within a few shades of the straight line.
bool Between(std::uint32_t a, std::uint32_t p, std::uint32_t b) {
    long long along = 0, span = 0, off = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const long long d = static_cast<long long>((b >> shift) & 0xFF) - ((a >> shift) & 0xFF);
        const long long e = static_cast<long long>((p >> shift) & 0xFF) - ((a >> shift) & 0xFF);
        along += d * e;
        span += d * d;
        off += e * e;
    }
    // off - along²/span is p's squared distance from the line.
    return along > 0 && along < span && off * span - along * along <= 16 * 16 * span;
}

}  // namespace

Fringe FindFringe(const Pixels& skin, const CutMask& mask) {
    static const int kSteps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    auto inside = [&](int x, int y) { return x >= 0 && y >= 0 && x < skin.width && y < skin.height; };
    Fringe f;
    for (int y = 0; y < skin.height; ++y) {
        for (int x = 0; x < skin.width; ++x) {
            if (mask.at(x, y)) continue;
            for (const auto& s : kSteps) {
                if (!inside(x + s[0], y + s[1]) || !mask.at(x + s[0], y + s[1])) continue;
                ++f.outline;
                // Away from the cut, the first other colour is the edge's own.
                for (int i = 1; i <= 3; ++i) {
                    const int ix = x - i * s[0], iy = y - i * s[1];
                    if (!inside(ix, iy) || mask.at(ix, iy)) break;
                    if (skin.at(ix, iy) == skin.at(x, y)) continue;
                    f.blends += Between(skin.at(0, 0), skin.at(x, y), skin.at(ix, iy)) ? 1 : 0;
                    break;
                }
                break;
            }
        }
    }
    return f;
}

}  // namespace check
