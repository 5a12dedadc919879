// korvane-check run as a skin author runs it: a child process against the
// scripted server, its report read from a pipe, its exit code and preview
// picture checked.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/paths.h"
#include "support/screen.h"
#include "support/test_server.h"

namespace {

struct CheckRun {
    bool finished = false;
    DWORD exitCode = 0;
    std::vector<std::string> lines;

    bool has(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
    // Lines that start with prefix.
    std::vector<std::string> starting(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const std::string& l : lines)
            if (l.compare(0, prefix.size(), prefix) == 0) out.push_back(l);
        return out;
    }
    std::string dump() const {
        std::string out;
        for (const std::string& l : lines) out += l + "\n";
        return out;
    }
};

CheckRun RunChecker(const std::vector<std::string>& args, DWORD timeoutMs = 45000) {
    CheckRun run;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return run;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    std::string commandLine = "\"" + CheckerExe() + "\"";
    for (const std::string& a : args) commandLine += " \"" + a + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    std::vector<char> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back('\0');
    const BOOL started = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        nullptr, &si, &pi);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return run;
    }
    std::string output;
    std::thread reader([&] {
        char buffer[4096];
        DWORD n = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0) output.append(buffer, n);
    });
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        run.finished = true;
        GetExitCodeProcess(pi.hProcess, &run.exitCode);
    } else {
        TerminateProcess(pi.hProcess, 99);
    }
    reader.join();
    CloseHandle(readEnd);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        run.lines.push_back(line);
    }
    return run;
}

using Colour = std::function<std::uint32_t(int x, int y)>;  // 0xRRGGBB

// A bottom-up 24-bit BMP file.
std::string MakeBmp(int width, int height, const Colour& colour) {
    return BmpFile(width, height, 24, [&](int x, int y) {
        const std::uint32_t c = colour(x, y);
        return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
    });
}

// Reads back a bottom-up 24-bit BMP file; empty on any surprise.
std::vector<std::uint32_t> ReadBmp24(const std::string& bytes, int* width, int* height) {
    auto u32 = [&](size_t at) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
    };
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return {};
    const int w = static_cast<int>(u32(18)), h = static_cast<int>(u32(22));
    const std::uint32_t offset = u32(10);
    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(w) * 3 + 3) & ~3u;
    if (w <= 0 || h <= 0 || (u32(28) & 0xFFFF) != 24 || offset + rowBytes * h > bytes.size()) return {};
    std::vector<std::uint32_t> px(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        const size_t row = offset + static_cast<size_t>(h - 1 - y) * rowBytes;
        for (int x = 0; x < w; ++x) {
            const size_t at = row + static_cast<size_t>(x) * 3;
            px[static_cast<size_t>(y) * w + x] = static_cast<unsigned char>(bytes[at]) |
                                                 static_cast<unsigned char>(bytes[at + 1]) << 8 |
                                                 static_cast<unsigned char>(bytes[at + 2]) << 16;
        }
    }
    *width = w;
    *height = h;
    return px;
}

constexpr std::uint32_t kKey = 0xFF00FF;

// The test skin: 200x120, key-coloured 10x10 squares in the top corners, a
// gradient elsewhere that never meets the key colour.
constexpr int kSkinW = 200, kSkinH = 120;
bool SkinCut(int x, int y) { return y < 10 && (x < 10 || x >= 190); }
std::uint32_t SkinColour(int x, int y) {
    if (SkinCut(x, y)) return kKey;
    return static_cast<std::uint32_t>((x * 7) & 0xFF) << 16 | static_cast<std::uint32_t>((y * 5) & 0xFF) << 8 | 0x40;
}
// A button's pictures differ by state so the preview can tell them apart.
std::uint32_t ButtonColour(int state, int index, int x, int y) {
    return static_cast<std::uint32_t>(0x30 + index * 30) << 16 | static_cast<std::uint32_t>(state * 100) << 8 |
           static_cast<std::uint32_t>((x + y) * 8 & 0xFF);
}

const char* const kLabels[] = {"CLOSE", "MIN", "BACK", "FORWARD", "HOME", "REFRESH"};

// A complete, sound skin on one server, whose parts each test may change.
struct Skin {
    std::map<std::string, std::string> params;  // name -> value, in the root element
    std::string before, after;                   // text around the root element
    std::vector<std::pair<std::string, std::string>> extra;  // raw text appended inside the root

    explicit Skin(const TestServer& server) {
        params["APP_TITLE"] = "Test Skin";
        params["IMAGES_PATH"] = server.url("/img");
        params["SKIN"] = "skin.bmp";
        params["APP_START_POS"] = "10,20";
        params["APP_TOP_MOST"] = "true";
        params["APP_LOADER_IMAGE"] = "loader.bmp";
        params["APP_LOADER_POS"] = "100,50";
        params["APP_LOADER_TEXT_COLOR"] = "FF8000";
        params["APP_BROWSER_RECT"] = "10,30,180,60";
        params["APP_SHOW_IE_MENU"] = "false";
        params["APP_NAVIGATE_TO"] = server.url("/start.html");
        params["APP_STATUS_RECT"] = "10,95,180,14";
        params["APP_STATUS_COLOR"] = "E6ECF5";
        for (int i = 0; i < 6; ++i) {
            const std::string b = std::string("BUTTON_") + kLabels[i];
            params[b + "_POS"] = std::to_string(12 + i * 20) + ",11";
            params[b + "_NORMAL"] = std::string(kLabels[i]) + "_n.bmp";
            params[b + "_HOT"] = std::string(kLabels[i]) + "_h.bmp";
            params[b + "_CLICK"] = std::string(kLabels[i]) + "_p.bmp";
        }
    }
    std::string document() const {
        std::string doc = before + "<korvane>\r\n";
        for (const auto& kv : params) doc += "  <" + kv.first + ">" + kv.second + "</" + kv.first + ">\r\n";
        for (const auto& kv : extra) doc += kv.second;
        return doc + "</korvane>" + after;
    }
};

void ServeImages(TestServer& server) {
    TestReply skin;
    skin.body = MakeBmp(kSkinW, kSkinH, SkinColour);
    server.route("/img/skin.bmp", skin);
    TestReply loader;
    loader.body = MakeBmp(160, 130, [](int x, int y) { return static_cast<std::uint32_t>(x * 3 + y); });
    server.route("/img/loader.bmp", loader);
    // Too low for the progress text.
    TestReply flat;
    flat.body = MakeBmp(80, 50, [](int x, int y) { return static_cast<std::uint32_t>(x + y); });
    server.route("/img/flat.bmp", flat);
    for (int i = 0; i < 6; ++i) {
        const char* suffix[] = {"_n.bmp", "_h.bmp", "_p.bmp"};
        for (int state = 0; state < 3; ++state) {
            TestReply r;
            r.body = MakeBmp(16, 16, [=](int x, int y) { return ButtonColour(state, i, x, y); });
            server.route("/img/" + std::string(kLabels[i]) + suffix[state], r);
        }
    }
}

std::string Serve(TestServer& server, const std::string& path, const std::string& body) {
    TestReply r;
    r.body = body;
    server.route(path, r);
    return server.url(path);
}

// The names of the PARAM lines in report order.
std::vector<std::string> ParamOrder(const CheckRun& run) {
    std::vector<std::string> names;
    for (const std::string& l : run.starting("PARAM ")) {
        const size_t end = l.find(' ', 6);
        names.push_back(l.substr(6, end - 6));
    }
    return names;
}

std::vector<std::string> ShellOrder() {
    std::vector<std::string> order = {"APP_LOADER_IMAGE", "IMAGES_PATH", "APP_LOADER_POS", "APP_LOADER_TEXT_COLOR",
                                      "SKIN", "APP_START_POS", "APP_TITLE", "APP_BROWSER_RECT",
                                      "APP_SHOW_IE_MENU", "APP_NAVIGATE_TO", "APP_STATUS_RECT", "APP_STATUS_COLOR"};
    for (const char* label : kLabels) {
        const std::string b = std::string("BUTTON_") + label;
        for (const char* end : {"_POS", "_CLICK", "_HOT", "_NORMAL"}) order.push_back(b + end);
    }
    order.push_back("APP_TOP_MOST");
    return order;
}

std::string PreviewPath(const std::string& name) { return BuildDir() + "\\checker_" + name + ".bmp"; }

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Placed {
    int x, y, index;
};

// What the preview must show, worked out from the served pictures: the skin,
// a checkerboard of 8-pixel squares (white and C0C0C0) where the key colour
// cuts the window away, each button's normal picture where the window keeps
// its pixels, then a red outline of the browser and a blue one of the status
// line.
std::vector<std::uint32_t> ExpectedPreview(const std::vector<Placed>& buttons, int bx, int by, int bw, int bh,
                                           int sx, int sy, int sw, int sh) {
    std::vector<std::uint32_t> px(static_cast<size_t>(kSkinW) * kSkinH);
    auto at = [&](int x, int y) -> std::uint32_t& { return px[static_cast<size_t>(y) * kSkinW + x]; };
    for (int y = 0; y < kSkinH; ++y)
        for (int x = 0; x < kSkinW; ++x)
            at(x, y) = SkinCut(x, y) ? (((x / 8 + y / 8) % 2) ? 0xC0C0C0u : 0xFFFFFFu) : SkinColour(x, y);
    for (const Placed& b : buttons)
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const int px2 = b.x + x, py2 = b.y + y;
                if (px2 < kSkinW && py2 < kSkinH && !SkinCut(px2, py2)) at(px2, py2) = ButtonColour(0, b.index, x, y);
            }
    auto frame = [&](int x0, int y0, int w, int h, std::uint32_t c) {
        if (w <= 0 || h <= 0) return;
        for (int x = x0; x < x0 + w; ++x) {
            if (x >= 0 && x < kSkinW) {
                if (y0 >= 0 && y0 < kSkinH) at(x, y0) = c;
                if (y0 + h - 1 >= 0 && y0 + h - 1 < kSkinH) at(x, y0 + h - 1) = c;
            }
        }
        for (int y = y0; y < y0 + h; ++y) {
            if (y >= 0 && y < kSkinH) {
                if (x0 >= 0 && x0 < kSkinW) at(x0, y) = c;
                if (x0 + w - 1 >= 0 && x0 + w - 1 < kSkinW) at(x0 + w - 1, y) = c;
            }
        }
    };
    frame(bx, by, bw, bh, 0xFF0000);
    frame(sx, sy, sw, sh, 0x0000FF);
    return px;
}

void ExpectPreview(const std::string& path, const std::vector<std::uint32_t>& expected) {
    int w = 0, h = 0;
    const std::vector<std::uint32_t> got = ReadBmp24(ReadFileBytes(path), &w, &h);
    ASSERT_EQ(w, kSkinW);
    ASSERT_EQ(h, kSkinH);
    int wrong = 0;
    std::string first;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t e = expected[static_cast<size_t>(y) * w + x], g = got[static_cast<size_t>(y) * w + x];
            if (e != g && wrong++ == 0) {
                char text[96];
                std::snprintf(text, sizeof text, "first at %d,%d: got %06X want %06X", x, y, g, e);
                first = text;
            }
        }
    EXPECT_EQ(wrong, 0) << first;
}

// A finished run with this exit code whose report holds every one of lines.
void ExpectReport(const CheckRun& run, DWORD exitCode, const std::vector<std::string>& lines) {
    ASSERT_TRUE(run.finished) << run.dump();
    EXPECT_EQ(run.exitCode, exitCode) << run.dump();
    for (const std::string& line : lines) EXPECT_TRUE(run.has(line)) << line << "\n" << run.dump();
}

TEST(Checker, SoundSkinIsReportedInTheShellsOrderWithAPreview) {
    TestServer server;
    ServeImages(server);
    Skin skin(server);
    const std::string url = Serve(server, "/skin.xml", skin.document());
    const std::string preview = PreviewPath("sound");
    DeleteFileA(preview.c_str());

    const CheckRun run = RunChecker({"--preview", preview, url});
    ASSERT_TRUE(run.finished) << run.dump();
    EXPECT_EQ(run.exitCode, 0u) << run.dump();
    EXPECT_EQ(run.lines.back(), "VERDICT 0 shell would start") << run.dump();
    EXPECT_EQ(ParamOrder(run), ShellOrder()) << run.dump();
    EXPECT_TRUE(run.starting("WARN ").empty()) << run.dump();

    EXPECT_TRUE(run.has("PARAM APP_TITLE = \"Test Skin\"")) << run.dump();
    EXPECT_TRUE(run.has("PARAM APP_BROWSER_RECT = \"10,30,180,60\" -> x=10 y=30 width=180 height=60"));
    EXPECT_TRUE(run.has("PARAM APP_START_POS = \"10,20\" -> x=10 y=20"));
    EXPECT_TRUE(run.has("PARAM APP_TOP_MOST = \"true\" -> true"));
    EXPECT_TRUE(run.has("PARAM APP_LOADER_TEXT_COLOR = \"FF8000\" -> colour FF8000"));
    const std::string skinBytes = std::to_string(MakeBmp(kSkinW, kSkinH, SkinColour).size());
    const auto skinLines = run.starting("IMAGE SKIN ");
    ASSERT_EQ(skinLines.size(), 1u);
    EXPECT_EQ(skinLines[0].rfind("IMAGE SKIN url=" + server.url("/img/skin.bmp") + " status=200 bytes=" + skinBytes +
                                     " decoded=yes size=200x120 ms=",
                                 0),
              0u)
        << skinLines[0];
    // The skin is 72054 bytes, at least 18 reads of 4096: the shell's pause
    // after each is part of the time.
    EXPECT_GE(std::stoi(skinLines[0].substr(skinLines[0].rfind("ms=") + 3)), 17 * 5);
    EXPECT_TRUE(run.has("BUTTON CLOSE created x=12 y=11 size=16x16"));
    EXPECT_TRUE(run.has("BUTTON REFRESH created x=112 y=11 size=16x16"));
    EXPECT_TRUE(run.has("GEOMETRY WINDOW x=10 y=20 size=200x120"));
    EXPECT_TRUE(run.has("GEOMETRY SKIN size=200x120 key=FF00FF cut=200"));
    EXPECT_TRUE(run.has("GEOMETRY BROWSER x=10 y=30 size=180x60 outside=0 cut=0"));
    // Loader: first number the top, second the left; strip from 90 %.
    EXPECT_TRUE(run.has("GEOMETRY LOADER x=50 y=100 size=160x130 strip=16,117,128x13")) << run.dump();
    EXPECT_TRUE(run.has("PREVIEW file=" + preview + " size=200x120"));

    std::vector<Placed> placed;
    for (int i = 0; i < 6; ++i) placed.push_back({12 + i * 20, 11, i});
    ExpectPreview(preview, ExpectedPreview(placed, 10, 30, 180, 60, 10, 95, 180, 14));
}

// Missing parameters that stop the shell: each gives exit code 1 and the
// error box the shell would show.
TEST(Checker, MissingParametersThatStopTheShellNameTheErrorBox) {
    TestServer server;
    ServeImages(server);
    struct Case {
        const char* remove;
        const char* lastLine;  // the error box's last line
    } cases[] = {
        {"SKIN", "Parameter: SKIN"},
        {"IMAGES_PATH", "Parameter: IMAGES_PATH"},
        {"APP_BROWSER_RECT", "Parameter: APP_BROWSER_RECT"},
    };
    int n = 0;
    for (const Case& c : cases) {
        Skin skin(server);
        skin.params.erase(c.remove);
        const std::string url = Serve(server, "/missing" + std::to_string(n++) + ".xml", skin.document());
        const CheckRun run = RunChecker({url});
        ASSERT_TRUE(run.finished) << c.remove;
        EXPECT_EQ(run.exitCode, 1u) << c.remove << "\n" << run.dump();
        EXPECT_EQ(run.lines.back(), std::string("VERDICT 1 error box: Error: Could not get parameter from remote "
                                                "server | Server: ") +
                                        url + " | " + c.lastLine)
            << run.dump();
        EXPECT_TRUE(run.has(std::string("PARAM ") + c.remove + " missing -> " +
                            (std::string(c.remove) == "IMAGES_PATH" ? "every image load fails"
                                                                    : "error box, the shell ends")))
            << run.dump();
    }

    // A skin file the server does not have: the box names the file and URL.
    Skin skin(server);
    skin.params["SKIN"] = "nothere.bmp";
    const std::string url = Serve(server, "/nofile.xml", skin.document());
    const CheckRun run = RunChecker({url});
    EXPECT_EQ(run.exitCode, 1u);
    const std::string imageUrl = server.url("/img/nothere.bmp");
    EXPECT_EQ(run.lines.back(), "VERDICT 1 error box: Error: Could not get parameter from remote server | Server: " +
                                    url + " | Image nothere.bmp,Path: " + imageUrl)
        << run.dump();
    EXPECT_EQ(run.starting("IMAGE SKIN ").at(0).rfind("IMAGE SKIN url=" + imageUrl + " status=404 ", 0), 0u)
        << run.dump();
}

// Missing parameters the shell lives with: each says what the shell does.
TEST(Checker, MissingOptionalParametersSayWhatTheShellDoesInstead) {
    TestServer server;
    ServeImages(server);
    Skin skin(server);
    for (const char* name : {"APP_TITLE", "APP_START_POS", "APP_LOADER_IMAGE", "APP_TOP_MOST", "APP_STATUS_COLOR",
                             "APP_STATUS_RECT", "APP_NAVIGATE_TO", "BUTTON_MIN_POS", "BUTTON_BACK_HOT"})
        skin.params.erase(name);
    skin.params["BUTTON_HOME_POS"] = "0,0";
    const CheckRun run = RunChecker({Serve(server, "/optional.xml", skin.document())});
    ExpectReport(run, 0, {
        "PARAM APP_TITLE missing -> no title",
        "PARAM APP_START_POS missing -> window centred",
        "PARAM APP_LOADER_IMAGE missing -> no loader window",
        "PARAM APP_LOADER_POS not read -> no loader window",
        "PARAM APP_LOADER_TEXT_COLOR not read -> no loader window",
        "PARAM APP_TOP_MOST missing -> false: not top-most",
        "PARAM APP_STATUS_COLOR missing -> colour FFFFFF",
        "PARAM APP_STATUS_RECT missing -> status line at 0,0 with no size",
        "PARAM APP_NAVIGATE_TO missing -> no start page",
        "PARAM BUTTON_MIN_POS missing -> button not created",
        "PARAM BUTTON_MIN_NORMAL not read -> no position",
        "BUTTON MIN not created: no position",
        "PARAM BUTTON_BACK_HOT missing -> button not created",
        "BUTTON BACK not created: an image did not load",
        "BUTTON HOME not created: position 0,0",
        "BUTTON CLOSE created x=12 y=11 size=16x16",
        // Centred on 1024x768: 512 - 100, 384 - 60.
        "GEOMETRY WINDOW x=412 y=324 size=200x120 centred",
        "VERDICT 0 shell would start",
    });
    // Without a loader image the skin is where the folder is first looked up.
    EXPECT_EQ(ParamOrder(run).at(3), "SKIN");
    EXPECT_EQ(ParamOrder(run).at(4), "IMAGES_PATH");
}

TEST(Checker, ValuesTheShellReadsOtherwiseThanMeantAreWarned) {
    TestServer server;
    ServeImages(server);
    Skin skin(server);
    skin.params["APP_START_POS"] = "100";
    skin.params["APP_TOP_MOST"] = "yes";
    skin.params["APP_SHOW_IE_MENU"] = "untrue";
    skin.params["APP_STATUS_COLOR"] = "#FF8000";
    skin.params["APP_LOADER_TEXT_COLOR"] = "FFF";
    skin.params["APP_LOADER_POS"] = "7";
    skin.params["APP_BROWSER_RECT"] = "10px,30,180,60,5";
    skin.params["APP_NAVIGATE_TO"] = std::string(1100, 'u');
    skin.extra.push_back({"", "<APP_TITLE>Second</APP_TITLE>"});
    skin.after = "<APP_TOP_MOST>true</APP_TOP_MOST><BUTTON_CLOSE_OFFSET>1</BUTTON_CLOSE_OFFSET>";
    skin.before = "<SKIN_EXTRA>x</SKIN_EXTRA>";
    const CheckRun run = RunChecker({Serve(server, "/odd.xml", skin.document())});
    ExpectReport(run, 0, {
        "PARAM APP_START_POS = \"100\" -> read as missing: window centred",
        "WARN APP_START_POS: a single number where two are needed: read as missing",
        "PARAM APP_TOP_MOST = \"yes\" -> false",
        "WARN APP_TOP_MOST: \"yes\" has no \"true\": read as false",
        "WARN APP_TOP_MOST: also written outside <korvane>: that one is ignored",
        "WARN APP_SHOW_IE_MENU: \"untrue\" contains \"true\": read as true",
        "PARAM APP_STATUS_COLOR = \"#FF8000\" -> colour 000000",
        "WARN APP_STATUS_COLOR: \"#FF8000\" is not six hexadecimal digits: read as 000000",
        "WARN APP_LOADER_TEXT_COLOR: \"FFF\" is not six hexadecimal digits: read as 000FFF",
        // One number still places the loader: it is the top.
        "PARAM APP_LOADER_POS = \"7\" -> top=7 left=0",
        "WARN APP_LOADER_POS: a single number where 2 are needed: the others are 0",
        "PARAM APP_BROWSER_RECT = \"10px,30,180,60,5\" -> x=10 y=30 width=180 height=60",
        "WARN APP_BROWSER_RECT: \"10px\" is not a plain number: read as 10",
        "WARN APP_BROWSER_RECT: 5 numbers: only the first four are used",
        "PARAM APP_NAVIGATE_TO missing -> no start page",
        "WARN APP_NAVIGATE_TO: value of 1100 characters is longer than 1023: read as missing",
        "PARAM APP_TITLE = \"Test Skin\"",
        "WARN APP_TITLE: written 2 times: the first value counts",
        "VERDICT 0 shell would start",
    });
    // Tags that only begin with a parameter's name are other tags.
    for (const std::string& l : run.starting("WARN SKIN")) ADD_FAILURE() << l;
    for (const std::string& l : run.starting("WARN BUTTON_CLOSE")) ADD_FAILURE() << l;
}

TEST(Checker, GeometryFaultsAndTheClippedPreview) {
    TestServer server;
    ServeImages(server);
    Skin skin(server);
    skin.params["APP_START_POS"] = "900,700";
    skin.params["APP_BROWSER_RECT"] = "150,30,100,60";
    skin.params["APP_STATUS_RECT"] = "10,95,0,14";
    skin.params["BUTTON_CLOSE_POS"] = "186,2";     // over the top-right cut corner
    skin.params["BUTTON_MIN_POS"] = "20,11";
    skin.params["BUTTON_BACK_POS"] = "30,11";      // overlaps min
    skin.params["BUTTON_FORWARD_POS"] = "190,110"; // mostly outside the skin
    skin.params["BUTTON_HOME_POS"] = "140,40";     // inside the browser
    skin.params["APP_LOADER_POS"] = "0,0";
    skin.params["APP_LOADER_IMAGE"] = "flat.bmp";
    const std::string preview = PreviewPath("geometry");
    DeleteFileA(preview.c_str());
    const CheckRun run = RunChecker({"--preview", preview, Serve(server, "/geometry.xml", skin.document())});
    ExpectReport(run, 0, {
        "WARN WINDOW: does not fit a 1024x768 screen",
        "GEOMETRY BROWSER x=150 y=30 size=100x60 outside=3000 cut=0",
        "WARN BROWSER: 3000 pixels lie outside the 200x120 skin",
        "WARN STATUS: has no area",
        // Columns 200 and 201 are off the skin; 190..199 by 2..9 are cut.
        "GEOMETRY BUTTON_CLOSE x=186 y=2 size=16x16 outside=32 cut=80",
        "WARN BUTTON_CLOSE: 80 pixels lie over cut-away pixels",
        "WARN BUTTON_MIN: overlaps BUTTON_BACK",
        "WARN BUTTON_FORWARD: 156 pixels lie outside the 200x120 skin",
        "WARN BUTTON_HOME: overlaps the browser rectangle",
        "GEOMETRY LOADER x=472 y=359 size=80x50 strip=8,45,64x5",
        "WARN LOADER: the progress strip is 64x5: the 12-pixel text is cut",
        "VERDICT 0 shell would start",
    });

    std::vector<Placed> placed = {{186, 2, 0}, {20, 11, 1}, {30, 11, 2}, {190, 110, 3}, {140, 40, 4}, {112, 11, 5}};
    ExpectPreview(preview, ExpectedPreview(placed, 150, 30, 100, 60, 10, 95, 0, 14));
}

std::string Junk(size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (char& c : s) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(1 + (seed >> 16) % 255);  // never NUL
    }
    return s;
}

TEST(Checker, BrokenAndHostileImagesAreReportedNotFatal) {
    TestServer server;
    ServeImages(server);
    TestReply text;
    text.body = "<html>not a picture</html>";
    server.route("/img/text.bmp", text);
    TestReply truncated;
    truncated.body = MakeBmp(16, 16, [](int, int) { return 0x123456u; }).substr(0, 300);
    server.route("/img/truncated.bmp", truncated);
    TestReply huge;
    // A BMP header claiming 60000 x 60000 pixels over a few bytes.
    huge.body = MakeBmp(2, 2, [](int, int) { return 0u; });
    for (int i = 0; i < 4; ++i) huge.body[18 + i] = huge.body[22 + i] = "\x60\xEA\x00\x00"[i];
    server.route("/img/huge.bmp", huge);
    TestReply junk;
    junk.body = Junk(1 << 20, 7);
    server.route("/img/junk.bmp", junk);
    TestReply over;
    over.patternSize = (1 << 20) + 1;
    server.route("/img/over.bmp", over);
    TestReply cut;
    cut.body = MakeBmp(16, 16, [](int, int) { return 0x123456u; });
    cut.cutAfter = 200;
    server.route("/img/cut.bmp", cut);
    TestReply icon;
    icon.file = std::string(std::getenv("KORVANE_SOURCE_DIR")) + "/tests/data/icon_16x16.ico";
    server.route("/img/icon.ico", icon);

    Skin skin(server);
    skin.params["APP_LOADER_IMAGE"] = "text.bmp";
    skin.params["BUTTON_CLOSE_NORMAL"] = "truncated.bmp";
    skin.params["BUTTON_MIN_NORMAL"] = "huge.bmp";
    skin.params["BUTTON_BACK_NORMAL"] = "junk.bmp";
    skin.params["BUTTON_FORWARD_NORMAL"] = "over.bmp";
    skin.params["BUTTON_HOME_NORMAL"] = "cut.bmp";
    skin.params["BUTTON_REFRESH_NORMAL"] = "icon.ico";
    const CheckRun run = RunChecker({Serve(server, "/broken.xml", skin.document())});
    const std::string decoder = "the picture decoder does not accept it (BMP, GIF or JPEG only) -> ";
    ExpectReport(run, 0, {
        "WARN APP_LOADER_IMAGE: not loaded: " + decoder + "no loader window",
        // The decoder makes up what a short BMP file lacks.
        std::string("WARN BUTTON_CLOSE_NORMAL: the file has 300 of the 822 bytes its header promises: the "
                    "picture is incomplete"),
        std::string("WARN BUTTON_HOME_NORMAL: the file has 200 of the 822 bytes its header promises: the "
                    "picture is incomplete"),
        "WARN BUTTON_MIN_NORMAL: not loaded: " + decoder + "button not created",
        "WARN BUTTON_BACK_NORMAL: not loaded: " + decoder + "button not created",
        std::string("WARN BUTTON_FORWARD_NORMAL: not loaded: the file is larger than 1 MiB -> button not created"),
        "WARN BUTTON_REFRESH_NORMAL: not loaded: " + decoder + "button not created",
        "VERDICT 0 shell would start",
    });
    EXPECT_NE(run.starting("IMAGE BUTTON_FORWARD_NORMAL ").at(0).find(" status=200 bytes=over-1MiB decoded=no "),
              std::string::npos)
        << run.dump();
    for (const char* label : {"MIN", "BACK", "FORWARD", "REFRESH"})
        EXPECT_TRUE(run.has(std::string("BUTTON ") + label + " not created: an image did not load"));
    EXPECT_TRUE(run.has("BUTTON CLOSE created x=12 y=11 size=16x16"));
    EXPECT_TRUE(run.has("PARAM APP_LOADER_POS not read -> no loader window"));
}

TEST(Checker, FaultyDocumentsAndServers) {
    TestServer server;
    const std::string page = Serve(server, "/page.html", "<html><body>Hello</body></html>");
    TestReply missing;
    missing.status = 404;
    missing.body = "<korvane><SKIN>x</SKIN></korvane>";
    server.route("/404.xml", missing);
    const std::string junk = Serve(server, "/junk.xml", Junk(1 << 20, 3));
    TestReply over;
    over.body = "<korvane>" + std::string((1 << 20), ' ') + "</korvane>";
    server.route("/over.xml", over);
    const std::string open = Serve(server, "/open.xml", "<korvane><SKIN>x</SKIN>");

    struct Case {
        std::string url;
        std::string verdict;
    } cases[] = {
        {page, "no <korvane> tag"},
        {server.url("/404.xml"), "the server answered 404"},
        {junk, "no <korvane> tag"},
        {server.url("/over.xml"), "the document is larger than 1 MiB"},
        {open, "no </korvane> tag"},
        {"http://127.0.0.1:1/nobody.xml", ""},
        {"file://C:/skin.xml", "not an http or https URL the shell can fetch"},
    };
    for (const Case& c : cases) {
        const CheckRun run = RunChecker({c.url});
        ASSERT_TRUE(run.finished) << c.url;
        EXPECT_EQ(run.exitCode, 2u) << c.url << "\n" << run.dump();
        const std::string prefix = "VERDICT 2 not a parameter document (" + c.verdict;
        EXPECT_EQ(run.lines.back().rfind(prefix, 0), 0u) << run.dump();
        EXPECT_NE(run.lines.back().find("the shell would hand the URL to the web browser"), std::string::npos);
    }

    // A server that trickles its answer forever: the watchdog ends the check.
    TestReply slow;
    slow.body = std::string(4000, 'x');
    slow.trickleChunk = 1;
    slow.trickleMs = 500;
    server.route("/slow.xml", slow);
    const CheckRun run = RunChecker({"--timeout", "3", server.url("/slow.xml")}, 30000);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.lines.back(), "VERDICT 1 check stopped after 3 s: the server has not finished answering; the "
                                "shell would still be waiting");

    // A document whose connection breaks half-way still counts as what arrived.
    Skin skin(server);
    ServeImages(server);
    TestReply broken;
    broken.body = skin.document();
    broken.cutAfter = static_cast<long long>(broken.body.size()) - 3;  // loses "ne>"
    server.route("/broken.xml", broken);
    const CheckRun cut = RunChecker({server.url("/broken.xml")});
    EXPECT_EQ(cut.exitCode, 2u) << cut.dump();
    EXPECT_EQ(cut.lines.back().rfind("VERDICT 2 not a parameter document (no </korvane> tag)", 0), 0u) << cut.dump();
}

TEST(Checker, UsageAndOverlongUrls) {
    CheckRun run = RunChecker({"--bogus"});
    EXPECT_EQ(run.exitCode, 3u);
    run = RunChecker({"http://a/", "http://b/"});
    EXPECT_EQ(run.exitCode, 3u);
    run = RunChecker({"http://127.0.0.1/" + std::string(1100, 'a')});
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.lines.back(), "VERDICT 1 the URL is longer than 1023 characters: the shell ends without a window");
}

}  // namespace
