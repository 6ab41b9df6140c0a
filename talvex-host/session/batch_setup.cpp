#include "session/batch_setup.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <sstream>

#include "config/settings.h"
#include "io/mesh_document.h"
#include "io/number_text.h"
#include "io/safe_writer.h"
#include "pairing/centre_line.h"
#include "pairing/mirror_candidates.h"
#include "pairing/tolerance_advice.h"
#include "session/auto_plane.h"
#include "session/plane_in_scene.h"
#include "session/plugin_scale.h"
#include "session/plugin_tolerance.h"
#include "session/resym_run.h"

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
                if (byNumber[v - 1] != nullptr) byNumber[v - 1]->flags |= kVertexDoNotMove;
            }
        }
    }
    return true;
}

namespace {

// --tolerance as given: a positive number, or P%, checked before any work.
// Numbers outside the plug-in's own range are worked with by scaling the
// scene (plugin_scale.h).
bool readTolerance(const CommandArgs& args, BatchSetup& setup, std::string& error) {
    if (!args.has("--tolerance")) return true;
    setup.toleranceTyped = args.value("--tolerance");
    double number = 0.0;
    bool percent = false;
    if (parseToleranceText(setup.toleranceTyped, number, percent)) return true;
    error = badToleranceMessage(setup.toleranceTyped);
    return false;
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

// The plane as it will stand, before the plug-in places it: exact for planes
// at a value or of any orientation; through the vertices' centroid, as
// Reposition computes it up to rounding, for x, y and z.
HostPlane expectedPlane(const PlaneSpec& spec, const std::vector<HostObject*>& targets) {
    HostPlane plane{{0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}};
    if (spec.general) {
        for (int k = 0; k < 3; ++k) {
            plane.normal[k] = spec.normal[k];
            plane.pivot[k] = spec.normal[k] * spec.offset;
        }
        return plane;
    }
    plane.normal[spec.axis] = 1.0;
    if (spec.atValue) {
        plane.pivot[spec.axis] = spec.value;
        return plane;
    }
    double sum[3] = {0.0, 0.0, 0.0};
    double count = 0.0;
    for (const HostObject* object : targets)
        for (int i = 0; i < object->vertexCount; ++i, count += 1.0) {
            sum[0] += object->vertices[i]->x;
            sum[1] += object->vertices[i]->y;
            sum[2] += object->vertices[i]->z;
        }
    for (int k = 0; k < 3 && count > 0.0; ++k) plane.pivot[k] = sum[k] / count;
    return plane;
}

// The median length of the edges between the meshes' vertices, as the
// report measures it, with the positions from the scene (the file's: nothing
// has moved yet); 0 without faces or lines.
double medianEdgeOfTargets(const BatchSetup& setup) {
    const HostSession& session = *setup.session;
    if (session.documents().empty()) return 0.0;
    const MeshDocument& document = *session.documents()[0].document;
    std::vector<bool> used(static_cast<std::size_t>(document.vertexCount()), false);
    std::vector<MeshPosition> positions(used.size());
    for (const HostObject* object : setup.targets) {
        const SceneMesh* mesh = session.meshOf(object);
        if (mesh == nullptr || mesh->document != 0) continue;
        for (int i = 0; i < object->vertexCount; ++i) {
            const HostVertex* v = object->vertices[i];
            used[mesh->fileVertices[i]] = true;
            positions[mesh->fileVertices[i]] = {v->x, v->y, v->z};
        }
    }
    return medianEdgeLength(document, positions, used);
}

// The tolerance `check` would suggest for this mesh about this plane
// (tolerance_advice.h); 0 when nothing could be measured. What the report
// would gather, without what only the report needs: on a large mesh that
// took longer than the run itself.
double measuredTolerance(const BatchSetup& setup, std::string& why) {
    // First, before the vertices take their memory.
    const double edgeLength = medianEdgeOfTargets(setup);
    const HostPlane plane = expectedPlane(setup.spec, setup.targets);
    std::size_t count = 0;
    for (const HostObject* object : setup.targets) count += std::size_t(object->vertexCount);
    std::vector<ReportVertex> vertices;
    vertices.reserve(count);
    for (std::size_t t = 0; t < setup.targets.size(); ++t) {
        const HostObject* object = setup.targets[t];
        for (int i = 0; i < object->vertexCount; ++i) {
            const HostVertex* v = object->vertices[i];
            ReportVertex vertex;
            vertex.object = static_cast<int>(t);
            vertex.position[0] = v->x;
            vertex.position[1] = v->y;
            vertex.position[2] = v->z;
            vertex.distance = plane.signedDistance(*v, setup.spec.axis);
            vertices.push_back(vertex);
        }
    }
    const ToleranceAdvice advice =
        adviseTolerance(vertices, plane, edgeLength, boxDiagonal(setup.targets), 0.0);
    why = advice.reason;
    return advice.suggested;
}

// The power of two the scene is scaled by so that the plug-in can work with
// the tolerance (plugin_scale.h); TALVEX_HOST_SCALE_EXPONENT forces one, for
// the tests that compare scaled and unscaled runs.
bool chooseScaling(BatchSetup& setup, std::string& error) {
    setup.scaleExponent = scaleExponentFor(setup.tolerance);
    if (const char* forced = std::getenv("TALVEX_HOST_SCALE_EXPONENT")) {
        std::int64_t k = 0;
        if (parseInteger(forced, k) && k > -100 && k < 100) setup.scaleExponent = int(k);
    }
    const float handed = std::ldexp(setup.tolerance, setup.scaleExponent);
    if (!pluginTakes(handed)) {
        error = "tolerance " + formatFloat(setup.tolerance) +
                " cannot be handed to the plug-in (it takes " + pluginToleranceRangeText() +
                ", and scaling by 2^" + std::to_string(setup.scaleExponent) + " gives " +
                formatFloat(handed) + ")";
        return false;
    }
    if (setup.scaleExponent != 0 && !scalesExactly(setup.targets, setup.scaleExponent)) {
        error = "tolerance " + formatFloat(setup.tolerance) + " is outside the plug-in's range (" +
                pluginToleranceRangeText() + "), and scaling the model by 2^" +
                std::to_string(setup.scaleExponent) +
                " to bring it inside would not be exact for its coordinates; give a --tolerance "
                "from " +
                pluginToleranceRangeText();
        return false;
    }
    return true;
}

// The tolerance and where it comes from (plugin_tolerance.h), then the
// scaling it needs.
bool chooseTolerance(BatchSetup& setup, std::string& error, int& status) {
    ToleranceInputs inputs;
    inputs.typed = setup.toleranceTyped;
    inputs.boxDiagonal = [&setup] { return boxDiagonal(setup.targets); };
    inputs.settingsFile = settingsFileTolerance;
    inputs.measure = [&setup](std::string& why) { return measuredTolerance(setup, why); };
    ToleranceChoice choice;
    if (!resolveTolerance(inputs, choice, error)) {
        status = kExitUsage;
        return false;
    }
    setup.tolerance = choice.value;
    setup.toleranceOrigin = choice.origin;
    setup.toleranceFrom = choice.from;
    setup.toleranceNote = choice.note;
    // Talvex.ini's value reaches the plug-in from the user's own file, unscaled.
    if (choice.origin == ToleranceOrigin::settingsFile) return true;
    return chooseScaling(setup, error);
}

// The text after TOLERANCE_A= that the plug-in reads back as exactly `value`:
// 17 digits carry a double, and a float widened to double, exactly. The
// float 0.01 is the one value whose exact text the plug-in would refuse (it
// takes only what reads as above it), and "0.01" gives it.
std::string exactSettingText(float value) {
    if (value == kPluginLeastToleranceFloat) return "0.01";
    char text[64];
    const auto result =
        std::to_chars(text, text + sizeof text, double(value), std::chars_format::general, 17);
    return std::string(text, result.ptr);
}

// The tolerance reaches the plug-in as it always does: from its settings
// file, read at the host's first paint. Unless the current folder's own file
// gives it, a private working folder holds one with this tolerance; then the
// host paints.
bool paintFirstFrame(BatchSetup& setup, std::string& error) {
    const bool ownFile = setup.toleranceOrigin != ToleranceOrigin::settingsFile;
    if (ownFile) {
        const float handed = std::ldexp(setup.tolerance, setup.scaleExponent);
        if (!setup.folder.enter(error)) return false;
        if (!setup.folder.writeSettings({"TOLERANCE_A=" + exactSettingText(handed)}, error))
            return false;
    }
    std::string glError;
    setup.viewport = setup.session->openViewport(setup.viewWidth, setup.viewHeight, glError);
    if (setup.viewport) return true;
    if (!setup.toleranceTyped.empty()) {
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
    setup.tolerance = defaultTolerances().toleranceA;
    setup.toleranceOrigin = ToleranceOrigin::fallback;
    setup.toleranceFrom = "the plug-in's built-in default (no OpenGL context to hand it another)";
    setup.scaleExponent = 0;
    return true;
}

bool absolutePath(const std::string& path, std::string& absolute, std::string& error) {
    std::error_code ec;
    absolute = std::filesystem::absolute(path, ec).string();
    if (ec) error = path + ": cannot make the path absolute (" + ec.message() + ")";
    return !ec;
}

bool findPlane(BatchSetup& setup, std::string& error) {
    if (!setup.spec.automatic) return true;
    std::size_t vertices = 0;
    for (const HostObject* object : setup.targets) vertices += object->vertexCount;
    Progress progress(!setup.quiet && vertices > 200000, "finding the symmetry plane");
    return resolveAutoPlane(setup.targets, setup.spec, error);
}

}  // namespace

void leaveSessionToExit(BatchSetup& setup) {
    static std::vector<std::unique_ptr<HostSession>>* const kept =
        new std::vector<std::unique_ptr<HostSession>>();
    if (!setup.session) return;
    // The driver's memory is its own to return: only the session's records stay.
    setup.session->closeGl();
    kept->push_back(std::move(setup.session));
}

void fillResymOptions(const BatchSetup& setup, ResymOptions& options) {
    options.scaleExponent = setup.scaleExponent;
    options.planeObject = setup.session->newestPlane();
    options.tolerance = double(setup.tolerance);
}

void fillCentreLine(const BatchSetup& setup, ResymOptions& options) {
    options.centreLine = true;
    options.edgeFacts = [&setup] {
        const HostSession& session = *setup.session;
        if (session.documents().empty()) return EdgeFacts{};
        // The document still holds the positions from before the edit.
        const MeshDocument& document = *session.documents()[0].document;
        std::vector<bool> used(static_cast<std::size_t>(document.vertexCount()), false);
        for (const HostObject* object : setup.targets) {
            const SceneMesh* mesh = session.meshOf(object);
            if (mesh == nullptr || mesh->document != 0) continue;
            for (int i : mesh->fileVertices) used[i] = true;
        }
        return edgeFacts(document, used, &setup.plane, setup.spec.axis);
    };
}

std::string describeTolerance(const BatchSetup& setup) {
    const bool typedNumber = !setup.toleranceTyped.empty() && setup.toleranceTyped.back() != '%';
    const std::string shown = typedNumber ? setup.toleranceTyped : formatFloat(setup.tolerance);
    // Nine digits tell every float apart.
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, double(setup.tolerance),
                                      std::chars_format::general, 9);
    const std::string exact(digits, result.ptr);
    std::string text = shown + " (" + setup.toleranceFrom;
    if (exact != shown) text += "; the plug-in works with the float " + exact;
    if (setup.scaleExponent != 0)
        text += std::string("; outside the plug-in's range, ") + pluginToleranceRangeText() +
                ", so it works on the model scaled by 2^" + std::to_string(setup.scaleExponent) +
                ", and back";
    return text + ")";
}

bool prepareBatch(const CommandArgs& args, std::ostream& out, BatchSetup& setup, std::string& error,
                  int& status) {
    namespace fs = std::filesystem;
    status = kExitUsage;
    const std::string& input = args.positional[0];
    setup.quiet = args.has("--quiet");
    setup.spec.automatic = true;
    if (args.has("--plane") && !parsePlaneSpec(args.value("--plane"), setup.spec, error))
        return false;
    if (!readTolerance(args, setup, error)) return false;

    status = kExitFailure;
    // fs::absolute fails only when the current folder cannot be learnt.
    std::string lockFile;
    if ((input != "-" && !absolutePath(input, setup.input, error)) ||
        (args.has("--lock") && !absolutePath(args.value("--lock"), lockFile, error)))
        return false;
    if (input == "-") setup.input = input;
    setup.session = std::make_unique<HostSession>(out);
    setup.session->setEcho(!setup.quiet);
    setup.session->prepareViewport();
    setup.phases.start("reading");
    if (!setup.session->loadPlugin(args.plugin, error) || !loadTheMesh(args, setup, error) ||
        !chooseTargets(args, setup, error))
        return false;
    if (!lockFile.empty() && !applyLockFile(*setup.session, lockFile, error)) return false;
    setup.phases.start("detection");
    if (!findPlane(setup, error)) return false;
    setup.phases.start("tolerance");
    if (!chooseTolerance(setup, error, status)) return false;
    status = kExitFailure;
    setup.phases.start("first paint");
    if (!paintFirstFrame(setup, error)) return false;
    setup.phases.start("plane");
    return placePlane(*setup.session, setup.targets, setup.spec, setup.plane, error);
}

}  // namespace talvexhost
