// The expectations of session scripts: `expect WHAT ...` statements that
// compare the host's state and the plug-in's answers with what the script
// says, stopping the script when they differ.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "obj_document.h"
#include "script_run.h"

namespace talvexhost {

bool ScriptRun::expect(const Tokens& w, std::string& error) {
    if (w.size() < 2) {
        error = "expect what?";
        return false;
    }
    const std::string& what = w[1];
    auto count = [&](long long actual, const std::string& label) {
        long long wanted = 0;
        if (w.size() != 3 || !integer(w[2], wanted, error)) {
            if (error.empty()) error = "expect " + what + " N";
            return false;
        }
        if (actual == wanted) return true;
        error = "expected " + std::to_string(wanted) + " " + label + ", found " + std::to_string(actual);
        return false;
    };

    if (what == "message" || what == "error") {
        if (w.size() != 3) {
            error = "expect " + what + " \"TEXT\"";
            return false;
        }
        return nextMessage(what == "error", w[2], error);
    }
    if (what == "quiet") {
        // Nothing shown since the last message expectation.
        const auto& shown = session_.shown();
        if (consumedMessages_ >= shown.size()) return true;
        error = std::string("expected no more messages, but the plug-in showed the ") +
                (shown[consumedMessages_].isError ? "error" : "message") + " \"" + shown[consumedMessages_].text +
                "\"";
        return false;
    }
    if (what == "vertex") {
        // expect vertex REF X Y Z [within E]: exact float equality unless a
        // tolerance is given.
        if (w.size() != 6 && !(w.size() == 8 && w[6] == "within")) {
            error = "expect vertex REF X Y Z [within E]";
            return false;
        }
        HostVertex* v = vertex(w[2], error);
        if (v == nullptr) return false;
        float c[3];
        for (int k = 0; k < 3; ++k)
            if (!number(w[3 + k], c[k], error)) return false;
        float within = 0.0f;
        if (w.size() == 8 && !number(w[7], within, error)) return false;
        const float actual[3] = {v->x, v->y, v->z};
        for (int k = 0; k < 3; ++k) {
            const bool ok = w.size() == 8 ? std::fabs(double(actual[k]) - double(c[k])) <= double(within)
                                          : std::memcmp(&actual[k], &c[k], sizeof(float)) == 0;
            if (!ok) {
                error = w[2] + " is at (" + formatFloat(actual[0]) + ", " + formatFloat(actual[1]) + ", " +
                        formatFloat(actual[2]) + "), expected (" + w[3] + ", " + w[4] + ", " + w[5] + ")" +
                        (w.size() == 8 ? " within " + w[7] : "");
                return false;
            }
        }
        return true;
    }
    if (what == "marked") {
        if (w.size() != 4 || (w[3] != "yes" && w[3] != "no")) {
            error = "expect marked REF yes|no";
            return false;
        }
        HostVertex* v = vertex(w[2], error);
        if (v == nullptr) return false;
        if (((v->flags & 1u) != 0) == (w[3] == "yes")) return true;
        error = w[2] + (w[3] == "yes" ? " is not marked" : " is marked");
        return false;
    }
    if (what == "registered") return count(static_cast<long long>(host().lastRegistered.size()), "registered vertices");
    if (what == "edits") return count(static_cast<long long>(host().undoSteps.size()), "edit steps");
    if (what == "selected") return count(host().scene.selected.list.count, "selected objects");
    if (what == "objects") return count(static_cast<long long>(host().scene.objects().size()), "objects in the scene");
    if (what == "planes") return count(static_cast<long long>(session_.planePrimitives().size()), "plane primitives");
    if (what == "commands") return count(host().commandCount(), "commands");
    if (what == "calls") {
        if (w.size() != 4) {
            error = "expect calls SERVICE N";
            return false;
        }
        long long n = 0;
        for (const hostsim::ServiceCall& call : host().calls) n += call.service == w[2] ? 1 : 0;
        long long wanted = 0;
        if (!integer(w[3], wanted, error)) return false;
        if (n == wanted) return true;
        error = "expected " + w[3] + " calls of " + w[2] + ", found " + std::to_string(n);
        return false;
    }
    if (what == "command-name" || what == "command-kind") {
        long long index = 0;
        if (w.size() != 4 || !integer(w[2], index, error)) {
            if (error.empty()) error = "expect " + what + " INDEX VALUE";
            return false;
        }
        const int i = static_cast<int>(index);
        const std::string actual =
            what == "command-name" ? host().commandName(i) : std::to_string(host().commandKind(i));
        if (actual == w[3]) return true;
        error = what + " of " + w[2] + " is \"" + actual + "\", expected \"" + w[3] + "\"";
        return false;
    }
    if (what == "primitive") {
        if (w.size() != 8) {
            error = "expect primitive I0 SIZE1 SIZE2 I3 I4 I5";
            return false;
        }
        const PrimitiveParams& p = host().scene.primitive;
        std::ostringstream actual;
        actual << p.param0 << " " << formatFloat(p.firstSize) << " " << formatFloat(p.secondSize) << " " << p.param3
               << " " << p.param4 << " " << p.param5;
        std::ostringstream wanted;
        for (std::size_t i = 2; i < 8; ++i) {
            float f = 0.0f;
            if (i == 3 || i == 4) {
                if (!number(w[i], f, error)) return false;
                wanted << (i > 2 ? " " : "") << formatFloat(f);
            } else {
                wanted << (i > 2 ? " " : "") << w[i];
            }
        }
        if (actual.str() == wanted.str()) return true;
        error = "primitive parameters are " + actual.str() + ", expected " + wanted.str();
        return false;
    }
    if (what == "same") {
        // expect same OUTPUT INPUT: byte-identical files.
        if (w.size() != 4) {
            error = "expect same OUTPUT-FILE INPUT-FILE";
            return false;
        }
        std::string a, b;
        if (!readWholeFile(output(w[2]), a, error) || !readWholeFile(input(w[3]), b, error)) return false;
        if (a == b) return true;
        std::size_t at = 0;
        while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
        error = w[2] + " and " + w[3] + " differ from byte " + std::to_string(at);
        return false;
    }
    if (what == "load-error") {
        // expect load-error FILE "TEXT": loading FILE fails with a message
        // containing TEXT.
        if (w.size() != 4) {
            error = "expect load-error FILE \"TEXT\"";
            return false;
        }
        ObjDocument document;
        std::string reason;
        if (document.load(input(w[2]), reason)) {
            error = w[2] + " loaded without error";
            return false;
        }
        if (reason.find(w[3]) != std::string::npos) return true;
        error = "loading " + w[2] + " failed with \"" + reason + "\", expected \"" + w[3] + "\"";
        return false;
    }
    if (what == "pixels") {
        // expect pixels R G B [at-least N | none]: pixels of that colour
        // (each channel within 8) in the last frame drawn.
        long long rgb[3];
        for (int k = 0; k < 3; ++k)
            if (w.size() < 5 || !integer(w[2 + k], rgb[k], error)) {
                if (error.empty()) error = "expect pixels R G B [at-least N | none]";
                return false;
            }
        if (lastFrame_.empty()) {
            error = "nothing has been drawn";
            return false;
        }
        long long found = 0;
        for (std::size_t i = 0; i + 3 < lastFrame_.size(); i += 4) {
            bool same = true;
            for (int k = 0; k < 3; ++k) same = same && std::abs(int(lastFrame_[i + k]) - int(rgb[k])) <= 8;
            found += same ? 1 : 0;
        }
        long long least = 1;
        if (w.size() == 6 && w[5] == "none") {
            if (found == 0) return true;
            error = std::to_string(found) + " pixels of colour " + w[2] + " " + w[3] + " " + w[4] + ", expected none";
            return false;
        }
        if (w.size() == 7 && w[5] == "at-least" && !integer(w[6], least, error)) return false;
        if (found >= least) return true;
        error = std::to_string(found) + " pixels of colour " + w[2] + " " + w[3] + " " + w[4] + ", expected at least " +
                std::to_string(least);
        return false;
    }
    error = "unknown expectation \"" + what + "\"";
    return false;
}

}  // namespace talvexhost
