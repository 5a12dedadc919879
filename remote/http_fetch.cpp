#include "remote/http_fetch.h"

#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <cstring>

#include "common/handles.h"
#include "remote/url_split.h"

namespace {

constexpr DWORD kRequestFlags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES |
                                INTERNET_FLAG_NO_UI | INTERNET_FLAG_PRAGMA_NOCACHE;
static_assert(kRequestFlags == 0x04080300, "request flags changed");
constexpr DWORD kPauseAfterChunkMs = 5;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using UniqueMalloc = UniqueHandle<void*, FreeDeleter>;

// Opens the internet handle the way the system's proxy settings say.
UniqueInternet OpenInternet() {
    DWORD size = 0;
    InternetQueryOptionA(nullptr, INTERNET_OPTION_PROXY, nullptr, &size);
    if (size == 0) return UniqueInternet();
    // Anything shorter than the record itself cannot be read safely.
    if (size < sizeof(INTERNET_PROXY_INFO)) return UniqueInternet();
    UniqueMalloc settings(std::malloc(size));
    if (!settings) return UniqueInternet();
    if (!InternetQueryOptionA(nullptr, INTERNET_OPTION_PROXY, settings.get(), &size))
        return UniqueInternet();

    const auto* proxy = static_cast<const INTERNET_PROXY_INFO*>(settings.get());
    HINTERNET handle;
    if (proxy->dwAccessType == INTERNET_OPEN_TYPE_DIRECT) {
        handle = InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    } else {
        handle = InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_PROXY,
                               reinterpret_cast<LPCSTR>(proxy->lpszProxy),
                               reinterpret_cast<LPCSTR>(proxy->lpszProxyBypass), 0);
    }
    settings.reset();
    return UniqueInternet(handle);
}

// Reads the body into one malloc block with room for a terminator. A failed
// read ends the body; only the size cap and allocation failures fail it.
char* ReadBody(HINTERNET request, std::uint32_t* bodyLength) {
    UniqueMalloc block(std::malloc(kReadChunkBytes));
    if (!block) return nullptr;
    std::uint32_t pos = 0;
    char scratch[kReadChunkBytes];
    for (;;) {
        DWORD n = 0;
        if (!InternetReadFile(request, scratch, kReadChunkBytes, &n) || n == 0) break;
        if (n > kReadChunkBytes || pos + n > kMaxBodyBytes) return nullptr;
        if (pos + n + 1 > kReadChunkBytes) {
            void* grown = std::realloc(block.get(), pos + n + 1);
            if (!grown) return nullptr;
            block.release();
            block.reset(grown);
        }
        std::memcpy(static_cast<char*>(block.get()) + pos, scratch, n);
        pos += n;
        Sleep(kPauseAfterChunkMs);
    }
    char* body = static_cast<char*>(block.release());
    body[pos] = '\0';
    *bodyLength = pos;
    return body;
}

}  // namespace

char* HttpGetUrl(const char* url, std::uint32_t* length) {
    *length = 0;
    UrlParts parts;
    if (!SplitUrl(url, &parts)) return nullptr;

    UniqueInternet internet = OpenInternet();
    if (!internet) return nullptr;
    UniqueInternet connection(InternetConnectA(internet.get(), parts.host, parts.port, nullptr,
                                               nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return nullptr;
    // Certificate checks stay on: a bad certificate fails the request.
    DWORD flags = kRequestFlags | (parts.secure ? INTERNET_FLAG_SECURE : 0);
    UniqueInternet request(HttpOpenRequestA(connection.get(), "GET", parts.path, "HTTP/1.1",
                                            nullptr, nullptr, flags, 0));
    if (!request) return nullptr;
    if (!HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) return nullptr;

    DWORD status = 0;
    DWORD statusSize = sizeof status;
    if (!HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                        &statusSize, nullptr) ||
        status != 200)
        return nullptr;

    std::uint32_t bodyLength = 0;
    char* body = ReadBody(request.get(), &bodyLength);
    if (body) *length = bodyLength;
    return body;
}
