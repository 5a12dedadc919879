// HttpGetUrl against the scripted server: what goes over the wire, which
// replies count as success, and how bodies are assembled.
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "remote/http_fetch.h"
#include "support/server_fixture.h"

namespace {

struct Fetched {
    std::unique_ptr<char, decltype(&std::free)> block{nullptr, &std::free};
    std::uint32_t length = 0;
    std::string body() const { return block ? std::string(block.get(), length) : std::string(); }
};

// The length starts out as garbage so that a failure must clear it.
Fetched Fetch(const std::string& url) {
    Fetched f;
    f.length = 0xDEADBEEF;
    f.block.reset(HttpGetUrl(url.c_str(), &f.length));
    return f;
}

using HttpFetch = SharedServerTest;

// Compares without dumping megabytes into the log on a mismatch.
::testing::AssertionResult HoldsPattern(const Fetched& f, size_t size) {
    if (!f.block) return ::testing::AssertionFailure() << "no block";
    if (f.length != size) return ::testing::AssertionFailure() << "length " << f.length << ", expected " << size;
    const std::string expected = PatternBytes(size);
    for (size_t i = 0; i < size; ++i) {
        if (f.block.get()[i] != expected[i])
            return ::testing::AssertionFailure() << "first difference at byte " << i;
    }
    if (f.block.get()[size] != '\0') return ::testing::AssertionFailure() << "no terminator";
    return ::testing::AssertionSuccess();
}

TestReply Pattern(long long size) {
    TestReply r;
    r.patternSize = size;
    return r;
}


TEST_F(HttpFetch, SendsPlainGetWithFixedUserAgentAndNoCaching) {
    server().route("/doc.xml", BodyReply("<korvane></korvane>"));
    Fetched f = Fetch(server().url("/doc.xml?a=1&b=%20x#frag"));
    ASSERT_TRUE(f.block);
    EXPECT_EQ(f.body(), "<korvane></korvane>");

    auto reqs = server().requests();
    ASSERT_EQ(reqs.size(), 1u);
    const RecordedRequest& r = reqs[0];
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.path, "/doc.xml?a=1&b=%20x#frag");
    EXPECT_EQ(r.version, "HTTP/1.1");
    EXPECT_EQ(r.header("User-Agent"), "Mozzila/5.0 (compatible; Korvane; Windows NT 5.0)");
    EXPECT_EQ(r.header("Host"), server().host());
    EXPECT_EQ(r.header("Pragma"), "no-cache");
    // Wine's WinINet sends Pragma alone; Windows adds Cache-Control as well.
    if (r.hasHeader("Cache-Control")) {
        EXPECT_EQ(r.header("Cache-Control"), "no-cache");
    }
    EXPECT_FALSE(r.hasHeader("Cookie"));
    EXPECT_FALSE(r.hasHeader("Referer"));
    EXPECT_FALSE(r.hasHeader("Accept"));
}

TEST_F(HttpFetch, CookiesAreNeitherStoredNorSent) {
    TestReply r = BodyReply("x");
    r.headers = {{"Set-Cookie", "session=abc; Path=/"}};
    server().route("/cookie", r);
    ASSERT_TRUE(Fetch(server().url("/cookie")).block);
    ASSERT_TRUE(Fetch(server().url("/cookie")).block);
    auto reqs = server().requests();
    ASSERT_EQ(reqs.size(), 2u);
    EXPECT_FALSE(reqs[1].hasHeader("Cookie"));
}

// The shapes of URL the splitter accepts all reach the server as meant. Every
// shape is split natively elsewhere; here what goes over the wire is checked.
TEST_F(HttpFetch, UrlShapesReachTheServerAsWritten) {
    const std::string h = server().host();
    const std::string longest = "/" + std::string(1022, 'a');  // 1023 characters
    struct Case {
        std::string url, path;
    } cases[] = {
        {"HtTP://" + h + "/case", "/case"},
        // WinINet turns the empty object name into "/".
        {"http://" + h, "/"},
        {"http://" + h + ":80/p80", "/p80"},
        {"http://" + h + longest, longest},
    };
    for (const Case& c : cases) {
        server().clearRequests();
        server().route(c.path, BodyReply("at " + c.path.substr(0, 8)));
        EXPECT_EQ(Fetch(c.url).body(), "at " + c.path.substr(0, 8)) << c.url;
        auto reqs = server().requests();
        ASSERT_EQ(reqs.size(), 1u) << c.url;
        EXPECT_EQ(reqs[0].path, c.path);
    }
}

// URLs that must fail before anything reaches the network.
TEST_F(HttpFetch, UnusableUrlsMakeNoRequest) {
    server().route("/x", BodyReply("should not be fetched"));
    const std::string h = server().host();
    const std::string urls[] = {
        "ftp://" + h + "/x",
        h + "/x",
        "http://" + h + ":0/x",
        "http://" + h + "/" + std::string(1023, 'a'),  // path of 1024
        "http://" + std::string(128, 'h') + "/x",
        "",
    };
    for (const std::string& url : urls) {
        Fetched f = Fetch(url);
        EXPECT_FALSE(f.block) << url;
        EXPECT_EQ(f.length, 0u) << url;
    }
    EXPECT_TRUE(server().requests().empty());
    EXPECT_TRUE(server().connections().empty());
}

struct StatusCase {
    int status;
    const char* location;  // redirect target, or null
};

class HttpFetchStatus : public HttpFetch, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(HttpFetchStatus, OnlyAFinal200Succeeds) {
    const StatusCase& c = GetParam();
    std::string path = "/status" + std::to_string(c.status);
    TestReply r = BodyReply("error page body");
    r.status = c.status;
    if (c.location) r.location = c.location;
    server().route(path, r);

    Fetched f = Fetch(server().url(path));
    EXPECT_FALSE(f.block);
    EXPECT_EQ(f.length, 0u);
    if (c.location) {
        // The redirect was followed, so its unsuccessful target decided.
        auto reqs = server().requests();
        ASSERT_EQ(reqs.size(), 2u);
        EXPECT_EQ(reqs[1].path, c.location);
    }
}

INSTANTIATE_TEST_SUITE_P(Replies, HttpFetchStatus,
                         ::testing::Values(StatusCase{404, nullptr}, StatusCase{500, nullptr},
                                           StatusCase{204, nullptr}, StatusCase{201, nullptr},
                                           StatusCase{304, nullptr}, StatusCase{301, "/missing"},
                                           StatusCase{302, "/missing"}),
                         [](const auto& info) { return "Status" + std::to_string(info.param.status); });

TEST_F(HttpFetch, RedirectToA200GivesTheFinalBody) {
    TestReply moved;
    moved.status = 301;
    moved.location = "/new-home";
    moved.body = "moved";
    server().route("/old-home", moved);
    server().route("/new-home", Pattern(5000));

    Fetched f = Fetch(server().url("/old-home"));
    EXPECT_TRUE(HoldsPattern(f, 5000));
    auto reqs = server().requests();
    ASSERT_EQ(reqs.size(), 2u);
    EXPECT_EQ(reqs[1].path, "/new-home");
    EXPECT_EQ(reqs[1].header("User-Agent"), kUserAgent);
}

class HttpFetchSize : public HttpFetch, public ::testing::WithParamInterface<size_t> {};

TEST_P(HttpFetchSize, WholeBodyWithTerminatorInABlockOfTheRuleSize) {
    const size_t size = GetParam();
    std::string path = "/size" + std::to_string(size);
    server().route(path, Pattern(static_cast<long long>(size)));

    Fetched f = Fetch(server().url(path));
    ASSERT_TRUE(HoldsPattern(f, size));
    // Starts at one read's worth, then fits the body and its terminator.
    EXPECT_EQ(_msize(f.block.get()), size < kReadChunkBytes ? kReadChunkBytes : size + 1);
}

INSTANTIATE_TEST_SUITE_P(Bodies, HttpFetchSize,
                         ::testing::Values(0, 1, 10, 4095, 4096, 4097, 8193, 1048575, 1048576));

TEST_F(HttpFetch, BodyPastTheCapFailsAndKeepsNothing) {
    server().route("/too-big", Pattern(1048577));
    Fetched f = Fetch(server().url("/too-big"));
    EXPECT_FALSE(f.block);
    EXPECT_EQ(f.length, 0u);

    // Without a length announced the cap still holds while reading.
    TestReply unannounced = Pattern(1048577);
    unannounced.noContentLength = true;
    server().route("/too-big-unannounced", unannounced);
    f = Fetch(server().url("/too-big-unannounced"));
    EXPECT_FALSE(f.block);
    EXPECT_EQ(f.length, 0u);
}

// A connection that closes or breaks mid-body keeps what arrived; nothing at
// all after the headers is an empty block, not a failure. WinINet hands over
// nothing of a read that fails, so a reset comes after whole reads' worth.
TEST_F(HttpFetch, BrokenConnectionKeepsWhatArrived) {
    struct Case {
        long long cutAfter;
        bool reset;
    } cases[] = {{10000, false}, {0, false}, {2 * kReadChunkBytes, true}, {0, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.cutAfter) + (c.reset ? " reset" : " closed"));
        TestReply cut = Pattern(40000);
        cut.cutAfter = c.cutAfter;
        cut.resetAtCut = c.reset;
        const std::string path = "/cut" + std::to_string(c.cutAfter) + (c.reset ? "r" : "c");
        server().route(path, cut);
        EXPECT_TRUE(HoldsPattern(Fetch(server().url(path)), static_cast<size_t>(c.cutAfter)));
    }
}

TEST_F(HttpFetch, SlowAndCloseDelimitedBodiesAssemble) {
    TestReply slow = Pattern(9000);
    slow.trickleChunk = 1000;
    slow.trickleMs = 15;
    server().route("/slow", slow);
    EXPECT_TRUE(HoldsPattern(Fetch(server().url("/slow")), 9000));

    TestReply open = Pattern(12345);
    open.noContentLength = true;
    open.trickleChunk = 3000;
    open.trickleMs = 5;
    server().route("/open-ended", open);
    EXPECT_TRUE(HoldsPattern(Fetch(server().url("/open-ended")), 12345));
}

TEST_F(HttpFetch, BinaryBodyKeepsEveryByte) {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(255 - i);
    bytes += std::string("\0\0\r\n\0", 5);
    server().route("/bin", BodyReply(bytes));
    EXPECT_EQ(Fetch(server().url("/bin")).body(), bytes);
}

TEST(HttpFetchPort, ExplicitPortIsUsedAndNotPartOfTheHost) {
    TestServer other(false, 18080);
    other.route("/on-port", BodyReply("from the port"));
    ASSERT_NE(other.url("/on-port").find(":18080/"), std::string::npos);

    Fetched f = Fetch(other.url("/on-port"));
    EXPECT_EQ(f.body(), "from the port");
    auto reqs = other.requests();
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(reqs[0].path, "/on-port");
    EXPECT_EQ(reqs[0].header("Host"), other.host() + ":18080");
}

TEST(HttpFetchTls, SelfSignedCertificateFailsAfterAHandshake) {
    TestServer secure(true);
    secure.route("/secret", BodyReply("must not arrive"));
    ASSERT_EQ(secure.url("/secret").compare(0, 8, "https://"), 0);

    Fetched f = Fetch(secure.url("/secret"));
    EXPECT_FALSE(f.block);
    EXPECT_EQ(f.length, 0u);
    // The client spoke TLS, not clear text, and never got a request through.
    auto events = secure.connections();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0], "tls");
    for (const std::string& e : events) EXPECT_NE(e, "plain");
    EXPECT_TRUE(secure.requests().empty());

    // The scheme is matched in any case, and still means TLS.
    secure.clearRequests();
    f = Fetch("HTTPS://" + secure.host() + "/secret");
    EXPECT_FALSE(f.block);
    events = secure.connections();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0], "tls");
    EXPECT_TRUE(secure.requests().empty());
}

}  // namespace

namespace {

// The proxy settings as Wine's WinINet reads them: from http_proxy when the
// registry names none. Once read they stay for the life of the process, so
// the proxied fetch runs in a child process of its own.
int FetchThroughProxy(TestServer& proxy) {
    if (!SetEnvironmentVariableA("http_proxy", ("http://" + proxy.host() + ":80").c_str())) return 2;
    Fetched f = Fetch("http://korvane.invalid/doc.xml");
    if (f.body() != "via the proxy") {
        std::fprintf(stderr, "body: \"%s\"\n", f.body().c_str());
        return 3;
    }
    auto reqs = proxy.requests();
    if (reqs.size() != 1) {
        std::fprintf(stderr, "%u requests\n", static_cast<unsigned>(reqs.size()));
        return 4;
    }
    // WinINet asks the proxy for the absolute URL, port written out.
    if (reqs[0].path != "http://korvane.invalid:80/doc.xml" || reqs[0].header("User-Agent") != kUserAgent) {
        std::fprintf(stderr, "request: %s\n", reqs[0].path.c_str());
        return 5;
    }
    return 0;
}

TEST(HttpFetchProxy, ConfiguredProxyIsAskedForTheWholeUrl) {
    TestServer proxy;
    proxy.route("http://korvane.invalid:80/doc.xml", BodyReply("via the proxy"));
    EXPECT_EXIT(std::exit(FetchThroughProxy(proxy)), ::testing::ExitedWithCode(0), "");
}

}  // namespace
