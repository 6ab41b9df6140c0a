// Command-line parsing for the subcommands: positional arguments, options
// with a value ("--plane x", "--plane=x", "-o OUT") and plain flags.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace talvexhost {

struct ParsedArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;  // last one wins
    std::set<std::string> flags;

    bool has(const std::string& option) const { return values.count(option) > 0 || flags.count(option) > 0; }
    std::string value(const std::string& option, const std::string& fallback = {}) const {
        auto it = values.find(option);
        return it == values.end() ? fallback : it->second;
    }
};

// Splits `args` by the given option names. False with a message for an
// unknown option or a value option without its value. "--" ends options.
bool parseArgs(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
               const std::set<std::string>& flagOptions, ParsedArgs& parsed, std::string& error);

}  // namespace talvexhost
