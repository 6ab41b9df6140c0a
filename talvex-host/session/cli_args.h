// Command-line parsing for the subcommands: positional arguments, options
// with a value ("--plane x", "--plane=x", "-o OUT") and plain flags, and the
// preamble every subcommand shares (--help, --plugin, usage errors).
#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace talvexhost {

// What a subcommand is given: the arguments after its name.
struct Invocation {
    std::string argv0;              // how the host was started; finds the plug-in where the
                                    // system cannot name the program's own file
    std::vector<std::string> args;  // after the subcommand's name
};

// The process exit status of every subcommand.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct ParsedArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;  // last one wins
    std::set<std::string> flags;

    bool has(const std::string& option) const {
        return values.count(option) > 0 || flags.count(option) > 0;
    }
    std::string value(const std::string& option, const std::string& fallback = {}) const {
        auto it = values.find(option);
        return it == values.end() ? fallback : it->second;
    }
};

// Splits `args` by the given option names. False with a message for an
// unknown option or a value option without its value. "--" ends options.
bool parseArgs(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
               const std::set<std::string>& flagOptions, ParsedArgs& parsed, std::string& error);

// What a subcommand takes besides --help (and -h), which every one takes.
struct CommandSpec {
    const char* name;  // as in "talvex-host NAME"
    const char* help;  // printed for --help; its first line is the usage line
    std::set<std::string> valueOptions;
    std::set<std::string> flagOptions;
    std::size_t leastPositional = 0;
    std::size_t mostPositional = 0;
    const char* positionals = "";  // what they are, for the error: "one script"
    bool loadsPlugin = true;       // takes --plugin PATH
};

struct CommandArgs : ParsedArgs {
    // The plug-in library: --plugin made absolute, or the one beside the host.
    std::string plugin;
};

// The preamble of a subcommand:
//     CommandArgs args;
//     if (auto done = readCommandLine(invocation, kSpec, args)) return *done;
// Returns the exit status when the command has nothing more to do: 0 after
// printing the help, 2 after a usage error (the reason and the usage line on
// stderr: an unknown option, a missing value, the wrong number of arguments).
std::optional<int> readCommandLine(const Invocation& invocation, const CommandSpec& spec,
                                   CommandArgs& args);

// The folder --out names (default: the current folder), absolute and
// created if missing; a write into it reports when creating it failed.
std::filesystem::path outputFolder(const ParsedArgs& args);

// The plug-in reads its settings from "Plugins/Startup Plugins/Talvex.ini"
// under `folder` to the end: false with a reason when something other than a
// file or a folder is there (a device such as /dev/zero, a pipe), which
// would never end or never come.
bool settingsFileReadable(const std::string& folder, std::string& error);

// "talvex-host NAME: MESSAGE" on stderr, then the exit status 2 (with the
// usage line) or 1.
int usageError(const CommandSpec& spec, const std::string& message);
int commandFailure(const CommandSpec& spec, const std::string& message);

}  // namespace talvexhost
