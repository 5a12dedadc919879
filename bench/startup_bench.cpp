// Times the shell's start-up on the demo skin served from the test server:
// from process start to the splash on screen (its first pixel) and to the
// main window visible, phase by phase, for the demo as it is served and for
// the same pictures as uncompressed 8-bit BMP files (the demo before it was
// made compact), side by side in one run. Beside them: a plain download of
// the same files in this process (the reference), and the parts of the
// start-up measured one by one in this process with the shell's own code.
// Not a test: it fails only when a run does not come up or a file cannot be
// fetched.
//
//   startup_bench [--runs N]        N runs of each (default 15) after a warm-up
//   startup_bench [--runs N] --rtt MS
//                                   instead: the shell on the demo as served,
//                                   over http and https, at a simulated
//                                   round-trip time of MS (the test server
//                                   waits it for each new connection, TLS
//                                   handshake and answer) beside the same run
//                                   without added delay
//
// The phases are cut at the shell's progress texts, which Wine writes to the
// session's log (see ShellProcess) and which this program reads every
// millisecond while it polls the windows; a text counts from when it is read.
// Writing and reading them costs time, so every run is made twice, once
// reading the texts (phases) and once not (the windows polled only), and a
// text's cost to the program that writes it is measured on startup_probe, a
// program linked like the shell, which also gives the time from process start
// to a program's entry and to a first window on screen.
#include "bench/bench_clock.h"
#include "common/dib.h"
#include "common/handles.h"
#include "controls/window_skin.h"
#include "remote/http_fetch.h"
#include "remote/http_request.h"
#include "remote/remote_params.h"
#include "support/images.h"
#include "support/shell.h"
#include "support/site.h"

#include <ole2.h>
#include <wininet.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr double kMs = 1e3;
constexpr DWORD kSettleMs = 250;
// The shell's request flags. Without INTERNET_FLAG_NO_COOKIES Wine's WinINet
// spends milliseconds per request on cookies, which the reference must not.
constexpr DWORD kShellRequestFlags =
    INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI | INTERNET_FLAG_PRAGMA_NOCACHE;

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Named samples in seconds (counts are stored in thousands), run by run.
class Samples {
public:
    void add(const std::string& name, double seconds) { samples_[name].push_back(seconds); }
    void count(const std::string& name, double n) { add(name, n / kMs); }
    // The median in milliseconds (a count as it was given).
    double ms(const std::string& name) const {
        const auto it = samples_.find(name);
        return it == samples_.end() ? 0 : Median(it->second) * kMs;
    }

private:
    std::map<std::string, std::vector<double>> samples_;
};

double Seconds(const std::function<void()>& work) {
    const double start = Now();
    work();
    return Now() - start;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The picture files in the order the shell loads them: the loader's, the
// skin, then each positioned button's pressed, hot and normal picture.
std::vector<std::string> ImageFiles(const std::string& document) {
    CRemoteParams params;
    char* body = static_cast<char*>(std::malloc(document.size() + 1));
    if (!body) throw std::runtime_error("out of memory");
    std::memcpy(body, document.c_str(), document.size() + 1);
    if (!params.PrepareDocument(body, static_cast<std::uint32_t>(document.size()), "bench"))
        throw std::runtime_error("the demo document is no parameter document");
    std::vector<std::string> names = {"APP_LOADER_IMAGE", "SKIN"};
    for (const char* button : {"CLOSE", "MIN", "BACK", "FORWARD", "HOME", "REFRESH"}) {
        std::int32_t pos[4];
        const std::string prefix = std::string("BUTTON_") + button;
        if (params.GetParamRect((prefix + "_POS").c_str(), pos))
            for (const char* state : {"_CLICK", "_HOT", "_NORMAL"}) names.push_back(prefix + state);
    }
    std::vector<std::string> files;
    char value[kValueCapacity];
    for (const std::string& name : names) {
        if (!params.GetParamString(name.c_str(), value, sizeof value))
            throw std::runtime_error("the demo document has no " + name);
        files.push_back(value);
    }
    return files;
}

// The pixels of a picture file as the shell's decoder reads them.
Picture DecodedPicture(const std::string& file) {
    UniqueBitmap bitmap(Decoded(file));
    const Pixels pixels = ReadPixels(bitmap.get());
    if (pixels.px.empty()) throw std::runtime_error("a demo image does not decode");
    return {pixels.width, pixels.height, [pixels](int x, int y) { return pixels.at(x, y); }};
}

// The picture as an uncompressed 8-bit palette BMP.
std::string AsBmp(const std::string& file) { return BmpFile(DecodedPicture(file), 8); }

// One way of serving the demo, in a folder of its own on the test server:
// the document (naming this folder) first, then the images in load order.
struct Variant {
    std::string label;
    Site site;
    std::vector<std::string> names, bytes;  // of each file

    bool https;

    Variant(const std::string& folder, const std::string& label_, bool asBmp, bool https_ = false)
        : label(label_), site(folder), https(https_) {
        const std::string dir = std::string(std::getenv("KORVANE_SOURCE_DIR")) + "/demo/skin/";
        std::string document = ReadFileBytes(WindowsPath(dir + "korvane.xml"));
        if (document.empty()) throw std::runtime_error("cannot read " + dir + "korvane.xml");
        document = ReplaceAll(document, "http://127.0.0.53/demo/", site.url("", https));
        names.push_back("korvane.xml");
        bytes.push_back("");
        for (std::string name : ImageFiles(document)) {
            std::string file = ReadFileBytes(WindowsPath(dir + name));
            if (file.empty()) throw std::runtime_error("cannot read " + dir + name);
            if (asBmp) {
                const std::string bmp = name.substr(0, name.rfind('.')) + ".bmp";
                document = ReplaceAll(document, ">" + name + "<", ">" + bmp + "<");
                name = bmp;
                file = AsBmp(file);
            }
            names.push_back(name);
            bytes.push_back(file);
        }
        bytes[0] = document;
        for (size_t i = 0; i < names.size(); ++i) site.put(names[i], bytes[i]);
    }
    std::string url(size_t file = 0) const { return site.url(names[file], https); }
    std::string key(const std::string& name) const { return label + "." + name; }
};

// Which part of the start-up downloads a file: the splash (the document
// and the loader's picture), the skin or the buttons.
const char* Group(size_t file) { return file < 2 ? "splash." : file == 2 ? "skin." : "buttons."; }
const char* const kGroups[] = {"splash.", "skin.", "buttons."};

// Three pictures of the demo (the skin, the splash, a button) as served, as
// GIF (unless served so) and as uncompressed 8-bit BMP.
struct Encoding {
    std::string picture, format, bytes;
};
std::vector<Encoding> Encodings(const Variant& served) {
    std::vector<Encoding> out;
    for (const auto& pick : std::vector<std::pair<const char*, size_t>>{{"skin", 2}, {"splash", 1}, {"button", 3}}) {
        const std::string& file = served.bytes[pick.second];
        const Picture picture = DecodedPicture(file);
        const std::string name = served.names[pick.second];
        const std::string label =
            std::string(pick.first) + " " + std::to_string(picture.width) + "x" + std::to_string(picture.height);
        const std::string served = name.substr(name.rfind('.'));
        out.push_back({label, "served " + served, file});
        if (served != ".gif") out.push_back({label, "GIF", GifFile(picture)});
        out.push_back({label, "BMP", BmpFile(picture, 8)});
    }
    return out;
}

// ---- the shell, started as a user starts it ----

// Lets go of what the last program left to the system (its windows, its
// process), and empties the session's log: ShellProcess reads all of it
// before it starts a program, which would count into the times.
void Settle() {
    Sleep(kSettleMs);
    UniqueKernelHandle log(CreateFileA(SessionFile("stderr.log").c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                       TRUNCATE_EXISTING, 0, nullptr));
}

struct Mark {
    double at;
    std::string text;
};

// The progress texts that Wine adds to the session's log from now on, each
// stamped when it is read.
class ProgressLog {
public:
    ProgressLog()
        : file_(CreateFileA(SessionFile("stderr.log").c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                            nullptr)) {
        if (file_.get() == INVALID_HANDLE_VALUE) throw std::runtime_error("no session log to read");
        SetFilePointer(file_.get(), 0, nullptr, FILE_END);
    }
    void Read(std::vector<Mark>* marks) {
        static const std::string marker = "OutputDebugStringA \"Korvane: ";
        char buffer[4096];
        for (DWORD n = 0; ReadFile(file_.get(), buffer, sizeof buffer, &n, nullptr) && n > 0;) pending_.append(buffer, n);
        const double at = Now();
        for (size_t end; (end = pending_.find('\n')) != std::string::npos; pending_.erase(0, end + 1)) {
            const size_t from = pending_.find(marker);
            if (from < end) marks->push_back({at, pending_.substr(from + marker.size(), end - from - marker.size() - 1)});
        }
    }

private:
    UniqueKernelHandle file_;
    std::string pending_;
};

struct ShellRun {
    double start = 0, splash = 0, visible = 0;  // the splash and the main window first seen
    std::vector<Mark> marks;                    // progress texts, when read
};

ShellRun RunShell(const std::string& documentUrl, bool readTexts) {
    Settle();
    ShellRun run;
    ProgressLog log;
    run.start = Now();
    ShellProcess shell(ShellExe(), {documentUrl});
    // Its own handle: waiting through ShellProcess would take longer than a
    // millisecond per look.
    UniqueKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, shell.pid()));
    while (!run.visible && Now() < run.start + 30) {
        if (readTexts) log.Read(&run.marks);
        if (!run.splash && !VisibleWindows(shell.pid(), "KorvaneLoader").empty()) run.splash = Now();
        if (!VisibleWindows(shell.pid(), "Korvane").empty()) run.visible = Now();
        else if (WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0)
            throw std::runtime_error("the shell ended before its window showed");
        else Sleep(1);
    }
    if (!run.visible) {
        HWND box = ErrorBox(shell.pid());
        throw std::runtime_error(box ? "the shell showed an error box: " + MessageBoxText(box)
                                     : std::string("the main window did not show within 30 s"));
    }
    if (!run.splash) throw std::runtime_error("the splash was never seen");
    if (readTexts) log.Read(&run.marks);
    for (Mark& m : run.marks) m.at = std::min(m.at, run.visible);
    PostMessageA(VisibleWindows(shell.pid(), "Korvane").at(0), WM_SYSCOMMAND, SC_CLOSE, 0);
    DWORD code = 0;
    if (!shell.waitForExit(15000, &code)) throw std::runtime_error("the shell did not end after its close command");
    if (code != 1) throw std::runtime_error("the shell ended with exit code " + std::to_string(code));
    return run;
}

// The progress texts that cut a run into phases; each phase ends at its
// text (one ending in a blank is a prefix), the last one when the main
// window is seen.
struct Phase {
    const char* endMark;
    const char* label;
    const char* group;  // the files it downloads, or null
    const char* what;
};
const Phase kPhases[] = {
    {"Loader Initialized", "start -> splash up", "splash.", "process, document, loader picture, thread, window"},
    {"Got: ", "main skin image", "skin.", "waiting for the skin, its decoding"},
    {"Getting Internet Explorer Control Position", "window created", nullptr, "class, CreateWindowEx to WM_CREATE"},
    {"Getting Close Button Images", "browser host, status line", nullptr, "the control in place, status line"},
    {"Done Loading", "buttons", "buttons.", "waiting for 18 pictures, decoding, six windows"},
    {"Getting Top Most Parameter", "window skin", nullptr, "end of CreateWindowEx, outline, subclassing"},
    {nullptr, "loader closed, shown", nullptr, "loader's close command, ShowWindow"},
};
constexpr int kPhaseCount = sizeof kPhases / sizeof kPhases[0];

// Each phase's length and the number of progress texts in it.
void AddPhases(const ShellRun& run, Samples& out, const Variant& v) {
    double from = run.start;
    size_t next = 0;
    for (int p = 0; p < kPhaseCount; ++p) {
        const size_t first = next;
        double to = run.visible;
        if (const char* mark = kPhases[p].endMark) {
            const std::string m = mark;
            const bool prefix = m.back() == ' ';
            for (;; ++next) {
                if (next == run.marks.size()) throw std::runtime_error("the shell never reported \"" + m + "\"");
                const std::string& t = run.marks[next].text;
                if (prefix ? t.compare(0, m.size(), m) == 0 : t == m) break;
            }
            to = run.marks[next++].at;
        } else {
            next = run.marks.size();
        }
        out.add(v.key("phase" + std::to_string(p)), to - from);
        out.count(v.key("texts" + std::to_string(p)), static_cast<double>(next - first));
        from = to;
    }
}

// ---- the probe (startup_probe.cpp) ----

// From process start to the probe's entry and to its window seen, polled as
// the shell's are; and one of its debug strings.
void RunProbe(Samples& out) {
    Settle();
    char self[MAX_PATH];
    const std::string path(self, GetModuleFileNameA(nullptr, self, sizeof self));
    const double start = Now();
    ShellProcess probe(path.substr(0, path.find_last_of("\\/") + 1) + "startup_probe.exe", {});
    UniqueKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, probe.pid()));
    double seen = 0;
    while (!seen && Now() < start + 15) {
        if (!VisibleWindows(probe.pid(), "KorvaneProbe").empty()) seen = Now();
        else if (WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) break;
        else Sleep(1);
    }
    if (!seen) throw std::runtime_error("the probe's window was never seen");
    PostMessageA(VisibleWindows(probe.pid(), "KorvaneProbe").at(0), WM_SYSCOMMAND, SC_CLOSE, 0);
    DWORD code = 1;
    if (!probe.waitForExit(15000, &code) || code != 0) throw std::runtime_error("the probe did not run");
    double entry = 0, string = 0;
    if (std::sscanf(probe.output().c_str(), "entry %lf string %lf", &entry, &string) != 2)
        throw std::runtime_error("the probe said: " + probe.output());
    out.add("probe.entry", entry - start);
    out.add("probe.window", seen - start);
    out.add("probe.string", string);
}

// ---- the parts, measured in this process with the shell's own code ----

// The shell's request and 4 KiB reads without its pauses; counts the chunks
// that it pauses after.
double FetchWithoutPauses(const std::string& url, size_t expected, size_t* chunks) {
    const double start = Now();
    HttpResponse response;
    if (!SendGet(url.c_str(), &response) || response.status != 200) throw std::runtime_error("cannot fetch " + url);
    char scratch[kReadChunkBytes];
    size_t got = 0;
    *chunks = 0;
    for (DWORD n = 0; ReadBodyChunk(response, scratch, kReadChunkBytes, &n) && n > 0; ++*chunks) got += n;
    response = HttpResponse();
    const double elapsed = Now() - start;
    if (got != expected) throw std::runtime_error("short read of " + url);
    return elapsed;
}

// The reference: one session and one kept-alive connection, each file in
// turn, read in 64 KiB pieces without pauses. Seconds per file.
std::vector<double> PlainDownload(const Variant& v) {
    UniqueInternet session(InternetOpenA("startup-bench", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    UniqueInternet connection(session ? InternetConnectA(session.get(), std::getenv("KORVANE_TEST_HOST"),
                                                         INTERNET_DEFAULT_HTTP_PORT, nullptr, nullptr,
                                                         INTERNET_SERVICE_HTTP, 0, 0)
                                      : nullptr);
    if (!connection) throw std::runtime_error("the reference cannot connect");
    static char buffer[1 << 16];
    std::vector<double> times;
    for (size_t i = 0; i < v.names.size(); ++i) {
        const std::string url = v.url(i), path = url.substr(url.find('/', std::strlen("http://")));
        size_t got = 0;
        times.push_back(Seconds([&] {
            UniqueInternet request(HttpOpenRequestA(connection.get(), "GET", path.c_str(), "HTTP/1.1", nullptr,
                                                    nullptr, kShellRequestFlags, 0));
            if (!request || !HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0))
                throw std::runtime_error("the reference request failed for " + path);
            for (DWORD n = 0; InternetReadFile(request.get(), buffer, sizeof buffer, &n) && n > 0;) got += n;
        }));
        if (got != v.bytes[i].size()) throw std::runtime_error("the reference got a short " + path);
    }
    return times;
}

// What one of the shell's pauses really takes here.
double MeasuredPause() {
    std::vector<double> pauses;
    for (int i = 0; i < 40; ++i) pauses.push_back(Seconds([] { Sleep(kPauseAfterChunkMs); }));
    return Median(pauses);
}

// The shell's decoding of a body in memory.
double DecodeSeconds(const std::string& body, BITMAP* size) {
    UniqueBitmap bitmap;
    const double seconds =
        Seconds([&] { bitmap.reset(DecodeImage(body.data(), static_cast<std::uint32_t>(body.size()))); });
    if (!bitmap || !GetObjectA(bitmap.get(), sizeof *size, size))
        throw std::runtime_error("a picture of the demo does not decode");
    return seconds;
}

// Per group of files: the reference's transfer, the shell's fetch without
// its pauses beyond that (a session per file, 4 KiB reads), its chunks and
// the pauses between them, and the decoding; the outline of the skin.
void MeasureParts(const Variant& v, Samples& out) {
    const std::vector<double> plain = PlainDownload(v);
    std::map<std::string, double> sum;
    for (size_t i = 0; i < v.names.size(); ++i) {
        const std::string g = Group(i);
        size_t chunks = 0;
        sum[g + "overhead"] += FetchWithoutPauses(v.url(i), v.bytes[i].size(), &chunks) - plain[i];
        sum[g + "transfer"] += plain[i];
        sum[g + "chunks"] += static_cast<double>(chunks) / kMs;
        sum[g + "pauses"] += static_cast<double>(chunks - 1) / kMs;
        sum["reference"] += plain[i];
        if (i == 0) continue;
        BITMAP bm{};
        sum[g + "decode"] += DecodeSeconds(v.bytes[i], &bm);
        if (i != 2) continue;
        UniqueBitmap skin(Decoded(v.bytes[i]));
        out.add(v.key("region"), Seconds([&] { UniqueRegion r(BuildSkinRegion(skin.get(), bm.bmWidth, bm.bmHeight)); }));
    }
    for (const auto& s : sum) out.add(v.key(s.first), s.second);
}

// ---- the report ----

void Row(const char* label, const std::vector<double>& values, const std::string& note = "",
         const char* format = "%10.1f") {
    std::printf("  %-40s", label);
    for (double v : values) std::printf(format, v);
    std::printf("   %s\n", note.c_str());
}

class Report {
public:
    Report(const std::vector<Variant>& variants, const std::vector<Encoding>& encodings, const Samples& s)
        : v_(variants), e_(encodings), s_(s) {}

    void Print(int runs) const {
        std::printf("Korvane start-up on the demo skin: %d runs of each after a warm-up; medians, ms\n\n", runs);
        std::printf("  %-40s%10s%10s\n", "", v_[0].label.c_str(), v_[1].label.c_str());
        Row("files (document and images)", Each("files"), "", "%10.0f");
        Row("bytes", Each("bytes"), "", "%10.0f");
        Row("chunks read", Each([&](const Variant& v) { return Sum(v, "chunks"); }), "", "%10.0f");
        Row("pauses, one between two chunks of a file", Each([&](const Variant& v) { return Sum(v, "pauses"); }), "",
            "%10.0f");
        Row("reference: plain download of the files", Each("reference"),
            "one session and connection, 64 KiB reads, no pauses");

        std::printf("\nNot reading the progress texts, the windows polled every millisecond:\n");
        Row("start -> splash on screen", Each("plain.splash"), "goal: at most 150");
        Row("start -> main window visible", Each("plain.visible"), "goal: at most 450");
        Row("  / reference", Each([&](const Variant& v) { return Ms(v, "plain.visible") / Ms(v, "reference"); }));

        std::printf("\nWhat the platform takes before the shell does anything of its own, on the probe\n"
                    "(a program linked like the shell that shows a window at its entry, nothing fetched):\n");
        Row("start -> its entry", Each([&](const Variant&) { return s_.ms("probe.entry"); }));
        Row("start -> its 320x200 window seen", Each([&](const Variant&) { return s_.ms("probe.window"); }),
            "polled as the shell's windows are");
        Row("  + the splash's pauses", Each([&](const Variant& v) {
                return s_.ms("probe.window") + Ms(v, "splash.pauses") * s_.ms("pause");
            }), "less than the splash can take here: no transfer, thread or decoding");

        std::printf("\nReading the progress texts from Wine's log every millisecond, cut at them; each\n"
                    "phase whole and less its downloads, decoding and the writing of its texts:\n");
        std::printf("  %-40s%10s%10s%10s%10s\n", "", v_[0].label.c_str(), "less", v_[1].label.c_str(), "less");
        for (int p = 0; p < kPhaseCount; ++p) {
            char note[160];
            std::snprintf(note, sizeof note, "%s; %.0f texts", kPhases[p].what, Ms(v_[0], Texts(p)));
            Row(kPhases[p].label, {Ms(v_[0], Phase(p)), Own(v_[0], p), Ms(v_[1], Phase(p)), Own(v_[1], p)}, note);
        }
        Row("start -> splash on screen", Each("read.splash"));
        Row("start -> main window visible", Each("read.visible"));

        std::printf("\nWhat reading the texts costs (reading them less not):\n");
        Row("start -> splash on screen", Each([&](const Variant& v) { return Measuring(v, "splash"); }));
        Row("start -> main window visible", Each([&](const Variant& v) { return Measuring(v, "visible"); }));
        char note[200];
        std::snprintf(note, sizeof note, "%.0f texts x %.3f ms, a debug string with Wine's log on (the probe)",
                      AllTexts(v_[0]), TextCost());
        Row("  of which writing them", Each([&](const Variant& v) { return AllTexts(v) * TextCost(); }), note);
        Row("  of which reading them", Each([&](const Variant& v) {
                return Measuring(v, "visible") - AllTexts(v) * TextCost();
            }), "this program's reads of the log, every millisecond");

        std::printf("\nWhere the time to the main window goes, not reading the texts:\n");
        std::vector<double> sum(v_.size());
        auto part = [&](const char* label, const std::function<double(const Variant&)>& f, const std::string& what) {
            const std::vector<double> values = Each(f);
            for (size_t i = 0; i < sum.size(); ++i) sum[i] += values[i];
            Row(label, values, what);
        };
        part("process start to the program's entry", [&](const Variant&) { return s_.ms("probe.entry"); },
             "the probe, a program linked like the shell");
        // The skin and the buttons come while the rest goes on: what start-up
        // waits for them stays in their phases below.
        std::snprintf(note, sizeof note, "pauses x %.2f ms, a Sleep(%u) as measured here", s_.ms("pause"),
                      static_cast<unsigned>(kPauseAfterChunkMs));
        part("pauses: document, splash", [&](const Variant& v) { return Ms(v, "splash.pauses") * s_.ms("pause"); }, note);
        part("transfers: document, splash", [&](const Variant& v) { return Ms(v, "splash.transfer"); }, "the reference");
        part("a WinINet session each, 4 KiB reads", [&](const Variant& v) { return Ms(v, "splash.overhead"); },
             "the shell's fetch without pauses less the reference");
        part("decoding", [&](const Variant& v) { return Sum(v, "decode"); },
             "the picture decoder in a process that has decoded before");
        part("outline of the skin", [&](const Variant& v) { return Ms(v, "region"); }, "the shell's builder");
        part("loader thread, window, first uses", [&](const Variant& v) {
                return Ms(v, "plain.splash") - s_.ms("probe.entry") - Downloads(v, "splash.") -
                       Ms(v, "splash.decode");
            }, "the splash less the above: first WinINet, display, decoder use");
        for (int p = 1; p < kPhaseCount; ++p)
            part(kPhases[p].label, [&](const Variant& v) { return Own(v, p); }, "the phase less the above");
        const std::vector<double> total = Each("plain.visible");
        Row("not accounted", {total[0] - sum[0], total[1] - sum[1]},
            "the phases come from the runs that read the texts");
        Row("= start -> main window visible", total);

        std::printf("\nThree of the demo's pictures as served and in other formats: bytes, 4 KiB chunks\n"
                    "(a pause between two), decoding in a process that has decoded before (ms):\n");
        for (size_t i = 0; i < e_.size(); ++i) {
            const double bytes = static_cast<double>(e_[i].bytes.size());
            std::printf("  %-18s %-14s %8.0f %4.0f %6.1f\n", e_[i].picture.c_str(), e_[i].format.c_str(), bytes,
                        std::ceil(bytes / kReadChunkBytes), s_.ms("format" + std::to_string(i)));
        }
    }

private:
    double Ms(const Variant& v, const std::string& name) const { return s_.ms(v.key(name)); }
    std::vector<double> Each(const std::function<double(const Variant&)>& f) const {
        std::vector<double> out;
        for (const Variant& v : v_) out.push_back(f(v));
        return out;
    }
    std::vector<double> Each(const std::string& name) const {
        return Each([&](const Variant& v) { return Ms(v, name); });
    }
    double Sum(const Variant& v, const char* name) const {
        double sum = 0;
        for (const char* g : kGroups) sum += Ms(v, std::string(g) + name);
        return sum;
    }
    static std::string Phase(int p) { return "phase" + std::to_string(p); }
    static std::string Texts(int p) { return "texts" + std::to_string(p); }
    double TextCost() const { return s_.ms("probe.string"); }
    double AllTexts(const Variant& v) const {
        double n = 0;
        for (int p = 0; p < kPhaseCount; ++p) n += Ms(v, Texts(p));
        return n;
    }
    double Measuring(const Variant& v, const std::string& what) const {
        return Ms(v, "read." + what) - Ms(v, "plain." + what);
    }
    double Downloads(const Variant& v, const std::string& g) const {
        return Ms(v, g + "pauses") * s_.ms("pause") + Ms(v, g + "transfer") + Ms(v, g + "overhead");
    }
    // A phase less its decoding, outline and the writing of its texts, and
    // the splash's less its downloads too; the skin and the buttons are
    // downloaded beside the rest, and what start-up waits for them is theirs.
    double Own(const Variant& v, int p) const {
        const char* g = kPhases[p].group;
        return Ms(v, Phase(p)) - Ms(v, Texts(p)) * TextCost() -
               (g ? Ms(v, std::string(g) + "decode") : 0) - (p == 0 ? Downloads(v, g) : 0) -
               (p == 5 ? Ms(v, "region") : 0);
    }

    const std::vector<Variant>& v_;
    const std::vector<Encoding>& e_;
    const Samples& s_;
};

// ---- at a distance: --rtt ----

// The splash and the main window at the round-trip time rtt beside the same
// run without added delay, over http and https: the medians of each, and of
// the difference within each pair of runs, in milliseconds and round trips.
void RttReport(int runs, int rtt) {
    std::vector<Variant> variants;
    variants.emplace_back("bench-rtt-http", "http", false);
    variants.emplace_back("bench-rtt-https", "https", false, true);
    Samples s;
    for (int i = 0; i <= runs; ++i) {
        Samples warmUp;
        Samples& into = i == 0 ? warmUp : s;
        for (const Variant& v : variants) {
            ShellRun plain, delayedRun;
            // Every other time the delayed run comes first.
            for (const bool delayed : {i % 2 == 0, i % 2 != 0}) {
                v.site.reply("", "{\"rtt\": " + std::to_string(delayed ? rtt : 0) + "}");
                (delayed ? delayedRun : plain) = RunShell(v.url(), false);
            }
            for (const char* what : {"splash", "visible"}) {
                const double n = what[0] == 's' ? plain.splash - plain.start : plain.visible - plain.start;
                const double f = what[0] == 's' ? delayedRun.splash - delayedRun.start : delayedRun.visible - delayedRun.start;
                into.add(v.key(std::string("near.") + what), n);
                into.add(v.key(std::string("far.") + what), f);
                into.add(v.key(std::string("beyond.") + what), f - n);
            }
        }
        std::fprintf(stderr, i == runs ? ".\n" : ".");
    }
    std::printf("Korvane start-up on the demo skin at a round-trip time of %d ms: %d runs of each after a\n"
                "warm-up, each beside a run without added delay; medians\n\n", rtt, runs);
    std::printf("  %-40s%12s%12s\n", "", variants[0].label.c_str(), variants[1].label.c_str());
    for (const auto& row : std::vector<std::pair<const char*, const char*>>{{"start -> splash on screen", "splash"},
                                                                           {"start -> main window visible", "visible"}}) {
        std::printf("%s\n", row.first);
        const std::string what = row.second;
        Row("  without added delay, ms", {s.ms(variants[0].key("near." + what)), s.ms(variants[1].key("near." + what))},
            "", "%12.1f");
        Row(("  at " + std::to_string(rtt) + " ms, ms").c_str(),
            {s.ms(variants[0].key("far." + what)), s.ms(variants[1].key("far." + what))}, "", "%12.1f");
        const double http = s.ms(variants[0].key("beyond." + what)), https = s.ms(variants[1].key("beyond." + what));
        Row("  beyond the run without, ms", {http, https}, "", "%12.1f");
        Row("  beyond the run without, round trips", {http / rtt, https / rtt}, "", "%12.2f");
    }
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 15, rtt = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--rtt") == 0 && i + 1 < argc && std::atoi(argv[i + 1]) > 0) {
            rtt = std::atoi(argv[++i]);
        } else {
            std::printf("usage: startup_bench [--runs N] [--rtt MS]\n");
            return 2;
        }
    }
    try {
        if (!std::getenv("KORVANE_SOURCE_DIR")) throw std::runtime_error("run through tests/harness/wine-run.sh");
        OleInitialize(nullptr);
        if (rtt) {
            RttReport(runs, rtt);
            OleUninitialize();
            return 0;
        }
        std::vector<Variant> variants;
        variants.emplace_back("bench-served", "served", false);
        variants.emplace_back("bench-bmp", "as BMP", true);
        const std::vector<Encoding> encodings = Encodings(variants[0]);
        Samples s;
        for (const Variant& v : variants) {
            s.count(v.key("files"), static_cast<double>(v.names.size()));
            double bytes = 0;
            for (const std::string& b : v.bytes) bytes += static_cast<double>(b.size());
            s.count(v.key("bytes"), bytes);
        }
        for (int i = 0; i <= runs; ++i) {
            Samples warmUp;
            Samples& into = i == 0 ? warmUp : s;
            RunProbe(into);
            into.add("pause", MeasuredPause());
            for (const Variant& v : variants) {
                // Every other time the other kind of run comes first, as a
                // run that follows another one may meet its aftermath.
                for (const bool readTexts : {i % 2 == 0, i % 2 != 0}) {
                    const ShellRun run = RunShell(v.url(), readTexts);
                    const std::string kind = readTexts ? "read." : "plain.";
                    if (readTexts) AddPhases(run, into, v);
                    into.add(v.key(kind + "splash"), run.splash - run.start);
                    into.add(v.key(kind + "visible"), run.visible - run.start);
                }
                MeasureParts(v, into);
            }
            BITMAP bm{};
            for (size_t e = 0; e < encodings.size(); ++e)
                into.add("format" + std::to_string(e), DecodeSeconds(encodings[e].bytes, &bm));
            std::fprintf(stderr, i == runs ? ".\n" : ".");
        }
        Report(variants, encodings, s).Print(runs);
        OleUninitialize();
    } catch (const std::exception& e) {
        std::printf("startup_bench: %s\n", e.what());
        return 2;
    }
    return 0;
}
