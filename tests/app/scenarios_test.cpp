// The whole shell against the test server, one row per scenario: the
// document and images in, what the user and the server see out.
#include <gtest/gtest.h>

#include "support/scenario.h"

namespace {

const Params kBasic = {{"SKIN", "skin-120x90.bmp"}, {"APP_BROWSER_RECT", "0,0,10,10"}};

const Params kFull = Params{{"APP_TITLE", "Korvane Test Shell"}, {"SKIN", "skin-301x201.bmp"},
                            {"APP_LOADER_IMAGE", "loader-301x201.bmp"}, {"APP_LOADER_POS", "0,0"},
                            {"APP_LOADER_TEXT_COLOR", "FFFFFF"}, {"APP_TOP_MOST", "yes"},
                            {"APP_BROWSER_RECT", "10,30,281,120"}, {"APP_NAVIGATE_TO", "{site}page/start.html"},
                            {"APP_STATUS_RECT", "120,175,150,20"}, {"APP_STATUS_COLOR", "00FF00"}} +
                     Button("CLOSE", "270,5") + Button("MIN", "245,5") + Button("BACK", "10,175") +
                     Button("FORWARD", "35,175") + Button("HOME", "60,175") + Button("REFRESH", "85,175");

const std::string kParameterError = "box Error: Could not get parameter from remote server | Server: {site}doc.xml | ";

std::string Images(const std::string& kind) {
    return "/img/" + kind + "-20x16.bmp /img/" + kind + "-click-20x16.bmp /img/" + kind + "-hot-20x16.bmp";
}

std::string Got(const std::string& file) { return "Image " + file + ",Path: {img}" + file; }

const std::string kFullProgress =
    "progress Loader Initialized|Loading Main Skin Image|Got: " + Got("skin-301x201.bmp") +
    "|Loading Application Startup Position|Creating Korvane Window|Getting Internet Explorer Control Position"
    "|Getting Internet Explorer InfoWin Position|Getting Close Button Images|Loading " + Got("close-20x16.bmp") +
    "|Getting Minimizee Button Images|Loaded " + Got("min-20x16.bmp") + "|Getting Browser GoBack Button Images"
    "|Loaded " + Got("back-20x16.bmp") + "|Getting Browser GoForward Button Images|Loaded " +
    Got("forward-20x16.bmp") + "|Getting Browser GoHome Button Images|Loaded " + Got("home-20x16.bmp") +
    "|Getting Browser Refresh Button Images|Loaded " + Got("refresh-20x16.bmp") +
    "|Done Loading|Getting Top Most Parameter";

// Nothing fetched, nothing opened, no window, no box.
const std::vector<std::string> kRefused = {"exit 0", "box -", "main -", "opened -", "requests -"};
// A document that could not be had: it goes to the browser.
const std::vector<std::string> kToBrowser = {"exit 0", "box -", "main -", "opened {doc}"};

// Each protection switched on for the whole process, before the control is made.
std::string Protected(std::string calls = "calls ") {
    for (int f : {1, 2, 3, 4, 5, 7, 8, 10, 11, 12, 14, 15, 16, 17, 21})
        calls += "CoInternetSetFeatureEnabled (" + std::to_string(f) + ", 00000002, 1)|";
    return calls + "create_webbrowser *";
}

// A start page not on the web: a blank page, and the shell as ever.
const std::vector<std::string> kBlankStart = {"exit 1", "main 452,339 120x90 normal \"\"",
                                              "calls *|WebBrowser_Navigate *(L\"about:blank\" *"};

const Scenario kScenarios[] = {
    {"full document",
     kFull,
     {"exit 1", "box -", "closed-by button", "main 362,284 301x201 normal \"Korvane Test Shell\"", "region as-skin",
      "loader 362,284 301x201 topmost", "order splash-then-main", "child CINFOWIN 120,175 150x20 \"*\" role 41 -",
      // Named by their function, whatever the pictures show.
      "child CBITBUTTON 270,5 20x16 \"Close\" role 43 Press", "child CBITBUTTON 245,5 20x16 \"Minimise\" role 43 Press",
      "child CBITBUTTON 10,175 20x16 \"Back\" role 43 Press", "child CBITBUTTON 35,175 20x16 \"Forward\" role 43 Press",
      "child CBITBUTTON 60,175 20x16 \"Home\" role 43 Press", "child CBITBUTTON 85,175 20x16 \"Refresh\" role 43 Press",
      kFullProgress,
      "requests /doc.xml " + Images("back") + " " + Images("close") + " " + Images("forward") + " " + Images("home") +
          " /img/loader-301x201.bmp " + Images("min") + " " + Images("refresh") + " /img/skin-301x201.bmp",
      "first-request GET /doc.xml HTTP/1.1 | Host: * | User-Agent: Mozzila/5.0 (compatible; Korvane; Windows NT 5.0) "
      "| Pragma: no-cache",
      "opened -", "memory under 256 MB", Protected() + "|WebBrowser_Navigate *(L\"{site}page/start.html\" *"}},
    // Every picture is asked for at once, six at a time, and still taken at its own step.
    {"a slow picture is waited for at its step", kFull,
     {"exit 1", kFullProgress, "most-at-once 6", "last-done /img/close-click-20x16.bmp"}, {"{doc}"},
     {{"", R"({"rtt": 200})"}, {"img/close-click-20x16.bmp", R"({"delay": 1500})"}}},
    {"a failed skin amid downloads that never end", kFull,
     {"exit 0", kParameterError + Got("skin-301x201.bmp"), "ended within 1 s of the box",
      "progress Loader Initialized|Loading Main Skin Image"},
     {"{doc}"},
     {{"img/skin-301x201.bmp", R"({"status": 404})"}, {"img/close-click-20x16.bmp", R"({"silent": true})"},
      {"img/close-hot-20x16.bmp", R"({"silent": true})"}}},
    // The keyboard in the page from the start; shortcuts with or without their buttons; Backspace is not Back.
    {"keys and a screen reader reach the control",
     Params{{"SKIN", "skin-301x201.bmp"}, {"APP_BROWSER_RECT", "10,30,281,120"}} + Button("REFRESH", "85,175"),
     {"exit 1", "focus Shell Embedding", "closed-by input",
      "control keys GoBack keys GoForward keys GoHome keys Refresh keys Refresh keys Stop keys Refresh keys"}, {"{doc}"},
     {}, "", false, {"BackSpace", "alt+Left", "alt+Right", "alt+Home", "F5", "ctrl+r", "Escape", "press Refresh", "alt+F4"}},
    {"start position top-most no loader",
     {{"SKIN", "skin-120x90.bmp"}, {"APP_START_POS", "0,0"}, {"APP_TOP_MOST", "it is TRUE"},
      {"APP_BROWSER_RECT", "0,0,10,10"}},
     {"exit 1", "main 0,0 120x90 topmost \"\"", "loader -", "progress -", "requests /doc.xml /img/skin-120x90.bmp",
      "!child CBITBUTTON*", "closed-by system"},
     {"{doc}", "{site}ignored.xml"}},
    {"wide skin centred and incomplete buttons left out",
     Params{{"SKIN", "skin-1101x61.bmp"}, {"APP_LOADER_IMAGE", "loader-301x201.bmp"}, {"APP_LOADER_POS", "10,300"},
            {"APP_START_POS", "50"}, {"APP_BROWSER_RECT", "0,0,100,40"}} +
         Button("CLOSE", "0,0") + Button("REFRESH", "5,5", false),
     {"exit 1", "main -38,354 1101x61 normal \"\"", "loader 300,10 301x201 topmost", "!child CBITBUTTON*",
      "requests /doc.xml " + Images("close") +
          " /img/loader-301x201.bmp /img/refresh-20x16.bmp /img/refresh-click-20x16.bmp /img/skin-1101x61.bmp",
      "progress *|Getting Browser Refresh Button Images|Done Loading|Getting Top Most Parameter", "!progress *Loading Image*",
      "!progress *Loaded Image*"}},
    {"missing skin",
     {{"APP_LOADER_IMAGE", "loader-200x100.bmp"}, {"APP_BROWSER_RECT", "0,0,10,10"}},
     {"exit 0", kParameterError + "Parameter: SKIN", "box-order ok", "main -",
      "progress Loader Initialized|Loading Main Skin Image"}},
    {"missing browser rectangle",
     Params{{"SKIN", "skin-120x90.bmp"}, {"APP_LOADER_IMAGE", "loader-200x100.bmp"}} + Button("CLOSE", "5,5"),
     {"exit 1", kParameterError + "Parameter: APP_BROWSER_RECT", "box-order ok",
      "requests /doc.xml /img/loader-200x100.bmp /img/skin-120x90.bmp",
      "progress *|Getting Internet Explorer Control Position|Getting Top Most Parameter"}},
    {"missing images folder", {}, {"exit 0", kParameterError + "Parameter: IMAGES_PATH", "main -"}, {"{doc}"}, {},
     "<korvane><SKIN>skin-120x90.bmp</SKIN><APP_BROWSER_RECT>0,0,9,9</APP_BROWSER_RECT></korvane>"},
    {"a page that is no document goes to the browser",
     {},
     {"exit 0", "box -", "main -", "opened {site}doc.xml", "requests /doc.xml", "progress -"},
     {"{doc}"},
     {},
     "<html><body>Just a page</body></html>"},
    {"an argument too long for the shell is refused", kBasic, kRefused, {"{site}" + std::string(1024, 'p')}},
    // Arguments come from links and shortcuts: only a web address is handed on.
    {"a program as the argument is not run", kBasic, kRefused, {"{exe}"}},
    {"a line break in the argument sends nothing", kBasic, kRefused, {"{doc}\r\nX-Injected: 1"}},
    // Servers that never finish, or lead nowhere.
    {"a trickling document", kBasic, kToBrowser, {"{doc}"}, {{"doc.xml", R"({"trickle": [1, 1000]})"}}, "", true},
    {"a server silent after its headers", kBasic, kToBrowser, {"{doc}"}, {{"doc.xml", R"({"silent": true})"}}, "",
     true},
    {"a redirect loop", kBasic,
     {"exit 0", "opened {doc}", "requests /doc.xml /doc.xml /doc.xml /doc.xml /doc.xml /doc.xml /doc.xml /doc.xml "
                                "/doc.xml /doc.xml /doc.xml"},
     {"{doc}"}, {{"doc.xml", R"({"redirect": "{doc}"})"}}},
    {"a redirect from https to http", kBasic, {"exit 0", "opened {https}doc.xml", "requests /doc.xml"},
     {"{https}doc.xml"}, {{"doc.xml", R"({"redirect": "{site}other.xml"})"}}},
    {"a cut skin", kBasic,
     {"exit 0", kParameterError + Got("skin-120x90.bmp"), "main -", "requests /doc.xml /img/skin-120x90.bmp"},
     {"{doc}"}, {{"img/skin-120x90.bmp", R"({"cut": 20000})"}}},
    {"a trickling splash is left behind",
     {{"SKIN", "skin-120x90.bmp"}, {"APP_LOADER_IMAGE", "loader-200x100.bmp"}, {"APP_BROWSER_RECT", "0,0,10,10"}},
     {"exit 1", "box -", "loader -", "main 452,339 120x90 normal \"\""}, {"{doc}"},
     {{"img/loader-200x100.bmp", R"({"trickle": [100, 500]})"}}, "", true},
    // A picture that would take all the memory there is, or all the rectangles.
    {"a huge skin", {{"SKIN", "huge-10000x10000.gif"}, {"APP_BROWSER_RECT", "0,0,10,10"}},
     {"exit 0", kParameterError + Got("huge-10000x10000.gif"), "memory under 256 MB"}},
    {"a skin of scattered pixels", {{"SKIN", "checker-260x260.gif"}, {"APP_BROWSER_RECT", "0,0,10,10"}},
     {"exit 0", "box Unable to load the skin.", "main -"}, {"{doc}"}},
    {"a local file as the start page", kBasic + Params{{"APP_NAVIGATE_TO", "file:///C:/windows/win.ini"}}, kBlankStart},
    {"a share as the start page", kBasic + Params{{"APP_NAVIGATE_TO", "\\\\127.0.0.75\\share\\x.html"}}, kBlankStart},
    {"script as the start page", kBasic + Params{{"APP_NAVIGATE_TO", "javascript:alert(1)"}}, kBlankStart},
    // A skin served over https, and a server whose certificate nobody signed.
    {"a whole skin over https",
     {{"IMAGES_PATH", "{https}img/"}, {"SKIN", "skin-120x90.bmp"}, {"APP_BROWSER_RECT", "0,0,10,10"},
      {"APP_NAVIGATE_TO", "{https}page/start.html"}},
     {"exit 1", "main 452,339 120x90 normal \"\"", "region as-skin", "requests /doc.xml /img/skin-120x90.bmp",
      "page-requests /page/start.html"},
     {"{https}doc.xml"}},
    {"a certificate from an unknown authority", kBasic, {"exit 0", "main -", "opened https://rogue.test/*/doc.xml"},
     {"https://rogue.test/a-certificate-from-an-unknown-authority/doc.xml"}},
};

// At 150%: every place and picture of the document one and a half times, to
// the nearest pixel; the outline that of the skin as drawn, scaled. These set
// Wine's DPI for whatever starts meanwhile: they run alone (tests/CMakeLists.txt).
const Scenario kDpiScenarios[] = {
    {"at 144 DPI", kFull + Params{{"APP_START_POS", "10,20"}},
     {"exit 1", "main 15,30 452x302 normal \"Korvane Test Shell\"", "region as-skin", "loader 286,233 452x302 topmost",
      "child Shell Embedding 15,45 422x180 *", "child CINFOWIN 180,263 225x30 *", "child CBITBUTTON 405,8 30x24 \"Close\"*",
      "child CBITBUTTON 368,8 30x24 \"Minimise\"*", "child CBITBUTTON 15,263 30x24 \"Back\"*",
      "child CBITBUTTON 53,263 30x24 \"Forward\"*", "child CBITBUTTON 90,263 30x24 \"Home\"*",
      "child CBITBUTTON 128,263 30x24 \"Refresh\"*"},
     {"{doc}"}, {}, "", false, {}, 144},
};

class Scenarios : public ::testing::TestWithParam<Scenario> {};

TEST_P(Scenarios, AsTheUserAndTheServerSeeThem) {
    const std::vector<std::string> report = RunScenario(GetParam());
    EXPECT_EQ(Unmet(GetParam(), report), "");
}

INSTANTIATE_TEST_SUITE_P(Shell, Scenarios, ::testing::ValuesIn(kScenarios), [](const auto& info) { return RowName(info.param); });
INSTANTIATE_TEST_SUITE_P(AtDpi, Scenarios, ::testing::ValuesIn(kDpiScenarios), [](const auto& info) { return RowName(info.param); });

}  // namespace
