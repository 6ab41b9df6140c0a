#include "commands/mesh_file_list.h"

#include <algorithm>
#include <filesystem>

#include "io/mesh_document.h"

namespace talvexhost {

namespace fs = std::filesystem;

bool globMatches(const std::string& pattern, const std::string& name) {
    // The classic walk: on a mismatch, let the last * take one more character.
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t star = std::string::npos;
    std::size_t taken = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            taken = n;
        } else if (star != std::string::npos) {
            p = star + 1;
            n = ++taken;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::vector<ListedFile> listMeshFiles(const ParsedArgs& args) {
    const bool recursive = args.has("--recursive");
    const std::string include = args.value("--include");
    auto wanted = [&](const fs::path& file) {
        return include.empty() ? meshFormatFor(file.string()) != nullptr
                               : globMatches(include, file.filename().string());
    };
    std::vector<ListedFile> files;
    for (const std::string& given : args.positional) {
        std::error_code ec;
        if (!fs::is_directory(given, ec)) {
            files.push_back({given, {}});
            continue;
        }
        std::vector<std::string> found;
        std::string error;
        // Named as the folder was given, then with '/' below it on every
        // system, so that both builds print the same rows.
        const bool endsInSeparator = given.back() == '/' || given.back() == '\\';
        const std::string prefix = endsInSeparator ? given : given + "/";
        auto visit = [&](auto iterator) {
            for (; iterator != decltype(iterator)(); iterator.increment(ec)) {
                if (ec) break;
                std::error_code kind;
                if (iterator->is_regular_file(kind) && wanted(iterator->path()))
                    found.push_back(prefix +
                                    iterator->path().lexically_relative(given).generic_string());
            }
        };
        const auto options = fs::directory_options::skip_permission_denied;
        if (recursive)
            visit(fs::recursive_directory_iterator(given, options, ec));
        else
            visit(fs::directory_iterator(given, options, ec));
        if (ec) error = given + ": cannot list the folder (" + ec.message() + ")";
        std::sort(found.begin(), found.end());
        for (std::string& file : found) files.push_back({std::move(file), {}});
        if (!error.empty())
            files.push_back({given, error});
        else if (found.empty())
            files.push_back({given, given + ": holds no mesh file" +
                                        (include.empty() ? "" : " matching " + include) +
                                        (recursive ? "" : " (--recursive looks in subfolders)")});
    }
    return files;
}

}  // namespace talvexhost
