// How long and how far one fetch may go, so that no server can keep the
// shell waiting for ever. Each program links fetch_limits.cpp once: the tests
// build it with KORVANE_QUICK_FETCH for a shell with short limits.
#pragma once

struct FetchLimits {
    unsigned long timeoutMs;   // each connect, send and receive
    unsigned long deadlineMs;  // the whole fetch, redirects and pauses included
    int maxRedirects;
};

extern const FetchLimits kFetchLimits;
