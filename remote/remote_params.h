// The parameter document: fetched once, cleaned, and asked for named values.
// The document logic is pure code; only LoadDocument (the fetch) and
// LoadRemoteImage (the picture decoder) need Windows.
#pragma once
#include <cstddef>
#include <cstdint>

struct HBITMAP__;

constexpr std::size_t kValueCapacity = 1024;      // terminator included
constexpr std::size_t kColourCapacity = 32;       // the status colour buffer

class CRemoteParams {
public:
    CRemoteParams();
    virtual ~CRemoteParams();
    CRemoteParams(const CRemoteParams&) = delete;
    CRemoteParams& operator=(const CRemoteParams&) = delete;

    // Fetches url and prepares it; true when it is a parameter document.
    bool LoadDocument(const char* url);
    // The preparation step of LoadDocument on a body that has already been
    // fetched. Takes ownership of body (malloc'd, NUL after length bytes;
    // may be null).
    bool PrepareDocument(char* body, std::uint32_t length, const char* url);

    // Copies the named value into dest (capacity bytes, terminator included)
    // and returns dest; null when the parameter is missing or its value does
    // not fit, leaving dest empty.
    char* GetParamString(const char* name, char* dest, std::size_t capacity);
    // Up to four comma-separated integers, zeroed first; null unless the
    // value holds at least two.
    std::int32_t* GetParamRect(const char* name, std::int32_t rect[4]);
    bool GetParamBool(const char* name, bool defaultValue);

#ifdef _WIN32
    HBITMAP__* LoadRemoteImage(const char* name);
#endif

    char* text = nullptr;
    char* lowerText = nullptr;
    char sourceUrl[kValueCapacity];
    char imagesPath[kValueCapacity];
    char contextText[kValueCapacity];
};

#ifdef _WIN32
// A bitmap of its own made from an image file's bytes by the platform's
// picture decoder; null for a file that is not a BMP, GIF or JPEG within the
// size limits, or that does not decode.
HBITMAP__* DecodeImage(const char* bytes, std::uint32_t length);
#endif

void StripControlChars(char* text);
char* TrimSpaces(char* text);
