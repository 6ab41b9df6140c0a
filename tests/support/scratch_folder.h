// A fresh folder below the current directory for a test's files, which is
// the current directory while the object lives, as the host's working
// directory is for the settings file. Files are written byte for byte.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

class ScratchFolder {
public:
    // Removes what an earlier run left under `name`, then enters the folder.
    explicit ScratchFolder(const std::string& name) : previous_(std::filesystem::current_path()) {
        std::filesystem::remove_all(name);
        std::filesystem::create_directories(name);
        std::filesystem::current_path(name);
    }
    // Returns to the previous directory; the files stay for inspection.
    ~ScratchFolder() { std::filesystem::current_path(previous_); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Writes `bytes` to `path` (relative, '/' between folders), making folders.
    static void write(const std::string& path, const std::string& bytes) {
        const std::filesystem::path file(path);
        if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(out.good()) << path;
    }

    static std::string read(const std::string& path) {
        std::ifstream in(std::filesystem::path(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // Where the plug-in looks for its settings, seen from the current directory.
    static constexpr const char* kSettingsFile = "Plugins/Startup Plugins/Talvex.ini";

private:
    std::filesystem::path previous_;
};
