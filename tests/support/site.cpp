#include "support/site.h"

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) throw std::runtime_error(std::string(name) + " is not set: run through wine-run.sh");
    return value;
}

}  // namespace

std::string WindowsPath(const std::string& unixPath) {
    std::string p = "Z:" + unixPath;
    for (char& c : p) c = c == '/' ? '\\' : c;
    return p;
}

std::string ShellExe() { return WindowsPath(Env("KORVANE_EXE")); }
std::string CheckerExe() { return WindowsPath(Env("KORVANE_CHECK_EXE")); }
std::string QuickShellExe() { return WindowsPath(Env("KORVANE_QUICK_EXE")); }
std::string SessionFile(const std::string& name) { return WindowsPath(Env("KORVANE_BUILD_DIR") + "/harness/" + name); }

std::string ReadFileBytes(const std::string& windowsPath) {
    std::ifstream in(windowsPath, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

Site::Site(const std::string& name)
    : name_(name), logStart_(ReadFileBytes(SessionFile("www\\requests.log")).size()),
      timingsStart_(ReadFileBytes(SessionFile("www\\timings.log")).size()) {}

std::string SiteUrl(const std::string& folder, const std::string& path, bool https) {
    return (https ? "https://skins.test/" : "http://" + Env("KORVANE_TEST_HOST") + "/") + folder + "/" + path;
}

void Site::put(const std::string& path, const std::string& bytes) const {
    std::string file = SessionFile("www\\" + name_ + "\\" + path);
    for (char& c : file) c = c == '/' ? '\\' : c;
    for (size_t at = file.find('\\', 3); at != std::string::npos; at = file.find('\\', at + 1))
        CreateDirectoryA(file.substr(0, at).c_str(), nullptr);
    std::ofstream(file, std::ios::binary) << bytes;
}

std::vector<std::string> Site::requests() const {
    std::istringstream log(ReadFileBytes(SessionFile("www\\requests.log")).substr(logStart_));
    const std::string prefix = "GET\t/" + name_ + "/";
    std::vector<std::string> out;
    for (std::string line; std::getline(log, line);) {
        if (line.compare(0, prefix.size(), prefix) != 0) continue;
        line = "GET /" + line.substr(prefix.size());
        line[line.find('\t')] = ' ';
        out.push_back(line);
    }
    return out;
}

std::vector<Site::Answer> Site::answers() const {
    std::istringstream log(ReadFileBytes(SessionFile("www\\timings.log")).substr(timingsStart_));
    const std::string prefix = "/" + name_;
    std::vector<Answer> out;
    Answer a;
    while (log >> a.path >> a.start >> a.end)
        if (a.path.compare(0, prefix.size() + 1, prefix + "/") == 0) out.push_back({a.path.substr(prefix.size()), a.start, a.end});
    return out;
}
