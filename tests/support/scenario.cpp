#include "support/scenario.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <regex>

#include "common/handles.h"
#include "support/images.h"
#include "support/shell.h"
#include "support/site.h"

namespace {

constexpr DWORD kWaitMs = 20000;

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
    return text;
}

// "X,Y WxH" of a window, in its parent's coordinates or the screen's.
std::string Place(HWND wnd, HWND parent = nullptr) {
    RECT r;
    GetWindowRect(wnd, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    char text[64];
    std::snprintf(text, sizeof text, "%ld,%ld %ldx%ld", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return text;
}

std::string TopLevel(const char* what, HWND wnd) {
    return std::string(what) + " " + Place(wnd) + (GetWindowLongA(wnd, GWL_EXSTYLE) & WS_EX_TOPMOST ? " topmost" : " normal");
}

std::string Joined(const std::vector<std::string>& items, const char* separator) {
    std::string out;
    for (const auto& i : items) out += (out.empty() ? "" : separator) + i;
    return out.empty() ? "-" : out;
}

std::string Fill(const std::string& text, const std::string& folder) {
    const std::pair<const char*, std::string> values[] = {
        {"{img}", SiteUrl(folder, "img/")}, {"{doc}", SiteUrl(folder, "doc.xml")}, {"{site}", SiteUrl(folder)},
        {"{https}", SiteUrl(folder, "", true)}, {"{exe}", ShellExe()}};
    std::string out = text;
    for (const auto& v : values) out = Replace(out, v.first, v.second);
    return out;
}

// The most answers under way at one time, and the one that ended last; the
// start page is the control's.
void Overlap(std::vector<Site::Answer> answers, std::vector<std::string>& report) {
    answers.erase(std::remove_if(answers.begin(), answers.end(), [](const auto& a) { return !a.path.compare(0, 6, "/page/"); }),
                  answers.end());
    size_t most = 0;
    const Site::Answer* last = nullptr;
    for (const auto& a : answers) {
        most = std::max<size_t>(most, std::count_if(answers.begin(), answers.end(), [&](const auto& b) {
                                    return b.start <= a.start && a.start < b.end;
                                }));
        if (!last || a.end > last->end) last = &a;
    }
    report.push_back("most-at-once " + std::to_string(most));
    report.push_back("last-done " + (last ? last->path : "-"));
}

// Glob matching with '*' only.
bool Matches(const char* pattern, const char* text) {
    if (*pattern == '*') return Matches(pattern + 1, text) || (*text && Matches(pattern, text + 1));
    return *pattern ? *pattern == *text && Matches(pattern + 1, text + 1) : !*text;
}

// Whether a box shown over a splash can be seen: the splash is gone, or the
// box comes before it in the window order.
bool BoxSeen(HWND box, DWORD pid) {
    for (HWND loader : VisibleWindows(pid, "KorvaneLoader")) {
        HWND w = box;
        while (w && w != loader) w = GetWindow(w, GW_HWNDNEXT);
        if (!w) return false;
    }
    return true;
}

// The main window as it shows: place, title, outline and children.
void DescribeMain(HWND main, const Scenario& s, std::vector<std::string>& report) {
    report.push_back(TopLevel("main", main) + " \"" + WindowText(main) + "\"");
    std::string skin;
    for (const auto& p : s.doc) skin = p.first == "SKIN" ? p.second : skin;
    UniqueRegion actual(CreateRectRgn(0, 0, 0, 0));
    if (GetWindowRgn(main, actual.get()) == ERROR) {
        report.push_back("region none");
    } else if (UniqueBitmap bitmap{Decoded(ImageFile(skin))}) {
        UniqueRegion expected(PerPixelRegion(bitmap.get(), s.dpi ? s.dpi : 96));
        report.push_back(EqualRgn(actual.get(), expected.get()) ? "region as-skin" : "region differs");
    }
    for (HWND c = GetWindow(main, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        report.push_back("child " + ClassOf(c) + " " + Place(c, main) + " " + Accessible(c));
    GUITHREADINFO gui{sizeof gui};
    const DWORD thread = GetWindowThreadProcessId(main, nullptr);
    WaitUntil([&] { return GetGUIThreadInfo(thread, &gui) && IsChild(main, gui.hwndFocus); }, 1000);
    report.push_back("focus " + (gui.hwndFocus ? ClassOf(gui.hwndFocus) : "-"));
}

// One step of a Scenario's input.
void Input(HWND main, const std::string& step) {
    if (step.compare(0, 6, "press ") != 0) return XdoKeys(step);
    for (HWND c = GetWindow(main, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (Accessible(c).compare(0, step.size() - 3, "\"" + step.substr(6) + "\" ") == 0) Accessible(c, true);
    Sleep(200);
}

// What the real control was called with, as its trace channel tells.
std::string ControlCalls(ShellProcess& shell) {
    static const std::regex kCall("(InPlaceActiveObject_TranslateAccelerator|WebBrowser_(GoBack|GoForward|GoHome|Refresh|Stop)) .*");
    std::vector<std::string> calls;
    std::smatch call;
    for (const std::string& line : shell.logged(":ieframe:")) {
        // How many messages a chord makes is the window system's business.
        if (std::regex_match(line, call, kCall) && (call[2].matched || calls.empty() || calls.back() != "keys"))
            calls.push_back(call[2].matched ? call[2].str() : "keys");
    }
    return "control " + Joined(calls, " ");
}

// Ends the run as a user would, with the close button when there is one.
std::string Close(HWND main, const Scenario& s) {
    RECT r;
    GetWindowRect(main, &r);
    int x = 0, y = 0;
    for (const auto& p : s.doc) {
        if (p.first == "BUTTON_CLOSE_POS" && std::sscanf(p.second.c_str(), "%d,%d", &x, &y) == 2 &&
            ClassOf(ChildWindowFromPoint(main, POINT{x + 3, y + 3})) == "CBITBUTTON") {
            MouseClickAt(r.left + x + 3, r.top + y + 3);
            if (WaitUntil([&] { return !IsWindow(main); }, 3000)) return "closed-by button";
        }
    }
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    return "closed-by system";
}

// Wine's DPI, the user's display setting, for the programs that start while
// it lives. The session's prefix has none of its own: it goes again after.
class WineDpi {
public:
    explicit WineDpi(DWORD dpi)
        : set_(dpi && !RegSetKeyValueA(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", REG_DWORD, &dpi, sizeof dpi)) {}
    ~WineDpi() {
        if (set_) RegDeleteKeyValueA(HKEY_CURRENT_USER, kDesktopKey, "LogPixels");
    }

private:
    static constexpr char kDesktopKey[] = "Control Panel\\Desktop";
    const bool set_;
};

}  // namespace

void PrintTo(const Scenario& s, std::ostream* out) { *out << s.name; }

Params Button(const std::string& label, const std::string& position, bool withHot) {
    std::string kind = label;
    for (char& c : kind) c = static_cast<char>(tolower(c));
    Params p = {{"BUTTON_" + label + "_POS", position},
                {"BUTTON_" + label + "_CLICK", kind + "-click-20x16.bmp"},
                {"BUTTON_" + label + "_NORMAL", kind + "-20x16.bmp"}};
    if (withHot) p.insert(p.begin() + 2, {"BUTTON_" + label + "_HOT", kind + "-hot-20x16.bmp"});
    return p;
}

Params operator+(Params a, const Params& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}


std::string RowName(const Scenario& s) {
    std::string name;
    for (char c : s.name) name += isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

Site PrepareSite(const Scenario& s, std::vector<std::string>* args) {
    const Site site(RowName(s));
    std::string doc = s.raw;
    if (s.raw.empty()) {
        doc = "<html><body>\r\n<KORVANE>\r\n";
        Params params = s.doc;
        if (std::none_of(params.begin(), params.end(), [](const auto& p) { return p.first == "IMAGES_PATH"; }))
            params.insert(params.begin(), {"IMAGES_PATH", "{img}"});
        for (const auto& p : params) {
            doc += "<" + p.first + ">" + p.second + "</" + p.first + ">\r\n";
            const std::string image = ImageFile(p.second);
            if (!image.empty()) site.put("img/" + p.second, image);
        }
        doc += "</korvane>\r\n</body></html>\r\n";
    }
    const auto fill = [&](const std::string& text) { return Fill(text, RowName(s)); };
    site.put("doc.xml", fill(doc));
    for (const auto& r : s.replies) site.reply(r.first, fill(r.second));
    for (const auto& a : s.args) args->push_back(fill(a));
    return site;
}

std::vector<std::string> RunScenario(const Scenario& s) {
    std::vector<std::string> args;
    const Site site = PrepareSite(s, &args);
    const std::string openLog = SessionFile("korvane-opened.log");
    const size_t openedBefore = ReadFileBytes(openLog).size();
    std::vector<std::string> report;
    const WineDpi dpi(s.dpi);
    ShellProcess shell(s.quick ? QuickShellExe() : ShellExe(), args, ",+ieframe,trace+urlmon");
    DWORD code = 0;
    bool sawMain = false, sawBox = false, sawLoader = false, overlap = false;
    ULONGLONG boxDone = 0;
    const ULONGLONG end = GetTickCount64() + kWaitMs;
    while (!shell.waitForExit(20, &code) && GetTickCount64() < end) {
        const std::vector<HWND> loaders = VisibleWindows(shell.pid(), "KorvaneLoader"),
                                mains = VisibleWindows(shell.pid(), "Korvane");
        if (!loaders.empty() && !sawLoader) report.push_back(TopLevel("loader", loaders[0]));
        sawLoader |= !loaders.empty();
        overlap |= !loaders.empty() && !mains.empty();
        if (HWND box = ErrorBox(shell.pid()); box && !sawBox) {
            sawBox = true;
            report.push_back("box " + MessageBoxText(box));
            report.push_back(BoxSeen(box, shell.pid()) ? "box-order ok" : "box-order under-splash");
            PressOk(box);
            boxDone = GetTickCount64();
        }
        if (!mains.empty() && !sawMain) {
            sawMain = true;
            DescribeMain(mains[0], s, report);
            for (const std::string& step : s.input) Input(mains[0], step);
            const bool closed = !s.input.empty() && WaitUntil([&] { return !IsWindow(mains[0]); }, 1000);
            report.push_back(closed ? "closed-by input" : Close(mains[0], s));
        }
    }
    report.push_back(shell.waitForExit(0, &code) ? "exit " + std::to_string(code) : "exit timeout");
    if (boxDone) report.push_back(GetTickCount64() - boxDone < 1000 ? "ended within 1 s of the box" : "ended late");
    if (!sawBox) report.push_back("box -");
    if (!sawMain) report.push_back("main -");
    if (!sawLoader) report.push_back("loader -");
    if (sawMain && sawLoader) report.push_back(overlap ? "order both-at-once" : "order splash-then-main");
    std::vector<std::string> progress, calls;
    for (const auto& t : shell.logged("OutputDebugStringA \"Korvane: ")) progress.push_back(t.substr(0, t.rfind('"')));
    report.push_back("progress " + Joined(progress, "|"));
    for (const auto& t : shell.logged(":trace:"))
        for (const char* call : {":CoInternetSetFeatureEnabled ", ":create_webbrowser ", ":WebBrowser_Navigate "})
            if (t.find(call) != std::string::npos) calls.push_back(t.substr(t.find(':') + 1));
    report.push_back("calls " + Joined(calls, "|"));
    report.push_back(ControlCalls(shell));
    // The start page comes whenever the control gets to it: it has a line
    // of its own.
    std::vector<std::string> paths, pages;
    const std::vector<std::string> requests = site.requests();
    for (const auto& r : requests) (r.compare(0, 10, "GET /page/") ? paths : pages).push_back(r.substr(4, r.find(' ', 4) - 4));
    // The pictures are asked for at once and reach the server in any order.
    std::sort(paths.begin(), paths.end());
    report.push_back("requests " + Joined(paths, " "));
    Overlap(site.answers(), report);
    report.push_back("page-requests " + Joined(pages, " "));
    if (!requests.empty()) report.push_back("first-request " + Replace(requests[0], "\t", " | "));
    // The system hands a URL on to the browser after the shell has ended,
    // and a program the shell should not have started comes later still.
    WaitUntil([] { return !ProcessRuns("winebrowser.exe") && !ProcessRuns("korvane.exe"); }, 5000);
    const std::string opened = ReadFileBytes(openLog).substr(openedBefore);
    report.push_back("opened " + (opened.empty() ? "-" : Replace(opened.substr(0, opened.size() - 1), "\n", " + ")));
    const SIZE_T mb = shell.peakBytes() >> 20;
    report.push_back(mb < 256 ? "memory under 256 MB" : "memory " + std::to_string(mb) + " MB");
    return report;
}

std::string Unmet(const Scenario& s, const std::vector<std::string>& report) {
    std::string unmet;
    for (std::string want : s.expect) {
        want = Fill(want, RowName(s));
        const bool negated = want[0] == '!';
        if (negated) want.erase(0, 1);
        const bool found = std::any_of(report.begin(), report.end(),
                                       [&](const std::string& line) { return Matches(want.c_str(), line.c_str()); });
        if (found == negated) unmet += (negated ? "  unwanted: " : "  missing: ") + want + "\n";
    }
    return unmet.empty() ? "" : unmet + "report:\n  " + Joined(report, "\n  ");
}
