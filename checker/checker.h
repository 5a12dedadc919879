// The skin checker's one check of one document: what the shell will make of
// it, line by line. report.cpp reads the parameters, images.cpp the images,
// geometry.cpp where things land and preview.cpp draws the preview.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "checker/check_logic.h"
#include "common/handles.h"
#include "remote/http_fetch.h"
#include "remote/remote_params.h"

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr int kDefaultTimeoutSeconds = 60;
// Beyond this the pixel checks and the preview would need hundreds of MiB.
constexpr long long kMaxCheckedPixels = 16LL * 1024 * 1024;
// A file smaller than this costs at most four chunks; not worth a warning.
constexpr std::size_t kWorthShrinkingBytes = 16 * 1024;

enum Verdict { kStarts = 0, kDoesNotStart = 1, kNotADocument = 2, kUsage = 3 };

struct Options {
    std::string url;
    std::string preview;
    int timeoutSeconds = kDefaultTimeoutSeconds;
};

std::string Hex6(std::uint32_t rgb);
double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to);
// The pixels of a bitmap as 0x00RRGGBB, top row first; empty on failure.
check::Image ReadPixels(HBITMAP bitmap, int width, int height);
// The 4 KiB chunks in which the shell reads a body of that many bytes: each
// read waits until its chunk is full, except at the end.
inline std::size_t Chunks(std::size_t bytes) { return (bytes + kReadChunkBytes - 1) / kReadChunkBytes; }
inline std::size_t Kib(std::size_t bytes) { return (bytes + 1023) / 1024; }

// A loaded image and what the report says about it.
struct LoadedImage {
    UniqueBitmap bitmap;
    int width = 0;
    int height = 0;
};

// How the shell uses a numbers parameter: how many of the numbers, under
// which names, and whether it takes them even when it counts the parameter
// as missing (fewer than two numbers).
struct NumberUse {
    int count;
    const char* labels[4];
    bool takenAnyway;
};
const NumberUse kPosition = {2, {"x", "y", "", ""}, false};
const NumberUse kRectangle = {4, {"x", "y", "width", "height"}, false};
const NumberUse kStatusRectangle = {4, {"x", "y", "width", "height"}, true};
const NumberUse kLoaderPosition = {2, {"top", "left", "", ""}, true};

// The context text that the shell's error box would show stays as it is
// while the checker looks parameters up of its own accord.
class KeptContext {
public:
    explicit KeptContext(CRemoteParams& doc) : doc_(doc) { std::memcpy(saved_, doc.contextText, sizeof saved_); }
    ~KeptContext() { std::memcpy(doc_.contextText, saved_, sizeof saved_); }
    KeptContext(const KeptContext&) = delete;
    KeptContext& operator=(const KeptContext&) = delete;

private:
    CRemoteParams& doc_;
    char saved_[sizeof CRemoteParams::contextText];
};

struct BuiltButton {
    std::string label;
    check::Rect rect;
    check::Image normal;
};

class Checker {
public:
    explicit Checker(const Options& options) : options_(options) {}
    int Run();

private:
    // The full value of a parameter whatever its length, without disturbing
    // the context text that the shell's error box would show.
    bool FullValue(const char* name, std::string* value);
    void RawNotes(const char* name, std::size_t capacity);
    bool Text(const char* name, const char* whenMissing, std::string* value);
    // The four numbers as the shell reads them; true when it counts them as
    // present (two numbers or more).
    bool Numbers(const char* name, const char* whenMissing, std::int32_t out[4], const NumberUse& use);
    bool Flag(const char* name, const char* whenMissing);
    COLORREF Colour(const char* name, std::size_t capacity, const char* whenMissing);
    HBITMAP Image(const char* name, const char* whenMissing, LoadedImage* loaded);
    void SuggestGif(const char* name, std::size_t bmpBytes, const check::Image& pixels);
    void Budget();
    void UnknownTags();
    void NotRead(const char* name, const char* why);
    void Stop(const std::string& errorBox);
    void StopWithParameterError();
    int NotADocument();
    void Geometry();
    void Preview();
    check::Image SplashPicture();

    Options options_;
    CRemoteParams doc_;
    std::string cleaned_;    // the raw document as the shell searches it
    bool haveRaw_ = false;
    bool imagesPathReported_ = false;

    int verdict_ = kStarts;
    std::string verdictText_;

    LoadedImage skin_;
    bool haveLoader_ = false;
    int loaderTop_ = 0, loaderLeft_ = 0;
    LoadedImage loaderImage_;
    COLORREF loaderTextColour_ = 0;
    bool haveStart_ = false;
    int startX_ = 0, startY_ = 0;
    bool haveBrowser_ = false;
    check::Rect browser_, status_;
    std::vector<BuiltButton> buttons_;
    // What the shell downloads with a pause after every chunk: name, bytes.
    std::vector<std::pair<std::string, std::size_t>> budget_;
    check::Image skinPixels_;
    check::CutMask mask_;
    bool haveMask_ = false;
};
