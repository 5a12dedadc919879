// The test web server as one test sees it, and the programs under test.
#pragma once
#include <string>
#include <vector>

// A Unix path as Wine's Z: drive names it.
std::string WindowsPath(const std::string& unixPath);
std::string ShellExe();
std::string CheckerExe();
// The shell built with the tests' short fetch limits.
std::string QuickShellExe();
// A file below the build tree's test session folder, as a Windows path.
std::string SessionFile(const std::string& name);
std::string ReadFileBytes(const std::string& windowsPath);

// http://HOST/FOLDER/path, or https://skins.test/FOLDER/path.
std::string SiteUrl(const std::string& folder, const std::string& path = "", bool https = false);

class Site {
public:
    // A folder of its own for each test (the session starts them all empty);
    // requests made below it count from here on.
    explicit Site(const std::string& name);
    std::string url(const std::string& path = "", bool https = false) const { return SiteUrl(name_, path, https); }
    void put(const std::string& path, const std::string& bytes) const;
    // How the server sends the file at path (see tests/harness/server.py).
    void reply(const std::string& path, const std::string& json) const { put(path + ".reply", json); }
    // In order, "GET /path HTTP/1.1" and each header after a tab; the folder left out.
    std::vector<std::string> requests() const;
    // Each answer's /path and when it began and ended, in seconds.
    struct Answer {
        std::string path;
        double start, end;
    };
    std::vector<Answer> answers() const;

private:
    std::string name_;
    size_t logStart_, timingsStart_;  // the logs' sizes when the folder was made
};
