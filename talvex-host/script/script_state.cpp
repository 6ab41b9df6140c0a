// The helpers every session-script statement shares: the session's set-up,
// numbers, files, objects and vertex references, and the plug-in's texts.
#include "script/script_state.h"

#include <cstdint>
#include <filesystem>

#include "io/number_text.h"

namespace talvexhost {

namespace {

const char kOutPrefix[] = "$OUT/";

}  // namespace

ScriptRun::ScriptRun(const std::string& path, const ScriptOptions& given, std::ostream& printed)
    : options(given), session(printed), out(printed) {
    scriptFolder = std::filesystem::path(path).parent_path().string();
}

bool ScriptRun::setUp(std::string& error) {
    if (!folder.enter(error)) return false;
    return session.loadPlugin(options.pluginPath, error);
}

bool ScriptRun::start(std::string& error) {
    if (started) return true;
    started = true;
    return session.openViewport(options.width, options.height, error);
}

std::string ScriptRun::file(const std::string& word) const {
    const std::size_t prefix = sizeof kOutPrefix - 1;
    if (word.compare(0, prefix, kOutPrefix) == 0) {
        return resolvePath(options.outputFolder, word.substr(prefix));
    }
    return resolvePath(scriptFolder, word);
}

bool ScriptRun::number(const std::string& word, float& value, std::string& error) const {
    if (parseFloat(word, value)) return true;
    error = "\"" + word + "\" is not a number";
    return false;
}

bool ScriptRun::integer(const std::string& word, long long& value, std::string& error) const {
    std::int64_t parsed = 0;
    if (parseInteger(word, parsed)) {
        value = parsed;
        return true;
    }
    error = "\"" + word + "\" is not an integer";
    return false;
}

bool ScriptRun::point(const Tokens& a, std::size_t at, float (&c)[3], std::string& error) const {
    for (int k = 0; k < 3; ++k) {
        if (!number(a[at + k], c[k], error)) return false;
    }
    return true;
}

HostObject* ScriptRun::object(const std::string& name, std::string& error) {
    if (name == "@plane") {
        HostObject* plane = session.newestPlane();
        if (plane == nullptr) error = "no plane primitive has been built";
        return plane;
    }
    const SceneMesh* mesh = session.findMesh(name);
    if (mesh == nullptr) {
        error = "no object called \"" + name + "\"";
        return nullptr;
    }
    return mesh->object;
}

HostVertex* ScriptRun::vertex(const std::string& ref, std::string& error) {
    const std::size_t colon = ref.rfind(':');
    if (colon == std::string::npos) {
        error = "\"" + ref + "\" is not a vertex reference (OBJECT:N)";
        return nullptr;
    }
    HostObject* o = object(ref.substr(0, colon), error);
    if (o == nullptr) return nullptr;
    long long n = 0;
    if (!integer(ref.substr(colon + 1), n, error)) return nullptr;
    if (n < 1 || n > o->vertexCount) {
        error = ref + ": the object has " + std::to_string(o->vertexCount) +
                " vertices, numbered from 1";
        return nullptr;
    }
    return o->vertices[n - 1];
}

bool ScriptRun::vertices(const Tokens& a, std::size_t from, std::size_t to,
                         std::vector<HostVertex*>& result, std::string& error) {
    for (std::size_t i = from; i < to; ++i) {
        HostVertex* v = vertex(a[i], error);
        if (v == nullptr) return false;
        result.push_back(v);
    }
    return true;
}

bool ScriptRun::nextMessage(bool wantError, const std::string& text, std::string& error) {
    const auto& shown = session.shown();
    const std::string wanted =
        std::string("expected the ") + (wantError ? "error" : "message") + " \"" + text + "\"";
    if (consumedMessages >= shown.size()) {
        error = wanted + ", but the plug-in showed nothing more";
        return false;
    }
    const ShownMessage& next = shown[consumedMessages++];
    if (next.isError != wantError || next.text != text) {
        error = wanted + ", but the plug-in showed the " + (next.isError ? "error" : "message") +
                " \"" + next.text + "\"";
        return false;
    }
    return true;
}

long long ScriptRun::unexpectedError() const {
    const auto& shown = session.shown();
    for (std::size_t i = consumedMessages; i < shown.size(); ++i) {
        if (shown[i].isError) return static_cast<long long>(i);
    }
    return -1;
}

std::size_t findWord(const Tokens& a, const std::string& keyword) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == keyword) return i;
    }
    return a.size();
}

}  // namespace talvexhost
