// What a parameter document is read by: every parameter name, the buttons
// with their images and actions, and the defaults for what a document leaves
// out. The shell and the checker both read from here, so the checker can
// never describe a document the shell reads differently. No Windows headers:
// the fuzzer and the native tests use it too.
#pragma once
#include <array>
#include <cstddef>

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

// Every name the shell looks up, so that a tag can be told to be none of them.
constexpr std::array<const char*, 13 + 4 * kButtonCount> AllParamNames() {
    std::array<const char*, 13 + 4 * kButtonCount> names{
        param::kTitle, param::kSkin, param::kStartPos, param::kTopMost, param::kImagesPath,
        param::kLoaderImage, param::kLoaderPos, param::kLoaderTextColour, param::kBrowserRect,
        param::kShowIeMenu, param::kNavigateTo, param::kStatusRect, param::kStatusColour};
    std::size_t n = 13;
    for (const ButtonSpec& b : kButtonSpecs) {
        for (const char* name : {b.position, b.pressed, b.hot, b.normal}) names[n++] = name;
    }
    return names;
}
inline constexpr auto kParamNames = AllParamNames();
