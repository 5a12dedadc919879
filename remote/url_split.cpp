#include "remote/url_split.h"

#include <cstring>

namespace {

bool SameLetters(const char* a, const char* b, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// Decimal 1..65535, nothing else; the text is not terminated.
bool ParsePort(const char* text, std::size_t len, std::uint16_t* port) {
    if (len == 0 || len > 5) return false;
    unsigned value = 0;
    for (std::size_t i = 0; i < len; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    if (value == 0 || value > 65535) return false;
    *port = static_cast<std::uint16_t>(value);
    return true;
}

}  // namespace

bool SplitUrl(const char* url, UrlParts* out) {
    if (!url || !out) return false;
    // A blank or control byte would end up in the request line, where a line
    // break starts a header of the sender's choosing.
    for (const char* c = url; *c; ++c) {
        if (static_cast<unsigned char>(*c) < 0x21 || *c == 0x7F) return false;
    }
    const char* slashes = std::strstr(url, "//");
    if (!slashes) return false;

    // Everything before the "//" must be exactly the scheme and its colon.
    std::size_t schemeLen = static_cast<std::size_t>(slashes - url);
    bool secure;
    if (schemeLen == 5 && SameLetters(url, "http:", 5)) {
        secure = false;
    } else if (schemeLen == 6 && SameLetters(url, "https:", 6)) {
        secure = true;
    } else {
        return false;
    }

    const char* host = slashes + 2;
    // A host cannot start with the path's slash.
    if (*host == '\0' || *host == '/') return false;
    const char* path = std::strchr(host + 1, '/');
    std::size_t authorityLen = path ? static_cast<std::size_t>(path - host) : std::strlen(host);
    std::size_t pathLen = path ? std::strlen(path) : 0;

    // The port follows the last ':' of the authority, unless that colon sits
    // inside a bracketed IPv6 literal.
    std::size_t hostLen = authorityLen;
    std::uint16_t port = secure ? 443 : 80;
    const char* close = nullptr;
    if (host[0] == '[') {
        close = static_cast<const char*>(std::memchr(host, ']', authorityLen));
        if (!close) return false;
    }
    for (std::size_t i = authorityLen; i > 0; --i) {
        if (host[i - 1] == ':' && (!close || host + i - 1 > close)) {
            hostLen = i - 1;
            if (!ParsePort(host + i, authorityLen - i, &port)) return false;
            break;
        }
        if (close && host + i - 1 <= close) break;
    }
    if (hostLen == 0 || hostLen >= kHostCapacity || pathLen >= kPathCapacity) return false;

    std::memcpy(out->host, host, hostLen);
    out->host[hostLen] = '\0';
    if (path) std::memcpy(out->path, path, pathLen);
    out->path[pathLen] = '\0';
    out->port = port;
    out->secure = secure;
    return true;
}

bool IsWebAddress(const char* url) {
    UrlParts parts;
    return SplitUrl(url, &parts);
}
