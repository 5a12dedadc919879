// Arbitrary bytes as a fetched parameter document: load it, then make every
// lookup the shell makes, into destinations of exactly the stated capacity so
// that the sanitizers see any overrun, and check what the lookups promise.
#include "remote/remote_params.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

const char* const kNames[] = {
    "APP_TITLE", "SKIN", "APP_START_POS", "APP_TOP_MOST", "IMAGES_PATH",
    "APP_LOADER_IMAGE", "APP_LOADER_POS", "APP_LOADER_TEXT_COLOR",
    "APP_BROWSER_RECT", "APP_SHOW_IE_MENU", "APP_NAVIGATE_TO",
    "APP_STATUS_RECT", "APP_STATUS_COLOR",
    "BUTTON_CLOSE_POS", "BUTTON_MIN_POS", "BUTTON_BACK_POS",
    "BUTTON_FORWARD_POS", "BUTTON_HOME_POS", "BUTTON_REFRESH_POS",
    "BUTTON_CLOSE_CLICK", "BUTTON_CLOSE_HOT", "BUTTON_CLOSE_NORMAL",
    "BUTTON_MIN_CLICK", "BUTTON_MIN_HOT", "BUTTON_MIN_NORMAL",
    "BUTTON_BACK_CLICK", "BUTTON_BACK_HOT", "BUTTON_BACK_NORMAL",
    "BUTTON_FORWARD_CLICK", "BUTTON_FORWARD_HOT", "BUTTON_FORWARD_NORMAL",
    "BUTTON_HOME_CLICK", "BUTTON_HOME_HOT", "BUTTON_HOME_NORMAL",
    "BUTTON_REFRESH_CLICK", "BUTTON_REFRESH_HOT", "BUTTON_REFRESH_NORMAL",
    // Not parameters, but names that the document's own tags may echo.
    "Korvane", "a", "",
};

const std::size_t kCapacities[] = {1, 2, 3, 7, kColourCapacity, kValueCapacity};

void Check(bool condition) {
    if (!condition) std::abort();
}

bool IsClean(const char* s) {
    for (; *s; ++s) {
        if (static_cast<unsigned char>(*s) < 32) return false;
    }
    return true;
}

void CheckContext(const CRemoteParams& params, const char* name) {
    Check(std::strncmp(params.contextText, "Parameter: ", 11) == 0);
    Check(std::strcmp(params.contextText + 11, name) == 0);
}

void LookUp(CRemoteParams& params, const char* name) {
    // The full-size lookup is the reference that the small ones must agree with.
    char* full = static_cast<char*>(std::malloc(kValueCapacity));
    char* fullResult = params.GetParamString(name, full, kValueCapacity);
    CheckContext(params, name);
    const std::size_t fullLength = fullResult ? std::strlen(full) : 0;
    if (!fullResult) Check(full[0] == '\0');

    for (std::size_t capacity : kCapacities) {
        // Exactly capacity bytes on the heap: one byte too many is an ASan report.
        char* dest = static_cast<char*>(std::malloc(capacity));
        std::memset(dest, 'Z', capacity);
        char* result = params.GetParamString(name, dest, capacity);
        CheckContext(params, name);
        if (!result) {
            Check(dest[0] == '\0');
            // Missing at this size only when missing or too long at full size.
            Check(!fullResult || fullLength >= capacity);
        } else {
            Check(result == dest);
            const std::size_t length = std::strlen(dest);
            Check(length < capacity);
            Check(IsClean(dest));
            if (length > 0) Check(dest[0] != ' ' && dest[length - 1] != ' ');
            Check(fullResult && length == fullLength && std::memcmp(dest, full, length) == 0);
        }
        std::free(dest);
    }

    std::int32_t rect[4] = {7, 7, 7, 7};
    std::int32_t* rectResult = params.GetParamRect(name, rect);
    CheckContext(params, name);
    Check(!rectResult || rectResult == rect);
    if (!fullResult) Check(rect[0] == 0 && rect[1] == 0 && rect[2] == 0 && rect[3] == 0);
    if (rectResult) Check(fullResult && fullLength > 0);

    const bool whenAbsentTrue = params.GetParamBool(name, true);
    const bool whenAbsentFalse = params.GetParamBool(name, false);
    CheckContext(params, name);
    if (fullResult) Check(whenAbsentTrue == whenAbsentFalse);
    else Check(whenAbsentTrue && !whenAbsentFalse);

    std::free(full);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 0x100000) return 0;  // the fetch never hands over more
    char* body = static_cast<char*>(std::malloc(size + 1));
    if (size) std::memcpy(body, data, size);
    body[size] = '\0';

    CRemoteParams params;
    if (!params.PrepareDocument(body, static_cast<std::uint32_t>(size), "http://127.0.0.1/doc.xml")) {
        return 0;
    }

    Check(params.text && params.lowerText);
    const std::size_t length = std::strlen(params.text);
    Check(std::strlen(params.lowerText) == length);
    Check(IsClean(params.text));
    for (std::size_t i = 0; i < length; ++i) {
        const char c = params.text[i];
        const char lowered = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        Check(params.lowerText[i] == lowered);
    }
    if (length > 0) Check(params.text[0] != ' ' && params.text[length - 1] != ' ');
    CheckContext(params, "Korvane");

    for (const char* name : kNames) LookUp(params, name);
    return 0;
}
