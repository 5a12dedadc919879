// korvane-check: loads a parameter document the way the shell does, with the
// shell's own document and image code, and says what the shell will make of
// it. Exit code 0: the shell would start and show its window; 1: it would
// not; 2: the URL is no parameter document; 3: the checker was used wrongly.
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "app/app.h"
#include "checker/checker.h"
#include "checker/http_probe.h"
#include "checker/report.h"
#include "remote/fetch_limits.h"
#include "remote/http_fetch.h"
#include "remote/skin_params.h"
#include "remote/url_split.h"

int Checker::NotADocument() {
    const ProbeResult probe = ProbeUrl(options_.url.c_str(), kMaxBodyBytes);
    std::string why;
    if (!probe.requested) {
        why = probe.error;
    } else if (probe.status != 200) {
        why = "the server answered " + std::to_string(probe.status);
    } else if (probe.overCap) {
        why = "the document is larger than 1 MiB";
    } else if (probe.cut) {
        why = "the server sent less than the whole document";
    } else {
        const std::string cleaned = check::CleanForSearch(probe.body.data(), probe.body.size());
        switch (check::FindRoot(cleaned, nullptr, nullptr)) {
        case check::RootState::NoOpenTag: why = "no <korvane> tag"; break;
        case check::RootState::NoCloseTag: why = "no </korvane> tag"; break;
        case check::RootState::CloseBeforeOpen: why = "</korvane> stands before <korvane>"; break;
        case check::RootState::Ok: why = "the download failed"; break;
        }
        if (probe.body.empty()) why = "the document is empty";
    }
    if (probe.requested)
        ReportLine("DOCUMENT url=%s status=%lu bytes=%s", options_.url.c_str(), probe.status,
                   probe.overCap ? "over-1MiB" : std::to_string(probe.body.size()).c_str());
    ReportLine("VERDICT 2 not a parameter document (%s): the shell would hand the URL to the web browser",
               why.c_str());
    return kNotADocument;
}

void Checker::UnknownTags() {
    const std::vector<std::string> known(kParamNames.begin(), kParamNames.end());
    for (const std::string& text : check::TagTexts(cleaned_)) {
        std::string tag = text;
        for (char& c : tag) c = static_cast<char>((c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c);
        const std::string name = tag.substr(0, tag.find_first_of(" =\"'/"));
        const bool knownName = std::find(known.begin(), known.end(), name) != known.end();
        if ((knownName && name == tag) || _stricmp(name.c_str(), param::kRoot) == 0) continue;
        if (knownName) {
            Warn("write <" + name + ">", "<%s>: not read as %s: nothing but the name may stand in the tag",
                 tag.c_str(), name.c_str());
            continue;
        }
        const std::string nearest = check::NearestName(tag, known);
        Warn(nearest.empty() ? "remove it, or take the name from the guide's tables" : "did you mean " + nearest + "?",
             "<%s>: the shell reads no parameter of that name", tag.c_str());
    }
}

int Checker::Run() {
    ReportLine("CHECK url=%s", options_.url.c_str());
    LARGE_INTEGER before, after;
    QueryPerformanceCounter(&before);
    const bool loaded = doc_.LoadDocument(options_.url.c_str());
    QueryPerformanceCounter(&after);
    if (!loaded) return NotADocument();

    // A second copy of the document, only to see where tags stand outside
    // what the shell reads.
    const ProbeResult raw = ProbeUrl(options_.url.c_str(), kMaxBodyBytes);
    if (raw.requested && raw.status == 200 && !raw.overCap) {
        cleaned_ = check::CleanForSearch(raw.body.data(), raw.body.size());
        haveRaw_ = check::FindRoot(cleaned_, nullptr, nullptr) == check::RootState::Ok;
    }
    ReportLine("DOCUMENT url=%s status=200 bytes=%zu ms=%.0f", options_.url.c_str(),
               haveRaw_ ? raw.body.size() : static_cast<std::size_t>(0), Milliseconds(before, after));
    if (!haveRaw_) ReportLine("NOTE second download failed: tags outside <korvane> and repeated tags not checked");
    if (haveRaw_) {
        budget_.push_back({"DOCUMENT", raw.body.size()});
        std::size_t begin = 0;
        check::FindRoot(cleaned_, &begin, nullptr);
        if (cleaned_.find("<korvane>", begin) != std::string::npos &&
            cleaned_.find("<korvane>", begin) < cleaned_.find("</korvane>"))
            Warn("remove the inner <korvane>",
                 "KORVANE: a second <korvane> inside the root element: the first </korvane> ends it");
        UnknownTags();
    }

    // The loader thread's lookups come first.
    haveLoader_ = Image(param::kLoaderImage, "no loader window", &loaderImage_) != nullptr;
    if (haveLoader_) {
        std::int32_t pos[4];
        Numbers(param::kLoaderPos, "loader centred", pos, kLoaderPosition);
        // Read even when it counts as missing: one number is the top.
        loaderTop_ = pos[0];
        loaderLeft_ = pos[1];
        if (pos[0] == 0 && pos[1] == 0) ReportLine("NOTE APP_LOADER_POS: loader centred");
        loaderTextColour_ = Colour(param::kLoaderTextColour, kValueCapacity, "empty: black text");
    } else {
        NotRead(param::kLoaderPos, "no loader window");
        NotRead(param::kLoaderTextColour, "no loader window");
    }

    if (!Image(param::kSkin, "error box, the shell ends", &skin_)) StopWithParameterError();

    std::int32_t start[4];
    haveStart_ = Numbers(param::kStartPos, "window centred", start, kPosition);
    startX_ = start[0];
    startY_ = start[1];
    Text(param::kTitle, "no title", nullptr);

    std::int32_t rect[4];
    haveBrowser_ = Numbers(param::kBrowserRect, "error box, the shell ends", rect, kRectangle);
    if (!haveBrowser_) StopWithParameterError();
    browser_ = check::Rect{rect[0], rect[1], rect[2], rect[3]};
    Flag(param::kShowIeMenu, "false: no page context menu");
    std::string startPage;
    if (Text(param::kNavigateTo, "no start page", &startPage) && !IsWebAddress(startPage.c_str()))
        Warn("give an http:// or https:// URL", "%s: not a web address: the shell opens a blank page", param::kNavigateTo);
    std::int32_t statusRect[4];
    Numbers(param::kStatusRect, "status line at 0,0 with no size", statusRect, kStatusRectangle);
    status_ = check::Rect{statusRect[0], statusRect[1], statusRect[2], statusRect[3]};
    Colour(param::kStatusColour, kColourCapacity, "colour FFFFFF (the default)");

    for (const ButtonSpec& row : kButtonSpecs) {
        std::int32_t pos[4];
        if (!Numbers(row.position, "button not created", pos, kPosition)) {
            NotRead(row.pressed, "no position");
            NotRead(row.hot, "no position");
            NotRead(row.normal, "no position");
            ReportLine("BUTTON %s not created: no position", row.label);
            continue;
        }
        LoadedImage pressed, hot, normal;
        const bool havePressed = Image(row.pressed, "button not created", &pressed) != nullptr;
        const bool haveHot = Image(row.hot, "button not created", &hot) != nullptr;
        const bool haveNormal = Image(row.normal, "button not created", &normal) != nullptr;
        if (!havePressed || !haveHot || !haveNormal) {
            ReportLine("BUTTON %s not created: an image did not load", row.label);
            continue;
        }
        if (pos[0] == 0 && pos[1] == 0) {
            ReportLine("BUTTON %s not created: position 0,0", row.label);
            continue;
        }
        ReportLine("BUTTON %s created x=%d y=%d size=%dx%d", row.label, pos[0], pos[1], normal.width, normal.height);
        const std::string sameSize =
            "make it " + std::to_string(normal.width) + "x" + std::to_string(normal.height) + " like " + row.normal;
        auto sizeNote = [&](const char* name, const LoadedImage& image) {
            if (image.width > normal.width || image.height > normal.height)
                Warn(sameSize, "%s: %dx%d is larger than the %dx%d normal image: drawn cut", name, image.width,
                     image.height, normal.width, normal.height);
            else if (image.width < normal.width || image.height < normal.height)
                Warn(sameSize, "%s: %dx%d is smaller than the %dx%d normal image: the rest keeps the last picture",
                     name, image.width, image.height, normal.width, normal.height);
        };
        sizeNote(row.hot, hot);
        sizeNote(row.pressed, pressed);
        BuiltButton built;
        built.label = row.label;
        built.rect = check::Rect{pos[0], pos[1], normal.width, normal.height};
        built.normal = ReadPixels(normal.bitmap.get(), normal.width, normal.height);
        buttons_.push_back(std::move(built));
    }

    Flag(param::kTopMost, "false: not top-most");

    Budget();
    Geometry();
    Preview();

    if (verdict_ == kStarts) ReportLine("VERDICT 0 shell would start");
    else ReportLine("VERDICT 1 %s", verdictText_.c_str());
    return verdict_;
}

namespace {

DWORD WINAPI Watchdog(LPVOID param) {
    const int seconds = static_cast<int>(reinterpret_cast<INT_PTR>(param));
    // In steps, so that no count of seconds can wrap into a short wait.
    for (int left = seconds; left > 0; left -= 1000) Sleep(static_cast<DWORD>(left < 1000 ? left : 1000) * 1000);
    ReportFinalLineAndExit("VERDICT 1 check stopped after " + std::to_string(seconds) +
                               " s: the server has not finished answering; the shell gives up on a download after " +
                               std::to_string(kFetchLimits.deadlineMs / 1000) + " s",
                           kDoesNotStart);
}

int Usage(const std::string& problem) {
    if (!problem.empty()) std::fprintf(stderr, "korvane-check: %s\n", problem.c_str());
    std::fputs("usage: korvane-check [--preview FILE.bmp] [--timeout SECONDS] [URL]\n"
               "Checks the parameter document at URL (the shell's built-in URL when none is given).\n",
               stderr);
    return kUsage;
}

// What was wrong with an option the checker does not take.
std::string OptionProblem(const std::string& arg) {
    const std::string nearest = check::NearestName(arg, {"--preview", "--timeout", "--help"});
    if (nearest == arg) return arg + " needs a value after it";
    return "unknown option " + arg + (nearest.empty() ? "" : " (did you mean " + nearest + "?)");
}

}  // namespace

int main(int argc, char** argv) {
    ReportInit();
    Options options;
    std::vector<char*> positional = {argv[0]};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--preview" && i + 1 < argc) {
            options.preview = argv[++i];
        } else if (arg == "--timeout" && i + 1 < argc) {
            char* end = nullptr;
            const long seconds = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || seconds <= 0 || seconds > INT_MAX)
                return Usage("--timeout takes a whole number of seconds above 0");
            options.timeoutSeconds = static_cast<int>(seconds);
        } else if (arg == "--help" || arg == "-h") {
            return Usage("");
        } else if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
            return Usage(OptionProblem(arg));
        } else {
            positional.push_back(argv[i]);
        }
    }
    if (positional.size() > 2) return Usage("one URL at most");
    char url[kDocumentUrlCapacity];
    if (!ChooseDocumentUrl(static_cast<int>(positional.size()), positional.data(), url, sizeof url)) {
        ReportLine("CHECK url=%s", Quoted(positional[1]).c_str());
        ReportLine("VERDICT 1 the URL is longer than %d characters: the shell ends without a window",
                   kDocumentUrlCapacity - 1);
        return kDoesNotStart;
    }
    options.url = url;

    HANDLE watchdog = CreateThread(nullptr, 0, Watchdog,
                                   reinterpret_cast<LPVOID>(static_cast<INT_PTR>(options.timeoutSeconds)), 0, nullptr);
    if (watchdog) CloseHandle(watchdog);

    try {
        Checker* checker = new Checker(options);
        const int code = checker->Run();
        // The process ends here; the check's objects go with it, in any order.
        std::fflush(stdout);
        ExitProcess(static_cast<UINT>(code));
    } catch (const std::bad_alloc&) {
        ReportLine("VERDICT 1 the checker ran out of memory");
        return kDoesNotStart;
    }
}
