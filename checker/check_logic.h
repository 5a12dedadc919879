// What the skin checker works out without asking Windows anything: how the
// shell will read a value, where tags stand in the raw document, whether the
// pieces of the window fit together, and the preview picture. No windows.h,
// so it also builds natively for the sanitizer tests.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace check {

// ---- Values -------------------------------------------------------------

// The comma-separated tokens of a numbers value, split the way the shell
// splits them (runs of commas are one separator, no token is empty).
std::vector<std::string> SplitNumberTokens(const std::string& value);
// A token the shell reads as the author wrote it: blanks, an optional sign,
// digits, blanks. "10px" or "a" are read too, but not as written.
bool IsPlainInteger(const std::string& token);

bool IsSixHexDigits(const std::string& text);

// A flag is true when "true" occurs anywhere in it, in any letter case.
bool FlagAsRead(const std::string& value);
// A flag value that reads as false although its author most likely meant
// yes ("yes", "1", "on", ...).
bool LooksAffirmative(const std::string& value);

// At most maxChars characters of value for a report line, with a note of
// the full length when it was shortened.
std::string ShortenForReport(const std::string& value, std::size_t maxChars = 160);

// The length an uncompressed BMP file's headers promise (pixel offset plus
// its rows); -1 when bytes is not such a file. The picture decoder accepts a
// shorter file and makes up the missing rows.
long long BmpPromisedBytes(const std::string& bytes);

// ---- The raw document ----------------------------------------------------

// The raw body as the shell searches it: up to its first NUL, control
// characters removed, ASCII letters lowered.
std::string CleanForSearch(const char* body, std::size_t length);

enum class RootState { Ok, NoOpenTag, NoCloseTag, CloseBeforeOpen };
RootState FindRoot(const std::string& cleaned, std::size_t* contentBegin, std::size_t* contentEnd);

struct TagScan {
    int inside = 0;               // opening tags inside the root element
    int outside = 0;              // opening tags before or after it
    bool closeInside = false;     // a closing tag inside the root element
    bool closeBeforeOpen = false; // the first closing tag comes before the first opening one ends
};
// Where <name> and </name> stand in a cleaned document with a valid root.
TagScan ScanTag(const std::string& cleaned, const std::string& name);

// ---- Geometry -------------------------------------------------------------

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

// Which pixels of the skin are cut away (1) or kept (0), row by row from
// the top.
struct CutMask {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> cut;
    bool isCut(int x, int y) const {
        return cut[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] != 0;
    }
};

// Whether r lies wholly within a width by height area with a positive size.
bool Inside(const Rect& r, int width, int height);
// Cut-away pixels under the part of r that lies within the mask.
long long CutPixelsUnder(const CutMask& mask, const Rect& r);
// Pixels of r that lie outside the mask's area.
long long PixelsOutside(const CutMask& mask, const Rect& r);
bool Overlap(const Rect& a, const Rect& b);
// The main window's place: the start position when it has one, else centred
// on the screen as the shell centres it (halves rounded toward zero first).
Rect WindowOnScreen(bool hasStart, int startX, int startY, int width, int height, int screenWidth,
                    int screenHeight);

// ---- Preview ---------------------------------------------------------------

// 0x00RRGGBB pixels, row by row from the top.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> px;
    std::uint32_t at(int x, int y) const {
        return px[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
};

constexpr std::uint32_t kCheckerLight = 0xFFFFFF;
constexpr std::uint32_t kCheckerDark = 0xC0C0C0;
constexpr int kCheckerSquare = 8;
constexpr std::uint32_t kBrowserOutline = 0xFF0000;
constexpr std::uint32_t kStatusOutline = 0x0000FF;

// The checkerboard colour that shows a cut-away pixel.
std::uint32_t CheckerAt(int x, int y);

struct PreviewButton {
    int x = 0, y = 0;
    const Image* normal = nullptr;
};

// The main window as the shell would compose it: the skin, cut-away pixels
// as a checkerboard, each button's normal image where the window shows it
// (the window's outline clips its children), and the browser and status
// rectangles outlined on top. browser and status may be null.
Image ComposePreview(const Image& skin, const CutMask& mask, const std::vector<PreviewButton>& buttons,
                     const Rect* browser, const Rect* status);

// A bottom-up 24-bit BMP file of the image.
std::string EncodeBmp24(const Image& image);

}  // namespace check
