// The scripted test server itself, seen from a raw socket.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <string>

#include "support/test_server.h"

namespace {

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

// The fault modes the fetch tests rely on, seen from a raw socket: a reply
// that really is cut short, and a body that really ends only at the close.
TEST(TestServerSmoke, CutAndCloseDelimitedRepliesAsScripted) {
    Winsock ws;
    TestServer server;

    TestReply open;
    open.patternSize = 300;
    open.noContentLength = true;
    server.route("/open", open);
    RawReply r = RawGet(server, "/open");
    EXPECT_EQ(r.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(r.head.find("Content-Length"), std::string::npos);
    EXPECT_EQ(r.body, PatternBytes(300));

    TestReply cut;
    cut.patternSize = 1000;
    cut.cutAfter = 100;
    server.route("/cut", cut);
    r = RawGet(server, "/cut");
    EXPECT_TRUE(r.hasHeader("Content-Length: 1000"));
    EXPECT_EQ(r.body, PatternBytes(100));

    EXPECT_EQ(RawGet(server, "/nowhere").statusLine, "HTTP/1.1 404 Not Found");
    ASSERT_EQ(server.requests().size(), 3u);
    EXPECT_EQ(server.requests()[2].path, "/nowhere");
}

}  // namespace
