#include "session/working_folder.h"

#include <filesystem>
#include <random>

#include "io/safe_writer.h"

namespace talvexhost {

namespace fs = std::filesystem;

WorkingFolder::~WorkingFolder() {
    if (path_.empty()) return;
    std::error_code ignored;
    fs::current_path(previous_, ignored);
    fs::remove_all(path_, ignored);
}

bool WorkingFolder::enter(std::string& error) {
    std::error_code ec;
    previous_ = fs::current_path(ec).string();
    const fs::path base = fs::temp_directory_path(ec);
    if (ec) {
        error = "no temporary folder: " + ec.message();
        return false;
    }
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = base / ("talvex-host-" + std::to_string(entropy() % 100000000u));
        if (fs::create_directory(candidate, ec)) {
            path_ = candidate.string();
            fs::current_path(candidate, ec);
            if (ec) {
                error = "cannot enter " + path_ + ": " + ec.message();
                return false;
            }
            return true;
        }
    }
    error = "cannot create a working folder under " + base.string();
    return false;
}

bool WorkingFolder::writeSettings(const std::vector<std::string>& lines, std::string& error) {
    const fs::path folder = fs::path(path_) / "Plugins" / "Startup Plugins";
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        error = "cannot create " + folder.string() + ": " + ec.message();
        return false;
    }
    std::string text = "[CONFIG]\r\n";
    for (const std::string& line : lines) text += line + "\r\n";
    return writeFileAtomically((folder / "Talvex.ini").string(), text, error);
}

std::string resolvePath(const std::string& base, const std::string& path) {
    const fs::path p(path);
    if (p.is_absolute()) return p.string();
    // "/x" on Windows: rooted but driveless, so it lies on the base's drive.
    if (p.has_root_directory()) return (fs::path(base).root_name() / p).lexically_normal().string();
    return (fs::path(base) / p).lexically_normal().string();
}

}  // namespace talvexhost
