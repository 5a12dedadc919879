// What the skin checker works out without asking Windows anything, a file
// for each section below; how the shell reads a document is the shell's own
// code, which the checker calls. No windows.h: built natively for the
// sanitizer tests too.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/dpi_scale.h"
#include "common/pixels.h"

namespace check {

// A skin's outline: not 0 where a pixel is cut away, 0 where it is kept.
using CutMask = Pixels;

// ---- Values (values.cpp, connection_words.cpp) ----------------------------

// A token the shell reads as the author wrote it: blanks, an optional sign,
// digits, blanks. "10px" or "a" are read too, but not as written.
bool IsPlainInteger(const std::string& token);

bool IsSixHexDigits(const std::string& text);

// A flag value that reads as false although its author most likely meant
// yes ("yes", "1", "on", ...).
bool LooksAffirmative(const std::string& value);

// A token that holds more than one run of digits ("50 20", "50;20"): two
// numbers that the author did not separate with a comma.
bool LooksLikeSeveralNumbers(const std::string& token);

// Whether a document's bytes are UTF-16, as Notepad saves "Unicode": a
// byte-order mark, or ASCII text with a 0 after or before every character.
bool LooksUtf16(const std::string& bytes);

// The name among names nearest to word, letter case aside, when it is near
// enough to be a slip of the keyboard; "" when none is.
std::string NearestName(const std::string& word, const std::vector<std::string>& names);

// Why a request got no answer, in words, with the WinINet error code in
// brackets: "could not connect to 127.0.0.80:80 (error 12029)".
std::string ConnectionError(unsigned long code, const std::string& host, unsigned port);

// ---- Image files (file_formats.cpp) ---------------------------------------

enum class FileKind { Unknown, Bmp, Gif, Jpeg, Png, Icon, Metafile, Tiff, WebP, Markup, Gzip };

// What an image file is, read from its first bytes, whatever its name says;
// BMP, GIF and JPEG as the shell tells them.
struct FileFormat {
    FileKind kind = FileKind::Unknown;
    int bmpBits = 0;              // BMP: bits per pixel
    bool bmpRunLength = false;    // BMP: RLE4 or RLE8 compression
    bool gifTransparent = false;  // GIF: a transparent colour index before its picture
};
FileFormat SniffFormat(const std::string& bytes);
// The format for a report line: "BMP-24", "BMP-8-RLE", "GIF", "GIF-transparent",
// "JPEG", "PNG", ...
std::string FormatName(const FileFormat& format);
// Why the shell makes no picture of a file of another format, in words: the
// format it is ("not PNG"), "gzip-compressed data", or for a file of no
// known format its first bytes, "not a picture (it starts 7B 0A 20 20)".
std::string WhyRefused(const std::string& bytes, const FileFormat& format);

// The length an uncompressed BMP file's headers promise (pixel offset plus
// its rows); -1 when bytes is not such a file. The picture decoder accepts a
// shorter file and makes up the missing rows.
long long BmpPromisedBytes(const std::string& bytes);

// ---- The raw document (tags.cpp) ------------------------------------------

// How often <name> stands in a document the shell has cleaned and lowered.
int CountOpeningTags(const std::string& lowered, const std::string& name);
// What stands inside each opening tag of the root element's content, once
// each, in order: "<SKIN >" gives "skin ". Closing tags, comments and
// declarations are left out.
std::vector<std::string> TagTexts(const std::string& content);

// ---- Geometry (placement.cpp) ---------------------------------------------

using Rect = DpiBox;

// The height the guide asks for a line of the shell's 12-pixel text: its
// character cell and a little room, whatever font stands in for Arial.
constexpr int kInfoTextRoom = 14;

// Whether r lies wholly within a width by height area with a positive size.
bool Inside(const Rect& r, int width, int height);
// Cut-away pixels under the part of r that lies within the mask.
long long CutPixelsUnder(const CutMask& mask, const Rect& r);
// Pixels of r that lie outside the mask's area.
long long PixelsOutside(const CutMask& mask, const Rect& r);
bool Overlap(const Rect& a, const Rect& b);
// Where r must go to lie wholly within a width by height area, as limits
// on its top-left corner ("x <= 281 and y >= 0"); "" when it is larger than
// the area.
std::string PlaceWithin(const Rect& r, int width, int height);
// The shortest single move that takes r clear of other and keeps it within
// a width by height area, as a limit on its top-left corner ("x >= 290");
// "" when there is none.
std::string MoveClearOf(const Rect& r, const Rect& other, int width, int height);

// ---- Pictures (pictures.cpp) -----------------------------------------------

// The kept pixels along the outline (beside a cut-away one), and how many of
// them blend the key colour into the colour further in: a smoothed edge,
// which stays in the window as a fringe of the key colour.
struct Fringe {
    long long outline = 0, blends = 0;
};
Fringe FindFringe(const Pixels& skin, const CutMask& mask);

}  // namespace check
