// The expectations of session scripts: `expect WHAT ...` statements that
// compare the host's state and the plug-in's answers with what the script
// says, stopping the script when they differ.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "io/mesh_document.h"
#include "io/number_text.h"
#include "io/safe_writer.h"
#include "script/script_run.h"

namespace talvexhost {

namespace {

bool count(ScriptRun& run, const std::string& word, long long actual, const char* label,
           std::string& error) {
    long long wanted = 0;
    if (!run.integer(word, wanted, error)) return false;
    if (actual == wanted) return true;
    error =
        "expected " + std::to_string(wanted) + " " + label + ", found " + std::to_string(actual);
    return false;
}

bool message(ScriptRun& run, const Tokens& a, std::string& error) {
    return run.nextMessage(false, a[0], error);
}

bool errorShown(ScriptRun& run, const Tokens& a, std::string& error) {
    return run.nextMessage(true, a[0], error);
}

// Nothing shown since the last message expectation.
bool quiet(ScriptRun& run, const Tokens&, std::string& error) {
    const auto& shown = run.session.shown();
    if (run.consumedMessages >= shown.size()) return true;
    const ShownMessage& next = shown[run.consumedMessages];
    error = std::string("expected no more messages, but the plug-in showed the ") +
            (next.isError ? "error" : "message") + " \"" + next.text + "\"";
    return false;
}

// expect vertex V X Y Z [within E]: exact float equality unless a tolerance
// is given.
bool vertex(ScriptRun& run, const Tokens& a, std::string& error) {
    const bool within = a.size() == 6;
    if (a.size() == 5 || (within && a[4] != "within")) {
        error = "usage: expect vertex V X Y Z [within E]";
        return false;
    }
    HostVertex* v = run.vertex(a[0], error);
    float c[3];
    float tolerance = 0.0f;
    if (v == nullptr || !run.point(a, 1, c, error) ||
        (within && !run.number(a[5], tolerance, error)))
        return false;
    const float actual[3] = {v->x, v->y, v->z};
    for (int k = 0; k < 3; ++k) {
        const bool ok = within ? std::fabs(double(actual[k]) - double(c[k])) <= double(tolerance)
                               : std::memcmp(&actual[k], &c[k], sizeof(float)) == 0;
        if (ok) continue;
        error = a[0] + " is at (" + formatFloat(actual[0]) + ", " + formatFloat(actual[1]) + ", " +
                formatFloat(actual[2]) + "), expected (" + a[1] + ", " + a[2] + ", " + a[3] + ")" +
                (within ? " within " + a[5] : "");
        return false;
    }
    return true;
}

bool marked(ScriptRun& run, const Tokens& a, std::string& error) {
    if (a[1] != "yes" && a[1] != "no") {
        error = "usage: expect marked V yes|no";
        return false;
    }
    HostVertex* v = run.vertex(a[0], error);
    if (v == nullptr) return false;
    if (((v->flags & kVertexDoNotMove) != 0) == (a[1] == "yes")) return true;
    error = a[0] + (a[1] == "yes" ? " is not marked" : " is marked");
    return false;
}

bool registered(ScriptRun& run, const Tokens& a, std::string& error) {
    const auto n = static_cast<long long>(run.host().lastRegistered.size());
    return count(run, a[0], n, "registered vertices", error);
}

bool edits(ScriptRun& run, const Tokens& a, std::string& error) {
    const auto n = static_cast<long long>(run.host().undoSteps.size());
    return count(run, a[0], n, "edit steps", error);
}

bool selected(ScriptRun& run, const Tokens& a, std::string& error) {
    return count(run, a[0], run.host().scene.selected.list.count, "selected objects", error);
}

bool objects(ScriptRun& run, const Tokens& a, std::string& error) {
    const auto n = static_cast<long long>(run.host().scene.objects().size());
    return count(run, a[0], n, "objects in the scene", error);
}

bool planes(ScriptRun& run, const Tokens& a, std::string& error) {
    const auto n = static_cast<long long>(run.session.planePrimitives().size());
    return count(run, a[0], n, "plane primitives", error);
}

bool commands(ScriptRun& run, const Tokens& a, std::string& error) {
    return count(run, a[0], run.host().commandCount(), "commands", error);
}

bool calls(ScriptRun& run, const Tokens& a, std::string& error) {
    long long n = 0;
    for (const hostsim::ServiceCall& call : run.host().calls) n += call.service == a[0] ? 1 : 0;
    long long wanted = 0;
    if (!run.integer(a[1], wanted, error)) return false;
    if (n == wanted) return true;
    error = "expected " + a[1] + " calls of " + a[0] + ", found " + std::to_string(n);
    return false;
}

// What the plug-in's table answers for command `a[0]` (counted from 0, any
// index: the table's answers outside its range are part of the interface).
bool commandEntry(const Tokens& a, const std::string& actual, const char* what,
                  std::string& error) {
    if (actual == a[1]) return true;
    error = std::string(what) + " of " + a[0] + " is \"" + actual + "\", expected \"" + a[1] + "\"";
    return false;
}

bool commandName(ScriptRun& run, const Tokens& a, std::string& error) {
    long long index = 0;
    if (!run.integer(a[0], index, error)) return false;
    const std::string actual = run.host().commandName(static_cast<int>(index));
    return commandEntry(a, actual, "command-name", error);
}

bool commandKind(ScriptRun& run, const Tokens& a, std::string& error) {
    long long index = 0;
    if (!run.integer(a[0], index, error)) return false;
    const std::string actual = std::to_string(run.host().commandKind(static_cast<int>(index)));
    return commandEntry(a, actual, "command-kind", error);
}

bool primitive(ScriptRun& run, const Tokens& a, std::string& error) {
    const PrimitiveParams& p = run.host().scene.primitive;
    std::ostringstream actual;
    actual << p.param0 << " " << formatFloat(p.firstSize) << " " << formatFloat(p.secondSize) << " "
           << p.param3 << " " << p.param4 << " " << p.param5;
    std::ostringstream wanted;
    for (std::size_t i = 0; i < 6; ++i) {
        float f = 0.0f;
        if (i == 1 || i == 2) {
            if (!run.number(a[i], f, error)) return false;
            wanted << (i > 0 ? " " : "") << formatFloat(f);
        } else {
            wanted << (i > 0 ? " " : "") << a[i];
        }
    }
    if (actual.str() == wanted.str()) return true;
    error = "primitive parameters are " + actual.str() + ", expected " + wanted.str();
    return false;
}

// expect same FILE FILE: byte-identical files.
bool same(ScriptRun& run, const Tokens& a, std::string& error) {
    std::string first, second;
    if (!readWholeFile(run.file(a[0]), first, error) ||
        !readWholeFile(run.file(a[1]), second, error))
        return false;
    if (first == second) return true;
    std::size_t at = 0;
    while (at < first.size() && at < second.size() && first[at] == second[at]) ++at;
    error = a[0] + " and " + a[1] + " differ from byte " + std::to_string(at);
    return false;
}

// expect load-error FILE "TEXT": loading FILE fails with a message
// containing TEXT.
bool loadError(ScriptRun& run, const Tokens& a, std::string& error) {
    std::string reason;
    if (loadMeshDocument(run.file(a[0]), reason)) {
        error = a[0] + " loaded without error";
        return false;
    }
    if (reason.find(a[1]) != std::string::npos) return true;
    error = "loading " + a[0] + " failed with \"" + reason + "\", expected \"" + a[1] + "\"";
    return false;
}

// expect pixels R G B [at-least N | none]: pixels of that colour (each
// channel within 8) in the last frame drawn.
bool pixels(ScriptRun& run, const Tokens& a, std::string& error) {
    long long rgb[3];
    for (int k = 0; k < 3; ++k) {
        if (!run.integer(a[k], rgb[k], error)) return false;
    }
    const bool none = a.size() == 4 && a[3] == "none";
    long long least = 1;
    if (a.size() == 5 && a[3] == "at-least") {
        if (!run.integer(a[4], least, error)) return false;
    } else if (a.size() != 3 && !none) {
        error = "usage: expect pixels R G B [at-least N | none]";
        return false;
    }
    if (run.lastFrame.empty()) {
        error = "nothing has been drawn";
        return false;
    }
    long long found = 0;
    for (std::size_t i = 0; i + 3 < run.lastFrame.size(); i += 4) {
        bool same = true;
        for (int k = 0; k < 3; ++k)
            same = same && std::abs(int(run.lastFrame[i + k]) - int(rgb[k])) <= 8;
        found += same ? 1 : 0;
    }
    if (none ? found == 0 : found >= least) return true;
    error = std::to_string(found) + " pixels of colour " + a[0] + " " + a[1] + " " + a[2] +
            (none ? ", expected none" : ", expected at least " + std::to_string(least));
    return false;
}

}  // namespace

const std::vector<Verb>& expectations() {
    static const std::vector<Verb> table = {
        {"message", 1, 1, "expect message \"TEXT\"", message, false},
        {"error", 1, 1, "expect error \"TEXT\"", errorShown, false},
        {"quiet", 0, 0, "expect quiet", quiet, false},
        {"vertex", 4, 6, "expect vertex V X Y Z [within E]", vertex, false},
        {"marked", 2, 2, "expect marked V yes|no", marked, false},
        {"registered", 1, 1, "expect registered N", registered, false},
        {"edits", 1, 1, "expect edits N", edits, false},
        {"selected", 1, 1, "expect selected N", selected, false},
        {"objects", 1, 1, "expect objects N", objects, false},
        {"planes", 1, 1, "expect planes N", planes, false},
        {"commands", 1, 1, "expect commands N", commands, false},
        {"calls", 2, 2, "expect calls SERVICE N", calls, false},
        {"command-name", 2, 2, "expect command-name INDEX NAME", commandName, false},
        {"command-kind", 2, 2, "expect command-kind INDEX KIND", commandKind, false},
        {"primitive", 6, 6, "expect primitive I0 SIZE1 SIZE2 I3 I4 I5", primitive, false},
        {"same", 2, 2, "expect same FILE FILE", same, false},
        {"load-error", 2, 2, "expect load-error FILE \"TEXT\"", loadError, false},
        {"pixels", 3, 5, "expect pixels R G B [at-least N | none]", pixels, false},
    };
    return table;
}

}  // namespace talvexhost
