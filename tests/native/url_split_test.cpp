// Splitting URLs into host, port and path: the shapes the fetch takes, the
// limits of its fixed areas, and the shapes it must refuse.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "remote/url_split.h"

namespace {

TEST(SplitUrl, TakesHttpAndHttpsWithTheirPorts) {
    const struct {
        const char* url;
        const char* host;
        const char* path;
        unsigned port;
        bool secure;
    } cases[] = {
        {"http://example.com/doc.xml", "example.com", "/doc.xml", 80, false},
        {"http://example.com", "example.com", "", 80, false},
        {"http://h/a/b?x=1&y=/z#f", "h", "/a/b?x=1&y=/z#f", 80, false},
        {"http://h:080/x", "h", "/x", 80, false},
        {"HTTP://h:65535", "h", "", 65535, false},
        {"hTtPs://secure.example/img.bmp", "secure.example", "/img.bmp", 443, true},
        {"https://h:8443/", "h", "/", 8443, true},
        {"http://[::1]:81/x", "[::1]", "/x", 81, false},
        {"http://h//double", "h", "//double", 80, false},
    };
    for (const auto& c : cases) {
        UrlParts parts;
        std::memset(&parts, 0x5A, sizeof parts);  // nothing may be left over
        ASSERT_TRUE(SplitUrl(c.url, &parts)) << c.url;
        EXPECT_STREQ(parts.host, c.host);
        EXPECT_STREQ(parts.path, c.path);
        EXPECT_EQ(parts.port, c.port) << c.url;
        EXPECT_EQ(parts.secure, c.secure) << c.url;
    }
    UrlParts parts;
    const std::string host127(127, 'h'), path1023 = "/" + std::string(1022, 'p');
    ASSERT_TRUE(SplitUrl(("http://" + host127 + ":8080" + path1023).c_str(), &parts));
    EXPECT_EQ(parts.host, host127);
    EXPECT_EQ(parts.path, path1023);
}

TEST(SplitUrl, RefusesWhatCannotBeFetched) {
    const std::string refused[] = {
        "", "example.com/doc.xml", "http:/example.com/x", "ftp://example.com/x", "file:///C:/x.exe",
        "https//h/x", " http://h/x", "//h/x", "mailto:x@y//h/", "http://", "http:///x", "http://:80/x",
        "http://h:/x", "http://h:0/x", "http://h:65536/x", "http://h:8a/x", "http://h: 80/x", "http://[::1/x",
        "http://" + std::string(128, 'h') + "/x", "http://h/" + std::string(1023, 'p'),
        "http://h/" + std::string(100000, 'q'), "http://h/a\r\nX-Injected: 1", "http://h/a b", "http://h/\x7f",
        "http://h\t/", std::string("http://h/\x01", 10),
    };
    for (const std::string& url : refused) {
        UrlParts parts;
        EXPECT_FALSE(SplitUrl(url.c_str(), &parts)) << '"' << url.substr(0, 60) << '"';
    }
    UrlParts parts;
    EXPECT_FALSE(SplitUrl(nullptr, &parts));
}

}  // namespace
