// The state of one running session script and its statements, shared by
// the statement interpreter (script_runner.cpp) and the expectations
// (script_expect.cpp). Only those two files include it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "host_session.h"
#include "number_text.h"
#include "script_runner.h"
#include "working_folder.h"

namespace talvexhost {

using Tokens = std::vector<std::string>;

class ScriptRun {
public:
    ScriptRun(const std::string& path, const ScriptOptions& options, std::ostream& out)
        : options_(options), session_(out), out_(out) {
        scriptFolder_ = std::filesystem::path(path).parent_path().string();
    }

    bool setUp(std::string& error) {
        if (!folder_.enter(error)) return false;
        return session_.loadPlugin(options_.pluginPath, error);
    }

    // Runs one statement (its words); false with the reason in `error`.
    bool statement(const Tokens& w, std::string& error);

private:
    bool started_ = false;
    ScriptOptions options_;
    HostSession session_;
    std::ostream& out_;
    WorkingFolder folder_;
    std::string scriptFolder_;
    std::size_t consumedMessages_ = 0;
    std::vector<unsigned char> lastFrame_;

    hostsim::Host& host() { return session_.host(); }

    // The host paints once before the plug-in's first call, as the real host
    // does; the plug-in reads its settings in that first draw.
    bool start(std::string& error) {
        if (started_) return true;
        started_ = true;
        return session_.openViewport(options_.width, options_.height, error);
    }

    std::string input(const std::string& path) const { return resolvePath(scriptFolder_, path); }
    std::string output(const std::string& path) const { return resolvePath(options_.outputFolder, path); }

    bool number(const std::string& word, float& value, std::string& error) {
        if (parseFloat(word, value)) return true;
        error = "\"" + word + "\" is not a number";
        return false;
    }
    bool integer(const std::string& word, long long& value, std::string& error) {
        std::int64_t parsed = 0;
        if (parseInteger(word, parsed)) {
            value = parsed;
            return true;
        }
        error = "\"" + word + "\" is not an integer";
        return false;
    }

    HostObject* object(const std::string& name, std::string& error) {
        if (name == "@plane") {
            HostObject* plane = session_.newestPlane();
            if (plane == nullptr) error = "no plane primitive has been built";
            return plane;
        }
        const SceneMesh* mesh = session_.findMesh(name);
        if (mesh == nullptr) {
            error = "no object called \"" + name + "\"";
            return nullptr;
        }
        return mesh->object;
    }

    // NAME:INDEX, the host vertex INDEX (from 0) of object NAME.
    HostVertex* vertex(const std::string& ref, std::string& error) {
        const std::size_t colon = ref.rfind(':');
        if (colon == std::string::npos) {
            error = "\"" + ref + "\" is not a vertex reference (OBJECT:INDEX)";
            return nullptr;
        }
        HostObject* o = object(ref.substr(0, colon), error);
        if (o == nullptr) return nullptr;
        long long index = 0;
        if (!integer(ref.substr(colon + 1), index, error)) return nullptr;
        if (index < 0 || index >= o->vertexCount) {
            error = ref + ": the object has " + std::to_string(o->vertexCount) + " vertices";
            return nullptr;
        }
        return o->vertices[index];
    }

    bool vertices(const Tokens& w, std::size_t from, std::size_t to, std::vector<HostVertex*>& result,
                  std::string& error) {
        for (std::size_t i = from; i < to; ++i) {
            HostVertex* v = vertex(w[i], error);
            if (v == nullptr) return false;
            result.push_back(v);
        }
        return true;
    }

    // Position of the word `keyword` in w, or w.size().
    static std::size_t find(const Tokens& w, const std::string& keyword, std::size_t from = 1) {
        for (std::size_t i = from; i < w.size(); ++i) {
            if (w[i] == keyword) return i;
        }
        return w.size();
    }

    bool nextMessage(bool wantError, const std::string& text, std::string& error) {
        const auto& shown = session_.shown();
        if (consumedMessages_ >= shown.size()) {
            error = std::string("expected the ") + (wantError ? "error" : "message") + " \"" + text +
                    "\", but the plug-in showed nothing more";
            return false;
        }
        const ShownMessage& next = shown[consumedMessages_++];
        if (next.isError != wantError || next.text != text) {
            error = std::string("expected the ") + (wantError ? "error" : "message") + " \"" + text +
                    "\", but the plug-in showed the " + (next.isError ? "error" : "message") + " \"" + next.text +
                    "\"";
            return false;
        }
        return true;
    }

    bool expect(const Tokens& w, std::string& error);
    bool drag(const Tokens& w, std::string& error);
};

}  // namespace talvexhost
