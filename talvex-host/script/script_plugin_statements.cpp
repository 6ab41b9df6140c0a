// Session-script statements that reach the plug-in: its commands, the host's
// notifications and events, and painting the viewport.
#include "script/script_state.h"
#include "session/viewport.h"

namespace talvexhost {

namespace {

bool command(ScriptRun& run, const Tokens& a, std::string& error) {
    if (run.session.runCommand(a[0])) return true;
    error = "the plug-in has no command \"" + a[0] + "\"";
    return false;
}

// execute INDEX [unchecked]: the plug-in's command INDEX of its own table,
// counted from 0 as the host's interface does. An index outside the table is
// a mistake in the script, unless "unchecked" says the script means to see
// what the plug-in does with it.
bool execute(ScriptRun& run, const Tokens& a, std::string& error) {
    long long index = 0;
    if (!run.integer(a[0], index, error)) return false;
    const bool unchecked = a.size() == 2 && a[1] == "unchecked";
    if (a.size() == 2 && !unchecked) {
        error = "usage: execute INDEX [unchecked]";
        return false;
    }
    const int count = run.host().commandCount();
    if (!unchecked && (index < 0 || index >= count)) {
        error = "there is no command " + a[0] + ": the plug-in has " + std::to_string(count) +
                ", numbered from 0 to " + std::to_string(count - 1);
        return false;
    }
    if (run.host().execute(static_cast<int>(index))) return true;
    error = "execute answered false";
    return false;
}

// event CODE: a letter ("D", "E", "_") or a number.
bool event(ScriptRun& run, const Tokens& a, std::string& error) {
    long long code = 0;
    if (a[0].size() == 1 && !(a[0][0] >= '0' && a[0][0] <= '9')) {
        code = static_cast<unsigned char>(a[0][0]);
    } else if (!run.integer(a[0], code, error)) {
        return false;
    }
    run.host().hostEvent(static_cast<int>(code));
    return true;
}

bool hostCommand(ScriptRun& run, const Tokens& a, std::string& error) {
    long long id = 0;
    if (!run.integer(a[0], id, error)) return false;
    if (run.host().hostCommand(static_cast<int>(id))) return true;
    error = "hostCommand answered false";
    return false;
}

bool selectionChanged(ScriptRun& run, const Tokens&, std::string&) {
    run.host().selectionChanged();
    return true;
}

bool hold(ScriptRun& run, const Tokens& a, std::string& error) {
    if (a[0] != "a" && a[0] != "b") {
        error = "hold a, or hold b";
        return false;
    }
    const bool answer = a[0] == "a" ? run.host().holdPairsA() : run.host().holdPairsB();
    if (!answer) error = "holdPairs answered false";
    return answer;
}

// [view AZIMUTH ELEVATION] [up y|z] from word `i` on.
bool viewOptions(const ScriptRun& run, const Tokens& a, std::size_t i, RenderOptions& render,
                 std::string& error) {
    for (; i < a.size(); ++i) {
        float azimuth = 0.0f;
        float elevation = 0.0f;
        if (a[i] == "view" && i + 2 < a.size() && run.number(a[i + 1], azimuth, error) &&
            run.number(a[i + 2], elevation, error)) {
            render.azimuthDegrees = azimuth;
            render.elevationDegrees = elevation;
            i += 2;
        } else if (a[i] == "up" && i + 1 < a.size() && (a[i + 1] == "y" || a[i + 1] == "z")) {
            render.up = a[i + 1][0];
            ++i;
        } else {
            error = "unexpected \"" + a[i] + "\"";
            return false;
        }
    }
    return true;
}

void paint(ScriptRun& run, const RenderOptions& render) {
    run.session.viewport()->render(run.session, render);
    run.lastFrame = run.session.viewport()->pixelsTopDown();
}

// draw [FLAG] [view ...] [up ...]: the plug-in's draw with FLAG (default 0).
bool draw(ScriptRun& run, const Tokens& a, std::string& error) {
    RenderOptions render;
    std::size_t from = 0;
    if (!a.empty() && a[0] != "view" && a[0] != "up") {
        long long flag = 0;
        if (!run.integer(a[0], flag, error)) return false;
        render.drawFlag = static_cast<int>(flag);
        from = 1;
    }
    if (!viewOptions(run, a, from, render, error)) return false;
    paint(run, render);
    return true;
}

bool renderPng(ScriptRun& run, const Tokens& a, std::string& error) {
    RenderOptions render;
    if (!viewOptions(run, a, 1, render, error)) return false;
    paint(run, render);
    return run.session.viewport()->savePng(run.file(a[0]), error);
}

bool release(ScriptRun& run, const Tokens& a, std::string& error) {
    long long flag = 0;
    if (!a.empty() && !run.integer(a[0], flag, error)) return false;
    run.host().release(static_cast<int>(flag));
    return true;
}

bool expect(ScriptRun& run, const Tokens& a, std::string& error) {
    return dispatch(run, {&expectations()}, a, 0, "unknown expectation", error);
}

}  // namespace

const std::vector<Verb>& pluginStatements() {
    static const std::vector<Verb> table = {
        {"command", 1, 1, "command \"NAME\"", command, true},
        {"execute", 1, 2, "execute INDEX [unchecked]", execute, true},
        {"event", 1, 1, "event CODE", event, true},
        {"host-command", 1, 1, "host-command ID", hostCommand, true},
        {"selection-changed", 0, 0, "selection-changed", selectionChanged, true},
        {"hold", 1, 1, "hold a | hold b", hold, true},
        {"draw", 0, kAnyCount, "draw [FLAG] [view AZIMUTH ELEVATION] [up y|z]", draw, true},
        {"render", 1, kAnyCount, "render FILE.png [view AZIMUTH ELEVATION] [up y|z]", renderPng,
         true},
        {"release", 0, 1, "release [FLAG]", release, true},
        {"expect", 1, kAnyCount, "expect WHAT ...", expect, true},
    };
    return table;
}

}  // namespace talvexhost
