// Times the shell's start-up on the demo skin served from loopback: from
// process start to the main window being visible, split at the shell's
// progress texts, next to the same run's reference, a plain WinINet download
// of the same files. Not a test: it fails only when a run does not come up
// or the files cannot be fetched.
//
//   startup_bench [--runs N]
//
// N runs (default 15) follow one warm-up run. The files come from the
// scripted test server, which sends with Nagle off, so it adds no waiting of
// its own to what is measured.
//
// The progress texts arrive as debug strings while the shell runs under this
// program as its debugger, so every figure includes the debugger's round
// trips; the reference runs without one.
#include "common/com_ptr.h"
#include "common/handles.h"
#include "remote/http_fetch.h"
#include "remote/remote_params.h"
#include "support/bench_clock.h"
#include "support/paths.h"
#include "support/process.h"
#include "support/test_server.h"

#include <windows.h>
#include <ole2.h>
#include <olectl.h>
#include <wininet.h>

#include <algorithm>
#include <memory>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string ReadFile(const std::string& unixPath) {
    std::ifstream in(unixPath, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + unixPath);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

struct ServedFile {
    std::string name;   // below /demo/
    std::string bytes;  // what the server sends
    bool image;
};

// Image parameters in the order the shell asks for them; a button's images
// only when its position is given.
std::vector<std::string> ImageNames(CRemoteParams& params) {
    std::vector<std::string> names;
    char value[kValueCapacity];
    for (const char* name : {"APP_LOADER_IMAGE", "SKIN"}) {
        if (params.GetParamString(name, value, sizeof value)) names.push_back(value);
    }
    for (const char* button : {"CLOSE", "MIN", "BACK", "FORWARD", "HOME", "REFRESH"}) {
        std::int32_t pos[4];
        if (!params.GetParamRect((std::string("BUTTON_") + button + "_POS").c_str(), pos)) continue;
        for (const char* state : {"CLICK", "HOT", "NORMAL"}) {
            const std::string name = std::string("BUTTON_") + button + "_" + state;
            if (params.GetParamString(name.c_str(), value, sizeof value)) names.push_back(value);
        }
    }
    return names;
}

// The reference: one session and one connection, every file requested in
// turn and read in large pieces, without pauses. Returns seconds per file.
std::vector<double> PlainDownload(const std::string& host, int port, const std::vector<ServedFile>& files) {
    std::vector<double> times;
    UniqueInternet session(InternetOpenA("startup-bench", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session) throw std::runtime_error("InternetOpen failed");
    UniqueInternet connection(InternetConnectA(session.get(), host.c_str(), static_cast<INTERNET_PORT>(port), nullptr,
                                               nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) throw std::runtime_error("InternetConnect failed");
    static char buffer[1 << 16];
    for (const ServedFile& file : files) {
        const double start = Now();
        const std::string path = "/demo/" + file.name;
        UniqueInternet request(HttpOpenRequestA(connection.get(), "GET", path.c_str(), "HTTP/1.1", nullptr, nullptr,
                                                INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                                    INTERNET_FLAG_KEEP_CONNECTION,
                                                0));
        if (!request || !HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0))
            throw std::runtime_error("reference request failed for " + path);
        size_t got = 0;
        for (;;) {
            DWORD n = 0;
            if (!InternetReadFile(request.get(), buffer, sizeof buffer, &n) || n == 0) break;
            got += n;
        }
        times.push_back(Now() - start);
        if (got != file.bytes.size())
            throw std::runtime_error("reference got " + std::to_string(got) + " bytes of " + path + ", expected " +
                                     std::to_string(file.bytes.size()));
    }
    return times;
}

// The shell's decoding step on bytes already in memory; seconds.
double Decode(const std::string& bytes) {
    const double start = Now();
    UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE, bytes.size()));
    if (!block) throw std::runtime_error("GlobalAlloc failed");
    void* p = GlobalLock(block.get());
    std::memcpy(p, bytes.data(), bytes.size());
    GlobalUnlock(block.get());
    ComPtr<IStream> stream;
    if (CreateStreamOnHGlobal(block.get(), TRUE, stream.put()) != S_OK) throw std::runtime_error("no stream");
    block.release();
    ComPtr<IPicture> picture;
    OLE_HANDLE handle = 0;
    if (OleLoadPicture(stream.get(), static_cast<LONG>(bytes.size()), FALSE, IID_IPicture, picture.put_void()) !=
            S_OK ||
        !picture || picture->get_Handle(&handle) != S_OK || !handle)
        throw std::runtime_error("an image of the demo skin does not decode");
    const double elapsed = Now() - start;
    return elapsed;  // the picture deletes its bitmap on release
}

// The shell waits this long after every piece of a body it reads.
constexpr DWORD kShellPauseMs = 5;

size_t Chunks(size_t bytes) { return (bytes + kReadChunkBytes - 1) / kReadChunkBytes; }

// What one Sleep(5) really costs here.
double MeasuredPause() {
    std::vector<double> pauses;
    for (int i = 0; i < 20; ++i) {
        const double start = Now();
        Sleep(kShellPauseMs);
        pauses.push_back(Now() - start);
    }
    return Median(pauses);
}

HWND VisibleMainWindow(DWORD pid) {
    for (HWND w = FindWindowExA(nullptr, nullptr, "Korvane", nullptr); w;
         w = FindWindowExA(nullptr, w, "Korvane", nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid && IsWindowVisible(w)) return w;
    }
    return nullptr;
}

// The progress texts that cut the start-up into phases, in the order the
// shell sends them; a text ending in a blank is matched as a prefix.
const char* const kMarks[] = {
    "Loader Initialized",
    "Got: ",
    "Getting Internet Explorer Control Position",
    "Getting Close Button Images",
    "Done Loading",
    "Getting Top Most Parameter",
};
constexpr int kMarkCount = sizeof kMarks / sizeof kMarks[0];
// After the last mark: the loader window gone, then the main window visible.
constexpr int kPhaseCount = kMarkCount + 2;

struct Phase {
    const char* label;
    const char* what;
};
const Phase kPhases[kPhaseCount] = {
    {"start -> loader shown", "process start, document fetch, loader image, loader thread and window"},
    {"main skin image", "skin download with its pauses, decoding"},
    {"window created", "window class, CreateWindowEx up to WM_CREATE"},
    {"browser host, status line", "web-browser control in place, status window"},
    {"buttons", "button images with their pauses, decoding, six button windows"},
    {"window skin", "rest of CreateWindowEx, region building, subclassing"},
    {"loader hidden", "top-most lookup, the loader's close command until its window is hidden"},
    {"shown", "rest of the close command (loader destroyed), ShowWindow, UpdateWindow"},
};
enum { kRegionPhase = 5 };

struct ShellRun {
    double phases[kPhaseCount];
    double total;
};

bool AnyVisible(DWORD pid, const char* className) {
    for (HWND w = FindWindowExA(nullptr, nullptr, className, nullptr); w;
         w = FindWindowExA(nullptr, w, className, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid && IsWindowVisible(w)) return true;
    }
    return false;
}

ShellRun RunShell(const std::string& documentUrl) {
    std::mutex mutex;
    std::vector<std::pair<double, std::string>> texts;
    const double start = Now();
    ShellProcess shell(ShellExe(), {documentUrl}, {}, [&](DWORD, const std::string& s) {
        const double at = Now();
        static const std::string prefix = "Korvane: ";
        if (s.compare(0, prefix.size(), prefix) != 0) return;
        std::lock_guard<std::mutex> lock(mutex);
        texts.emplace_back(at, s.substr(prefix.size()));
    });

    HWND wnd = nullptr;
    double visible = 0, loaderGone = 0;
    bool loaderSeen = false;
    const double deadline = start + 30;
    while (!wnd && Now() < deadline) {
        const bool loader = AnyVisible(shell.pid(), "KorvaneLoader");
        wnd = VisibleMainWindow(shell.pid());
        const double now = Now();
        if (loader) {
            loaderSeen = true;
            loaderGone = 0;
        } else if (loaderSeen && loaderGone == 0) {
            loaderGone = now;
        }
        if (wnd) {
            visible = now;
            break;
        }
        DWORD code = 0;
        if (shell.waitForExit(0, &code)) throw std::runtime_error("the shell ended before its window showed");
        Sleep(1);
    }
    if (!wnd) {
        HWND box = WaitForErrorBox(shell.pid(), 0);
        throw std::runtime_error(box ? "the shell showed an error box: " + MessageBoxText(box)
                                     : std::string("the main window did not show within 30 s"));
    }
    if (!loaderSeen) throw std::runtime_error("the loader window was never seen");

    PostMessageA(wnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    DWORD code = 0;
    if (!shell.waitForExit(15000, &code)) throw std::runtime_error("the shell did not end after its close command");
    if (code != 1) throw std::runtime_error("the shell ended with exit code " + std::to_string(code));

    std::lock_guard<std::mutex> lock(mutex);
    double marks[kMarkCount];
    size_t next = 0;
    for (int m = 0; m < kMarkCount; ++m) {
        const std::string mark = kMarks[m];
        const bool prefix = mark.back() == ' ';
        while (next < texts.size() &&
               !(prefix ? texts[next].second.compare(0, mark.size(), mark) == 0 : texts[next].second == mark))
            ++next;
        if (next == texts.size()) throw std::runtime_error("the shell never reported \"" + mark + "\"");
        marks[m] = texts[next].first;
    }
    // Seen in the same look as the main window, or (polling being coarse)
    // before the last mark: the split is then at the nearer end.
    if (loaderGone == 0) loaderGone = visible;
    loaderGone = std::max(loaderGone, marks[kMarkCount - 1]);

    ShellRun run{};
    double from = start;
    for (int m = 0; m < kMarkCount; ++m) {
        run.phases[m] = marks[m] - from;
        from = marks[m];
    }
    run.phases[kMarkCount] = loaderGone - from;
    run.phases[kMarkCount + 1] = visible - loaderGone;
    run.total = visible - start;
    return run;
}

struct ReferenceRun {
    double total, document, images;
    double decode[3];  // loader image, skin, buttons
};

ReferenceRun RunReference(const std::string& host, int port, const std::vector<ServedFile>& files) {
    ReferenceRun r{};
    const double start = Now();
    const std::vector<double> times = PlainDownload(host, port, files);
    r.total = Now() - start;
    for (size_t i = 0; i < files.size(); ++i) (files[i].image ? r.images : r.document) += times[i];
    // Files after the document are the loader image, the skin, then buttons.
    for (size_t i = 1; i < files.size(); ++i) r.decode[std::min<size_t>(i - 1, 2)] += Decode(files[i].bytes);
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 15;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
        else {
            std::printf("usage: startup_bench [--runs N]\n");
            return 2;
        }
    }
    try {
        const char* source = std::getenv("KORVANE_SOURCE_DIR");
        if (!source) throw std::runtime_error("KORVANE_SOURCE_DIR is not set (run through wine-run.sh)");
        const std::string skinDir = std::string(source) + "/demo/skin";
        OleInitialize(nullptr);

        auto testServer = std::make_unique<TestServer>();
        const std::string host = testServer->host();
        const int port = testServer->port();
        const std::string folderUrl = testServer->url("/demo/");
        // The demo document names its own server; it is pointed at this one.
        const std::string document =
            ReplaceAll(ReadFile(skinDir + "/korvane.xml"), "http://127.0.0.53/demo/", folderUrl);
        const std::string documentUrl = folderUrl + "korvane.xml";

        CRemoteParams params;
        char* body = static_cast<char*>(std::malloc(document.size() + 1));
        if (!body) throw std::runtime_error("out of memory");
        std::memcpy(body, document.c_str(), document.size() + 1);
        if (!params.PrepareDocument(body, static_cast<std::uint32_t>(document.size()), documentUrl.c_str()))
            throw std::runtime_error("the demo document is no parameter document");
        std::vector<ServedFile> files{{"korvane.xml", document, false}};
        for (const std::string& name : ImageNames(params)) files.push_back({name, ReadFile(skinDir + "/" + name), true});
        if (files.size() < 3) throw std::runtime_error("the demo document names no loader image or skin");

        testServer->route("/demo/korvane.xml", BodyReply(document));
        testServer->serveDir("/demo/", skinDir);

        size_t bytes = 0, chunks = 0, imageChunks = 0;
        for (const ServedFile& f : files) {
            bytes += f.bytes.size();
            chunks += Chunks(f.bytes.size());
            if (f.image) imageChunks += Chunks(f.bytes.size());
        }
        const double pause = MeasuredPause();

        std::printf("Korvane start-up on the demo skin: %s\n", documentUrl.c_str());
        std::printf("%zu files (document and %zu images), %zu bytes, %zu chunks of %u bytes\n", files.size(),
                    files.size() - 1, bytes, chunks, static_cast<unsigned>(kReadChunkBytes));
        std::printf("%d runs after one warm-up; medians in ms\n\n", runs);
        std::fflush(stdout);
        RunShell(documentUrl);
        RunReference(host, port, files);
        std::vector<double> phase[kPhaseCount], total, refTotal, refDocument, refImages, decode[3], decodeAll, ratio;
        for (int i = 0; i < runs; ++i) {
            const ShellRun s = RunShell(documentUrl);
            const ReferenceRun r = RunReference(host, port, files);
            for (int p = 0; p < kPhaseCount; ++p) phase[p].push_back(s.phases[p]);
            total.push_back(s.total);
            refTotal.push_back(r.total);
            ratio.push_back(s.total / r.total);
            refDocument.push_back(r.document);
            refImages.push_back(r.images);
            for (int d = 0; d < 3; ++d) decode[d].push_back(r.decode[d]);
            decodeAll.push_back(r.decode[0] + r.decode[1] + r.decode[2]);
        }

        const double ms = 1e3;
        const double shellTotal = Median(total), reference = Median(refTotal);
        std::printf("Measured in the shell, between its progress texts:\n");
        for (int p = 0; p < kPhaseCount; ++p)
            std::printf("  %-28s %8.1f   %s\n", kPhases[p].label, Median(phase[p]) * ms, kPhases[p].what);
        std::printf("  %-28s %8.1f   (median of the totals)\n\n", "start -> main window visible", shellTotal * ms);

        const double pauses = static_cast<double>(chunks) * pause;
        const double imagePauses = static_cast<double>(imageChunks) * pause;
        const double docPauses = pauses - imagePauses;
        const double region = Median(phase[kRegionPhase]);
        const double windows = Median(phase[2]) + Median(phase[3]) + Median(phase[6]) + Median(phase[7]);
        const double docFetch = Median(refDocument) + docPauses;
        const double downloads = Median(refImages), decoding = Median(decodeAll);
        const double rest = shellTotal - docFetch - downloads - imagePauses - decoding - region - windows;
        std::printf("Where the time goes (downloads and decoding: the same bytes, in this process):\n");
        std::printf("  %-28s %8.1f   plain download %.1f + %zu pause(s)\n", "document fetch", docFetch * ms,
                    Median(refDocument) * ms, chunks - imageChunks);
        std::printf("  %-28s %8.1f   %zu images, plain download\n", "image downloads", downloads * ms,
                    files.size() - 1);
        std::printf("  %-28s %8.1f   %zu chunks x %.2f ms, the measured Sleep(%u) (nominal %.1f)\n", "chunk pauses",
                    imagePauses * ms, imageChunks, pause * ms, static_cast<unsigned>(kShellPauseMs),
                    static_cast<double>(imageChunks * kShellPauseMs));
        std::printf("  %-28s %8.1f   loader %.1f, skin %.1f, buttons %.1f\n", "decoding", decoding * ms,
                    Median(decode[0]) * ms, Median(decode[1]) * ms, Median(decode[2]) * ms);
        std::printf("  %-28s %8.1f   measured in the shell, with the end of CreateWindowEx\n", "region building",
                    region * ms);
        std::printf("  %-28s %8.1f   measured in the shell: main window, browser host, loader closed, shown\n",
                    "window creation", windows * ms);
        std::printf("  %-28s %8.1f   process start, a WinINet session per file, loader thread, button windows,\n"
                    "  %-28s %8s   debugger round trips\n\n",
                    "the rest", rest * ms, "", "");

        std::printf("Reference: plain WinINet download of the same %zu files in one session: %.1f ms\n",
                    files.size(), reference * ms);
        std::printf("Ratio start -> visible / reference: %.1f (median of the runs' own ratios)\n", Median(ratio));
        std::printf("Ratio chunk pauses (all %zu) / reference: %.1f\n", chunks, pauses / reference);
        testServer.reset();
        OleUninitialize();
    } catch (const std::exception& e) {
        std::printf("startup_bench: %s\n", e.what());
        return 2;
    }
    return 0;
}
