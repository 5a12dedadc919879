#include "remote/http_fetch.h"

#include <cstdlib>
#include <cstring>

#include "remote/http_request.h"

namespace {

// Reads the body into one malloc block with room for a terminator. Only a
// body that ends cleanly, with every byte the server announced, is a body: a
// cut one would decode into a picture with made-up rows.
char* ReadBody(HttpResponse& response, std::uint32_t* bodyLength) {
    UniqueMalloc<void> block(std::malloc(kReadChunkBytes));
    if (!block) return nullptr;
    std::uint32_t pos = 0;
    char scratch[kReadChunkBytes];
    for (;;) {
        DWORD n = 0;
        if (!ReadBodyChunk(response, scratch, kReadChunkBytes, &n)) return nullptr;
        if (n == 0) break;
        if (pos + n > kMaxBodyBytes) return nullptr;
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
    if (response.announcedLength >= 0 && pos != response.announcedLength) return nullptr;
    char* body = static_cast<char*>(block.release());
    body[pos] = '\0';
    *bodyLength = pos;
    return body;
}

}  // namespace

char* HttpGetUrl(const char* url, std::uint32_t* length) {
    *length = 0;
    HttpResponse response;
    if (!SendGet(url, &response) || response.status != 200) return nullptr;
    std::uint32_t bodyLength = 0;
    char* body = ReadBody(response, &bodyLength);
    if (body) *length = bodyLength;
    return body;
}
