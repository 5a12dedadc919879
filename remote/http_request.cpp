#include "remote/http_request.h"

#include <wininet.h>

#include <cstdlib>

#include "remote/http_fetch.h"
#include "remote/url_split.h"

namespace {

constexpr DWORD kRequestFlags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES |
                                INTERNET_FLAG_NO_UI | INTERNET_FLAG_PRAGMA_NOCACHE;
static_assert(kRequestFlags == 0x04080300, "request flags changed");

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

// Opens the internet handle the way the system's proxy settings say.
UniqueInternet OpenInternet() {
    DWORD size = 0;
    InternetQueryOptionA(nullptr, INTERNET_OPTION_PROXY, nullptr, &size);
    // Anything shorter than the record itself cannot be read safely.
    if (size < sizeof(INTERNET_PROXY_INFO)) return UniqueInternet();
    UniqueHandle<void*, FreeDeleter> settings(std::malloc(size));
    if (!settings || !InternetQueryOptionA(nullptr, INTERNET_OPTION_PROXY, settings.get(), &size))
        return UniqueInternet();

    const auto* proxy = static_cast<const INTERNET_PROXY_INFO*>(settings.get());
    if (proxy->dwAccessType == INTERNET_OPEN_TYPE_DIRECT)
        return UniqueInternet(InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    return UniqueInternet(InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_PROXY,
                                        reinterpret_cast<LPCSTR>(proxy->lpszProxy),
                                        reinterpret_cast<LPCSTR>(proxy->lpszProxyBypass), 0));
}

bool Failed(HttpResponse* response) {
    response->error = GetLastError();
    return false;
}

}  // namespace

bool SendGet(const char* url, HttpResponse* response) {
    UrlParts parts;
    if (!SplitUrl(url, &parts)) return false;
    response->internet = OpenInternet();
    if (!response->internet) return Failed(response);
    response->connection.reset(InternetConnectA(response->internet.get(), parts.host, parts.port,
                                                nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!response->connection) return Failed(response);
    // Certificate checks stay on: a bad certificate fails the request.
    const DWORD flags = kRequestFlags | (parts.secure ? INTERNET_FLAG_SECURE : 0);
    response->request.reset(HttpOpenRequestA(response->connection.get(), "GET", parts.path,
                                             "HTTP/1.1", nullptr, nullptr, flags, 0));
    if (!response->request || !HttpSendRequestA(response->request.get(), nullptr, 0, nullptr, 0))
        return Failed(response);
    DWORD size = sizeof response->status;
    if (!HttpQueryInfoA(response->request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                        &response->status, &size, nullptr))
        return Failed(response);
    return true;
}

bool ReadBodyChunk(HttpResponse& response, char* buffer, DWORD size, DWORD* got) {
    *got = 0;
    return InternetReadFile(response.request.get(), buffer, size, got) && *got <= size;
}
