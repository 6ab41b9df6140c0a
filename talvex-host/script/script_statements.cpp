// Session-script statements that build and change the host's scene: objects,
// selection, marks, vertex moves, the host's answers, saving and undo. None
// of them calls the plug-in except through the host's own notifications.
#include <algorithm>
#include <cstdint>
#include <sstream>

#include "script/script_state.h"

namespace talvexhost {

namespace {

bool echo(ScriptRun& run, const Tokens& a, std::string&) {
    for (std::size_t i = 0; i < a.size(); ++i) run.out << (i > 0 ? " " : "") << a[i];
    run.out << "\n";
    return true;
}

// Settings the plug-in reads at its next bind (the first paint, or the paint
// after "Talvex Reload INI").
bool ini(ScriptRun& run, const Tokens& a, std::string& error) {
    return run.folder.writeSettings(a, error);
}

bool load(ScriptRun& run, const Tokens& a, std::string& error) {
    return run.session.loadMesh(run.file(a[0]), error) >= 0;
}

bool parsePoint(const ScriptRun& run, const std::string& word, hostsim::Point& p,
                std::string& error) {
    float c[3];
    std::stringstream parts(word);
    std::string part;
    int n = 0;
    while (std::getline(parts, part, ',')) {
        if (n == 3) {
            n = 4;
            break;
        }
        if (!run.number(part, c[n++], error)) return false;
    }
    if (n != 3) {
        error = "\"" + word + "\" is not a point X,Y,Z";
        return false;
    }
    p = {c[0], c[1], c[2]};
    return true;
}

bool object(ScriptRun& run, const Tokens& a, std::string& error) {
    std::vector<hostsim::Point> points(a.size() - 1);
    for (std::size_t i = 1; i < a.size(); ++i) {
        if (!parsePoint(run, a[i], points[i - 1], error)) return false;
    }
    run.session.addObject(a[0], points);
    return true;
}

bool deleteObject(ScriptRun& run, const Tokens& a, std::string& error) {
    HostObject* o = run.object(a[0], error);
    if (o == nullptr) return false;
    run.session.removeObject(o);
    return true;
}

bool objects(ScriptRun& run, const Tokens& a, std::size_t from, std::vector<HostObject*>& picked,
             std::string& error) {
    for (std::size_t i = from; i < a.size(); ++i) {
        HostObject* o = run.object(a[i], error);
        if (o == nullptr) return false;
        picked.push_back(o);
    }
    return true;
}

bool select(ScriptRun& run, const Tokens& a, std::string& error) {
    if (a[0] == "vertices") {
        std::vector<HostVertex*> picked;
        if (!run.vertices(a, 1, a.size(), picked, error)) return false;
        run.session.selectVertices(picked);
        return true;
    }
    if (a[0] == "none" && a.size() == 1) {
        run.host().scene.selectVertices({});
        run.session.selectObjects({});
        return true;
    }
    if (a[0] != "objects") {
        error = "select objects NAME..., select vertices V... or select none";
        return false;
    }
    std::vector<HostObject*> picked;
    if (!objects(run, a, 1, picked, error)) return false;
    run.session.selectObjects(picked);
    return true;
}

bool edit(ScriptRun& run, const Tokens& a, std::string& error) {
    std::vector<HostObject*> picked;
    if (!(a[0] == "none" && a.size() == 1) && !objects(run, a, 0, picked, error)) return false;
    run.host().scene.setEditObjects(picked);
    return true;
}

// Sets or clears the host's "do not move" bit on the picked vertices.
bool setMark(ScriptRun& run, const Tokens& a, bool marked, std::string& error) {
    std::vector<HostVertex*> picked;
    if (!run.vertices(a, 0, a.size(), picked, error)) return false;
    for (HostVertex* v : picked)
        v->flags = marked ? (v->flags | kVertexDoNotMove) : (v->flags & ~kVertexDoNotMove);
    return true;
}

bool mark(ScriptRun& run, const Tokens& a, std::string& error) {
    return setMark(run, a, true, error);
}

bool unmark(ScriptRun& run, const Tokens& a, std::string& error) {
    return setMark(run, a, false, error);
}

// move V... to X Y Z | move V... by DX DY DZ: no notification.
bool move(ScriptRun& run, const Tokens& a, std::string& error) {
    const std::size_t at = std::min(findWord(a, "to"), findWord(a, "by"));
    if (at == 0 || at == a.size() || a.size() != at + 4) {
        error = "move V... to X Y Z, or move V... by DX DY DZ";
        return false;
    }
    std::vector<HostVertex*> picked;
    float c[3];
    if (!run.vertices(a, 0, at, picked, error) || !run.point(a, at + 1, c, error)) return false;
    const bool absolute = a[at] == "to";
    for (HostVertex* v : picked) {
        v->x = absolute ? c[0] : static_cast<float>(double(v->x) + double(c[0]));
        v->y = absolute ? c[1] : static_cast<float>(double(v->y) + double(c[1]));
        v->z = absolute ? c[2] : static_cast<float>(double(v->z) + double(c[2]));
    }
    return true;
}

// drag V... by DX DY DZ [steps N]: moves the vertices in N equal steps and
// reports each step to verticesMoved: the vertices, then the first of them
// again as the search point (the vertex under the cursor).
bool drag(ScriptRun& run, const Tokens& a, std::string& error) {
    const std::size_t by = findWord(a, "by");
    const bool hasSteps = a.size() == by + 6 && a[by + 4] == "steps";
    if (by == 0 || by == a.size() || (a.size() != by + 4 && !hasSteps)) {
        error = "drag V... by DX DY DZ [steps N]";
        return false;
    }
    std::vector<HostVertex*> dragged;
    float delta[3];
    if (!run.vertices(a, 0, by, dragged, error) || !run.point(a, by + 1, delta, error))
        return false;
    long long steps = 1;
    if (hasSteps && (!run.integer(a[by + 5], steps, error) || steps < 1)) {
        if (error.empty()) error = "steps must be at least 1";
        return false;
    }
    std::vector<hostsim::Point> start;
    for (HostVertex* v : dragged) start.push_back({v->x, v->y, v->z});
    for (long long step = 1; step <= steps; ++step) {
        const double fraction = double(step) / double(steps);
        for (std::size_t i = 0; i < dragged.size(); ++i) {
            dragged[i]->x = static_cast<float>(double(start[i].x) + double(delta[0]) * fraction);
            dragged[i]->y = static_cast<float>(double(start[i].y) + double(delta[1]) * fraction);
            dragged[i]->z = static_cast<float>(double(start[i].z) + double(delta[2]) * fraction);
        }
        run.host().reportMoved(dragged, dragged.front());
    }
    return true;
}

bool mode(ScriptRun& run, const Tokens& a, std::string& error) {
    long long mode = 0;
    if (!run.integer(a[0], mode, error)) return false;
    run.host().selectionMode = static_cast<int>(mode);
    return true;
}

bool manipulator(ScriptRun& run, const Tokens& a, std::string& error) {
    float c[3];
    if (!run.point(a, 0, c, error)) return false;
    run.host().manipulator = {c[0], c[1], c[2]};
    return true;
}

// The parameters the host answers the plug-in's primitive query with.
bool primitive(ScriptRun& run, const Tokens& a, std::string& error) {
    long long i0, i3, i4, i5;
    float s1, s2;
    if (!run.integer(a[0], i0, error) || !run.number(a[1], s1, error) ||
        !run.number(a[2], s2, error) || !run.integer(a[3], i3, error) ||
        !run.integer(a[4], i4, error) || !run.integer(a[5], i5, error))
        return false;
    run.host().scene.primitive = {static_cast<std::int32_t>(i0),
                                  s1,
                                  s2,
                                  static_cast<std::int32_t>(i3),
                                  static_cast<std::int32_t>(i4),
                                  static_cast<std::int32_t>(i5)};
    return true;
}

// save FILE [N]: the N-th loaded mesh file (default the first).
bool save(ScriptRun& run, const Tokens& a, std::string& error) {
    long long n = 1;
    if (a.size() == 2 && !run.integer(a[1], n, error)) return false;
    if (n < 1 || n > static_cast<long long>(run.session.documents().size())) {
        error = "there is no loaded mesh file number " + std::to_string(n);
        return false;
    }
    return run.session.saveDocument(static_cast<int>(n - 1), run.file(a[0]), error);
}

bool undo(ScriptRun& run, const Tokens&, std::string& error) {
    if (run.host().undo()) return true;
    error = "there is no edit step to undo";
    return false;
}

}  // namespace

const std::vector<Verb>& sceneStatements() {
    static const std::vector<Verb> table = {
        {"echo", 0, kAnyCount, "echo TEXT...", echo, false},
        {"ini", 0, kAnyCount, "ini KEY=VALUE...", ini, false},
        {"load", 1, 1, "load FILE.obj", load, false},
        {"object", 1, kAnyCount, "object NAME X,Y,Z...", object, false},
        {"delete", 1, 1, "delete OBJECT", deleteObject, true},
        {"select", 1, kAnyCount, "select objects NAME... | select vertices V... | select none",
         select, true},
        {"edit", 1, kAnyCount, "edit OBJECT... | edit none", edit, true},
        {"mark", 1, kAnyCount, "mark V...", mark, true},
        {"unmark", 1, kAnyCount, "unmark V...", unmark, true},
        {"move", 5, kAnyCount, "move V... to X Y Z | move V... by DX DY DZ", move, true},
        {"drag", 5, kAnyCount, "drag V... by DX DY DZ [steps N]", drag, true},
        {"mode", 1, 1, "mode N", mode, true},
        {"manipulator", 3, 3, "manipulator X Y Z", manipulator, true},
        {"primitive", 6, 6, "primitive I0 SIZE1 SIZE2 I3 I4 I5", primitive, true},
        {"save", 1, 2, "save FILE.obj [N]", save, true},
        {"undo", 0, 0, "undo", undo, true},
    };
    return table;
}

}  // namespace talvexhost
