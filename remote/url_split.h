// Splitting a document or image URL into what the fetch needs. Pure code: no
// Windows headers, so it also builds natively for sanitizers and fuzzing.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr std::size_t kHostCapacity = 128;   // terminator included
constexpr std::size_t kPathCapacity = 1024;  // terminator included

struct UrlParts {
    char host[kHostCapacity];
    char path[kPathCapacity];  // from the first "/" after the host; may be empty
    std::uint16_t port;        // 80 for http, 443 for https unless written
    bool secure;               // https
};

// Accepts "http://" and "https://" (scheme in any case) with an optional
// ":port" after the host. Fails for no "//", another scheme, an empty host,
// a bad port, a host or path that does not fit its area, or any byte below
// 0x21 or 0x7F anywhere in the URL.
bool SplitUrl(const char* url, UrlParts* out);

// Whether SplitUrl takes the URL: a web address the shell may fetch or open.
bool IsWebAddress(const char* url);
