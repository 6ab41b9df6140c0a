// The table of subcommands, from which main.cpp makes the usage and finds
// the command typed. Adding one is its file (which defines its row), its
// name here and its line in CMakeLists.txt.
#include "commands/command_table.h"

namespace talvexhost {

// One command per line, so that a command comes and goes in lines of its own.
// clang-format off
extern const Subcommand kDemoCommand;
extern const Subcommand kResymCommand;
extern const Subcommand kCheckCommand;
extern const Subcommand kDetectCommand;
extern const Subcommand kScriptCommand;
extern const Subcommand kSettingsCommand;
extern const Subcommand kObjectsCommand;

const std::vector<const Subcommand*>& subcommands() {
    static const std::vector<const Subcommand*> table = {
        &kDemoCommand,
        &kResymCommand,
        &kCheckCommand,
        &kDetectCommand,
        &kScriptCommand,
        &kSettingsCommand,
        &kObjectsCommand,
    };
    return table;
}
// clang-format on

const Subcommand* findSubcommand(const std::string& name) {
    for (const Subcommand* command : subcommands())
        if (name == command->options.name) return command;
    return nullptr;
}

}  // namespace talvexhost
