// The files a command line names when it takes a list of meshes: files as
// given, and the mesh files of folders, picked by extension or by a name
// pattern. Used by the commands that take several files (many_files.h).
#pragma once

#include <string>
#include <vector>

#include "session/cli_args.h"

namespace talvexhost {

// The mesh files the positional arguments name: files as given, and the files
// of folders (with --recursive, of their subfolders too) whose name matches
// --include's pattern (* and ?), or by default whose extension is a mesh
// format's, in name order. A folder that cannot be listed, or that holds no
// such file, is an entry of its own whose `error` says so.
struct ListedFile {
    std::string path;
    std::string error;
};
std::vector<ListedFile> listMeshFiles(const ParsedArgs& args);

// True when `name` matches `pattern`: * any run of characters, ? any one.
bool globMatches(const std::string& pattern, const std::string& name);

}  // namespace talvexhost
