#include "checker/http_probe.h"

#include <windows.h>
#include <wininet.h>

#include "common/handles.h"
#include "remote/http_fetch.h"
#include "remote/url_split.h"

ProbeResult ProbeUrl(const char* url, std::size_t cap) {
    ProbeResult result;
    UrlParts parts;
    if (!url || !SplitUrl(url, &parts)) {
        result.error = "not an http or https URL the shell can fetch";
        return result;
    }
    // The system's proxy settings, as the shell's fetch uses them.
    UniqueInternet internet(InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet) {
        result.error = "WinINet could not be opened";
        return result;
    }
    UniqueInternet connection(InternetConnectA(internet.get(), parts.host, parts.port, nullptr, nullptr,
                                               INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) {
        result.error = "no connection to the host";
        return result;
    }
    const DWORD flags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI |
                        INTERNET_FLAG_PRAGMA_NOCACHE | (parts.secure ? INTERNET_FLAG_SECURE : 0);
    UniqueInternet request(
        HttpOpenRequestA(connection.get(), "GET", parts.path, "HTTP/1.1", nullptr, nullptr, flags, 0));
    if (!request) {
        result.error = "the request could not be made";
        return result;
    }
    if (!HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) {
        result.error = "no answer from the server (error " + std::to_string(GetLastError()) + ")";
        return result;
    }
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                        nullptr)) {
        result.error = "the answer had no status";
        return result;
    }
    result.requested = true;
    result.status = status;
    char chunk[kReadChunkBytes];
    for (;;) {
        DWORD n = 0;
        if (!InternetReadFile(request.get(), chunk, sizeof chunk, &n) || n == 0) break;
        if (result.body.size() + n > cap) {
            result.body.append(chunk, cap + 1 - result.body.size());
            result.overCap = true;
            break;
        }
        result.body.append(chunk, n);
    }
    return result;
}
