// The state of one running session script, the helpers its statements share
// (numbers, objects, vertex references, paths) and the verb tables. Each verb
// is one row {name, arguments, handler}: script_statements.cpp holds the
// statements that build and change the scene, script_plugin_statements.cpp
// those that reach the plug-in, script_expect.cpp the expectations, and
// script_interpreter.cpp the loop that finds a row and runs it. Only those files
// include this header.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "script/script_interpreter.h"
#include "session/host_session.h"
#include "session/working_folder.h"

namespace talvexhost {

using Tokens = std::vector<std::string>;

struct ScriptRun {
    ScriptRun(const std::string& path, const ScriptOptions& options, std::ostream& out);

    ScriptOptions options;
    HostSession session;
    std::ostream& out;
    WorkingFolder folder;
    std::string scriptFolder;
    bool started = false;
    // How many of the plug-in's texts the expectations have taken, and the
    // script line of the statement that made each text the plug-in showed.
    std::size_t consumedMessages = 0;
    std::vector<int> shownAtLine;
    std::vector<unsigned char> lastFrame;

    hostsim::Host& host() { return session.host(); }

    bool setUp(std::string& error);
    // The host paints once before the plug-in's first call, as the real host
    // does; the plug-in reads its settings in that first draw.
    bool start(std::string& error);

    // A file named in the script: "$OUT/NAME" is NAME in the --out folder,
    // any other relative path is relative to the script's folder. Every
    // statement resolves its files this way, so one word names one file.
    std::string file(const std::string& word) const;

    bool number(const std::string& word, float& value, std::string& error) const;
    bool integer(const std::string& word, long long& value, std::string& error) const;
    // X Y Z in three words from `at`.
    bool point(const Tokens& a, std::size_t at, float (&c)[3], std::string& error) const;
    // An object by name, or "@plane" for the newest plane the host built.
    HostObject* object(const std::string& name, std::string& error);
    // NAME:N, the N-th vertex of object NAME, counting from 1.
    HostVertex* vertex(const std::string& ref, std::string& error);
    bool vertices(const Tokens& a, std::size_t from, std::size_t to,
                  std::vector<HostVertex*>& result, std::string& error);
    // The next text the plug-in showed is this error or message.
    bool nextMessage(bool wantError, const std::string& text, std::string& error);
    // The first text the plug-in showed since the last expectation that is
    // an error nobody expected, or -1.
    long long unexpectedError() const;
};

// Position of the word `keyword` in a, or a.size().
std::size_t findWord(const Tokens& a, const std::string& keyword);

// A handler gets the statement's arguments: the words after the verb (after
// "expect WHAT" for expectations). The table row has already checked their
// count; the handler checks their form.
using VerbHandler = bool (*)(ScriptRun& run, const Tokens& a, std::string& error);

struct Verb {
    const char* name;
    std::size_t least;  // arguments
    std::size_t most;
    const char* usage;  // the statement's form, shown when the count is wrong
    VerbHandler handler;
    bool reachesPlugin;  // the host paints once before the first such statement
};

constexpr std::size_t kAnyCount = static_cast<std::size_t>(-1);

const std::vector<Verb>& sceneStatements();   // script_statements.cpp
const std::vector<Verb>& pluginStatements();  // script_plugin_statements.cpp
const std::vector<Verb>& expectations();      // script_expect.cpp

// Finds `name` in the tables and runs it on the words from `first`: checks
// the number of arguments, paints first if the verb reaches the plug-in.
bool dispatch(ScriptRun& run, const std::vector<const std::vector<Verb>*>& tables,
              const Tokens& words, std::size_t first, const char* unknown, std::string& error);

}  // namespace talvexhost
