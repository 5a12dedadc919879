// A second look at a URL that the shell has fetched: the HTTP status and the
// body exactly as the server sent them, which the shell's own fetch keeps to
// itself (it only says "got it" or "didn't").
#pragma once
#include <cstddef>
#include <string>

struct ProbeResult {
    bool requested = false;   // a request went out and a status came back
    unsigned long status = 0;
    std::string body;         // at most the cap plus one byte
    bool overCap = false;     // the body is longer than the cap
    // The body stopped short of what the server announced, or a read failed:
    // the shell takes no such body.
    bool cut = false;
    std::string error;        // why no status came back
};

// GET url exactly as the shell sends it, without its pauses between chunks;
// reads at most cap + 1 bytes of the body.
ProbeResult ProbeUrl(const char* url, std::size_t cap);
