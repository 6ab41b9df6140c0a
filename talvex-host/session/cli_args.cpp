#include "session/cli_args.h"

#include <cstdio>
#include <filesystem>

#include "io/host_files.h"
#include "session/host_session.h"

namespace talvexhost {

bool parseArgs(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
               const std::set<std::string>& flagOptions, ParsedArgs& parsed, std::string& error) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::string inlineValue;
        bool hasInline = false;
        const std::size_t equals = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            inlineValue = arg.substr(equals + 1);
            hasInline = true;
        }
        if (valueOptions.count(name)) {
            if (hasInline) {
                parsed.values[name] = inlineValue;
            } else if (i + 1 < args.size()) {
                parsed.values[name] = args[++i];
            } else {
                error = "option " + name + " needs a value";
                return false;
            }
        } else if (flagOptions.count(name) && !hasInline) {
            parsed.flags.insert(name);
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    return true;
}

}  // namespace talvexhost

namespace talvexhost {

namespace {

std::string usageLine(const CommandSpec& spec) {
    const std::string help = spec.help;
    return help.substr(0, help.find('\n'));
}

}  // namespace

int usageError(const CommandSpec& spec, const std::string& message) {
    std::fprintf(stderr, "talvex-host %s: %s\n%s (see --help)\n", spec.name, message.c_str(),
                 usageLine(spec).c_str());
    return kExitUsage;
}

std::filesystem::path outputFolder(const ParsedArgs& args) {
    std::error_code ec;
    const std::filesystem::path folder =
        std::filesystem::absolute(args.value("--out", "."), ec).lexically_normal();
    std::filesystem::create_directories(folder, ec);
    return folder;
}

bool settingsFileReadable(const std::string& folder, std::string& error) {
    namespace fs = std::filesystem;
    const fs::path file = fs::path(folder) / "Plugins" / "Startup Plugins" / "Talvex.ini";
    std::error_code ec;
    const fs::file_type type = fs::status(file, ec).type();
    if (type == fs::file_type::regular || type == fs::file_type::directory ||
        type == fs::file_type::not_found || type == fs::file_type::none)
        return true;
    const char* kind = type == fs::file_type::character || type == fs::file_type::block ? "a device"
                       : type == fs::file_type::fifo ? "a named pipe (FIFO)"
                                                     : "not a regular file";
    error = file.lexically_normal().string() + ": is " + kind +
            ", not a file; the plug-in reads its settings from it, so nothing was done";
    return false;
}

int commandFailure(const CommandSpec& spec, const std::string& message) {
    std::fprintf(stderr, "talvex-host %s: %s\n", spec.name, message.c_str());
    return kExitFailure;
}

std::optional<int> readCommandLine(const Invocation& invocation, const CommandSpec& spec,
                                   CommandArgs& args) {
    std::set<std::string> values = spec.valueOptions;
    if (spec.loadsPlugin) values.insert("--plugin");
    std::set<std::string> flags = spec.flagOptions;
    flags.insert({"--help", "-h"});
    std::string error;
    if (!parseArgs(invocation.args, values, flags, args, error)) return usageError(spec, error);
    if (args.has("--help") || args.has("-h")) {
        std::fputs(spec.help, stdout);
        return kExitOk;
    }
    const std::size_t n = args.positional.size();
    if (n > spec.mostPositional && spec.mostPositional == 0) {
        return usageError(spec, "unexpected argument \"" + args.positional[0] + "\"");
    }
    if (n < spec.leastPositional || n > spec.mostPositional) {
        return usageError(spec, std::string("expected ") + spec.positionals);
    }
    if (spec.loadsPlugin) {
        std::error_code ec;
        args.plugin = args.has("--plugin")
                          ? std::filesystem::absolute(args.value("--plugin"), ec).string()
                          : defaultPluginPath(invocation.argv0);
        noteInput(args.plugin);
        if (!settingsFileReadable(".", error)) return commandFailure(spec, error);
    }
    // What the command reads: its positional files (a mesh, a script) and a
    // lock file. Noted now, so that an output naming one is refused before
    // any work.
    for (const std::string& file : args.positional)
        if (file != "-") noteInput(file);
    if (args.has("--lock")) noteInput(args.value("--lock"));
    return std::nullopt;
}

}  // namespace talvexhost
