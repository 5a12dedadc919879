// The skin checker against documents on the test server, one row per case:
// the document in, its exit code and the lines it must print out.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <sstream>

#include "common/handles.h"
#include "support/images.h"
#include "support/scenario.h"
#include "support/shell.h"

namespace {

using namespace std::string_literals;

std::string Hex(COLORREF c) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

// The checker's output lines, "pixel X,Y RRGGBB" for each pixel of
// preview.bmp that the row asks about, and, last, "exit N".
std::vector<std::string> RunCheck(const Scenario& s) {
    std::vector<std::string> args, lines;
    PrepareSite(s, &args);
    DeleteFileA("preview.bmp");
    ShellProcess checker(CheckerExe(), args);
    DWORD code = 0;
    if (!checker.waitForExit(60000, &code)) return {"exit timeout"};
    std::istringstream out(checker.output());
    for (std::string line; std::getline(out, line);) lines.push_back(line.substr(0, line.find_last_not_of('\r') + 1));
    UniqueBitmap preview(Decoded(ReadFileBytes("preview.bmp")));
    UniqueDC dc(CreateCompatibleDC(nullptr));
    SelectedObject selected(dc.get(), preview.get());
    for (const std::string& want : s.expect) {
        int x = 0, y = 0;
        if (preview && std::sscanf(want.c_str(), "pixel %d,%d", &x, &y) == 2)
            lines.push_back("pixel " + std::to_string(x) + "," + std::to_string(y) + " " + Hex(GetPixel(dc.get(), x, y)));
    }
    lines.push_back("exit " + std::to_string(code));
    return lines;
}

// A picture's colour as a pixel line gives it.
std::string Colour(const std::string& kind) {
    const std::uint32_t rgb = KindColour(kind);
    return Hex(RGB(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF));
}

const Params kWorking = {{"SKIN", "skin-301x201.bmp"},      {"APP_BROWSER_RECT", "10,30,281,120"},
                         {"APP_STATUS_RECT", "120,175,150,20"}, {"APP_LOADER_IMAGE", "loader-300x200.gif"},
                         {"BUTTON_CLOSE_POS", "270,5"},         {"BUTTON_CLOSE_CLICK", "c-20x16.bmp"},
                         {"BUTTON_CLOSE_HOT", "h-20x16.bmp"},   {"BUTTON_CLOSE_NORMAL", "n-20x16.bmp"}};

Params With(Params p, const Params& changes) {
    for (const auto& c : changes) {
        auto at = std::find_if(p.begin(), p.end(), [&](const auto& q) { return q.first == c.first; });
        if (at == p.end()) p.push_back(c);
        else if (c.second == "-") p.erase(at);
        else at->second = c.second;
    }
    return p;
}

// The demo skin's own parameters; its pictures come from demo/skin.
Params Demo() {
    const std::string doc =
        ReadFileBytes(WindowsPath(std::string(std::getenv("KORVANE_SOURCE_DIR")) + "/demo/skin/korvane.xml"));
    const std::string content = doc.substr(doc.find("<korvane>"));
    static const std::regex kParam("<(\\w+)>([^<]*)</\\1>");
    Params p;
    for (std::sregex_iterator m(content.begin(), content.end(), kParam), end; m != end; ++m)
        if ((*m)[1] != "IMAGES_PATH") p.push_back({(*m)[1], (*m)[2]});
    return p;
}

// Each mistake a skin author makes, with the WARN line that names it and the
// fix it hints at, after "; ".
const Scenario kChecks[] = {
    {"a working skin",
     kWorking,
     {"exit 0", "VERDICT 0 shell would start", "DOCUMENT url={site}doc.xml status=200 *",
      "IMAGE SKIN url={img}skin-301x201.bmp status=200 bytes=181758 format=BMP-24 decoded=yes size=301x201 ms=*",
      "IMAGE APP_LOADER_IMAGE url={img}loader-300x200.gif status=200 bytes=* format=GIF decoded=yes size=300x200 ms=*",
      "BUTTON CLOSE created x=270 y=5 size=20x16", "GEOMETRY WINDOW x=362 y=284 size=301x201 centred",
      "GEOMETRY SKIN size=301x201 key=FF00FF cut=7826", "PARAM APP_STATUS_COLOR missing -> colour FFFFFF (the default)",
      "WARN BROWSER: 7825 pixels lie over cut-away pixels: *; move it onto the skin's visible part",
      "WARN SKIN: 178 KiB as BMP but 1 KiB as GIF *: the shell would pause 220 ms less *; save it as GIF",
      // No pause after a file's last chunk; the pictures over six connections at once.
      "BUDGET DOCUMENT bytes=* chunks=1 pause=0ms", "BUDGET SKIN bytes=181758 chunks=45 pause=220ms",
      "BUDGET TOTAL bytes=* chunks=50 pause=220ms", "BUDGET SPLASH round-trips=3 pause=0ms",
      "BUDGET MAIN round-trips=4 pause=220ms", "!WARN STATUS*",
      "!WARN BUTTON*", "!WARN LOADER*", "!WARN <*", "!WARN SKIN: * outline *"}},
    {"a document without a length is read to its end", kWorking,
     {"exit 0", "VERDICT 0 shell would start", "BUDGET DOCUMENT bytes=* chunks=1 pause=5ms"}, {"{doc}"},
     {{"doc.xml", R"({"close": true})"}}},
    {"the demo skin", Demo(),
     {"exit 0", "VERDICT 0 shell would start", "BUTTON REFRESH created *", "IMAGE BUTTON_HOME_HOT * format=BMP-8-RLE *",
      "!WARN*"}},
    {"a missing skin stops the shell",
     With(kWorking, {{"SKIN", "-"}}),
     {"exit 1",
      "VERDICT 1 error box: Error: Could not get parameter from remote server | Server: {site}doc.xml | Parameter: SKIN"}},
    {"a UTF-16 document", {},
     {"exit 2", "VERDICT 2 not a parameter document (the document is UTF-16, Notepad's \"Unicode\", *; save it as "
                "ANSI or UTF-8): *"},
     {"{doc}"}, {}, "\xFF\xFE<\0k\0o\0r\0v\0a\0n\0e\0>\0"s},
    {"a UTF-16 document without a byte-order mark", {}, {"exit 2", "VERDICT 2 * (the document is UTF-16, *"},
     {"{doc}"}, {}, "<\0k\0o\0r\0v\0a\0n\0e\0>\0"s},
    {"a page that is no document", {}, {"exit 2", "VERDICT 2 not a parameter document (no <korvane> tag): *"}, {"{doc}"},
     {}, "<html>a page</html>"},
    {"a missing document", {}, {"exit 2", "VERDICT 2 not a parameter document (the server answered 404): *"},
     {"{site}nothing.xml"}},
    {"an unreachable server", {}, {"exit 2", "VERDICT 2 * (could not connect to 127.0.0.1:9 (error 12029)): *"},
     {"http://127.0.0.1:9/doc.xml"}},
    {"common mistakes are warned about",
     With(kWorking, {{"APP_START_POS", "50 20"}, {"APP_STATUS_COLOR", "#00FF00"}, {"APP_TOP_MOST", "yes"},
                     {"BUTTON_CLOSE_NORMAL", "missing.bmp"}, {"APP_NAVIGATE_TO", "javascript:alert(1)"}}),
     {"exit 0", "WARN APP_START_POS: a single number where two are needed: * separate the numbers with a comma",
      "WARN APP_STATUS_COLOR: \"#00FF00\" is not six hexadecimal digits: read as 000000; remove the #",
      "WARN APP_TOP_MOST: \"yes\" has no \"true\": read as false; write true",
      "WARN BUTTON_CLOSE_NORMAL: not loaded: the server answered 404, * -> button not created; put the file at *",
      "BUTTON CLOSE not created: an image did not load",
      "WARN APP_NAVIGATE_TO: not a web address: the shell opens a blank page; give an http:// or https:// URL"}},
    {"misspelled and repeated tags",
     With(kWorking, {{"APP_BROWSER_RECT", "-"}, {"APP_BROWSR_RECT", "1,1,9,9"}, {"SKIN ", "x"}, {"APP_TITLE", "a"},
                     {"app_title", "b"}}),
     {"exit 1", "VERDICT 1 error box: * | Parameter: APP_BROWSER_RECT",
      "WARN <APP_BROWSR_RECT>: the shell reads no parameter of that name; did you mean APP_BROWSER_RECT?",
      "WARN <SKIN >: not read as SKIN: *; write <SKIN>", "WARN APP_TITLE: written 2 times: *; keep only the one you mean"}},
    {"a relative IMAGES_PATH", With(kWorking, {{"IMAGES_PATH", "/lantern/"}}),
     {"exit 1", "WARN IMAGES_PATH: \"/lantern/\" is not an absolute http:// or https:// URL: the shell appends each "
      "picture's name to it as written, so every picture fails; write the full URL, e.g. "
      "http://skins.example.com/lantern/",
      "IMAGE SKIN not loaded: no usable IMAGES_PATH -> error box, the shell ends", "!WARN SKIN*", "!WARN BUTTON*"}},
    {"a smoothed circle skin", With(kWorking, {{"SKIN", "smooth-301x201.bmp"}}),
     {"exit 0", "WARN SKIN: * of the * pixels along the outline blend the key colour FF00FF into the edge's colour: *; "
      "draw the edge without smoothing (convert ... +antialias), or paint the edge pixels in the skin's colour"}},
    {"a JPEG skin", With(kWorking, {{"SKIN", "skin-40x30.jpg"}}),
     {"exit 0", "IMAGE SKIN * format=JPEG decoded=yes *", "WARN SKIN: a JPEG file: *; save the skin as GIF or 24-bit BMP"}},
    {"a PNG skin stops the shell", With(kWorking, {{"SKIN", "skin-40x30.png"}}),
     {"exit 1", "IMAGE SKIN * format=PNG decoded=no *",
      "WARN SKIN: not loaded: the shell reads BMP, GIF and JPEG only, not PNG -> *; save the skin as GIF or 24-bit BMP",
      "VERDICT 1 error box: * | Image skin-40x30.png,Path: {img}skin-40x30.png"}},
    {"files that are no pictures", With(kWorking, {{"SKIN", "settings.json"}, {"APP_LOADER_IMAGE", "loader.gz"}}),
     {"exit 1", "WARN SKIN: not loaded: not a picture (it starts 7B 0A 20 20) -> *",
      "WARN APP_LOADER_IMAGE: not loaded: gzip-compressed data -> no loader window; save it as GIF or BMP"}},
    {"a transparent GIF skin", With(kWorking, {{"SKIN", "transparent-40x30.gif"}}),
     {"exit 0", "WARN SKIN: a GIF with a transparent colour: *; save it without a transparent colour"}},
    {"layout mistakes",
     With(kWorking, {{"APP_STATUS_RECT", "120,140,150,10"}, {"BUTTON_CLOSE_POS", "270,40"},
                     {"APP_LOADER_IMAGE", "loader-300x100.gif"}}),
     {"exit 0", "WARN STATUS: 10 pixels high, lower than the 14 pixels its text needs: *; make it at least 14 pixels high",
      "WARN STATUS: overlaps the browser rectangle: *; move it to y >= 150 or make the browser smaller",
      "WARN BUTTON_CLOSE: overlaps the browser rectangle: *; move it to y <= 14 or make its image smaller",
      "WARN LOADER: the progress strip is 240x10, *; make the splash picture at least 131 pixels high"}},
    {"an oversized window and overlapping buttons",
     With(kWorking, {{"SKIN", "skin-1100x300.gif"}, {"BUTTON_MIN_POS", "275,10"}, {"BUTTON_MIN_CLICK", "c-20x16.bmp"},
                     {"BUTTON_MIN_HOT", "h-20x16.bmp"}, {"BUTTON_MIN_NORMAL", "n-20x16.bmp"}}),
     {"exit 0", "WARN WINDOW: does not fit a 1024x768 screen: *; make the skin at most 1024x768",
      "WARN BUTTON_MIN: overlaps BUTTON_CLOSE: *; move it to y >= 21 or make its image smaller"}},
    {"a dotted key colour", With(kWorking, {{"SKIN", "checker-260x260.gif"}}),
     {"exit 1", "WARN SKIN: the outline would take more than 30000 rectangles: *; draw the key colour in whole areas*",
      "VERDICT 1 error box: Unable to load the skin."}},
    {"a huge splash", With(kWorking, {{"APP_LOADER_IMAGE", "huge-10000x10000.gif"}}),
     {"exit 0", "WARN APP_LOADER_IMAGE: not loaded: its header declares 10000x10000 pixels; the shell decodes no side "
                "over 16384 and no more than 16777216 pixels -> no loader window; make the picture smaller"}},
    {"an https document sends the user to plain http", With(kWorking, {{"APP_NAVIGATE_TO", "{site}page.html"}}),
     {"exit 0", "WARN IMAGES_PATH: the document comes over https but this is plain http: *; serve it over https too",
      "WARN APP_NAVIGATE_TO: the document comes over https but this is plain http: *", "!WARN APP_NAVIGATE_TO: not*"},
     {"{https}doc.xml"}},
    {"redirects without end", {}, {"exit 2", "VERDICT 2 * led nowhere, or past ten (error 12156)): *"}, {"{doc}"},
     {{"doc.xml", R"({"redirect": "{doc}"})"}}},
    {"a redirect out of https", {}, {"exit 2", "VERDICT 2 * led from https to plain http (error 12040)): *"},
     {"{https}doc.xml"}, {{"doc.xml", R"({"redirect": "{site}doc.xml"})"}}},
    {"a time-out too long to count in milliseconds", kWorking, {"exit 0", "VERDICT 0 shell would start"},
     {"--timeout", "4294968", "{doc}"}, {{"img/skin-301x201.bmp", R"({"trickle": [200000, 1000]})"}}},
    {"a server that never finishes", kWorking, {"exit 1", "VERDICT 1 check stopped after 2 s: *"},
     {"--timeout", "2", "{doc}"}, {{"img/skin-301x201.bmp", R"({"trickle": [1000, 1000]})"}}},
    // The skin's hole and the room beside the splash checkered; the outlines in red and blue; each picture in place.
    {"a preview shows the window and the splash", kWorking,
     {"exit 0", "PREVIEW file=preview.bmp size=609x201 splash=309,0", "pixel 150,108 C0C0C0", "pixel 303,96 C0C0C0",
      "pixel 5,100 2850C8", "pixel 10,30 FF0000", "pixel 269,194 0000FF", "pixel 338,179 0000FF",
      "pixel 275,10 " + Colour("n"), "pixel 459,100 " + Colour("loader")},
     {"--preview", "preview.bmp", "{doc}"}},
    // The shell's own scaling: edges rounded, pictures and the outline at 1.5 times.
    {"the geometry and the preview at 144 DPI", kWorking,
     {"exit 0", "GEOMETRY WINDOW x=286 y=233 size=452x302 centred", "GEOMETRY LOADER x=287 y=234 size=450x300 strip=45,270,360x30",
      "GEOMETRY SKIN size=452x302 key=FF00FF cut=*", "GEOMETRY BROWSER x=15 y=45 size=422x180 *",
      "GEOMETRY BUTTON_CLOSE x=405 y=8 size=30x24 *", "PREVIEW file=preview.bmp size=910x302 splash=460,0"},
     {"--dpi", "144", "--preview", "preview.bmp", "{doc}"}},
    {"a mistyped option", kWorking, {"exit 3", "korvane-check: unknown option --previw (did you mean --preview?)"},
     {"--previw", "x.bmp", "{doc}"}},
};

class Checks : public ::testing::TestWithParam<Scenario> {};

TEST_P(Checks, VerdictAndLines) { EXPECT_EQ(Unmet(GetParam(), RunCheck(GetParam())), ""); }

INSTANTIATE_TEST_SUITE_P(Checker, Checks, ::testing::ValuesIn(kChecks), [](const auto& info) { return RowName(info.param); });

}  // namespace
