#include "remote/http_fetch.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "remote/http_request.h"

namespace {

double NowMs() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Reads the body into one malloc block with room for a terminator, up to the
// first failed read or one byte past the cap. Only a body that ends cleanly,
// with every byte the server announced, is whole: a cut one would decode into
// a picture with made-up rows. The pause stands before each read but the
// first, so a body whose announced length has come needs no further read and
// ends without one.
void ReadBody(HttpResponse& response, FetchResult& fetched) {
    UniqueMalloc<char> block(static_cast<char*>(std::malloc(kReadChunkBytes)));
    if (!block) return;
    const long long announced = response.announcedLength;
    std::uint32_t pos = 0;
    char scratch[kReadChunkBytes];
    for (bool first = true; announced < 0 || pos < announced; first = false) {
        if (!first) {
            Sleep(kPauseAfterChunkMs);
            ++fetched.pauses;
        }
        // Never more than is still announced: a read that asks past the end
        // would wait to learn that nothing follows.
        const DWORD wanted = announced < 0 ? kReadChunkBytes
                                           : static_cast<DWORD>(std::min<long long>(kReadChunkBytes, announced - pos));
        DWORD n = 0;
        if (!ReadBodyChunk(response, scratch, wanted, &n)) {
            fetched.cut = true;
            break;
        }
        if (n == 0) break;
        if (pos + n > kMaxBodyBytes) {
            fetched.overCap = true;
            n = kMaxBodyBytes + 1 - pos;
        }
        if (pos + n + 1 > kReadChunkBytes) {
            char* grown = static_cast<char*>(std::realloc(block.get(), pos + n + 1));
            if (!grown) return;
            block.release();
            block.reset(grown);
        }
        std::memcpy(block.get() + pos, scratch, n);
        pos += n;
        if (fetched.overCap) break;
    }
    if (!fetched.overCap && announced >= 0 && pos != announced) fetched.cut = true;
    block.get()[pos] = '\0';
    fetched.body = std::move(block);
    fetched.length = pos;
}

}  // namespace

FetchResult FetchUrl(const char* url, bool anyStatus) {
    FetchResult fetched;
    const double start = NowMs();
    HttpResponse response;
    fetched.answered = SendGet(url, &response);
    fetched.status = response.status;
    fetched.error = response.error;
    fetched.redirects = response.redirects;
    if (fetched.answered && (anyStatus || response.status == 200)) ReadBody(response, fetched);
    fetched.ms = NowMs() - start;
    return fetched;
}

Refusal RefusalOf(const FetchResult& fetched) {
    if (!fetched.answered) return Refusal::kNoAnswer;
    if (fetched.status != 200) return Refusal::kStatus;
    if (fetched.overCap) return Refusal::kOverCap;
    if (fetched.cut) return Refusal::kCut;
    return Refusal::kTaken;
}

char* TakeBody(FetchResult& fetched, std::uint32_t* length) {
    *length = Accepted(fetched) ? fetched.length : 0;
    return Accepted(fetched) ? fetched.body.release() : nullptr;
}

char* HttpGetUrl(const char* url, std::uint32_t* length) {
    *length = 0;
    FetchResult fetched = FetchUrl(url);
    return TakeBody(fetched, length);
}
