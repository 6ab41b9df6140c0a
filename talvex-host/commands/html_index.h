// check --html over several files: the names of the pages, one per file, in
// the folder --html names, and the index page with the summary table that
// links to them. The pages themselves are written by each file's process
// (html_page.h); many_files.cpp chooses their names and writes the index.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace talvexhost {

// The index's own name in the folder; no page takes it.
extern const char kIndexPageName[];

// One page name per file, in the files' order: the file's path below the
// folder all the files share, its separators as "_", then ".html"
// ("a/cat.obj" and "b/cat.obj" become "a_cat.obj.html" and "b_cat.obj.html").
// Names are unique without regard to case (Windows, macOS), never the index's
// and never one `taken` answers true for (an input that lives in the folder):
// such a name gets "-2", "-3"... before ".html". Empty `files`, empty result.
std::vector<std::string> pageNames(const std::vector<std::string>& files,
                                   const std::function<bool(const std::string&)>& taken);

// A file's row in the index: its numbers already as text ("-" when the file
// gave none), its page's name ("" when it has none) and why it is not ok.
struct IndexRow {
    std::string file;
    std::string page;
    std::string vertices;
    std::string pairs;
    std::string offPlane;
    std::string maxDeviation;
    std::string score;
    std::string verdict;
    std::string reason;
};

// The index page: the rows as a table and `summary` as a line of text. It is
// one self-contained file with no script, loading nothing; file names are
// escaped, and links are relative so the folder can be moved as a whole.
std::string htmlIndexPage(const std::vector<IndexRow>& rows, const std::string& summary);

}  // namespace talvexhost
