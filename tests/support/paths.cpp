#include "support/paths.h"

#include <cstdlib>
#include <stdexcept>

namespace {
std::string Env(const char* name) {
    const char* v = std::getenv(name);
    if (!v || !*v) throw std::runtime_error(std::string(name) + " is not set");
    return v;
}
}  // namespace

std::string WindowsPath(const std::string& unixPath) {
    if (unixPath.empty() || unixPath[0] != '/') return unixPath;
    std::string out = "Z:";
    for (char c : unixPath) out += (c == '/') ? '\\' : c;
    return out;
}

std::string SourceDir() { return WindowsPath(Env("KORVANE_SOURCE_DIR")); }
std::string BuildDir() { return WindowsPath(Env("KORVANE_BUILD_DIR")); }
std::string ShellExe() { return WindowsPath(Env("KORVANE_EXE")); }
std::string CheckerExe() { return WindowsPath(Env("KORVANE_CHECK_EXE")); }
