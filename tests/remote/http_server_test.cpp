// The scripted test server itself, seen from a raw socket: every later test
// trusts what it sends and what it records.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "support/test_server.h"

namespace {

// Servers that must be seen to stop listen where no other build tree's
// servers are likely to take the address straight over.
constexpr int kQuietPort = 18090;

class Winsock {
public:
    Winsock() { WSAStartup(MAKEWORD(2, 2), &data_); }
    ~Winsock() { WSACleanup(); }

private:
    WSADATA data_;
};

SOCKET Connect(const std::string& host, int port) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return s;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<u_short>(port));
    inet_pton(AF_INET, host.c_str(), &addr.sin_addr);
    if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    DWORD timeoutMs = 10000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof timeoutMs);
    return s;
}

bool SendAll(SOCKET s, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        int n = send(s, data.data() + sent, static_cast<int>(data.size() - sent), 0);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

std::string ReadToClose(SOCKET s) {
    std::string out;
    char buf[8192];
    for (int n; (n = recv(s, buf, sizeof buf, 0)) > 0;) out.append(buf, static_cast<size_t>(n));
    return out;
}

struct RawReply {
    std::string statusLine, head, body;
    bool hasHeader(const std::string& line) const { return head.find("\r\n" + line + "\r\n") != std::string::npos; }
};

// Sends one request with "Connection: close" and reads the whole answer.
RawReply RawGet(const TestServer& server, const std::string& target, const std::string& extra = "") {
    RawReply r;
    SOCKET s = Connect(server.host(), server.port());
    if (s == INVALID_SOCKET) return r;
    SendAll(s, "GET " + target + " HTTP/1.1\r\nHost: " + server.host() + "\r\n" + extra +
                   "Connection: close\r\n\r\n");
    std::string all = ReadToClose(s);
    closesocket(s);
    size_t end = all.find("\r\n\r\n");
    if (end == std::string::npos) return r;
    r.head = all.substr(0, end + 2);
    r.statusLine = all.substr(0, all.find("\r\n"));
    r.body = all.substr(end + 4);
    return r;
}

std::string TempDir() {
    const char* base = std::getenv("KORVANE_BUILD_DIR");
    return std::string(base ? base : "/tmp") + "/harness/server-test-files";
}

// Writes through Wine's Z: drive so the Unix daemon can read it back.
void WriteFile(const std::string& unixPath, const std::string& bytes) {
    std::string winPath = "Z:" + unixPath;
    for (char& c : winPath)
        if (c == '/') c = '\\';
    std::ofstream f(winPath, std::ios::binary);
    f << bytes;
}

void MakeDir(const std::string& unixPath) {
    std::string winPath = "Z:" + unixPath;
    for (char& c : winPath)
        if (c == '/') c = '\\';
    CreateDirectoryA(winPath.c_str(), nullptr);
}

TEST(TestServerReplies, StatusReasonHeadersAndBodiesAsScripted) {
    Winsock ws;
    TestServer server;

    TestReply custom;
    custom.status = 299;
    custom.reason = "Totally Fine";
    custom.headers = {{"X-First", "1"}, {"X-Second", "two: parts"}};
    custom.body = std::string("a\0b", 3);
    server.route("/custom", custom);
    RawReply r = RawGet(server, "/custom?ignored=1");
    EXPECT_EQ(r.statusLine, "HTTP/1.1 299 Totally Fine");
    EXPECT_LT(r.head.find("X-First: 1"), r.head.find("X-Second: two: parts"));
    EXPECT_TRUE(r.hasHeader("Content-Length: 3"));
    EXPECT_EQ(r.body, std::string("a\0b", 3));

    TestReply moved;
    moved.status = 302;
    moved.location = "/elsewhere";
    server.route("/moved", moved);
    r = RawGet(server, "/moved");
    EXPECT_EQ(r.statusLine, "HTTP/1.1 302 Found");
    EXPECT_TRUE(r.hasHeader("Location: /elsewhere"));

    r = RawGet(server, "/nowhere");
    EXPECT_EQ(r.statusLine, "HTTP/1.1 404 Not Found");
    EXPECT_FALSE(r.body.empty());

    TestReply open;
    open.patternSize = 300;
    open.noContentLength = true;
    server.route("/open", open);
    r = RawGet(server, "/open");
    EXPECT_EQ(r.head.find("Content-Length"), std::string::npos);
    EXPECT_EQ(r.body, PatternBytes(300));

    TestReply cut;
    cut.patternSize = 1000;
    cut.cutAfter = 100;
    server.route("/cut", cut);
    r = RawGet(server, "/cut");
    EXPECT_TRUE(r.hasHeader("Content-Length: 1000"));
    EXPECT_EQ(r.body, PatternBytes(100));

    TestReply empty;
    server.route("/empty", empty);
    r = RawGet(server, "/empty");
    EXPECT_TRUE(r.hasHeader("Content-Length: 0"));
    EXPECT_TRUE(r.body.empty());
}

TEST(TestServerReplies, FilesAndFolders) {
    Winsock ws;
    TestServer server;
    const std::string dir = TempDir();
    MakeDir(dir);
    MakeDir(dir + "/skin");
    WriteFile(dir + "/skin/main.bmp", "BMfake");
    WriteFile(dir + "/secret.txt", "outside the served folder");

    TestReply file;
    file.file = dir + "/secret.txt";
    server.route("/one-file", file);
    EXPECT_EQ(RawGet(server, "/one-file").body, "outside the served folder");

    server.serveDir("/demo/", dir + "/skin");
    RawReply r = RawGet(server, "/demo/main.bmp");
    EXPECT_EQ(r.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(r.body, "BMfake");
    EXPECT_EQ(RawGet(server, "/demo/missing.bmp").statusLine, "HTTP/1.1 404 Not Found");
    EXPECT_EQ(RawGet(server, "/demo/../secret.txt").statusLine, "HTTP/1.1 404 Not Found");
    EXPECT_EQ(RawGet(server, "/demo/%2e%2e/secret.txt").statusLine, "HTTP/1.1 404 Not Found");

    // A file that does not exist is refused when routed, not when served.
    TestReply missing;
    missing.file = dir + "/no-such-file";
    EXPECT_THROW(server.route("/missing", missing), std::runtime_error);
}

TEST(TestServerRecords, RequestsInOrderWithRawTargetsAndHeaders) {
    Winsock ws;
    TestServer server;
    server.route("/a", TestReply{});

    SOCKET s = Connect(server.host(), server.port());
    ASSERT_NE(s, INVALID_SOCKET);
    // Two requests on one connection, the first with a body to skip.
    ASSERT_TRUE(SendAll(s,
                        "POST /a%20b?x=1 HTTP/1.1\r\nHost: h\r\nx-lower: v1\r\nX-Colon: a:b\r\n"
                        "Content-Length: 5\r\n\r\nhello"
                        "GET /a HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n"));
    std::string all = ReadToClose(s);
    closesocket(s);
    EXPECT_EQ(all.find("HTTP/1.1 404"), 0u);
    EXPECT_NE(all.find("HTTP/1.1 200"), std::string::npos);

    auto reqs = server.requests();
    ASSERT_EQ(reqs.size(), 2u);
    EXPECT_EQ(reqs[0].method, "POST");
    EXPECT_EQ(reqs[0].path, "/a%20b?x=1");
    EXPECT_EQ(reqs[0].version, "HTTP/1.1");
    ASSERT_EQ(reqs[0].headers.size(), 4u);
    EXPECT_EQ(reqs[0].headers[1].first, "x-lower");
    EXPECT_EQ(reqs[0].header("X-LOWER"), "v1");
    EXPECT_EQ(reqs[0].header("x-colon"), "a:b");
    EXPECT_EQ(reqs[0].header("Absent"), "");
    EXPECT_EQ(reqs[1].method, "GET");
    EXPECT_EQ(reqs[1].path, "/a");

    server.clearRequests();
    EXPECT_TRUE(server.requests().empty());
    EXPECT_TRUE(server.connections().empty());
}

TEST(TestServerDaemon, SurvivesMisbehavingControlClients) {
    Winsock ws;
    const char* control = std::getenv("KORVANE_TEST_CONTROL");
    ASSERT_TRUE(control);
    std::string address = control;
    std::string host = address.substr(0, address.rfind(':'));
    int port = std::atoi(address.substr(address.rfind(':') + 1).c_str());

    const std::string garbage[] = {
        "this is not json\n",
        "[1, 2, 3]\n",
        "{\"cmd\": \"route\"}\n",
        "{\"cmd\": \"start\", \"port\": 99999}\n",
        "{\"cmd\": \"route\", \"id\": 1, \"path\": \"/x\", \"status\": \"many\"}\n",
        std::string("\xff\xfe\x00\x01\n", 5),
    };
    SOCKET s = Connect(host, port);
    ASSERT_NE(s, INVALID_SOCKET);
    for (const std::string& g : garbage) {
        ASSERT_TRUE(SendAll(s, g));
        char buf[512];
        int n = recv(s, buf, sizeof buf, 0);
        ASSERT_GT(n, 0);
        EXPECT_EQ(std::string(buf, 4), "ERR ") << g;
    }
    // Half a command, then gone.
    SendAll(s, "{\"cmd\": \"sta");
    closesocket(s);

    // A client that starts a server and vanishes takes the server with it.
    s = Connect(host, port);
    ASSERT_NE(s, INVALID_SOCKET);
    SendAll(s, "{\"cmd\": \"start\", \"port\": " + std::to_string(kQuietPort) + "}\n");
    // "OK 4\n", then fields as "<length>\n<bytes>": id, host, port, cert.
    std::string reply;
    char buf[512];
    for (int n; reply.size() < 12 || reply.back() != '\n';) {
        n = recv(s, buf, sizeof buf, 0);
        ASSERT_GT(n, 0);
        reply.append(buf, static_cast<size_t>(n));
    }
    ASSERT_EQ(reply.compare(0, 5, "OK 4\n"), 0) << reply;
    size_t at = 5;
    auto field = [&]() {
        size_t nl = reply.find('\n', at);
        size_t len = std::strtoul(reply.c_str() + at, nullptr, 10);
        std::string f = reply.substr(nl + 1, len);
        at = nl + 1 + len;
        return f;
    };
    field();
    const std::string orphanHost = field();
    ASSERT_EQ(field(), std::to_string(kQuietPort));
    SOCKET probe = Connect(orphanHost, kQuietPort);
    EXPECT_NE(probe, INVALID_SOCKET) << orphanHost;
    if (probe != INVALID_SOCKET) closesocket(probe);
    closesocket(s);

    // The daemon still serves well-behaved clients, and the vanished
    // client's server goes once the daemon has noticed.
    TestServer after;
    after.route("/ok", TestReply{});
    EXPECT_EQ(RawGet(after, "/ok").statusLine, "HTTP/1.1 200 OK");
    bool gone = false;
    for (int i = 0; i < 100 && !gone; ++i) {
        probe = Connect(orphanHost, kQuietPort);
        gone = probe == INVALID_SOCKET;
        if (!gone) {
            closesocket(probe);
            Sleep(50);
        }
    }
    EXPECT_TRUE(gone) << orphanHost;
}

TEST(TestServerDaemon, StoppedServerNoLongerListens) {
    Winsock ws;
    std::string host;
    {
        TestServer server(false, kQuietPort);
        host = server.host();
        SOCKET s = Connect(host, kQuietPort);
        EXPECT_NE(s, INVALID_SOCKET);
        if (s != INVALID_SOCKET) closesocket(s);
    }
    SOCKET s = Connect(host, kQuietPort);
    EXPECT_EQ(s, INVALID_SOCKET);
    if (s != INVALID_SOCKET) closesocket(s);
}

TEST(TestServerDaemon, TlsServerNotesClearTextClients) {
    Winsock ws;
    TestServer secure(true);
    EXPECT_EQ(secure.port(), 443);
    EXPECT_FALSE(secure.certificateFile().empty());
    RawReply r = RawGet(secure, "/");
    EXPECT_TRUE(r.statusLine.empty());  // no HTTP answer without TLS
    auto events = secure.connections();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0], "plain");
    EXPECT_TRUE(secure.requests().empty());
}

}  // namespace
