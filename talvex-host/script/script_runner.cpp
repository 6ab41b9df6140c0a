// Runs a session script line by line: splits each line into words, finds the
// verb in the statement tables and runs its handler, and fails the script at
// the first statement that fails, expectation that does not hold, or error
// the plug-in shows that the script does not expect.
#include "script/script_runner.h"

#include <cstddef>
#include <ostream>
#include <sstream>

#include "io/safe_writer.h"
#include "script/script_run.h"

namespace talvexhost {

namespace {

// Splits a statement into words; "double quoted" words may hold blanks and
// the escapes \" and \\. A # outside quotes starts a comment.
bool splitWords(const std::string& line, Tokens& words, std::string& error) {
    words.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        if (i >= line.size() || line[i] == '#') break;
        std::string word;
        if (line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                if (line[i] == '\\' && i + 1 < line.size() &&
                    (line[i + 1] == '"' || line[i + 1] == '\\')) {
                    word += line[i + 1];
                    i += 2;
                } else if (line[i] == '"') {
                    ++i;
                    closed = true;
                    break;
                } else {
                    word += line[i++];
                }
            }
            if (!closed) {
                error = "unterminated quoted text";
                return false;
            }
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
                word += line[i++];
        }
        words.push_back(word);
    }
    return true;
}

// One "SCRIPT:LINE" position per text the plug-in showed, so an error nobody
// expected is reported at the statement that caused it.
void noteShown(ScriptRun& run, int line) {
    run.shownAtLine.resize(run.session.shown().size(), line);
}

// An error the plug-in showed fails the script unless the statements right
// after the one that caused it expect it.
bool checkUnexpectedError(const ScriptRun& run, int& line, std::string& error) {
    const long long at = run.unexpectedError();
    if (at < 0) return true;
    line = run.shownAtLine[static_cast<std::size_t>(at)];
    error = "the plug-in showed the error \"" +
            run.session.shown()[static_cast<std::size_t>(at)].text +
            "\" (a script that wants it says expect error right after)";
    return false;
}

bool takesMessages(const Tokens& words) {
    return words.size() >= 2 && words[0] == "expect" &&
           (words[1] == "error" || words[1] == "message");
}

const std::vector<const std::vector<Verb>*>& statementTables() {
    static const std::vector<const std::vector<Verb>*> tables = {&sceneStatements(),
                                                                 &pluginStatements()};
    return tables;
}

}  // namespace

bool dispatch(ScriptRun& run, const std::vector<const std::vector<Verb>*>& tables,
              const Tokens& words, std::size_t first, const char* unknown, std::string& error) {
    const std::string& name = words[first];
    for (const std::vector<Verb>* table : tables) {
        for (const Verb& verb : *table) {
            if (name != verb.name) continue;
            const Tokens arguments(words.begin() + static_cast<std::ptrdiff_t>(first) + 1,
                                   words.end());
            if (arguments.size() < verb.least || arguments.size() > verb.most) {
                error = std::string("usage: ") + verb.usage;
                return false;
            }
            if (verb.reachesPlugin && !run.start(error)) return false;
            return verb.handler(run, arguments, error);
        }
    }
    error = std::string(unknown) + " \"" + name + "\"";
    return false;
}

bool runScriptFile(const std::string& path, const ScriptOptions& options, std::ostream& out,
                   std::string& error) {
    std::string text;
    if (!readWholeFile(path, text, error)) return false;
    ScriptRun run(path, options, out);
    if (!run.setUp(error)) return false;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    int cause = 0;  // the line of a statement whose error nobody expected
    Tokens words;
    std::string reason;
    auto fail = [&](int where) {
        error = path + ":" + std::to_string(where) + ": " + reason;
        return false;
    };
    while (std::getline(lines, line)) {
        ++number;
        if (!splitWords(line, words, reason)) return fail(number);
        if (words.empty()) continue;
        if (!takesMessages(words) && !checkUnexpectedError(run, cause, reason)) return fail(cause);
        const bool ran = dispatch(run, statementTables(), words, 0, "unknown statement", reason);
        noteShown(run, number);
        if (!ran) return fail(number);
    }
    return checkUnexpectedError(run, cause, reason) || fail(cause);
}

}  // namespace talvexhost
