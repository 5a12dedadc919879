#include "checker/http_probe.h"

#include "checker/check_logic.h"
#include "remote/http_fetch.h"
#include "remote/http_request.h"
#include "remote/url_split.h"

ProbeResult ProbeUrl(const char* url, std::size_t cap) {
    ProbeResult result;
    HttpResponse response;
    if (!SendGet(url, &response)) {
        UrlParts parts;
        if (response.error == 0 || !SplitUrl(url, &parts))
            result.error = "not an http or https URL the shell can fetch";
        else
            result.error = check::ConnectionError(response.error, parts.host, parts.port);
        return result;
    }
    result.requested = true;
    result.status = response.status;
    char chunk[kReadChunkBytes];
    DWORD n = 0;
    for (;;) {
        if (!ReadBodyChunk(response, chunk, sizeof chunk, &n)) {
            result.cut = true;
            break;
        }
        if (n == 0) break;
        if (result.body.size() + n > cap) {
            result.body.append(chunk, cap + 1 - result.body.size());
            result.overCap = true;
            return result;
        }
        result.body.append(chunk, n);
    }
    if (response.announcedLength >= 0 && static_cast<long long>(result.body.size()) != response.announcedLength)
        result.cut = true;
    return result;
}
