// How long and how far one fetch may go, so that no server can keep the
// shell waiting for ever. The shell's own values are in fetch_limits.cpp; the
// tests build a copy of the shell with short ones.
#pragma once

struct FetchLimits {
    unsigned long timeoutMs;   // each connect, send and receive
    unsigned long deadlineMs;  // the whole fetch, redirects and pauses included
    int maxRedirects;
};

extern const FetchLimits kFetchLimits;
