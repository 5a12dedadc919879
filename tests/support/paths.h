// Where the test programs find the source tree, the build tree and the shell.
#pragma once
#include <string>

// A Unix path as Wine's Z: drive names it.
std::string WindowsPath(const std::string& unixPath);
// KORVANE_SOURCE_DIR, KORVANE_BUILD_DIR and KORVANE_EXE as Windows paths.
std::string SourceDir();
std::string BuildDir();
std::string ShellExe();
// KORVANE_CHECK_EXE, the skin checker, as a Windows path.
std::string CheckerExe();
