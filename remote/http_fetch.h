#pragma once
#include <cstddef>
#include <cstdint>

#include "common/handles.h"

constexpr const char* kUserAgent = "Mozzila/5.0 (compatible; Korvane; Windows NT 5.0)";
constexpr std::uint32_t kMaxBodyBytes = 0x100000;
constexpr std::uint32_t kReadChunkBytes = 4096;
// The pause before every read of a body but its first; the checker counts it
// into each file's cost.
constexpr std::uint32_t kPauseAfterChunkMs = 5;
// The reads of a body of that many bytes whose length was announced: a
// chunk each, the last one short.
constexpr std::size_t ChunksOf(std::size_t bytes) { return (bytes + kReadChunkBytes - 1) / kReadChunkBytes; }

// One GET of the shell's, with all that came back: the shell keeps only a
// body it takes (TakeBody); the checker reports the rest.
struct FetchResult {
    bool answered = false;  // a final status came back
    DWORD status = 0;
    // Why none came: a WinINet or system error code, or 0 when the URL was
    // refused before anything was sent.
    DWORD error = 0;
    UniqueMalloc<char> body;  // the bytes read, one NUL after them
    std::uint32_t length = 0;
    bool overCap = false;  // longer than kMaxBodyBytes: read one byte past it
    bool cut = false;      // a read failed, or fewer bytes came than announced
    std::uint32_t pauses = 0;  // made while reading the body
    int redirects = 0;        // each one more round trip
    double ms = 0;         // from the request to the body's end, pauses included
};

// Fetches url, reading the body of a 200 answer, or of any answer when
// anyStatus is set, in chunks with the shell's pauses.
FetchResult FetchUrl(const char* url, bool anyStatus = false);
// Why the shell refuses what a fetch brought, the first reason found; kTaken
// for status 200, the body whole and within the cap.
enum class Refusal { kTaken, kNoAnswer, kStatus, kOverCap, kCut };
Refusal RefusalOf(const FetchResult& fetched);
// Whether the shell takes the body: not refused, and held.
inline bool Accepted(const FetchResult& fetched) { return RefusalOf(fetched) == Refusal::kTaken && fetched.body; }
// The body that the shell takes, handed over to the caller; null otherwise.
// *length is its size, 0 when there is none.
char* TakeBody(FetchResult& fetched, std::uint32_t* length);

// Downloads the whole body of one http or https URL. Returns a block from
// malloc holding the body followed by one NUL byte (the caller frees it), or
// null; *length is the body size, 0 on every failure.
char* HttpGetUrl(const char* url, std::uint32_t* length);
