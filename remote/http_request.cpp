#include "remote/http_request.h"

#include <wininet.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "remote/fetch_limits.h"
#include "remote/http_fetch.h"
#include "remote/url_split.h"

namespace {

// Redirects are followed here, where each hop can be checked and counted.
constexpr DWORD kRequestFlags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI |
                                INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_AUTO_REDIRECT;

// Opens the internet handle the way the system's proxy settings say.
UniqueInternet OpenInternet() {
    DWORD size = 0;
    InternetQueryOptionA(nullptr, INTERNET_OPTION_PROXY, nullptr, &size);
    // Anything shorter than the record itself cannot be read safely.
    if (size < sizeof(INTERNET_PROXY_INFO)) return UniqueInternet();
    UniqueMalloc<void> settings(std::malloc(size));
    if (!settings || !InternetQueryOptionA(nullptr, INTERNET_OPTION_PROXY, settings.get(), &size))
        return UniqueInternet();

    const auto* proxy = static_cast<const INTERNET_PROXY_INFO*>(settings.get());
    if (proxy->dwAccessType == INTERNET_OPEN_TYPE_DIRECT)
        return UniqueInternet(InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    return UniqueInternet(InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_PROXY,
                                        reinterpret_cast<LPCSTR>(proxy->lpszProxy),
                                        reinterpret_cast<LPCSTR>(proxy->lpszProxyBypass), 0));
}

bool Failed(HttpResponse* response, DWORD error = GetLastError()) {
    response->error = error;
    return false;
}

// No single wait may outlast the whole fetch's deadline.
bool LimitWaits(HttpResponse& response, HINTERNET handle) {
    const ULONGLONG now = GetTickCount64();
    if (now >= response.deadline) return Failed(&response, ERROR_INTERNET_TIMEOUT);
    DWORD ms = static_cast<DWORD>(std::min<ULONGLONG>(kFetchLimits.timeoutMs, response.deadline - now));
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
        InternetSetOptionA(handle, option, &ms, sizeof ms);
    return true;
}

bool IsRedirect(DWORD status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Where a redirect leads, resolved against the URL that gave it.
bool NextUrl(HttpResponse& response, const char* from, char* to, DWORD capacity) {
    char location[kPathCapacity];
    DWORD size = sizeof location;
    return HttpQueryInfoA(response.request.get(), HTTP_QUERY_LOCATION, location, &size, nullptr) &&
           InternetCombineUrlA(from, location, to, &capacity, ICU_NO_ENCODE);
}

long long AnnouncedLength(HINTERNET request) {
    char text[32];
    DWORD size = sizeof text;
    if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return -1;
    char* end = nullptr;
    const long long length = std::strtoll(text, &end, 10);
    return end != text && *end == '\0' && length >= 0 ? length : -1;
}

}  // namespace

bool SendGet(const char* url, HttpResponse* response) {
    response->deadline = GetTickCount64() + kFetchLimits.deadlineMs;
    char current[kPathCapacity + kHostCapacity + 16], next[sizeof current];
    if (!url || std::strlen(url) >= sizeof current) return false;
    std::strcpy(current, url);
    UrlParts parts;
    if (!SplitUrl(current, &parts)) return false;
    response->internet = OpenInternet();
    if (!response->internet) return Failed(response);
    for (int hop = 0;; ++hop) {
        // The last hop's request goes before its connection, which would
        // take it along and leave a stale handle to close.
        response->request.reset();
        response->connection.reset(InternetConnectA(response->internet.get(), parts.host, parts.port, nullptr,
                                                    nullptr, INTERNET_SERVICE_HTTP, 0, 0));
        if (!response->connection) return Failed(response);
        // Certificate checks stay on: a bad certificate fails the request.
        const DWORD flags = kRequestFlags | (parts.secure ? INTERNET_FLAG_SECURE : 0);
        response->request.reset(HttpOpenRequestA(response->connection.get(), "GET", parts.path, "HTTP/1.1", nullptr,
                                                 nullptr, flags, 0));
        if (!response->request || !LimitWaits(*response, response->request.get())) return Failed(response);
        if (!HttpSendRequestA(response->request.get(), nullptr, 0, nullptr, 0)) return Failed(response);
        DWORD size = sizeof response->status;
        if (!HttpQueryInfoA(response->request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                            &response->status, &size, nullptr))
            return Failed(response);
        response->redirects = hop;
        if (!IsRedirect(response->status)) break;
        if (hop == kFetchLimits.maxRedirects) return Failed(response, ERROR_HTTP_REDIRECT_FAILED);
        const bool wasSecure = parts.secure;
        if (!NextUrl(*response, current, next, sizeof next) || !SplitUrl(next, &parts))
            return Failed(response, ERROR_HTTP_REDIRECT_FAILED);
        // What came over a checked connection never continues in clear text.
        if (wasSecure && !parts.secure) return Failed(response, ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR);
        std::strcpy(current, next);
    }
    response->announcedLength = AnnouncedLength(response->request.get());
    return true;
}

bool ReadBodyChunk(HttpResponse& response, char* buffer, DWORD size, DWORD* got) {
    // A read waits for all it asks for, so it asks only for what has come:
    // a server that trickles must not hold one read past the deadline.
    for (*got = 0; *got < size;) {
        DWORD available = 0, n = 0;
        if (!LimitWaits(response, response.request.get())) return false;
        if (!InternetQueryDataAvailable(response.request.get(), &available, 0, 0)) return Failed(&response);
        if (available == 0) break;  // the end of the body
        if (!InternetReadFile(response.request.get(), buffer + *got, std::min(available, size - *got), &n))
            return Failed(&response);
        if (n == 0) break;
        *got += n;
    }
    return true;
}
