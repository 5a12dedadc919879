// One GET as this program makes it: the system's proxy settings, the shell's
// user agent and request flags. The shell's fetch and the checker's probe
// both send through here, so that the two always see a server alike.
#pragma once
#include <windows.h>

#include "common/handles.h"

struct HttpResponse {
    UniqueInternet internet, connection, request;
    DWORD status = 0;
    // Why no status came back: a WinINet or system error code, or 0 when the
    // URL was refused before anything was sent.
    DWORD error = 0;
};

// Sends GET url; true when a status came back (any status).
bool SendGet(const char* url, HttpResponse* response);
// The next piece of the body, at most size bytes; *got is 0 at the end.
// False when the read failed.
bool ReadBodyChunk(HttpResponse& response, char* buffer, DWORD size, DWORD* got);
