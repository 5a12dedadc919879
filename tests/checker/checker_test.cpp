// The skin checker against documents on the test server, one row per case:
// the document in, its exit code and the lines it must print out.
#include <gtest/gtest.h>

#include <sstream>

#include "support/scenario.h"
#include "support/shell.h"

namespace {

// The checker's output lines and, last, "exit N".
std::vector<std::string> RunCheck(const Scenario& s) {
    std::vector<std::string> args, lines;
    PrepareSite(s, &args);
    ShellProcess checker(CheckerExe(), args);
    DWORD code = 0;
    if (!checker.waitForExit(60000, &code)) return {"exit timeout"};
    std::istringstream out(checker.output());
    for (std::string line; std::getline(out, line);) lines.push_back(line.substr(0, line.find_last_not_of('\r') + 1));
    lines.push_back("exit " + std::to_string(code));
    return lines;
}

const Params kWorking = {{"SKIN", "skin-301x201.bmp"},
                         {"APP_BROWSER_RECT", "10,30,281,120"},
                         {"APP_STATUS_RECT", "120,175,150,20"},
                         {"APP_LOADER_IMAGE", "loader-300x200.gif"},
                         {"BUTTON_CLOSE_POS", "270,5"},
                         {"BUTTON_CLOSE_CLICK", "c-20x16.bmp"},
                         {"BUTTON_CLOSE_HOT", "h-20x16.bmp"},
                         {"BUTTON_CLOSE_NORMAL", "n-20x16.bmp"}};

Params With(Params p, const Params& changes) {
    for (const auto& c : changes) {
        auto at = std::find_if(p.begin(), p.end(), [&](const auto& q) { return q.first == c.first; });
        if (at == p.end()) p.push_back(c);
        else if (c.second == "-") p.erase(at);
        else at->second = c.second;
    }
    return p;
}

const Scenario kChecks[] = {
    {"a working skin",
     kWorking,
     {"exit 0", "VERDICT 0 shell would start", "DOCUMENT url={site}doc.xml status=200 *",
      "IMAGE SKIN url={img}skin-301x201.bmp status=200 bytes=181758 decoded=yes size=301x201 ms=*",
      "IMAGE APP_LOADER_IMAGE url={img}loader-300x200.gif status=200 bytes=* decoded=yes size=300x200 ms=*",
      "BUTTON CLOSE created x=270 y=5 size=20x16", "GEOMETRY WINDOW x=362 y=284 size=301x201 centred",
      "GEOMETRY SKIN size=301x201 key=FF00FF cut=7826", "PARAM APP_STATUS_COLOR missing -> colour FFFFFF (the default)",
      "WARN BROWSER: 7825 pixels lie over cut-away pixels", "!WARN STATUS*", "!WARN BUTTON*"}},
    {"a missing skin stops the shell",
     With(kWorking, {{"SKIN", "-"}}),
     {"exit 1",
      "VERDICT 1 error box: Error: Could not get parameter from remote server | Server: {site}doc.xml | Parameter: SKIN"}},
    {"a page that is no document", {}, {"exit 2", "VERDICT 2 not a parameter document (no <korvane> tag): *"}, {"{doc}"},
     {}, "<html>a page</html>"},
    {"a missing document", {}, {"exit 2", "VERDICT 2 not a parameter document (the server answered 404): *"},
     {"{site}nothing.xml"}},
    {"common mistakes are warned about",
     With(kWorking, {{"APP_START_POS", "50"}, {"APP_STATUS_COLOR", "#00FF00"}, {"APP_TOP_MOST", "yes"},
                     {"BUTTON_CLOSE_NORMAL", "missing.bmp"}}),
     {"exit 0", "WARN APP_START_POS: a single number where two are needed: read as missing",
      "WARN APP_STATUS_COLOR: \"#00FF00\" is not six hexadecimal digits: read as 000000",
      "WARN APP_TOP_MOST: \"yes\" has no \"true\": read as false",
      "WARN BUTTON_CLOSE_NORMAL: not loaded: the server answered 404, the shell takes only 200 -> button not created",
      "BUTTON CLOSE not created: an image did not load"}},
    {"a server that never finishes", kWorking, {"exit 1", "VERDICT 1 check stopped after 2 s: *"},
     {"--timeout", "2", "{doc}"}, {{"img/skin-301x201.bmp", R"({"trickle": [1000, 1000]})"}}},
    {"a preview is drawn", kWorking, {"exit 0", "PREVIEW file=preview.bmp size=301x201"},
     {"--preview", "preview.bmp", "{doc}"}},
    {"a mistyped option", kWorking, {"exit 3"}, {"--previw", "x.bmp", "{doc}"}},
};

class Checks : public ::testing::TestWithParam<Scenario> {};

TEST_P(Checks, VerdictAndLines) { EXPECT_EQ(Unmet(GetParam(), RunCheck(GetParam())), ""); }

INSTANTIATE_TEST_SUITE_P(Checker, Checks, ::testing::ValuesIn(kChecks), [](const auto& info) {
    std::string name;
    for (char c : info.param.name) name += isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
});

}  // namespace
