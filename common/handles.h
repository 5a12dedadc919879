// Small move-only owners for Win32 handles and the scoped guards that pair
// acquire/release calls, so that every early return gives back what it took.
#pragma once
#include <windows.h>
#include <wininet.h>
#include <cstdlib>
#include <utility>

template <typename T, typename Deleter>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(T h) : h_(h) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    T get() const { return h_; }
    explicit operator bool() const { return h_ != T(); }
    T release() { T h = h_; h_ = T(); return h; }
    void reset(T h = T()) {
        if (h_ != T()) Deleter()(h_);
        h_ = h;
    }

private:
    T h_ = T();
};

struct GdiObjectDeleter { void operator()(HGDIOBJ h) const { DeleteObject(h); } };
struct DcDeleter { void operator()(HDC h) const { DeleteDC(h); } };
struct InternetDeleter { void operator()(HINTERNET h) const { InternetCloseHandle(h); } };
struct KernelHandleDeleter { void operator()(HANDLE h) const { CloseHandle(h); } };
struct GlobalDeleter { void operator()(HGLOBAL h) const { GlobalFree(h); } };
struct MallocDeleter { void operator()(void* p) const { std::free(p); } };

using UniqueBitmap = UniqueHandle<HBITMAP, GdiObjectDeleter>;
using UniqueRegion = UniqueHandle<HRGN, GdiObjectDeleter>;
using UniqueFont = UniqueHandle<HFONT, GdiObjectDeleter>;
using UniqueBrush = UniqueHandle<HBRUSH, GdiObjectDeleter>;
using UniqueDC = UniqueHandle<HDC, DcDeleter>;
using UniqueInternet = UniqueHandle<HINTERNET, InternetDeleter>;
using UniqueKernelHandle = UniqueHandle<HANDLE, KernelHandleDeleter>;
using UniqueGlobal = UniqueHandle<HGLOBAL, GlobalDeleter>;
template <typename T>
using UniqueMalloc = UniqueHandle<T*, MallocDeleter>;

// GetDC / ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND wnd) : wnd_(wnd), dc_(GetDC(wnd)) {}
    ~WindowDC() { if (dc_) ReleaseDC(wnd_, dc_); }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }

private:
    HWND wnd_;
    HDC dc_;
};

// A slim reader/writer lock held for one scope: alone by a writer, or
// shared with other readers.
template <bool kExclusive>
class SrwLockHold {
public:
    explicit SrwLockHold(SRWLOCK* lock) : lock_(lock) {
        if constexpr (kExclusive) AcquireSRWLockExclusive(lock_);
        else AcquireSRWLockShared(lock_);
    }
    ~SrwLockHold() {
        if constexpr (kExclusive) ReleaseSRWLockExclusive(lock_);
        else ReleaseSRWLockShared(lock_);
    }
    SrwLockHold(const SrwLockHold&) = delete;
    SrwLockHold& operator=(const SrwLockHold&) = delete;

private:
    SRWLOCK* lock_;
};
using ExclusiveLock = SrwLockHold<true>;
using SharedLock = SrwLockHold<false>;

// BeginPaint / EndPaint.
class PaintScope {
public:
    explicit PaintScope(HWND wnd) : wnd_(wnd) { dc_ = BeginPaint(wnd, &ps_); }
    ~PaintScope() { EndPaint(wnd_, &ps_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC get() const { return dc_; }
    const PAINTSTRUCT& paint() const { return ps_; }

private:
    HWND wnd_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

// An object selected into a device context, put back out (the previous
// object selected again) when the holder lets go.
class SelectedObject {
public:
    SelectedObject() = default;
    SelectedObject(HDC dc, HGDIOBJ obj) : dc_(dc), old_(dc && obj ? SelectObject(dc, obj) : nullptr) {
        if (old_ == HGDI_ERROR) old_ = nullptr;
    }
    ~SelectedObject() { reset(); }
    SelectedObject(SelectedObject&& o) noexcept : dc_(o.dc_), old_(o.old_) { o.old_ = nullptr; }
    SelectedObject& operator=(SelectedObject&& o) noexcept {
        if (this != &o) {
            reset();
            dc_ = o.dc_;
            old_ = std::exchange(o.old_, nullptr);
        }
        return *this;
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

    // False when the context refused the object.
    explicit operator bool() const { return old_ != nullptr; }
    void reset() {
        if (old_) SelectObject(dc_, old_);
        old_ = nullptr;
    }

private:
    HDC dc_ = nullptr;
    HGDIOBJ old_ = nullptr;
};
