#include "batch_setup.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <sstream>

#include "auto_plane.h"
#include "number_text.h"
#include "obj_document.h"

namespace talvexhost {

double boxDiagonal(const std::vector<HostObject*>& objects) {
    double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    double hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    bool any = false;
    for (const HostObject* object : objects) {
        for (int i = 0; i < object->vertexCount; ++i) {
            const HostVertex* v = object->vertices[i];
            const double p[3] = {v->x, v->y, v->z};
            for (int a = 0; a < 3; ++a) {
                lo[a] = std::min(lo[a], p[a]);
                hi[a] = std::max(hi[a], p[a]);
            }
            any = true;
        }
    }
    if (!any) return 0.0;
    const double d[3] = {hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]};
    return std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
}

namespace {

// --tolerance P%: P percent of the box diagonal of the meshes worked on,
// converted to the absolute value the plug-in reads.
bool relativeTolerance(const std::string& text, const std::vector<HostObject*>& targets,
                       std::string& value, std::string& from, std::string& error) {
    double percent = 0.0;
    if (!parseDouble(text.substr(0, text.size() - 1), percent) || !(percent > 0.0)) {
        error = "--tolerance " + text + ": expected a positive percentage such as 0.5%";
        return false;
    }
    const double diagonal = boxDiagonal(targets);
    const double absolute = percent / 100.0 * diagonal;
    value = formatFixed(absolute, 9);
    from = text + " of the box diagonal " + formatFixed(diagonal, 6);
    if (!(absolute > double(0.01f) && absolute <= 1024.0)) {
        error = "--tolerance " + text + " is " + formatFixed(absolute, 6) +
                " for this mesh (box diagonal " + formatFixed(diagonal, 6) +
                "), outside the plug-in's range: from 0.01 to 1024";
        return false;
    }
    return true;
}

std::string objectNames(const HostSession& session) {
    std::string names;
    for (const SceneMesh& mesh : session.meshes())
        names += (names.empty() ? "\"" : ", \"") + mesh.name + "\"";
    return names;
}

}  // namespace

bool applyLockFile(HostSession& session, const std::string& path, std::string& error) {
    std::string text;
    if (!readWholeFile(path, text, error)) return false;
    // Host vertex of each OBJ vertex number of the first document.
    std::vector<HostVertex*> byNumber;
    for (const SceneMesh& mesh : session.meshes()) {
        if (mesh.document != 0) continue;
        for (std::size_t i = 0; i < mesh.fileVertices.size(); ++i) {
            if (byNumber.size() <= std::size_t(mesh.fileVertices[i]))
                byNumber.resize(mesh.fileVertices[i] + 1, nullptr);
            byNumber[mesh.fileVertices[i]] = mesh.object->vertices[i];
        }
    }
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        line = line.substr(0, line.find('#'));
        for (char& c : line)
            if (c == ',' || c == '\t' || c == '\r') c = ' ';
        std::istringstream words(line);
        std::string word;
        while (words >> word) {
            const std::size_t dash = word.find('-', 1);
            std::int64_t first = 0;
            std::int64_t last = 0;
            const bool ok = dash == std::string::npos
                                ? parseInteger(word, first) && (last = first, true)
                                : parseInteger(word.substr(0, dash), first) &&
                                      parseInteger(word.substr(dash + 1), last);
            if (!ok || first < 1 || last < first) {
                error = path + ":" + std::to_string(number) + ": \"" + word +
                        "\" is not a vertex number or range";
                return false;
            }
            if (last > static_cast<std::int64_t>(byNumber.size())) {
                error = path + ":" + std::to_string(number) + ": vertex " + std::to_string(last) +
                        " does not exist (the mesh has " + std::to_string(byNumber.size()) + ")";
                return false;
            }
            for (std::int64_t v = first; v <= last; ++v) {
                if (byNumber[v - 1] != nullptr) byNumber[v - 1]->flags |= 1u;
            }
        }
    }
    return true;
}

namespace {

// --tolerance as given: a number in the plug-in's own range, or P%. Outside
// the range the plug-in would silently fall back to its default. Its lower
// bound is strict but single precision: above 0.0099999998, so 0.01 is in.
bool readTolerance(const CommandArgs& args, BatchSetup& setup, std::string& error) {
    if (!args.has("--tolerance")) return true;
    setup.toleranceText = args.value("--tolerance");
    setup.toleranceFrom = "--tolerance";
    const std::string& text = setup.toleranceText;
    double t = 0.0;
    const bool relative = !text.empty() && text.back() == '%';
    if (!relative && (!parseDouble(text, t) || !(t > double(0.01f) && t <= 1024.0))) {
        error = "--tolerance must be a number from 0.01 to 1024, or a percentage such as 0.5%";
        return false;
    }
    return true;
}

bool loadTheMesh(const CommandArgs& args, BatchSetup& setup, std::string& error) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(setup.input, ec);
    Progress progress(!setup.quiet && !ec && size > (8u << 20), "loading " + setup.input);
    return setup.session->loadMesh(setup.input, error, args.has("--as-one-object"),
                                   [&](double done) { progress.update(done); }) >= 0;
}

// The meshes worked on: every one, or those that --object names.
bool chooseTargets(const CommandArgs& args, BatchSetup& setup, std::string& error) {
    const HostSession& session = *setup.session;
    const bool named = args.has("--object");
    for (const SceneMesh& mesh : session.meshes())
        if (!named || mesh.name == args.value("--object")) setup.targets.push_back(mesh.object);
    if (named && setup.targets.empty())
        error = setup.input + ": no object called \"" + args.value("--object") + "\"; it has " +
                objectNames(session);
    else if (setup.targets.empty())
        error = setup.input + ": the file has no vertices";
    return error.empty();
}

// The tolerance reaches the plug-in as it always does: from its settings
// file, read at the host's first paint. A private working folder holds one
// with this tolerance; then the host paints.
bool paintFirstFrame(BatchSetup& setup, std::string& error) {
    const std::string& tolerance = setup.toleranceText;
    if (!tolerance.empty()) {
        if (!setup.folder.enter(error)) return false;
        if (!setup.folder.writeSettings({"TOLERANCE_A=" + tolerance}, error)) return false;
    }
    std::string glError;
    setup.viewport = setup.session->openViewport(setup.viewWidth, setup.viewHeight, glError);
    if (setup.viewport) return true;
    if (!tolerance.empty()) {
        error =
            "cannot apply --tolerance: the plug-in reads it at its first draw, and no OpenGL "
            "context could be made (" +
            glError + ")";
        return false;
    }
    std::fprintf(
        stderr,
        "talvex-host: warning: no OpenGL context (%s); the plug-in keeps its built-in settings\n",
        glError.c_str());
    return true;
}

bool findAndPlacePlane(BatchSetup& setup, std::string& error) {
    if (setup.spec.automatic) {
        std::size_t vertices = 0;
        for (const HostObject* object : setup.targets) vertices += object->vertexCount;
        Progress progress(!setup.quiet && vertices > 200000, "finding the symmetry plane");
        if (!resolveAutoPlane(setup.targets, setup.spec, error)) return false;
    }
    return placePlane(*setup.session, setup.targets, setup.spec, setup.plane, error);
}

}  // namespace

bool prepareBatch(const CommandArgs& args, std::ostream& out, BatchSetup& setup, std::string& error,
                  int& status) {
    namespace fs = std::filesystem;
    status = kExitUsage;
    std::error_code ec;
    const std::string& input = args.positional[0];
    setup.input = input == "-" ? input : fs::absolute(input, ec).string();
    setup.quiet = args.has("--quiet");
    if (args.has("--plane") && !parsePlaneSpec(args.value("--plane"), setup.spec, error))
        return false;
    if (!readTolerance(args, setup, error)) return false;
    const std::string lockFile =
        args.has("--lock") ? fs::absolute(args.value("--lock"), ec).string() : "";

    status = kExitFailure;
    setup.session = std::make_unique<HostSession>(out);
    setup.session->setEcho(!setup.quiet);
    setup.session->prepareViewport();
    setup.phases.start("reading");
    if (!setup.session->loadPlugin(args.plugin, error) || !loadTheMesh(args, setup, error) ||
        !chooseTargets(args, setup, error))
        return false;
    if (!lockFile.empty() && !applyLockFile(*setup.session, lockFile, error)) return false;
    const std::string& tolerance = setup.toleranceText;
    if (!tolerance.empty() && tolerance.back() == '%') {
        // A percentage of a box the mesh gives is checked once the mesh is in.
        status = kExitUsage;
        const std::string given = tolerance;
        if (!relativeTolerance(given, setup.targets, setup.toleranceText, setup.toleranceFrom,
                               error))
            return false;
        status = kExitFailure;
    }
    setup.phases.start("first paint");
    if (!paintFirstFrame(setup, error)) return false;
    setup.phases.start("plane");
    return findAndPlacePlane(setup, error);
}

}  // namespace talvexhost
