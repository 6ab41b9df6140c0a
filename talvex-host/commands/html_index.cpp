#include "commands/html_index.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <filesystem>
#include <set>

namespace talvexhost {

const char kIndexPageName[] = "index.html";

namespace {

namespace fs = std::filesystem;

// The path's folders and name, lexically normalised, without a root.
std::vector<std::string> partsOf(const std::string& file) {
    std::vector<std::string> parts;
    for (const fs::path& part : fs::path(file).lexically_normal().relative_path())
        parts.push_back(part.string());
    if (!parts.empty() && parts.back().empty()) parts.pop_back();  // "a/b/" ends in ""
    return parts;
}

// Characters no file name may hold on Windows, and the separators, become "_".
std::string safeName(const std::string& text) {
    std::string name = text;
    for (char& c : name)
        if (std::string("<>:\"/\\|?*").find(c) != std::string::npos ||
            static_cast<unsigned char>(c) < 0x20)
            c = '_';
    return name;
}

std::string folded(std::string name) {
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

std::string escaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// A relative link to a name in the same folder: every byte but the
// unreserved ones percent-encoded, so "#", "?" and "%" in a name stay a name.
std::string linkTo(const std::string& name) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        }
    }
    return out;
}

const char kStyle[] =
    "body{font:14px/1.4 system-ui,sans-serif;margin:24px;color:#222}"
    "table{border-collapse:collapse}"
    "th,td{padding:4px 10px;border-bottom:1px solid #ddd;text-align:right}"
    "th:first-child,th:last-child,td:first-child,td.verdict{text-align:left}"
    "td:first-child,td.verdict{overflow-wrap:anywhere}"
    "th{background:#f2f2f2}"
    "tr.failed td.verdict{color:#b06000}"
    "tr.error td.verdict{color:#c00000}";

}  // namespace

std::vector<std::string> pageNames(const std::vector<std::string>& files,
                                   const std::function<bool(const std::string&)>& taken) {
    std::vector<std::vector<std::string>> parts;
    for (const std::string& file : files) parts.push_back(partsOf(file));
    // The folders every file lies in (a file's own name is never one of them).
    std::size_t shared = parts.empty() ? 0 : parts[0].size();
    for (const auto& p : parts) {
        shared = std::min(shared, p.empty() ? 0 : p.size() - 1);
        for (std::size_t i = 0; i < shared; ++i)
            if (p[i] != parts[0][i]) shared = i;
    }
    std::set<std::string> used = {folded(kIndexPageName)};
    std::vector<std::string> names;
    for (const auto& p : parts) {
        std::string stem;
        for (std::size_t i = shared; i < p.size(); ++i) {
            if (p[i] == "." || p[i] == "..") continue;
            stem += (stem.empty() ? "" : "_") + safeName(p[i]);
        }
        if (stem.empty()) stem = "mesh";
        std::string name = stem + ".html";
        for (int n = 2; used.count(folded(name)) || (taken && taken(name)); ++n)
            name = stem + "-" + std::to_string(n) + ".html";
        used.insert(folded(name));
        names.push_back(name);
    }
    return names;
}

std::string htmlIndexPage(const std::vector<IndexRow>& rows, const std::string& summary) {
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>talvex-host check: " +
        std::to_string(rows.size()) + (rows.size() == 1 ? " file" : " files") +
        "</title>\n<style>" + kStyle +
        "</style>\n</head>\n<body>\n<h1>Symmetry check</h1>\n<p id=\"summary\">" +
        escaped(summary) +
        "</p>\n<table id=\"files\">\n<thead><tr><th>file</th><th>vertices</th><th>pairs</th>"
        "<th>off plane</th><th>largest deviation</th><th>score</th><th>verdict</th></tr></thead>\n"
        "<tbody>\n";
    for (const IndexRow& row : rows) {
        // The file's name is the link to its page, so it is in view however
        // long the reasons make the row.
        const std::string file =
            row.page.empty() ? escaped(row.file)
                             : "<a href=\"" + linkTo(row.page) + "\">" + escaped(row.file) + "</a>";
        page += "<tr class=\"" + escaped(row.verdict) + "\"><td>" + file + "</td><td>" +
                escaped(row.vertices) + "</td><td>" + escaped(row.pairs) + "</td><td>" +
                escaped(row.offPlane) + "</td><td>" + escaped(row.maxDeviation) + "</td><td>" +
                escaped(row.score) + "</td><td class=\"verdict\">" + escaped(row.verdict) +
                (row.reason.empty() ? "" : ": " + escaped(row.reason)) + "</td></tr>\n";
    }
    return page + "</tbody>\n</table>\n</body>\n</html>\n";
}

}  // namespace talvexhost
