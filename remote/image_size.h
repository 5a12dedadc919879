// The pixel size an image file declares, read from its header before any
// picture decoder sees it, so that a few bytes from a server can never ask
// for gigabytes. No Windows headers: fuzzed and tested natively.
#pragma once
#include <cstddef>

constexpr unsigned kMaxImageSide = 16384;
constexpr unsigned long long kMaxImagePixels = 16777216;  // 4096 x 4096

// The files the shell hands to the picture decoder, told by their first
// bytes, whatever their names say. Windows' decoder makes pictures of icons
// and metafiles too, but no bitmaps, and reads no PNG.
enum class ImageFormat { kOther, kBmp, kGif, kJpeg };
ImageFormat DecodedFormat(const unsigned char* data, std::size_t size);

// The size of a BMP, GIF (its screen or its first frame, whichever reaches
// further) or JPEG (its first frame); false for any other file, or a header
// too short to tell.
bool DeclaredImageSize(const unsigned char* data, std::size_t size, unsigned* width, unsigned* height);
// Where a GIF's first image descriptor stands, past its colour table and the
// extension blocks before it; 0 when the file ends first or holds anything
// else there. *transparent says whether a graphic control extension on the
// way sets the transparency flag.
std::size_t GifFirstFrame(const unsigned char* data, std::size_t size, bool* transparent);
// Whether an image of that size may be decoded at all.
bool WithinImageLimits(unsigned width, unsigned height);
