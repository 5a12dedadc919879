// The document's numbers are pixels at 96 DPI, as CSS pixels are: on a
// display of another DPI every position, size and picture takes dpi/96 of
// them. The shell and the checker both scale with these functions, so that
// they agree to the pixel. No Windows headers: the native tests use it too.
#pragma once
#include <climits>

inline constexpr int kBaseDpi = 96;

namespace dpi_detail {

// Windows reports a DPI in 16 bits; outside that no product can overflow.
constexpr long long ValidDpi(int dpi) { return dpi < 1 ? kBaseDpi : dpi > 65535 ? 65535 : dpi; }

// num / den to the nearest integer, halves away from zero (den > 0), as
// MulDiv rounds, and within the range of int.
constexpr int RoundDivide(long long num, long long den) {
    const long long q = (num < 0 ? num - den / 2 : num + den / 2) / den;
    return q > INT_MAX ? INT_MAX : q < INT_MIN ? INT_MIN : static_cast<int>(q);
}

}  // namespace dpi_detail

// A coordinate or a length of the document at dpi. Unchanged at 96 DPI.
constexpr int ScaleToDpi(long long value, int dpi) {
    return dpi_detail::RoundDivide(value * dpi_detail::ValidDpi(dpi), kBaseDpi);
}

// A length that ScaleToDpi gave at DPI from, at DPI to: it goes back to the
// document's pixels first, so that scaling again and again never drifts.
// Exact whenever from is 96 or more, as every Windows display is.
constexpr int RescaleDpi(int value, int from, int to) {
    return ScaleToDpi(dpi_detail::RoundDivide(value * static_cast<long long>(kBaseDpi), dpi_detail::ValidDpi(from)),
                      to);
}

struct DpiBox {
    int x, y, width, height;
};

// A rectangle of the document (position and size) at dpi. Its edges are
// scaled rather than its size, so that pieces that meet at 96 DPI still meet.
// At 96 DPI it is the rectangle as given, even where its edge overflows.
constexpr DpiBox ScaleBoxToDpi(int x, int y, int width, int height, int dpi) {
    if (dpi == kBaseDpi) return {x, y, width, height};
    const int left = ScaleToDpi(x, dpi), top = ScaleToDpi(y, dpi);
    const long long right = ScaleToDpi(static_cast<long long>(x) + width, dpi);
    const long long bottom = ScaleToDpi(static_cast<long long>(y) + height, dpi);
    return {left, top, dpi_detail::RoundDivide(right - left, 1), dpi_detail::RoundDivide(bottom - top, 1)};
}
