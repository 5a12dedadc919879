// Splitting URLs into host, port and path: the accepted shapes, the limits of
// the fixed areas, and the shapes that must be refused.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "remote/url_split.h"

namespace {

struct Expected {
    const char* url;
    const char* host;
    const char* path;
    unsigned port;
    bool secure;
};

class SplitAccepts : public ::testing::TestWithParam<Expected> {};

TEST_P(SplitAccepts, Parts) {
    const Expected& e = GetParam();
    UrlParts parts;
    std::memset(&parts, 0x5A, sizeof parts);  // nothing may be left over
    ASSERT_TRUE(SplitUrl(e.url, &parts)) << e.url;
    EXPECT_STREQ(parts.host, e.host);
    EXPECT_STREQ(parts.path, e.path);
    EXPECT_EQ(parts.port, e.port);
    EXPECT_EQ(parts.secure, e.secure);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, SplitAccepts,
    ::testing::Values(
        Expected{"http://example.com/doc.xml", "example.com", "/doc.xml", 80, false},
        Expected{"http://example.com", "example.com", "", 80, false},
        Expected{"http://example.com/", "example.com", "/", 80, false},
        Expected{"http://h/a/b?x=1&y=/z#f", "h", "/a/b?x=1&y=/z#f", 80, false},
        Expected{"http://h:8080/x", "h", "/x", 8080, false},
        Expected{"http://h:080/x", "h", "/x", 80, false},
        Expected{"http://h:65535", "h", "", 65535, false},
        Expected{"https://secure.example/img.bmp", "secure.example", "/img.bmp", 443, true},
        Expected{"https://h:8443/", "h", "/", 8443, true},
        Expected{"HTTP://h/x", "h", "/x", 80, false},
        Expected{"hTtPs://h/x", "h", "/x", 443, true},
        Expected{"http://[::1]:81/x", "[::1]", "/x", 81, false},
        Expected{"http://[::1]/x", "[::1]", "/x", 80, false},
        // The path keeps a second "//" as it stands.
        Expected{"http://h//double", "h", "//double", 80, false},
        Expected{"http://127.0.0.2/skin/a.bmp", "127.0.0.2", "/skin/a.bmp", 80, false}));

TEST(SplitUrl, RefusesWhatCannotBeFetched) {
    const char* refused[] = {
        "",
        "example.com/doc.xml",    // no "//"
        "http:/example.com/x",    // no "//"
        "ftp://example.com/x",    // another scheme
        "file://example.com/x",
        "httpx://h/x",
        "https//h/x",             // no colon: not a scheme
        " http://h/x",            // nothing may come before the scheme
        "//h/x",                  // no scheme at all
        "mailto:x@y//h/",         // "//" found, but what is before it is no scheme
        "http:x//h/x",
        "https:x//h/x",
        "http://",                // empty host
        "http:///x",              // the host would start with the path
        "http://:80/x",           // empty host with a port
        "http://h:/x",            // empty port
        "http://h:0/x",
        "http://h:65536/x",
        "http://h:123456/x",
        "http://h:8a/x",
        "http://h:-1/x",
        "http://h: 80/x",
        "http://[::1/x",          // unclosed bracket
    };
    for (const char* url : refused) {
        UrlParts parts;
        EXPECT_FALSE(SplitUrl(url, &parts)) << '"' << url << '"';
    }
    UrlParts parts;
    EXPECT_FALSE(SplitUrl(nullptr, &parts));
    EXPECT_FALSE(SplitUrl("http://h/x", nullptr));
}

// The host area holds 127 characters and its terminator; the path area 1023.
TEST(SplitUrl, AreaLimits) {
    UrlParts parts;
    const std::string host127(127, 'h'), host128(128, 'h');
    ASSERT_TRUE(SplitUrl(("http://" + host127 + "/x").c_str(), &parts));
    EXPECT_EQ(std::string(parts.host), host127);
    EXPECT_FALSE(SplitUrl(("http://" + host128 + "/x").c_str(), &parts));
    EXPECT_FALSE(SplitUrl(("http://" + host128).c_str(), &parts));
    // The port is not part of the host's room.
    ASSERT_TRUE(SplitUrl(("http://" + host127 + ":8080/x").c_str(), &parts));
    EXPECT_EQ(parts.port, 8080);

    const std::string path1023 = "/" + std::string(1022, 'p');
    const std::string path1024 = "/" + std::string(1023, 'p');
    ASSERT_TRUE(SplitUrl(("http://h" + path1023).c_str(), &parts));
    EXPECT_EQ(std::string(parts.path), path1023);
    EXPECT_FALSE(SplitUrl(("http://h" + path1024).c_str(), &parts));
    // Far past both areas: refused, nothing written out of bounds.
    EXPECT_FALSE(SplitUrl(("http://h/" + std::string(100000, 'q')).c_str(), &parts));
    EXPECT_FALSE(SplitUrl(("http://" + std::string(100000, 'h')).c_str(), &parts));
}

}  // namespace
