// Client of the scripted test HTTP server (tests/harness/testserver.py).
// Each TestServer holds one control connection to the daemon; the HTTP server
// it started lives exactly as long as that connection, so a crashed test
// leaves nothing listening behind.
#pragma once
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

struct TestReply {
    int status = 200;
    std::string reason;                                        // empty: the usual one
    std::vector<std::pair<std::string, std::string>> headers;  // sent in this order
    std::string body;                                          // bytes
    long long patternSize = -1;  // >= 0: body is that many pattern bytes (i % 251)
    std::string file;            // Unix path of a file to serve as body
    long long cutAfter = -1;     // close the connection after this many body bytes
    bool resetAtCut = false;     // with cutAfter: abort (TCP reset) instead of closing
    int trickleChunk = 0, trickleMs = 0;  // slow body: chunk bytes every ms
    std::string location;                 // sets Location (use with 301/302)
    bool noContentLength = false;         // close-delimited body
};

struct RecordedRequest {
    std::string method, path, version;
    std::vector<std::pair<std::string, std::string>> headers;
    // Case-insensitive; "" if absent.
    std::string header(const std::string& name) const;
    bool hasHeader(const std::string& name) const;
};

class TestServer {
public:
    // Starts a server on the first free 127.0.0.N at port 80 (443 with tls),
    // or at `port` when non-zero. Throws std::runtime_error with a clear
    // message when the daemon cannot be reached or refuses.
    explicit TestServer(bool tls = false, int port = 0);
    ~TestServer();  // stops it
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    const std::string& host() const { return host_; }  // "127.0.0.N"
    int port() const { return port_; }
    // "http://127.0.0.N" + path ("https://" with tls; ":port" when not the
    // scheme's default).
    std::string url(const std::string& path) const;

    void route(const std::string& path, const TestReply& reply);
    // Files below unixDir are served for paths starting with prefix.
    void serveDir(const std::string& prefix, const std::string& unixDir);
    // Every request so far, in arrival order.
    std::vector<RecordedRequest> requests();
    // One word per accepted connection, in order: "plain" (first bytes were
    // not a TLS handshake), "tls", and for TLS servers then "tls-ok" or
    // "tls-failed"; "empty" when a TLS client sent nothing.
    std::vector<std::string> connections();
    void clearRequests();  // also forgets the connections
    // Unix path of the self-signed certificate (TLS servers only).
    const std::string& certificateFile() const { return cert_; }

private:
    std::vector<std::string> command(const std::string& json);

    unsigned long long sock_;  // SOCKET, kept out of this header
    bool tls_;
    int port_ = 0;
    std::string id_, host_, cert_;
};

// The body pattern: byte i is i % 251.
std::string PatternBytes(size_t n);

// A 200 reply with these bytes as its body.
TestReply BodyReply(const std::string& bytes);
