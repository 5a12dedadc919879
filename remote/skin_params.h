// What a parameter document is read by: every parameter the shell looks up,
// in the order it looks them up, what it reads each one as and what it does
// without it, and the buttons with their images and actions. The shell takes
// its buffers and defaults from these rows and the checker walks them, so the
// checker can never describe a document the shell reads differently. No
// Windows headers: the fuzzer and the native tests use it too.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "common/dpi_scale.h"

constexpr std::size_t kValueCapacity = 1024;  // terminator included
constexpr std::size_t kColourCapacity = 32;   // the status colour buffer

namespace param {
inline constexpr char kRoot[] = "Korvane";
inline constexpr char kTitle[] = "APP_TITLE";
inline constexpr char kSkin[] = "SKIN";
inline constexpr char kStartPos[] = "APP_START_POS";
inline constexpr char kTopMost[] = "APP_TOP_MOST";
inline constexpr char kImagesPath[] = "IMAGES_PATH";
inline constexpr char kLoaderImage[] = "APP_LOADER_IMAGE";
inline constexpr char kLoaderPos[] = "APP_LOADER_POS";
inline constexpr char kLoaderTextColour[] = "APP_LOADER_TEXT_COLOR";
inline constexpr char kBrowserRect[] = "APP_BROWSER_RECT";
inline constexpr char kShowIeMenu[] = "APP_SHOW_IE_MENU";
inline constexpr char kNavigateTo[] = "APP_NAVIGATE_TO";
inline constexpr char kStatusRect[] = "APP_STATUS_RECT";
inline constexpr char kStatusColour[] = "APP_STATUS_COLOR";

// What the shell uses when the document leaves a value out.
inline constexpr char kDefaultStatusColour[] = "FFFFFF";
inline constexpr char kBlankPage[] = "about:blank";
}  // namespace param

// A position of 0,0 stands for none: the splash is centred, a button not made.
constexpr bool NoPosition(int x, int y) { return x == 0 && y == 0; }
// Where a window of that side goes on a screen of that side when it has no
// position: centred, each half rounded toward zero before the subtraction.
constexpr int Centred(int screenSide, int side) { return screenSide / 2 - side / 2; }
struct ScreenPoint {
    int x, y;
};
// The main window at dpi for a skin picture of that size: at APP_START_POS
// when the document gives it (start is then its numbers), else centred on
// the screen.
constexpr DpiBox MainWindowBox(const std::int32_t* start, int skinWidth, int skinHeight, int dpi, int screenWidth,
                               int screenHeight) {
    const int width = ScaleToDpi(skinWidth, dpi), height = ScaleToDpi(skinHeight, dpi);
    if (start) return {ScaleToDpi(start[0], dpi), ScaleToDpi(start[1], dpi), width, height};
    return {Centred(screenWidth, width), Centred(screenHeight, height), width, height};
}
// The splash's corner at dpi from APP_LOADER_POS's numbers: the first is the
// top, the second the left edge, the reverse of every other position.
constexpr ScreenPoint LoaderCorner(const std::int32_t* numbers, int dpi) {
    return ScreenPoint{ScaleToDpi(numbers[1], dpi), ScaleToDpi(numbers[0], dpi)};
}

enum class ParamKind { kText, kNumbers, kFlag, kColour, kImage };

struct ParamRule {
    const char* name;
    ParamKind kind;
    const char* whenMissing;  // what the shell does without it, in words
    std::size_t capacity = kValueCapacity;  // the buffer the value is read into
    // Numbers: what the ones the shell uses stand for, and whether it uses
    // them even when it counts the parameter as missing (a single number).
    const char* uses = "";
    bool usedAnyway = false;
    bool stops = false;  // without it the shell shows the error box and ends
    // Looked up only when this parameter gave the shell what it needed.
    const char* onlyAfter = nullptr;
    const char* unreadWhy = nullptr;
};

inline constexpr char kStopsShell[] = "error box, the shell ends";
inline constexpr ParamRule kLoaderImageRule{param::kLoaderImage, ParamKind::kImage, "no loader window"};
inline constexpr ParamRule kLoaderPosRule{param::kLoaderPos, ParamKind::kNumbers, "loader centred", kValueCapacity,
                                          "top,left", true, false, param::kLoaderImage, "no loader window"};
inline constexpr ParamRule kLoaderTextColourRule{param::kLoaderTextColour, ParamKind::kColour, "empty: black text",
                                                 kValueCapacity, "", false, false, param::kLoaderImage,
                                                 "no loader window"};
inline constexpr ParamRule kSkinRule{param::kSkin, ParamKind::kImage, kStopsShell, kValueCapacity, "", false, true};
inline constexpr ParamRule kStartPosRule{param::kStartPos, ParamKind::kNumbers, "window centred", kValueCapacity, "x,y"};
inline constexpr ParamRule kTitleRule{param::kTitle, ParamKind::kText, "no title"};
inline constexpr ParamRule kBrowserRectRule{param::kBrowserRect, ParamKind::kNumbers, kStopsShell, kValueCapacity,
                                            "x,y,width,height", false, true};
inline constexpr ParamRule kShowIeMenuRule{param::kShowIeMenu, ParamKind::kFlag, "false: no page context menu"};
inline constexpr ParamRule kNavigateToRule{param::kNavigateTo, ParamKind::kText, "no start page"};
inline constexpr ParamRule kStatusRectRule{param::kStatusRect, ParamKind::kNumbers, "status line at 0,0 with no size",
                                           kValueCapacity, "x,y,width,height", true};
inline constexpr ParamRule kStatusColourRule{param::kStatusColour, ParamKind::kColour, "colour FFFFFF (the default)",
                                             kColourCapacity};
inline constexpr ParamRule kTopMostRule{param::kTopMost, ParamKind::kFlag, "false: not top-most"};
// Looked up by the first image load that finds its own parameter.
inline constexpr ParamRule kImagesPathRule{param::kImagesPath, ParamKind::kText, "every image load fails"};

// The window messages a button sends, as plain numbers so that this header
// needs no Windows headers; the main window checks them against the real ones.
inline constexpr unsigned kMsgSysCommand = 0x0112;
inline constexpr unsigned kSysClose = 0xF060;
inline constexpr unsigned kSysMinimise = 0xF020;
inline constexpr unsigned kMsgGoHome = 0x0400;  // WM_USER
inline constexpr unsigned kMsgGoBack = 0x0401;
inline constexpr unsigned kMsgGoForward = 0x0402;
inline constexpr unsigned kMsgRefresh = 0x0403;

struct ButtonSpec {
    const char* label;  // CLOSE, MIN, ...: the middle of its parameter names
    const char* position;
    const char* pressed;  // images, in the order they are loaded
    const char* hot;
    const char* normal;
    const char* progressText;
    const char* loadedFormat;  // progress once the button exists; %s: the image
    int slot;                  // in the table of ten; slot 5 stays free
    unsigned message;
    unsigned wParam;
    const char* accessibleName;  // what a screen reader calls it
};

// In creation order.
inline constexpr ButtonSpec kButtonSpecs[] = {
    {"CLOSE", "BUTTON_CLOSE_POS", "BUTTON_CLOSE_CLICK", "BUTTON_CLOSE_HOT", "BUTTON_CLOSE_NORMAL",
     "Getting Close Button Images", "Loading %s", 0, kMsgSysCommand, kSysClose, "Close"},
    {"MIN", "BUTTON_MIN_POS", "BUTTON_MIN_CLICK", "BUTTON_MIN_HOT", "BUTTON_MIN_NORMAL",
     "Getting Minimizee Button Images", "Loaded %s", 1, kMsgSysCommand, kSysMinimise, "Minimise"},
    {"BACK", "BUTTON_BACK_POS", "BUTTON_BACK_CLICK", "BUTTON_BACK_HOT", "BUTTON_BACK_NORMAL",
     "Getting Browser GoBack Button Images", "Loaded %s", 2, kMsgGoBack, 0, "Back"},
    {"FORWARD", "BUTTON_FORWARD_POS", "BUTTON_FORWARD_CLICK", "BUTTON_FORWARD_HOT",
     "BUTTON_FORWARD_NORMAL", "Getting Browser GoForward Button Images", "Loaded %s", 3,
     kMsgGoForward, 0, "Forward"},
    {"HOME", "BUTTON_HOME_POS", "BUTTON_HOME_CLICK", "BUTTON_HOME_HOT", "BUTTON_HOME_NORMAL",
     "Getting Browser GoHome Button Images", "Loaded %s", 4, kMsgGoHome, 0, "Home"},
    {"REFRESH", "BUTTON_REFRESH_POS", "BUTTON_REFRESH_CLICK", "BUTTON_REFRESH_HOT",
     "BUTTON_REFRESH_NORMAL", "Getting Browser Refresh Button Images", "Loaded %s", 6,
     kMsgRefresh, 0, "Refresh"},
};
inline constexpr std::size_t kButtonCount = sizeof kButtonSpecs / sizeof kButtonSpecs[0];

// Every lookup of a start-up in the shell's order: the loader thread's, then
// start-up's up to the main window, the main window's while it is created
// (each button's position, and its pictures only when it has one), and last
// start-up's own again. IMAGES_PATH goes with the first image instead.
constexpr std::array<ParamRule, 12 + 4 * kButtonCount> LookupOrder() {
    std::array<ParamRule, 12 + 4 * kButtonCount> rules{
        {kLoaderImageRule, kLoaderPosRule, kLoaderTextColourRule, kSkinRule, kStartPosRule, kTitleRule,
         kBrowserRectRule, kShowIeMenuRule, kNavigateToRule, kStatusRectRule, kStatusColourRule}};
    std::size_t n = 11;
    for (const ButtonSpec& b : kButtonSpecs) {
        rules[n++] = {b.position, ParamKind::kNumbers, "button not created", kValueCapacity, "x,y"};
        for (const char* image : {b.pressed, b.hot, b.normal})
            rules[n++] = {image, ParamKind::kImage, "button not created", kValueCapacity, "",
                          false, false, b.position, "no position"};
    }
    rules[n] = kTopMostRule;
    return rules;
}
inline constexpr auto kLookupOrder = LookupOrder();
