// A private working folder for one host run. The plug-in reads its settings
// file relative to the process's current folder, so the host moves into a
// fresh folder whose settings it controls, and back out when done.
#pragma once

#include <string>
#include <vector>

namespace talvexhost {

class WorkingFolder {
public:
    WorkingFolder() = default;
    // Returns to the folder the process started in and deletes this one.
    ~WorkingFolder();
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

    // Creates a fresh folder under the system's temporary folder and makes it
    // current. False with `error` when that fails.
    bool enter(std::string& error);

    // Writes the plug-in's settings file, "Plugins\Startup Plugins\Talvex.ini"
    // in this folder, with `lines` under its [CONFIG] section; replaces any
    // earlier one.
    bool writeSettings(const std::vector<std::string>& lines, std::string& error);

    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string previous_;
};

// `path` made absolute against `base` (already absolute) unless it is absolute.
std::string resolvePath(const std::string& base, const std::string& path);

}  // namespace talvexhost
