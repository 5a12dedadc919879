#include "support/test_server.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <stdexcept>

namespace {

std::runtime_error Failure(const std::string& what) {
    return std::runtime_error("test server: " + what);
}

void StartWinsock() {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) throw Failure("WSAStartup failed");
    });
}

// Bytes >= 0x80 travel as \u00XX; the daemon maps them back as Latin-1.
std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7f) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string Base64(const std::string& in) {
    static const char digits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((in.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < in.size(); i += 3) {
        unsigned v = (unsigned char)in[i] << 16 | (unsigned char)in[i + 1] << 8 | (unsigned char)in[i + 2];
        out += digits[v >> 18 & 63];
        out += digits[v >> 12 & 63];
        out += digits[v >> 6 & 63];
        out += digits[v & 63];
    }
    if (i + 1 == in.size()) {
        unsigned v = (unsigned char)in[i] << 16;
        out += digits[v >> 18 & 63];
        out += digits[v >> 12 & 63];
        out += "==";
    } else if (i + 2 == in.size()) {
        unsigned v = (unsigned char)in[i] << 16 | (unsigned char)in[i + 1] << 8;
        out += digits[v >> 18 & 63];
        out += digits[v >> 12 & 63];
        out += digits[v >> 6 & 63];
        out += '=';
    }
    return out;
}

SOCKET ConnectControl() {
    StartWinsock();
    const char* control = std::getenv("KORVANE_TEST_CONTROL");
    if (!control || !*control)
        throw Failure("KORVANE_TEST_CONTROL is not set (run under tests/harness/wine-run.sh)");
    std::string address = control;
    size_t colon = address.rfind(':');
    if (colon == std::string::npos) throw Failure("KORVANE_TEST_CONTROL is not host:port: " + address);
    std::string host = address.substr(0, colon), port = address.substr(colon + 1);

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || !found)
        throw Failure("cannot resolve control address " + address);
    SOCKET s = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    if (s == INVALID_SOCKET) {
        freeaddrinfo(found);
        throw Failure("socket() failed");
    }
    int rc = connect(s, found->ai_addr, static_cast<int>(found->ai_addrlen));
    freeaddrinfo(found);
    if (rc != 0) {
        closesocket(s);
        throw Failure("daemon unreachable at " + address + " (is the test session running?)");
    }
    // A hung daemon must fail the test, not hang it.
    DWORD timeoutMs = 30000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof timeoutMs);
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof timeoutMs);
    return s;
}

void SendAll(SOCKET s, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        int chunk = static_cast<int>(std::min<size_t>(data.size() - sent, 1 << 20));
        int n = send(s, data.data() + sent, chunk, 0);
        if (n <= 0) throw Failure("lost the control connection while sending");
        sent += static_cast<size_t>(n);
    }
}

// Reads the reply framing: "OK <n>\n" then n times "<len>\n<bytes>", or
// "ERR <message>\n".
class ReplyReader {
public:
    explicit ReplyReader(SOCKET s) : s_(s) {}

    std::vector<std::string> read() {
        std::string first = line();
        if (first.compare(0, 4, "ERR ") == 0) throw Failure("daemon refused: " + first.substr(4));
        if (first.compare(0, 3, "OK ") != 0) throw Failure("unexpected reply: " + first);
        size_t n = number(first.substr(3));
        std::vector<std::string> fields;
        fields.reserve(n);
        for (size_t i = 0; i < n; ++i) fields.push_back(bytes(number(line())));
        return fields;
    }

private:
    void fill() {
        if (pos_ < buf_.size()) return;
        char chunk[65536];
        int n = recv(s_, chunk, sizeof chunk, 0);
        if (n <= 0) throw Failure("lost the control connection while reading");
        buf_.assign(chunk, static_cast<size_t>(n));
        pos_ = 0;
    }
    char next() {
        fill();
        return buf_[pos_++];
    }
    std::string line() {
        std::string out;
        for (char c; (c = next()) != '\n';) {
            out += c;
            if (out.size() > 4096) throw Failure("reply line too long");
        }
        return out;
    }
    std::string bytes(size_t n) {
        std::string out;
        out.reserve(n);
        while (out.size() < n) {
            fill();
            size_t take = std::min(n - out.size(), buf_.size() - pos_);
            out.append(buf_, pos_, take);
            pos_ += take;
        }
        return out;
    }
    static size_t number(const std::string& s) {
        if (s.empty() || s.size() > 12) throw Failure("bad number in reply: " + s);
        size_t v = 0;
        for (char c : s) {
            if (c < '0' || c > '9') throw Failure("bad number in reply: " + s);
            v = v * 10 + static_cast<size_t>(c - '0');
        }
        return v;
    }

    SOCKET s_;
    std::string buf_;
    size_t pos_ = 0;
};

}  // namespace

std::string RecordedRequest::header(const std::string& name) const {
    for (const auto& h : headers)
        if (_stricmp(h.first.c_str(), name.c_str()) == 0) return h.second;
    return "";
}

bool RecordedRequest::hasHeader(const std::string& name) const {
    for (const auto& h : headers)
        if (_stricmp(h.first.c_str(), name.c_str()) == 0) return true;
    return false;
}

TestServer::TestServer(bool tls, int port) : sock_(ConnectControl()), tls_(tls) {
    try {
        auto f = command("{\"cmd\":\"start\",\"tls\":" + std::string(tls ? "true" : "false") +
                         ",\"port\":" + std::to_string(port) + "}");
        if (f.size() < 4) throw Failure("short reply to start");
        id_ = f[0];
        host_ = f[1];
        port_ = std::atoi(f[2].c_str());
        cert_ = f[3];
    } catch (...) {
        closesocket(static_cast<SOCKET>(sock_));
        throw;
    }
}

TestServer::~TestServer() {
    try {
        command("{\"cmd\":\"stop\",\"id\":" + id_ + "}");
    } catch (...) {
        // Closing the control connection stops the server all the same.
    }
    closesocket(static_cast<SOCKET>(sock_));
}

std::vector<std::string> TestServer::command(const std::string& json) {
    SOCKET s = static_cast<SOCKET>(sock_);
    SendAll(s, json + "\n");
    return ReplyReader(s).read();
}

std::string TestServer::url(const std::string& path) const {
    std::string out = tls_ ? "https://" : "http://";
    out += host_;
    if (port_ != (tls_ ? 443 : 80)) out += ":" + std::to_string(port_);
    return out + path;
}

void TestServer::route(const std::string& path, const TestReply& r) {
    std::string j = "{\"cmd\":\"route\",\"id\":" + id_ + ",\"path\":" + Quote(path) +
                    ",\"status\":" + std::to_string(r.status) + ",\"reason\":" + Quote(r.reason) +
                    ",\"headers\":[";
    for (size_t i = 0; i < r.headers.size(); ++i) {
        if (i) j += ",";
        j += "[" + Quote(r.headers[i].first) + "," + Quote(r.headers[i].second) + "]";
    }
    j += "],\"body64\":\"" + Base64(r.body) + "\"";
    j += ",\"pattern_size\":" + std::to_string(r.patternSize);
    j += ",\"file\":" + Quote(r.file);
    j += ",\"cut_after\":" + std::to_string(r.cutAfter);
    j += std::string(",\"reset_at_cut\":") + (r.resetAtCut ? "true" : "false");
    j += ",\"trickle_chunk\":" + std::to_string(r.trickleChunk);
    j += ",\"trickle_ms\":" + std::to_string(r.trickleMs);
    j += ",\"location\":" + Quote(r.location);
    j += std::string(",\"no_content_length\":") + (r.noContentLength ? "true" : "false") + "}";
    command(j);
}

void TestServer::serveDir(const std::string& prefix, const std::string& unixDir) {
    command("{\"cmd\":\"serve_dir\",\"id\":" + id_ + ",\"prefix\":" + Quote(prefix) +
            ",\"dir\":" + Quote(unixDir) + "}");
}

std::vector<RecordedRequest> TestServer::requests() {
    auto f = command("{\"cmd\":\"requests\",\"id\":" + id_ + "}");
    size_t i = 0;
    auto take = [&]() -> std::string& {
        if (i >= f.size()) throw Failure("truncated request list");
        return f[i++];
    };
    auto count = [&]() {
        const std::string& s = take();
        char* end = nullptr;
        unsigned long v = std::strtoul(s.c_str(), &end, 10);
        if (s.empty() || *end) throw Failure("bad count in request list: " + s);
        return static_cast<size_t>(v);
    };
    std::vector<RecordedRequest> out;
    for (size_t n = count(); n > 0; --n) {
        RecordedRequest r;
        r.method = take();
        r.path = take();
        r.version = take();
        for (size_t h = count(); h > 0; --h) {
            std::string name = take();
            r.headers.emplace_back(name, take());
        }
        out.push_back(std::move(r));
    }
    return out;
}

std::vector<std::string> TestServer::connections() {
    return command("{\"cmd\":\"connections\",\"id\":" + id_ + "}");
}

void TestServer::clearRequests() { command("{\"cmd\":\"clear\",\"id\":" + id_ + "}"); }

std::string PatternBytes(size_t n) {
    std::string out(n, '\0');
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<char>(i % 251);
    return out;
}

TestReply BodyReply(const std::string& bytes) {
    TestReply r;
    r.body = bytes;
    return r;
}
