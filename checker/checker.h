// The skin checker's one check of one document: what the shell will make of
// it, line by line. document.cpp fetches the document and walks the shell's
// table of lookups (remote/skin_params.h), params.cpp reports each parameter,
// images.cpp each image, geometry.cpp where things land and preview.cpp
// draws the preview.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "checker/logic/check_logic.h"
#include "common/dpi_scale.h"
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
    int dpi = kBaseDpi;  // the display the geometry and the preview are for
};

std::string Hex6(std::uint32_t rgb);
// Why the shell takes no body from a fetch of a "document" or "file", in
// words ("" when it takes the body), and how to put that right for a picture.
struct FetchFault {
    std::string why;
    const char* fix;
};
FetchFault FaultOf(const FetchResult& fetched, const std::string& url, const std::string& what);
// A copy of a picture as the shell shows it on a display of that DPI.
UniqueBitmap PictureAtDpi(HBITMAP picture, int dpi);
inline std::size_t Kib(std::size_t bytes) { return (bytes + 1023) / 1024; }

// What the shell got for one parameter.
struct Reading {
    bool present = false;  // what it needs: a value, two numbers, a picture
    std::int32_t numbers[4] = {0, 0, 0, 0};
    COLORREF colour = 0;
    UniqueBitmap bitmap;
    int width = 0, height = 0;
};

class Checker {
public:
    explicit Checker(const Options& options) : options_(options) {}
    int Run();

private:
    int NotADocument(const FetchResult& fetched, const std::string& bytes);
    void UnknownTags();
    const Reading& Got(const char* name) const;
    check::Rect RectOf(const char* name) const;
    void Button(const ButtonSpec& button);

    void Read(const ParamRule& rule, Reading& got);
    void RawNotes(const ParamRule& rule);
    void ValueNotes(const ParamRule& rule, const std::string& value, const Reading& got);
    // The picture of an image parameter with a file name, as LoadRemoteImage
    // gets it.
    void Image(const ParamRule& rule, const std::string& fileName, Reading& got);
    void SuggestGif(const char* name, std::size_t bmpBytes, const Pixels& pixels);
    void Budget();
    void Stop(const std::string& errorBox);
    void StopWithParameterError();
    void Geometry();
    void Preview();
    UniqueBitmap SplashPicture();

    Options options_;
    CRemoteParams doc_;
    std::string cleaned_;  // the whole document as the shell cleans it, lowered
    std::string content_;  // what the shell reads of it: the root element's
    bool imagesPathReported_ = false;

    int verdict_ = kStarts;
    std::string verdictText_;

    std::vector<Reading> readings_ = std::vector<Reading>(kLookupOrder.size());
    // The buttons the shell creates, where they stand at the display's DPI.
    struct Placed {
        std::string label;
        check::Rect rect;
        HBITMAP normal;  // its picture as drawn, a reading's
    };
    std::vector<Placed> buttons_;
    // Every request the shell makes at start-up, the document first.
    struct Download {
        std::string name;
        bool read;  // a 200 answer, whose body the shell reads
        std::size_t bytes;
        std::size_t pauses;
        int trips;  // the request and each redirect
    };
    std::vector<Download> budget_;
    // The skin as the window shows it, when its pixels could be read.
    Pixels skinPixels_;
    check::CutMask mask_;
    UniqueRegion outline_;
};
