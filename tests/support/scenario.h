// The whole program against documents and images on the test server, seen
// from outside: one scenario is a document, its images and an argument in,
// and a report out, one line per thing a user or the server can see.
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
};

// The report lines:
//   exit N | exit crashed | exit timeout
//   box TEXT (its lines joined by " | ") | box -
//   box-order ok | box-order under-splash     (only when a box showed)
//   main X,Y WxH topmost|normal "TITLE" | main -
//   region as-skin | region differs ... | region none
//   child CLASS X,Y WxH    (each child window of the main window)
//   closed-by button|system     (the close button, or the system's command)
//   loader X,Y WxH topmost|normal | loader -   (when it showed)
//   order splash-then-main | order both-at-once   (when both showed)
//   progress TEXT|TEXT|...
//   requests /PATH /PATH ...     (the site folder left out)
//   page-requests /page/...      (the start page, kept in /page/)
//   first-request GET /PATH HTTP/1.1 | HEADER | ...
//   opened TEXT | opened -       (what reached the system's "open" verb)
//   memory under 256 MB | memory N MB
// In documents, arguments and expected lines {site} stands for the site
// folder's URL, {img} for its image folder's, {https} for the folder's URL on
// https://skins.test and {exe} for the shell's own path; '*' matches any text
// in an expected line, and one starting with '!' must match no line.
std::vector<std::string> RunScenario(const Scenario& s);
// Puts the scenario's document and images on the test server; the program's
// arguments go to args.
Site PrepareSite(const Scenario& s, std::vector<std::string>* args);
void PrintTo(const Scenario& s, std::ostream* out);
// The expected lines that the report does not bear out, each with the report.
std::string Unmet(const Scenario& s, const std::vector<std::string>& report);
