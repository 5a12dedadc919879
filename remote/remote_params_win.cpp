// The fetching half of the document load; the rest is pure code.
#include "remote/remote_params.h"

#include "remote/http_fetch.h"

bool CRemoteParams::LoadDocument(const char* url) {
    std::uint32_t length = 0;
    char* body = url ? HttpGetUrl(url, &length) : nullptr;
    return PrepareDocument(body, length, url);
}
