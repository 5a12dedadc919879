#pragma once
#include <cstdint>

// Downloads the whole body of one http or https URL. Returns a block from
// malloc holding the body followed by one NUL byte (the caller frees it), or
// null; *length is the body size, 0 on every failure.
char* HttpGetUrl(const char* url, std::uint32_t* length);

constexpr const char* kUserAgent = "Mozzila/5.0 (compatible; Korvane; Windows NT 5.0)";
constexpr std::uint32_t kMaxBodyBytes = 0x100000;
constexpr std::uint32_t kReadChunkBytes = 4096;
// The pause after every chunk read; the checker counts it into each image's
// cost.
constexpr std::uint32_t kPauseAfterChunkMs = 5;
