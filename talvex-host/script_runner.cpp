#include "script_runner.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <sstream>

#include "obj_document.h"
#include "script_run.h"
#include "viewport.h"

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
                if (line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) {
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
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') word += line[i++];
        }
        words.push_back(word);
    }
    return true;
}


}  // namespace

bool ScriptRun::statement(const Tokens& w, std::string& error) {
    const std::string& verb = w[0];
    auto arity = [&](std::size_t least, std::size_t most) {
        if (w.size() - 1 >= least && w.size() - 1 <= most) return true;
        error = "\"" + verb + "\" takes " +
                (least == most ? std::to_string(least) : std::to_string(least) + " to " + std::to_string(most)) +
                " arguments";
        return false;
    };

    if (verb == "echo") {
        for (std::size_t i = 1; i < w.size(); ++i) out_ << (i > 1 ? " " : "") << w[i];
        out_ << "\n";
        return true;
    }
    if (verb == "ini") {
        // Settings the plug-in reads at its next bind (the first paint, or
        // the paint after "Talvex Reload INI").
        return folder_.writeSettings(Tokens(w.begin() + 1, w.end()), error);
    }
    if (verb == "load") {
        if (!arity(1, 1)) return false;
        return session_.loadMesh(input(w[1]), error) >= 0;
    }
    if (verb == "object") {
        if (!arity(1, 100000)) return false;
        std::vector<hostsim::Point> points;
        for (std::size_t i = 2; i < w.size(); ++i) {
            float c[3];
            std::stringstream parts(w[i]);
            std::string part;
            int n = 0;
            while (std::getline(parts, part, ',')) {
                if (n == 3 || !number(part, c[n], error)) {
                    if (n == 3) error = "\"" + w[i] + "\" is not a point X,Y,Z";
                    return false;
                }
                ++n;
            }
            if (n != 3) {
                error = "\"" + w[i] + "\" is not a point X,Y,Z";
                return false;
            }
            points.push_back({c[0], c[1], c[2]});
        }
        session_.addObject(w[1], points);
        return true;
    }

    if (!start(error)) return false;

    if (verb == "delete") {
        if (!arity(1, 1)) return false;
        HostObject* o = object(w[1], error);
        if (o == nullptr) return false;
        session_.removeObject(o);
        return true;
    }
    if (verb == "select" || verb == "edit") {
        if (w.size() < 2) {
            error = "\"" + verb + "\" needs what to select";
            return false;
        }
        const bool isEdit = verb == "edit";
        if (!isEdit && w[1] == "vertices") {
            std::vector<HostVertex*> picked;
            if (!vertices(w, 2, w.size(), picked, error)) return false;
            session_.selectVertices(picked);
            return true;
        }
        std::size_t first = isEdit ? 1 : 2;
        if (!isEdit && w[1] != "objects" && w[1] != "none") {
            error = "select objects NAME..., select vertices REF... or select none";
            return false;
        }
        std::vector<HostObject*> picked;
        if (w[1] != "none") {
            for (std::size_t i = first; i < w.size(); ++i) {
                HostObject* o = object(w[i], error);
                if (o == nullptr) return false;
                picked.push_back(o);
            }
        }
        if (isEdit) {
            host().scene.setEditObjects(picked);
        } else {
            if (w[1] == "none") session_.host().scene.selectVertices({});
            session_.selectObjects(picked);
        }
        return true;
    }
    if (verb == "mark" || verb == "unmark") {
        std::vector<HostVertex*> picked;
        if (!vertices(w, 1, w.size(), picked, error)) return false;
        for (HostVertex* v : picked) v->flags = verb == "mark" ? (v->flags | 1u) : (v->flags & ~1u);
        return true;
    }
    if (verb == "move") {
        // move REF... to X Y Z | move REF... by DX DY DZ: no notification.
        std::size_t at = std::min(find(w, "to"), find(w, "by"));
        if (at == w.size() || w.size() != at + 4) {
            error = "move REF... to X Y Z, or move REF... by DX DY DZ";
            return false;
        }
        std::vector<HostVertex*> picked;
        float c[3];
        if (!vertices(w, 1, at, picked, error)) return false;
        for (int k = 0; k < 3; ++k)
            if (!number(w[at + 1 + k], c[k], error)) return false;
        for (HostVertex* v : picked) {
            if (w[at] == "to") {
                v->x = c[0];
                v->y = c[1];
                v->z = c[2];
            } else {
                v->x = static_cast<float>(double(v->x) + double(c[0]));
                v->y = static_cast<float>(double(v->y) + double(c[1]));
                v->z = static_cast<float>(double(v->z) + double(c[2]));
            }
        }
        return true;
    }
    if (verb == "mode") {
        long long mode = 0;
        if (!arity(1, 1) || !integer(w[1], mode, error)) return false;
        host().selectionMode = static_cast<int>(mode);
        return true;
    }
    if (verb == "manipulator") {
        if (!arity(3, 3)) return false;
        float c[3];
        for (int k = 0; k < 3; ++k)
            if (!number(w[1 + k], c[k], error)) return false;
        host().manipulator = {c[0], c[1], c[2]};
        return true;
    }
    if (verb == "primitive") {
        if (!arity(6, 6)) return false;
        long long i0, i3, i4, i5;
        float s1, s2;
        if (!integer(w[1], i0, error) || !number(w[2], s1, error) || !number(w[3], s2, error) ||
            !integer(w[4], i3, error) || !integer(w[5], i4, error) || !integer(w[6], i5, error))
            return false;
        host().scene.primitive = {static_cast<std::int32_t>(i0), s1, s2, static_cast<std::int32_t>(i3),
                                  static_cast<std::int32_t>(i4), static_cast<std::int32_t>(i5)};
        return true;
    }
    if (verb == "command") {
        if (!arity(1, 1)) return false;
        if (session_.runCommand(w[1])) return true;
        error = "the plug-in has no command \"" + w[1] + "\"";
        return false;
    }
    if (verb == "execute") {
        long long index = 0;
        if (!arity(1, 1) || !integer(w[1], index, error)) return false;
        if (!host().execute(static_cast<int>(index))) {
            error = "execute answered false";
            return false;
        }
        return true;
    }
    if (verb == "drag") return drag(w, error);
    if (verb == "event") {
        if (!arity(1, 1)) return false;
        long long code = 0;
        if (w[1].size() == 1 && !(w[1][0] >= '0' && w[1][0] <= '9')) {
            code = static_cast<unsigned char>(w[1][0]);
        } else if (!integer(w[1], code, error)) {
            return false;
        }
        host().hostEvent(static_cast<int>(code));
        return true;
    }
    if (verb == "host-command") {
        long long id = 0;
        if (!arity(1, 1) || !integer(w[1], id, error)) return false;
        if (!host().hostCommand(static_cast<int>(id))) {
            error = "hostCommand answered false";
            return false;
        }
        return true;
    }
    if (verb == "selection-changed") {
        host().selectionChanged();
        return true;
    }
    if (verb == "hold") {
        if (!arity(1, 1)) return false;
        if (w[1] != "a" && w[1] != "b") {
            error = "hold a, or hold b";
            return false;
        }
        const bool answer = w[1] == "a" ? host().holdPairsA() : host().holdPairsB();
        if (!answer) error = "holdPairs answered false";
        return answer;
    }
    if (verb == "draw" || verb == "render") {
        RenderOptions render;
        std::size_t i = 1;
        std::string file;
        if (verb == "render") {
            if (w.size() < 2) {
                error = "render FILE.png [view AZIMUTH ELEVATION] [up y|z]";
                return false;
            }
            file = output(w[1]);
            i = 2;
        } else if (w.size() > 1) {
            long long flag = 0;
            if (!integer(w[1], flag, error)) return false;
            render.drawFlag = static_cast<int>(flag);
            i = 2;
        }
        for (; i < w.size(); ++i) {
            float a = 0.0f;
            float e = 0.0f;
            if (w[i] == "view" && i + 2 < w.size() && number(w[i + 1], a, error) && number(w[i + 2], e, error)) {
                render.azimuthDegrees = a;
                render.elevationDegrees = e;
                i += 2;
            } else if (w[i] == "up" && i + 1 < w.size() && (w[i + 1] == "y" || w[i + 1] == "z")) {
                render.up = w[i + 1][0];
                ++i;
            } else {
                error = "unexpected \"" + w[i] + "\"";
                return false;
            }
        }
        session_.viewport()->render(session_, render);
        lastFrame_ = session_.viewport()->pixelsTopDown();
        return file.empty() || session_.viewport()->savePng(file, error);
    }
    if (verb == "release") {
        long long flag = 0;
        if (w.size() > 1 && !integer(w[1], flag, error)) return false;
        host().release(static_cast<int>(flag));
        return true;
    }
    if (verb == "save") {
        // save FILE [N]: the N-th loaded mesh file (default the first).
        if (!arity(1, 2)) return false;
        long long n = 1;
        if (w.size() == 3 && !integer(w[2], n, error)) return false;
        if (n < 1 || n > static_cast<long long>(session_.documents().size())) {
            error = "there is no loaded mesh file number " + std::to_string(n);
            return false;
        }
        return session_.saveDocument(static_cast<int>(n - 1), output(w[1]), error);
    }
    if (verb == "undo") {
        if (!host().undo()) {
            error = "there is no edit step to undo";
            return false;
        }
        return true;
    }
    if (verb == "expect") return expect(w, error);
    error = "unknown statement \"" + verb + "\"";
    return false;
}

// drag REF... by DX DY DZ [steps N]: moves the vertices in N equal steps and
// reports each step to verticesMoved: the vertices, then the first of them
// again as the search point (the vertex under the cursor).
bool ScriptRun::drag(const Tokens& w, std::string& error) {
    const std::size_t by = find(w, "by");
    if (by == w.size() || by < 2 || (w.size() != by + 4 && !(w.size() == by + 6 && w[by + 4] == "steps"))) {
        error = "drag REF... by DX DY DZ [steps N]";
        return false;
    }
    std::vector<HostVertex*> dragged;
    if (!vertices(w, 1, by, dragged, error)) return false;
    float delta[3];
    for (int k = 0; k < 3; ++k)
        if (!number(w[by + 1 + k], delta[k], error)) return false;
    long long steps = 1;
    if (w.size() == by + 6 && (!integer(w[by + 5], steps, error) || steps < 1)) {
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
        host().reportMoved(dragged, dragged.front());
    }
    return true;
}

bool runScriptFile(const std::string& path, const ScriptOptions& options, std::ostream& out, std::string& error) {
    std::string text;
    if (!readWholeFile(path, text, error)) return false;
    ScriptRun run(path, options, out);
    if (!run.setUp(error)) return false;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    Tokens words;
    while (std::getline(lines, line)) {
        ++number;
        std::string reason;
        if (!splitWords(line, words, reason) || (!words.empty() && !run.statement(words, reason))) {
            error = path + ":" + std::to_string(number) + ": " + reason;
            return false;
        }
    }
    return true;
}

}  // namespace talvexhost
