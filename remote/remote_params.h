// The parameter document: fetched once, cleaned, and asked for named values.
// The document logic is pure code; only LoadDocument (the fetch) and
// LoadRemoteImage (the picture decoder) need Windows.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "remote/skin_params.h"

struct HBITMAP__;

class CRemoteParams {
public:
    CRemoteParams();
    virtual ~CRemoteParams();

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

    // The URL LoadRemoteImage fetches for an image parameter: IMAGES_PATH
    // (looked up once, and given a final "/") and the file name. False when
    // either is missing or the URL does not fit; contextText then says why.
    bool ImageUrl(const char* name, char (&url)[kValueCapacity]);
#ifdef _WIN32
    HBITMAP__* LoadRemoteImage(const char* name);
#endif

    char* text = nullptr;
    char* lowerText = nullptr;
    char sourceUrl[kValueCapacity];
    char imagesPath[kValueCapacity];
    char contextText[kValueCapacity];

    CRemoteParams(const CRemoteParams&) = delete;
    CRemoteParams& operator=(const CRemoteParams&) = delete;
};

// Lookups made on the side, where the shell itself looks nothing up: the
// context text that the error box would show and the image folder are as
// they were once the holder goes.
class KeptLookupState {
public:
    explicit KeptLookupState(CRemoteParams& doc) : doc_(doc) {
        std::memcpy(context_, doc.contextText, sizeof context_);
        std::memcpy(folder_, doc.imagesPath, sizeof folder_);
    }
    ~KeptLookupState() {
        std::memcpy(doc_.contextText, context_, sizeof context_);
        std::memcpy(doc_.imagesPath, folder_, sizeof folder_);
    }
    KeptLookupState(const KeptLookupState&) = delete;
    KeptLookupState& operator=(const KeptLookupState&) = delete;

private:
    CRemoteParams& doc_;
    char context_[sizeof CRemoteParams::contextText];
    char folder_[sizeof CRemoteParams::imagesPath];
};

// A picture that start-up asks for, by the parameter that names it.
struct StartupImage {
    const char* name;
    char url[kValueCapacity];
};
// Every picture that a start-up on doc will ask for, in the order it asks:
// the splash, the skin, and the three of each button it tries to create. A
// picture whose parameter, IMAGES_PATH or button position is missing is left
// out, and so is all after a missing skin or browser rectangle, where the
// shell stops. doc's contextText and image folder are as they were before.
std::vector<StartupImage> StartupImages(CRemoteParams& doc);

#ifdef _WIN32
// A bitmap of its own made from an image file's bytes by the platform's
// picture decoder; null for a file that is not a BMP, GIF or JPEG within the
// size limits, or that does not decode.
HBITMAP__* DecodeImage(const char* bytes, std::uint32_t length);
#endif

void StripControlChars(char* text);
char* TrimSpaces(char* text);
void LowerAscii(char* text);
// A fetched document as every lookup reads it, in place: control characters
// deleted, then the spaces around it trimmed. Returns text.
char* CleanDocument(char* text);

// Where the value of <name> stands in a document already lowered: from the
// end of the first <name> to the first </name> anywhere. The tags are matched
// whatever the case of name; begin and end may be null.
enum class ValueAt { kFound, kNoOpenTag, kNoCloseTag, kCloseFirst };
ValueAt FindValue(const char* lowered, const char* name, std::size_t* begin, std::size_t* end);

// The comma-separated token at or after p, as GetParamRect splits a value: a
// run of commas is one separator and no token is empty. Null when none is
// left; *end is where the token stops.
const char* NextNumberToken(const char* p, const char** end);
