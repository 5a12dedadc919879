// One GET as this program makes it: the system's proxy settings, the shell's
// user agent and request flags, the time limits of fetch_limits.h, and
// redirects followed by hand. The shell's fetch and the checker's probe both
// send through here, so that the two always see a server alike.
#pragma once
#include <windows.h>

#include <cstdint>

#include "common/handles.h"

struct HttpResponse {
    UniqueInternet internet, connection, request;
    DWORD status = 0;
    // Why the fetch failed: a WinINet or system error code, or 0 when the
    // URL was refused before anything was sent.
    DWORD error = 0;
    ULONGLONG deadline = 0;  // GetTickCount64() by which the fetch must be done
    // The body's length as the server announced it; -1 when it did not (the
    // body then ends when the connection does).
    long long announcedLength = -1;
    int redirects = 0;  // followed on the way to the final status
};

// Sends GET url, following redirects; true when a final status came back.
bool SendGet(const char* url, HttpResponse* response);
// The next size bytes of the body, fewer only where it ends; *got is 0 at
// the end. False when a read failed or the fetch ran out of time.
bool ReadBodyChunk(HttpResponse& response, char* buffer, DWORD size, DWORD* got);
