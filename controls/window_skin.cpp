#include "controls/window_skin.h"

#include "common/dib.h"
#include "common/dpi_scale.h"
#include "common/handles.h"
#include "controls/dpi.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

const char* const kSkinError = "Unable to load the skin.";

namespace {

const char kSkinProperty[] = "Skin";

// The scan counters of the skin format are 16 bits wide.
constexpr int kMaxSide = 65535;
// Pixels read per GetDIBits call, so that a huge skin needs no huge buffer.
constexpr int kStripPixels = 1 << 16;
// Rectangles per ExtCreateRegion call. Some implementations add the
// rectangles of one call one by one, at a cost that grows with the region
// already made, so calls are kept small and their results merged.
constexpr size_t kBatchRects = 32;

struct Run {
    int left, right;
    bool operator==(const Run& o) const { return left == o.left && right == o.right; }
};

// Builds a region from the runs of each row, rows given top to bottom.
// Consecutive rows with the same runs become one band of taller
// rectangles. Rectangles go to ExtCreateRegion in small batches, and the
// batch regions are merged like the digits of a binary counter, so a huge
// region costs n log n work and only a handful of region handles at a time.
class RunRegionBuilder {
public:
    RunRegionBuilder() = default;
    ~RunRegionBuilder() {
        for (Piece& p : pieces_) DeleteObject(p.region);
    }
    RunRegionBuilder(const RunRegionBuilder&) = delete;
    RunRegionBuilder& operator=(const RunRegionBuilder&) = delete;

    std::vector<Run>& Row() { return row_; }

    // Takes one rectangle as it is, outside the rows.
    bool Add(const RECT& r) {
        pending_.push_back(r);
        return pending_.size() < kBatchRects || Flush();
    }

    // Takes the runs collected in Row() as row y.
    bool EndRow(int y) {
        if (y > 0 && row_ == band_) {
            row_.clear();
            return true;
        }
        if (!CloseBand(y)) return false;
        band_.swap(row_);
        row_.clear();
        bandTop_ = y;
        return true;
    }

    // The region of all rows up to height; null on failure.
    HRGN Finish(int height) {
        if (!CloseBand(height)) return nullptr;
        if (!pending_.empty() && !Flush()) return nullptr;
        if (pieces_.empty()) return CreateRectRgn(0, 0, 0, 0);
        while (pieces_.size() > 1) {
            if (!MergeTop()) return nullptr;
        }
        HRGN result = pieces_.back().region;
        pieces_.clear();
        return result;
    }

private:
    struct Piece {
        HRGN region;
        unsigned rank;
    };

    bool CloseBand(int bottom) {
        // Past the cap the outline fails: a skin of scattered pixels would
        // ask the window system for millions of rectangles.
        rects_ += band_.size();
        if (rects_ > kMaxSkinRects) return false;
        for (const Run& r : band_) {
            pending_.push_back(RECT{r.left, bandTop_, r.right, bottom});
            if (pending_.size() == kBatchRects && !Flush()) return false;
        }
        band_.clear();
        return true;
    }

    bool Flush() {
        const size_t count = pending_.size();
        const DWORD size = static_cast<DWORD>(sizeof(RGNDATAHEADER) + count * sizeof(RECT));
        buffer_.resize(size);
        RGNDATAHEADER header{};
        header.dwSize = sizeof(RGNDATAHEADER);
        header.iType = RDH_RECTANGLES;
        header.nCount = static_cast<DWORD>(count);
        header.nRgnSize = static_cast<DWORD>(count * sizeof(RECT));
        RECT bound = pending_[0];
        for (const RECT& r : pending_) {
            bound.left = std::min(bound.left, r.left);
            bound.top = std::min(bound.top, r.top);
            bound.right = std::max(bound.right, r.right);
            bound.bottom = std::max(bound.bottom, r.bottom);
        }
        header.rcBound = bound;
        std::memcpy(buffer_.data(), &header, sizeof header);
        std::memcpy(buffer_.data() + sizeof header, pending_.data(), count * sizeof(RECT));
        pending_.clear();
        HRGN piece = ExtCreateRegion(nullptr, size, reinterpret_cast<const RGNDATA*>(buffer_.data()));
        if (!piece) return false;
        pieces_.push_back(Piece{piece, 0});
        while (pieces_.size() > 1 && pieces_[pieces_.size() - 2].rank == pieces_.back().rank) {
            if (!MergeTop()) return false;
        }
        return true;
    }

    // ORs the newest piece into the one before it.
    bool MergeTop() {
        Piece top = pieces_.back();
        pieces_.pop_back();
        Piece& below = pieces_.back();
        const int kind = CombineRgn(below.region, below.region, top.region, RGN_OR);
        DeleteObject(top.region);
        below.rank = std::max(below.rank, top.rank) + 1;
        return kind != ERROR;
    }

    std::vector<Run> row_;   // runs of the row being read
    std::vector<Run> band_;  // runs of the open band, which starts at bandTop_
    size_t rects_ = 0;
    int bandTop_ = 0;
    std::vector<RECT> pending_;
    std::vector<Piece> pieces_;
    std::vector<uint8_t> buffer_;
};

}  // namespace

HRGN BuildSkinRegion(HBITMAP bitmap, int width, int height) {
    if (width <= 0 || height <= 0) return CreateRectRgn(0, 0, 0, 0);
    if (width > kMaxSide || height > kMaxSide || !bitmap) return nullptr;
    UniqueDC dc(CreateCompatibleDC(nullptr));
    if (!dc) return nullptr;

    const int stripRows = std::max(1, kStripPixels / width);
    std::vector<uint32_t> strip(static_cast<size_t>(width) * stripRows);
    // Colours are compared as a 32-bit read delivers them. For palette,
    // 16-, 24- and 32-bit bitmaps and screen bitmaps such a read makes two
    // pixels equal exactly when GetPixel does (duplicate palette entries and
    // packed channels are expanded alike), once the unused top byte is
    // masked off.
    uint32_t key = 0;
    RunRegionBuilder builder;
    for (int top = 0; top < height; top += stripRows) {
        const int rows = std::min(stripRows, height - top);
        // A bottom-up read: its buffer starts with the strip's last row.
        // Partial reads are well defined only in that orientation.
        BITMAPINFO info{};
        info.bmiHeader = Dib32Header(width, height);
        if (GetDIBits(dc.get(), bitmap, static_cast<UINT>(height - top - rows), static_cast<UINT>(rows),
                      strip.data(), &info, DIB_RGB_COLORS) != rows)
            return nullptr;
        if (top == 0) key = strip[static_cast<size_t>(rows - 1) * width] & 0x00FFFFFFu;

        for (int i = 0; i < rows; ++i) {
            const uint32_t* row = strip.data() + static_cast<size_t>(rows - 1 - i) * width;
            std::vector<Run>& runs = builder.Row();
            int x = 0;
            while (x < width) {
                while (x < width && (row[x] & 0x00FFFFFFu) == key) ++x;
                if (x == width) break;
                const int start = x;
                while (x < width && (row[x] & 0x00FFFFFFu) != key) ++x;
                runs.push_back(Run{start, x});
            }
            if (!builder.EndRow(top + i)) return nullptr;
        }
    }
    return builder.Finish(height);
}

HRGN ScaleSkinRegion(HRGN outline, int dpi) {
    if (!outline) return nullptr;
    if (dpi == kBaseDpi) {
        UniqueRegion copy(CreateRectRgn(0, 0, 0, 0));
        return copy && CombineRgn(copy.get(), outline, nullptr, RGN_COPY) != ERROR ? copy.release() : nullptr;
    }
    const DWORD size = GetRegionData(outline, 0, nullptr);
    std::vector<uint8_t> data(std::max<DWORD>(size, sizeof(RGNDATAHEADER)));
    auto* rgn = reinterpret_cast<RGNDATA*>(data.data());
    if (!size || GetRegionData(outline, size, rgn) != size) return nullptr;
    RunRegionBuilder builder;
    const RECT* rects = reinterpret_cast<const RECT*>(rgn->Buffer);
    for (DWORD i = 0; i < rgn->rdh.nCount; ++i) {
        const RECT r{ScaleToDpi(rects[i].left, dpi), ScaleToDpi(rects[i].top, dpi), ScaleToDpi(rects[i].right, dpi),
                     ScaleToDpi(rects[i].bottom, dpi)};
        if (r.left < r.right && r.top < r.bottom && !builder.Add(r)) return nullptr;
    }
    return builder.Finish(0);
}

CWindowSkin* SkinOf(HWND wnd) { return static_cast<CWindowSkin*>(GetPropA(wnd, kSkinProperty)); }

CWindowSkin::CWindowSkin(HBITMAP bmp, HWND wnd) : bitmap(bmp) {
    // Whatever was made before a throw is let go by the members themselves.
    if (!bitmap) throw kSkinError;
    BITMAP info{};
    if (GetObjectType(bmp) != OBJ_BITMAP || !GetObjectA(bmp, sizeof(info), &info)) throw kSkinError;
    width = info.bmWidth;
    height = info.bmHeight;
    // The pixels are read before the bitmap goes into the context: a bitmap
    // selected into a device context must not be read with GetDIBits. And
    // from the picture as drawn: a smoothed one blends the key colour into
    // its edge, which would stay as a fringe.
    outline.reset(BuildSkinRegion(bmp, width, height));
    memoryDC.reset(CreateCompatibleDC(nullptr));
    if (!outline || !memoryDC || !SetDpi(WindowDpi(wnd))) throw kSkinError;
    if (Attach(wnd)) {
        shown = true;
        InvalidateRect(window, nullptr, TRUE);
    }
}

CWindowSkin::~CWindowSkin() { Detach(); }

bool CWindowSkin::Attach(HWND wnd) {
    if (attached) Detach();
    window = wnd;
    // The window system deleted the region of an earlier attach.
    if (!region) region.reset(ScaleSkinRegion(outline.get(), dpi));
    if (region && SetWindowRgn(window, region.get(), TRUE)) region.release();
    previousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SkinWndProc)));
    if (!SetPropA(window, kSkinProperty, this)) {
        SetWindowRgn(window, nullptr, TRUE);
        if (previousProc) SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc));
        RemovePropA(window, kSkinProperty);
        attached = false;
        InvalidateRect(window, nullptr, TRUE);
        return false;
    }
    attached = previousProc != nullptr;
    InvalidateRect(window, nullptr, TRUE);
    return attached;
}

bool CWindowSkin::SetDpi(int newDpi) {
    // The picture comes out of the context while it is replaced.
    previousObject.reset();
    bitmap.reset(RescalePicture(bitmap.release(), dpi, newDpi));
    dpi = newDpi;
    BITMAP info{};
    GetObjectA(bitmap.get(), sizeof info, &info);
    width = info.bmWidth;
    height = info.bmHeight;
    // A bitmap that the context refuses (one selected elsewhere, or of a
    // format the screen can't take) would leave nothing to paint.
    previousObject = SelectedObject(memoryDC.get(), bitmap.get());
    region.reset(ScaleSkinRegion(outline.get(), dpi));
    if (!region || !previousObject) return false;
    if (attached) {
        if (SetWindowRgn(window, region.get(), TRUE)) region.release();
        InvalidateRect(window, nullptr, TRUE);
    }
    return true;
}

bool CWindowSkin::Detach() {
    if (!attached) return false;
    SetWindowRgn(window, nullptr, TRUE);
    const LONG_PTR restored =
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc));
    RemovePropA(window, kSkinProperty);
    attached = restored == 0;
    InvalidateRect(window, nullptr, TRUE);
    return !attached;
}

LRESULT CALLBACK SkinWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* skin = static_cast<CWindowSkin*>(GetPropA(wnd, kSkinProperty));
    if (!skin) return DefWindowProcA(wnd, msg, wParam, lParam);
    // Kept before the move loop below, which may outlive the skin.
    const WNDPROC next = skin->previousProc;
    switch (msg) {
    case WM_PAINT: {
        PaintScope paint(wnd);
        BitBlt(paint.get(), 0, 0, skin->width, skin->height, skin->memoryDC.get(), 0, 0, SRCCOPY);
        break;
    }
    case WM_LBUTTONDOWN:
        // As if the caption were pressed: the window system moves the window
        // and returns when the button is let go.
        SendMessageA(wnd, WM_NCLBUTTONDOWN, HTCAPTION, 0);
        SetFocus(wnd);
        break;
    default:
        break;
    }
    if (!next) return DefWindowProcA(wnd, msg, wParam, lParam);
    return CallWindowProcA(next, wnd, msg, wParam, lParam);
}
