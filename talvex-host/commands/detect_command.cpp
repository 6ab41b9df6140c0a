// talvex-host detect: finds the reflective symmetry planes of an OBJ mesh at
// any orientation and position (detect/symmetry_detect.h). Needs neither the
// plug-in nor a viewport: it only reads the file.
#include <chrono>
#include <iostream>
#include <nlohmann/json.hpp>

#include "commands/command_table.h"
#include "commands/many_files.h"
#include "detect/symmetry_detect.h"
#include "hostsim/large_pages.h"
#include "io/json_names.h"
#include "io/mesh_document.h"
#include "io/number_text.h"
#include "io/safe_writer.h"
#include "pairing/plane_setup.h"
#include "session/cli_args.h"

namespace talvexhost {

namespace {

const char kHelp[] =
    "usage: talvex-host detect IN.obj [--object NAME] [--as-one-object] [--top K] [--json FILE|-]\n"
    "       talvex-host detect FILE|FOLDER... [--recursive] [--include GLOB] [--jsonl FILE|-]\n"
    "                          [options above]\n"
    "\n"
    "Finds the best reflective symmetry plane of each object of the mesh, at any orientation\n"
    "and position, and prints it as a point and a unit normal and as the equation\n"
    "a x + b y + c z = d (give that to resym or check as --plane a,b,c,d, or use --plane auto\n"
    "there). The symmetry score is the share of vertices whose mirror image has a vertex\n"
    "within a quarter of the typical vertex spacing; the RMS deviation is measured over\n"
    "those. A plane counts only when its score is at least 60 % and at most half the\n"
    "vertices lie on it; otherwise the object is reported as not symmetric and no plane is\n"
    "given. Exit status 1 when no object has a convincing plane.\n"
    "\n"
    "  --object NAME     detect on the objects of that name only\n"
    "  --as-one-object   take all vertices (of the chosen objects) together\n"
    "  --top K           report up to K (1 to 20) distinct planes per object, best first\n"
    "                    (default 1)\n"
    "  --json FILE|-     also write the result as JSON to FILE, or only JSON to stdout\n"
    "  FILE... | FOLDER... several meshes at once, each in a process of its own, as many\n"
    "                    at a time as there are cores: a folder's mesh files (by extension)\n"
    "                    are taken in name order; each file's report and a\n"
    "                    summary; --json writes one document with every file's result\n"
    "  --recursive        also the mesh files in the folders' subfolders\n"
    "  --include GLOB     only the folders' files whose name matches GLOB (* and ?)\n"
    "  --jsonl FILE|-     with several files: one JSON line per file as each finishes\n"
    "Exit status with several files: 1 when any file has no convincing plane or cannot be read.\n";

// Reads the file only: no --plugin.
const CommandSpec kSpec = {"detect",
                           kHelp,
                           {"--object", "--top", "--json", "--include", "--jsonl"},
                           {"--as-one-object", "--recursive"},
                           1,
                           kManyFiles,
                           "input meshes or folders",
                           false};

struct Part {
    std::string name;
    std::vector<FloatPoint> points;  // as the document holds them
};

std::string triple(const double v[3]) {
    return "(" + formatPlaneNumber(v[0]) + ", " + formatPlaneNumber(v[1]) + ", " +
           formatPlaneNumber(v[2]) + ")";
}

nlohmann::json planeJson(const DetectedPlane& found) {
    const double* n = found.plane.normal;
    return {{"normal", {n[0], n[1], n[2]}},
            {"point", {found.point.x, found.point.y, found.point.z}},
            {"equation", {n[0], n[1], n[2], found.plane.offset}},
            {"score", found.score},
            {"rmsDeviation", found.rmsDeviation}};
}

void printPart(std::ostream& out, const Part& part, const DetectResult& result, double seconds) {
    out << "object: " << part.name << " (" << part.points.size() << " vertices)\n";
    for (std::size_t i = 0; i < result.planes.size(); ++i) {
        const DetectedPlane& found = result.planes[i];
        const double point[3] = {found.point.x, found.point.y, found.point.z};
        out << "plane " << i + 1 << ": "
            << formatPlaneEquation(found.plane.normal, found.plane.offset) << "\n"
            << "  point " << triple(point) << ", normal " << triple(found.plane.normal) << "\n"
            << "  --plane " << formatPlaneNumber(found.plane.normal[0]) << ","
            << formatPlaneNumber(found.plane.normal[1]) << ","
            << formatPlaneNumber(found.plane.normal[2]) << ","
            << formatPlaneNumber(found.plane.offset) << "\n"
            << "  symmetry score: " << formatFixed(100.0 * found.score, 1) << " %, RMS deviation "
            << formatFixed(found.rmsDeviation, 6) << "\n";
    }
    if (result.planes.empty()) {
        out << "no convincing symmetry plane: ";
        if (result.hasBest)
            out << "the best candidate, "
                << formatPlaneEquation(result.best.plane.normal, result.best.plane.offset)
                << ", mirrors " << formatFixed(100.0 * result.best.score, 1)
                << " % of the vertices onto a vertex (" << formatFixed(100.0 * kConvincingScore, 0)
                << " % needed)\n";
        else
            out << "too few distinct vertices\n";
    }
    if (result.hasBest)
        out << "match tolerance: " << formatFixed(result.tolerance, 6)
            << " (a quarter of the typical spacing " << formatFixed(result.spacing, 6)
            << "), measured on " << result.scored << " vertices\n";
    out << "time: " << formatFixed(seconds, 3) << " s\n";
}

// The point sets to detect on: each object, or those --object names, or
// them all as one with --as-one-object. False with `error` when none is left.
bool collectParts(const MeshDocument& document, const ParsedArgs& args, std::vector<Part>& parts,
                  std::string& error) {
    for (const MeshObject& object : document.objects()) {
        if (args.has("--object") && object.name != args.value("--object")) continue;
        if (parts.empty() || !args.has("--as-one-object")) parts.push_back({object.name, {}});
        // Grown once rather than doubled: a million vertices are 12 MB here.
        std::vector<FloatPoint>& points = parts.back().points;
        points.reserve(points.size() + object.vertices.size());
        hostsim::preferLargePages(points.data(), points.capacity() * sizeof(FloatPoint));
        for (int v : object.vertices) {
            const MeshPosition& p = document.position(v);
            points.push_back({p.x, p.y, p.z});
        }
    }
    if (parts.empty()) {
        error = args.has("--object") ? "no object called \"" + args.value("--object") + "\""
                                     : "the file has no vertices";
        return false;
    }
    if (args.has("--as-one-object"))
        parts.front().name = args.has("--object") ? args.value("--object") : "(all objects)";
    return true;
}

nlohmann::json partJson(const Part& part, const DetectResult& result, double seconds) {
    nlohmann::json entry = {
        {"vertices", part.points.size()},    {"symmetric", !result.planes.empty()},
        {"planes", nlohmann::json::array()}, {"tolerance", result.tolerance},
        {"spacing", result.spacing},         {"seconds", seconds}};
    putName(entry, "name", part.name);
    for (const DetectedPlane& found : result.planes) entry["planes"].push_back(planeJson(found));
    if (result.planes.empty() && result.hasBest) entry["bestRejected"] = planeJson(result.best);
    return entry;
}

// The JSON report as it is built: each object's entry kept as its text, and
// only when --json asks for it (a tree per object would take about a
// kilobyte, which a file of millions of small objects cannot afford). The
// text is what nlohmann's dump(2) gives for the whole report.
class DetectJson {
public:
    explicit DetectJson(bool wanted) : wanted_(wanted) {}

    void add(const nlohmann::json& entry) {
        if (!wanted_) return;
        const std::string text = entry.dump(2);
        std::string indented = "    ";
        indented.reserve(text.size() + 64);
        for (const char c : text) {
            indented += c;
            if (c == '\n') indented += "    ";
        }
        if (!objects_.empty()) objects_ += ",\n";
        objects_ += indented;
    }

    // The whole report; its keys in nlohmann::json's order, "objects" last.
    std::string text(const std::string& input) const {
        nlohmann::json head = {{"schema", "talvex-detect/1"},
                               {"convincingScore", kConvincingScore}};
        putName(head, "file", input);
        std::string whole = head.dump(2);
        whole.erase(whole.size() - 2);  // "\n}"
        whole += ",\n  \"objects\": " + (objects_.empty() ? "[]" : "[\n" + objects_ + "\n  ]");
        return whole + "\n}\n";
    }

private:
    bool wanted_;
    std::string objects_;
};

// Detects on one part, timed, and adds it to the text and to the JSON.
// True when it has a convincing plane.
bool detectPart(const Part& part, int top, std::ostream& text, DetectJson& json) {
    DetectOptions options;
    options.top = top;
    const auto started = std::chrono::steady_clock::now();
    const DetectResult result = detectSymmetry(part.points, options);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    printPart(text, part, result, seconds);
    json.add(partJson(part, result, seconds));
    return !result.planes.empty();
}

// Discards what is written to it: the text report under --json -.
class NullStream : public std::ostream {
public:
    NullStream() : std::ostream(nullptr) {}
};

// --top: a whole number from 1 to kMaxTop. The error names the rule the
// text breaks, so a number too large for any integer type is called too
// large, not "not a whole number".
constexpr std::int64_t kMaxTop = 20;

bool readTop(const std::string& text, std::int64_t& top, std::string& error) {
    const std::string range = " (give a whole number from 1 to " + std::to_string(kMaxTop) + ")";
    std::size_t digits = text.empty() || text[0] == '+' || text[0] == '-' ? 1 : 0;
    const bool negative = !text.empty() && text[0] == '-';
    bool whole = digits < text.size();
    for (; digits < text.size(); ++digits)
        whole = whole && text[digits] >= '0' && text[digits] <= '9';
    if (!whole) {
        error = "--top \"" + text + "\" is not a whole number" + range;
        return false;
    }
    // A whole number that does not fit 64 bits lies beyond either end.
    const bool fits = parseInteger(text, top);
    if (negative || (fits && top < 1)) {
        error = "--top " + text + " is less than 1" + range;
        return false;
    }
    if (!fits || top > kMaxTop) {
        error = "--top " + text + " is more than " + std::to_string(kMaxTop) + range;
        return false;
    }
    return true;
}

}  // namespace

static int runDetect(const Invocation& invocation) {
    CommandArgs args;
    if (auto done = readCommandLine(invocation, kSpec, args)) return *done;
    std::int64_t top = 1;
    std::string topError;
    if (args.has("--top") && !readTop(args.value("--top"), top, topError))
        return usageError(kSpec, topError);
    if (namesManyFiles(args)) return runOnManyFiles(invocation, kSpec, args);
    const std::string input = args.positional[0];
    std::string error;
    // Detection takes the vertices as points: the faces need not be read.
    MeshLoadOptions load;
    load.positionsOnly = true;
    const std::unique_ptr<MeshDocument> document = loadMeshDocument(input, error, load);
    if (!document) return commandFailure(kSpec, error);
    std::vector<Part> parts;
    if (!collectParts(*document, args, parts, error))
        return commandFailure(kSpec, input + ": " + error);

    // --json -: only the JSON, on stdout; else the text as it comes, and the
    // JSON to the file --json names, if any.
    const std::string jsonTarget = args.value("--json");
    NullStream discard;
    std::ostream& text = jsonTarget == "-" ? static_cast<std::ostream&>(discard) : std::cout;
    text << "mesh: " << input << "\n";
    DetectJson json(!jsonTarget.empty());
    bool anyPlane = false;
    for (const Part& part : parts)
        anyPlane = detectPart(part, static_cast<int>(top), text, json) || anyPlane;
    if (jsonTarget == "-")
        std::cout << json.text(input);
    else if (!jsonTarget.empty() && !writeFileAtomically(jsonTarget, json.text(input), error))
        return commandFailure(kSpec, error);
    if (!anyPlane) return commandFailure(kSpec, "no convincing symmetry plane");
    return kExitOk;
}

extern const Subcommand kDetectCommand = {
    kSpec, "find the symmetry planes of a mesh at any orientation", runDetect};

}  // namespace talvexhost
