// The whole program against the test server: a document, its images and an
// argument in, a report out, a line for each thing a user or server can see.
#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "support/site.h"

using Params = std::vector<std::pair<std::string, std::string>>;

struct Scenario {
    std::string name;
    // The document's parameters; IMAGES_PATH is added unless given. Every
    // image named KIND-WxH.bmp or .gif is made (see ImageFile).
    Params doc;
    std::vector<std::string> expect;  // lines the report must hold
    std::vector<std::string> args = {"{doc}"};
    Params replies;    // a file's sidecar: how the server sends it
    std::string raw;   // the document's text itself, instead of doc
    bool quick = false;  // the shell built with the tests' short fetch limits
    // Once the main window shows: keys as xdotool names them ("alt+Left"),
    // or "press NAME", a button's default action as a screen reader does it.
    std::vector<std::string> input;
    int dpi = 0;  // Wine's DPI for the shell; 0 leaves the session's (96)
};

// A button's position and its three images (KIND-click, KIND-hot and KIND,
// 20x16, KIND the label in lower case), the hot one left out if asked.
Params Button(const std::string& label, const std::string& position, bool withHot = true);
Params operator+(Params a, const Params& b);

// The report, one line each (absent parts as "-"): exit N | exit timeout;
// box TEXT (its lines joined by " | "), box-order ok | under-splash; main
// X,Y WxH topmost|normal "TITLE"; region as-skin (at the row's DPI) |
// differs | none; child
// CLASS X,Y WxH "NAME" role N ACTION (the main window's children, in its
// coordinates, as a screen reader hears them); focus CLASS (of the window
// with the keyboard); closed-by button|system|input; control GoBack ... keys
// (the real control's calls, a run of keys offered as one); loader X,Y WxH
// topmost|normal; order splash-then-main | both-at-once; progress TEXT|...;
// requests /PATH ... (sorted) and page-requests /page/... (the start page, whenever
// the control gets to it);
// first-request LINE | HEADER | ...; opened TEXT (what reached the system's
// "open" verb); memory under 256 MB | N MB; calls NAME ARGS|... (Wine's traces
// of CoInternetSetFeatureEnabled, create_webbrowser, WebBrowser_Navigate). In documents, arguments and
// expected lines {site} stands for the site folder's URL, {img} for its
// image folder's, {https} for the folder on https://skins.test and {exe} for
// the shell's path. In expected lines '*' matches any text, and a line
// starting with '!' must match none.
std::vector<std::string> RunScenario(const Scenario& s);
// Puts the document and images on the server; the arguments go to args.
Site PrepareSite(const Scenario& s, std::vector<std::string>* args);
void PrintTo(const Scenario& s, std::ostream* out);
// The scenario's name as a test's name.
std::string RowName(const Scenario& s);
// The expected lines that the report does not bear out, each with the report.
std::string Unmet(const Scenario& s, const std::vector<std::string>& report);
