// talvex-host resym: batch Smart Resym of an OBJ mesh.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>

#include "commands/command_table.h"
#include "commands/edit_modes.h"
#include "commands/many_files.h"
#include "io/host_files.h"
#include "io/number_text.h"
#include "io/safe_writer.h"
#include "pairing/centre_line.h"
#include "pairing/plane_side.h"
#include "report/report_input.h"
#include "session/batch_setup.h"
#include "session/resym_run.h"
#include "session/topology_run.h"

namespace talvexhost {

namespace {

const char kHelp[] =
    "usage: talvex-host resym IN.obj|- (-o OUT.obj | -o - | --in-place | --dry-run)\n"
    "                         [--plane auto|x|y|z|x=VALUE|...|A,B,C,D] [--tolerance T|P%]\n"
    "                         [--force] [--no-center] [--lock FILE] [--object NAME]\n"
    "                         [--as-one-object] [--master +x|-x|+y|-y|+z|-z|+|-] [--quiet]\n"
    "                         [--pairing position|topology|auto] [--plugin PATH]\n"
    "       talvex-host resym FILE|FOLDER... (--in-place | --dry-run) [--recursive]\n"
    "                         [--include GLOB] [options above]\n"
    "\n"
    "Makes the mesh symmetric with the plug-in's \"Talvex Smart Resym\": vertices are paired\n"
    "across the plane within each object and every pair is snapped into mirror positions;\n"
    "unpaired vertices near the plane are put onto it. Only the 'v' lines of moved vertices\n"
    "change in the output; the rest of the file is kept byte for byte.\n"
    "\n"
    "Refused, with exit status 1 and nothing written: a mesh where fewer than 90% of the\n"
    "vertices off the plane (the centre line aside) find a partner, since snapping cannot\n"
    "make it symmetric (--force writes anyway), and a mesh without a convincing symmetry\n"
    "plane when the plane is found automatically.\n"
    "\n"
    "Writing is safe: the output goes to OUT.obj.lock beside it, is flushed to the disk and\n"
    "renamed over OUT.obj, so a failure or Ctrl+C leaves the old file whole. A symbolic link\n"
    "is followed and the file it points at replaced; the file keeps its permissions (and its\n"
    "owner where allowed). Refused before any work, with nothing changed: a target that is not\n"
    "a regular file (folder, device, pipe), a file you may not write to, and a file with other\n"
    "hard links (replacing it would split the names, writing into it would change them all).\n"
    "\n"
    "  -o OUT.obj       where to write; -o - writes the mesh to standard output (the report\n"
    "                   then goes to standard error)\n"
    "  --in-place       replace IN.obj, as above (without -o, --in-place or --dry-run resym\n"
    "                   refuses with exit status 2)\n"
    "  --dry-run        print the report and the vertices that would move; write nothing\n"
    "  --plane P        auto (default): the best symmetry plane found by 'talvex-host detect',\n"
    "                   taken as the axis plane it is within rounding of; x, y or z:\n"
    "                   perpendicular to that axis through the vertices' centroid; x=VALUE\n"
    "                   etc.: at that coordinate; A,B,C,D: the plane A x + B y + C z = D. An\n"
    "                   axis plane is exact: a mesh already mirrored about x=0 (y=0, z=0)\n"
    "                   comes back byte for byte. The plug-in's mirror rounds to float for a\n"
    "                   plane at another value, and more for one at another orientation\n"
    "  --tolerance T    matching tolerance in model units, or P% of the meshes' box diagonal.\n"
    "                   Default: TOLERANCE_A of Talvex.ini in the current folder, else\n"
    "                   measured from the mesh as 'check' suggests it. Outside the plug-in's\n"
    "                   own range (0.01 to 1024) the host scales the model by a power of two\n"
    "                   for it, which is exact\n"
    "  --force          write even when too few vertices found a partner\n"
    "  --center         put unpaired vertices near the plane onto it (default): nearer than\n"
    "                   the tolerance, or than half their shortest edge\n"
    "  --no-center      leave them where they are\n"
    "  --master SIDE    that side keeps its positions and the other copies it: each partner\n"
    "                   goes onto the exact mirror image of its vertex on SIDE (+x, -x, ...\n"
    "                   for the plane's axis; + is where the plane's normal points, - the\n"
    "                   other side). Unpaired vertices off the plane stay and are listed\n"
    "  --pairing P      position (default): Smart Resym pairs and snaps; topology: the host\n"
    "                   pairs through the faces, from certain pairs at the plane outwards,\n"
    "                   and snaps those pairs itself by the same rule (with --master: each\n"
    "                   partner onto its master vertex's mirror image), for posed models or\n"
    "                   a broken side; auto: Smart Resym's pairs filled in by topology\n"
    "  --lock FILE      vertices that must not move: 1-based OBJ vertex numbers or ranges A-B\n"
    "  --object NAME    work on the objects of that name only (default: every object)\n"
    "  --as-one-object  give the plug-in one object holding every vertex of the file\n"
    "                   (Smart Resym pairs only within an object)\n"
    "  --precision P    file (default): a moved coordinate keeps the file's number of\n"
    "                   decimals, and a move below one unit of the last one keeps its\n"
    "                   text, so a second run changes nothing; shortest: the shortest\n"
    "                   text that reads back as the exact float\n"
    "  --quiet          print nothing but errors\n"
    "  --stats          also print the command's time, vertices per second and the\n"
    "                   plain scan's estimated time (starters x vertices projections),\n"
    "                   and how long each step took (reading, first paint, plane, Smart\n"
    "                   Resym, writing)\n"
    "  --plugin PATH    the plug-in library (default: the one beside talvex-host)\n"
    "  FILE... | FOLDER...  several meshes at once, each in a process of its own, as many\n"
    "                   at a time as there are cores: a folder's mesh files (by extension)\n"
    "                   are taken in name order; each file's report and a summary; exit\n"
    "                   status 1 when any file fails\n"
    "  --recursive      also the mesh files in the folders' subfolders\n"
    "  --include GLOB   only the folders' files whose name matches GLOB (* and ?)\n";

// Seconds one candidate test of the plain scan takes here: a plane
// projection and a distance, in the geometry types' arithmetic, timed over
// the mesh's own vertices. Only an estimate of the scan, which the shipped
// plug-in no longer runs.
double secondsPerProjection(const std::vector<HostObject*>& targets) {
    const Vector3 normal(-4.0f, 0.0f, 0.0f);
    const Vector3 pivot(0.0f, 0.0f, 0.0f);
    double sink = 0.0;
    long tests = 0;
    const auto started = std::chrono::steady_clock::now();
    for (int round = 0; tests < 2000000 && round < 100000; ++round) {
        for (const HostObject* object : targets) {
            for (int i = 0; i < object->vertexCount && tests < 2000000; ++i, ++tests) {
                const Vector3& point = *object->vertices[i];
                const Vector3 d = point.subtract(pivot);
                const float t = static_cast<float>(double(static_cast<float>(-normal.dot(d))) /
                                                   normal.dot(normal));
                Vector3 step = normal;
                step.scale(t);
                const Vector3 foot = point.add(step);
                sink += point.distanceTo(foot) + foot.distanceTo(point);
            }
        }
        if (tests == 0) break;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    volatile double keep = sink;
    (void)keep;
    return tests > 0 ? seconds / double(tests) : 0.0;
}

const CommandSpec kSpec = {"resym",
                           kHelp,
                           {"-o", "--plane", "--tolerance", "--lock", "--object", "--precision",
                            "--include", "--master", "--pairing"},
                           {"--quiet", "--stats", "--as-one-object", "--in-place", "--dry-run",
                            "--force", "--center", "--no-center", "--recursive"},
                           1,
                           kManyFiles,
                           "input meshes or folders"};

std::string percent(double share) {
    return formatFixed(100.0 * share, 1) + "%";
}

// The plug-in's gate for starters does not scale with the model.
std::string scalingNote(const BatchSetup& setup, const ResymOutcome& outcome) {
    const int k = setup.scaleExponent;
    return "note: scaled by 2^" + std::to_string(k) +
           ", the plug-in's own gate for vertices off the plane, 0.0001, is " +
           formatFloat(std::ldexp(0.0001f, -k)) +
           " in model units: " + std::to_string(outcome.betweenGates) +
           " vertices lie between the two and " + (k > 0 ? "were" : "were not") +
           " searched for partners";
}

void printReport(std::ostream& out, const BatchSetup& setup, const ResymOutcome& outcome,
                 int masterSign) {
    const char axis = static_cast<char>('x' + setup.spec.axis);
    out << "plane: " << describePlacedPlane(setup.spec, setup.plane) << "\n"
        << "tolerance: " << describeTolerance(setup) << "\n"
        << "pairs found: " << outcome.pairs << "\n"
        << "vertices moved: " << outcome.movedVertices << " (" << outcome.movedNoticeably
        << " by more than 0.0001)\n";
    if (outcome.movedVertices != outcome.movedNoticeably)
        out << "(the plug-in reports " << outcome.movedNoticeably
            << " moved: it counts moves greater than 0.0001, "
            << outcome.movedVertices - outcome.movedNoticeably << " took a smaller step)\n";
    if (masterSign != 0) out << describeMasterRun(outcome, setup.spec.axis, masterSign, false);
    out << "put on the plane: " << outcome.centreLine.size()
        << " unpaired vertices near it (the centre line)\n"
        << "unpaired vertices: " << outcome.unpaired[0].size() << " on the -" << axis << " side, "
        << outcome.unpaired[1].size() << " on the +" << axis << " side (" << outcome.onPlane
        << " more lie on the plane)\n"
        << "partners found: " << verticesNeedingPartner(outcome) - unpairedOffPlane(outcome)
        << " of " << verticesNeedingPartner(outcome) << " vertices off the plane ("
        << percent(pairedShare(outcome)) << "; resym refuses below " << percent(kLeastPairedShare)
        << ")\n";
    if (outcome.betweenGates > 0) out << scalingNote(setup, outcome) << "\n";
    if (setup.targets.size() > 1) {
        const int elsewhere = unpairedWithPartnerElsewhere(*setup.session, setup, outcome);
        if (elsewhere > 0)
            out << splitObjectsNote(elsewhere, static_cast<int>(setup.targets.size())) << "\n";
    }
}

// The vertices a run would move, for --dry-run: a compact list.
void printMoves(std::ostream& out, const ResymOutcome& outcome) {
    constexpr std::size_t kListed = 200;
    auto list = [&](const char* what, std::vector<std::string> labels) {
        const std::size_t total = labels.size();
        if (labels.size() > kListed) labels.resize(kListed);
        out << what << ": " << total;
        if (total > 0) out << " (" << compactList(labels);
        if (total > labels.size()) out << " and " << total - labels.size() << " more";
        out << (total > 0 ? ")\n" : "\n");
    };
    list("would move", outcome.movedLabels);
    list("would put on the plane", outcome.centreLine);
}

// Snapping mends a mesh only when most of it found partners: below the
// share, the plane or tolerance is wrong or the mesh is not symmetric.
std::string refusal(const ResymOutcome& outcome) {
    const int needing = verticesNeedingPartner(outcome);
    return "only " + std::to_string(needing - unpairedOffPlane(outcome)) + " of " +
           std::to_string(needing) + " vertices off the plane found a partner (" +
           percent(pairedShare(outcome)) + ", at least " + percent(kLeastPairedShare) +
           " are needed): snapping cannot make this mesh symmetric, so nothing was written.\n"
           "  Try the plane detection (--plane auto) or give the plane with --plane, or a "
           "larger --tolerance ('talvex-host check' suggests one); if the mesh is really\n"
           "  asymmetric, rebuild one half and mirror it. --force writes anyway.";
}

// Writes the mesh to standard output.
// Standard output is already binary (main), so the file's line ends pass as
// they are.
bool writeToStdout(HostSession& session, MeshNumberStyle style, std::string& error) {
    const std::string text = session.documentBytes(0, style);
    std::cout.flush();
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
        std::fflush(stdout) != 0) {
        error = "cannot write to standard output";
        return false;
    }
    return true;
}

// The names on the file's `mtllib` lines, found in its mapped bytes: a
// search for the word, not a pass over every line of a large mesh. The pages
// searched are let go window by window, so a large input is not held in
// memory a second time beside the scene.
std::vector<std::string> materialLibraryNames(const std::string& input) {
    std::vector<std::string> names;
    MappedFile file;
    std::string error;
    if (input == "-" || !file.open(input, error)) return names;
    const std::string_view bytes = file.bytes();
    constexpr std::string_view kWord = "mtllib ";
    constexpr std::size_t kWindow = std::size_t(4) << 20;
    for (std::size_t window = 0; window < bytes.size(); window += kWindow) {
        const std::size_t windowEnd = std::min(bytes.size(), window + kWindow);
        // A word that starts in this window may end in the next.
        const std::string_view searched =
            bytes.substr(0, std::min(bytes.size(), windowEnd + kWord.size() - 1));
        for (std::size_t at = searched.find(kWord, window); at < windowEnd;
             at = searched.find(kWord, at + kWord.size())) {
            std::size_t start = at;
            while (start > 0 && (bytes[start - 1] == ' ' || bytes[start - 1] == '\t')) --start;
            if (start > 0 && bytes[start - 1] != '\n' && bytes[start - 1] != '\r') continue;
            const std::size_t end = std::min(bytes.find_first_of("\r\n", at), bytes.size());
            std::istringstream words(
                std::string(bytes.substr(at + kWord.size(), end - at - kWord.size())));
            std::string name;
            while (words >> name) names.push_back(name);
        }
        file.releaseBefore(windowEnd);
    }
    return names;
}

// A relative `mtllib` is looked for beside the file that names it: written
// into another folder, the copy loses its materials unless they are there too.
void warnOfMaterials(const std::string& input, const std::string& target) {
    namespace fs = std::filesystem;
    const fs::path from = fs::path(input).parent_path();
    const fs::path to = fs::path(target).parent_path();
    std::error_code ec;
    if (fs::equivalent(from, to, ec)) return;
    for (const std::string& name : materialLibraryNames(input)) {
        if (fs::path(name).is_absolute() || fs::exists(to / name, ec)) continue;
        std::fprintf(stderr,
                     "talvex-host: warning: %s names its materials \"%s\" relative to its "
                     "folder, and %s has none: copy %s beside the output to keep them\n",
                     input.c_str(), name.c_str(), to.string().c_str(),
                     (from / name).string().c_str());
    }
}

// Moves the centre-line vertices onto the plane, as the modeller's own tools
// would: the host writes their coordinates.
void putOnPlane(const BatchSetup& setup, const ResymOutcome& outcome) {
    const bool axisPlane = !setup.spec.general;
    for (HostVertex* v : outcome.centreLineVertices) {
        const Vector3 foot = footOnPlane(setup.plane, setup.spec.axis, axisPlane, *v);
        v->x = foot.x;
        v->y = foot.y;
        v->z = foot.z;
    }
}

void printStats(std::ostream& out, const BatchSetup& setup, const ResymOutcome& outcome,
                int vertices) {
    double projections = 0.0;
    for (const HostObject* object : setup.targets)
        projections += double(object->vertexCount) * object->vertexCount;
    const double scan = projections * secondsPerProjection(setup.targets);
    const double seconds = outcome.commandSeconds;
    out << "stats: Smart Resym took " << formatFixed(seconds * 1e3, 2) << " ms for " << vertices
        << " vertices (" << formatFixed(seconds > 0 ? vertices / seconds : 0.0, 0)
        << " vertices/s)\n"
        << "stats: the plain scan would take about " << formatFixed(scan, 2) << " s ("
        << formatFixed(projections, 0) << " projections, estimated), "
        << formatFixed(seconds > 0 ? scan / seconds : 0.0, 0) << " times as long\n"
        << "stats: " << setup.phases.summary() << "\n"
        << "stats: peak extra memory is measured by make bench, not here\n";
}

// Where to write and how, as the command line said.
struct Output {
    std::string target;  // empty for standard output or --dry-run
    bool toStdout = false;
    bool dryRun = false;
    MeshNumberStyle style = MeshNumberStyle::kFileDecimals;
};

bool writeOutput(BatchSetup& setup, const Output& output, std::string& error) {
    return output.toStdout ? writeToStdout(*setup.session, output.style, error)
                           : setup.session->saveDocument(0, output.target, error, output.style);
}

// resym --pairing topology|auto: Smart Resym runs inside an edit step that
// is undone, for its positional pairs; the host pairs through the faces and
// snaps the pairs itself.
int resymByTopology(const CommandArgs& args, BatchSetup& setup, const ResymOptions& options,
                    PairingMode mode, const Output& output, std::ostream& text) {
    std::string error;
    HostSession& session = *setup.session;
    ResymOptions positional = options;
    positional.centreLine = false;
    const ResymOutcome outcome =
        runSmartResym(session, setup.targets, setup.plane, setup.spec.axis, positional);
    if (outcome.pairs > 0 && !session.host().undo())
        return commandFailure(kSpec, "the plug-in's edit left no undo step");
    const TopologyRun run = pairTargets(session, setup.targets, setup.plane, setup.spec.axis,
                                        double(setup.tolerance), mode, outcome.pairList);
    int needing = 0;
    int paired = 0;
    for (std::size_t v = 0; v < run.partner.size(); ++v) {
        if (run.partner[v] == int(v)) continue;
        ++needing;
        paired += run.partner[v] >= 0;
    }
    const double share = needing > 0 ? double(paired) / needing : 1.0;
    const auto moved =
        snapPairs(run, setup.plane, setup.spec.axis, !setup.spec.general, options.masterSign);
    const char axis = static_cast<char>('x' + setup.spec.axis);
    auto report = [&] {
        if (setup.quiet) return;
        text << "plane: " << describePlacedPlane(setup.spec, setup.plane) << "\n"
             << "tolerance: " << describeTolerance(setup) << "\n";
        printTopologyRun(text, run, mode);
        if (options.masterSign != 0)
            text << "master side: " << sideName(setup.spec.axis, options.masterSign) << "\n";
        text << "vertices moved: " << moved.first << " on the -" << axis << " side, "
             << moved.second << " on the +" << axis << " side\n"
             << "partners found: " << paired << " of " << needing << " vertices off the plane ("
             << percent(share) << "; resym refuses below " << percent(kLeastPairedShare) << ")\n";
    };
    if (share < kLeastPairedShare && !args.has("--force")) {
        report();
        return commandFailure(kSpec,
                              "only " + percent(share) +
                                  " of the vertices off the plane found a partner through "
                                  "the faces, so nothing was written; --force writes anyway");
    }
    if (output.dryRun) {
        report();
        if (!setup.quiet) text << "wrote nothing (--dry-run)\n";
        return kExitOk;
    }
    if (!writeOutput(setup, output, error)) return commandFailure(kSpec, error);
    if (!output.target.empty()) warnOfMaterials(setup.input, output.target);
    report();
    if (!setup.quiet)
        text << "wrote " << (output.toStdout ? std::string("standard output") : output.target)
             << "\n";
    return kExitOk;
}

// Reads where to write and how: -o, --in-place or --dry-run, and
// --precision. Returns a usage or failure status when the line says no.
std::optional<int> readOutput(const CommandArgs& args, Output& output) {
    const bool inPlace = args.has("--in-place");
    output.dryRun = args.has("--dry-run");
    if (!args.has("-o") && !inPlace && !output.dryRun)
        return usageError(kSpec,
                          "say where to write: -o OUT.obj, -o - for standard output, or "
                          "--in-place to replace the input (--dry-run writes nothing)");
    if (args.has("-o") + inPlace + output.dryRun > 1)
        return usageError(kSpec, "give one of -o, --in-place and --dry-run");
    if (args.has("--center") && args.has("--no-center"))
        return usageError(kSpec, "give --center or --no-center, not both");
    if (inPlace && args.positional[0] == "-")
        return usageError(kSpec, "a mesh read from standard input is written with -o OUT.obj");
    const std::string precision = args.has("--precision") ? args.value("--precision") : "file";
    if (precision != "file" && precision != "shortest")
        return usageError(kSpec, "--precision takes file or shortest, not \"" + precision + "\"");
    output.style =
        precision == "file" ? MeshNumberStyle::kFileDecimals : MeshNumberStyle::kShortest;
    output.toStdout = args.value("-o") == "-";
    if (output.dryRun || output.toStdout) return std::nullopt;
    std::error_code ec;
    const std::string named = args.has("-o") ? args.value("-o") : args.positional[0];
    output.target = std::filesystem::absolute(named, ec).string();
    if (ec) return commandFailure(kSpec, named + ": " + ec.message());
    // In place the input is replaced on purpose; no other input may be.
    if (inPlace) allowReplacing(output.target);
    std::string error;
    if (!checkWritable(output.target, error)) return commandFailure(kSpec, error);
    return std::nullopt;
}

// Smart Resym on the targets, with progress on long work; the centre line
// settled after it.
ResymOutcome runResymStep(BatchSetup& setup, const ResymOptions& options, int vertices) {
    setup.phases.start("Smart Resym");
    ResymOutcome outcome;
    {
        Progress progress(!setup.quiet && vertices > kLongWorkVertices,
                          "running Smart Resym on " + std::to_string(vertices) + " vertices");
        outcome =
            runSmartResym(*setup.session, setup.targets, setup.plane, setup.spec.axis, options);
    }
    putOnPlane(setup, outcome);
    return outcome;
}

// Writes the edited mesh. Nothing will be undone then: the record's memory
// goes first, since the output needs memory of its own.
bool writeEdited(BatchSetup& setup, const Output& output, int vertices, std::string& error) {
    hostsim::Host& host = setup.session->host();
    host.undoSteps.clear();
    host.lastRegistered.release();
    setup.phases.start("writing");
    Progress progress(
        !setup.quiet && vertices > 20 * kLongWorkVertices,
        "writing " + (output.toStdout ? std::string("standard output") : output.target));
    return writeOutput(setup, output, error);
}

}  // namespace

static int runResym(const Invocation& invocation) {
    CommandArgs args;
    if (auto done = readCommandLine(invocation, kSpec, args)) return *done;
    if (namesManyFiles(args)) return runOnManyFiles(invocation, kSpec, args);
    Output output;
    if (auto refused = readOutput(args, output)) return *refused;
    std::string error;
    EditModes modes;
    if (!readEditModes(args, modes, error)) return usageError(kSpec, error);
    // With the mesh on standard output, everything for people goes to stderr.
    std::ostream& text = output.toStdout ? std::cerr : std::cout;
    BatchSetup setup;
    int status = kExitOk;
    if (!prepareBatch(args, text, setup, error, status))
        return status == kExitUsage ? usageError(kSpec, error) : commandFailure(kSpec, error);
    if (!setup.toleranceNote.empty() && !setup.quiet) text << setup.toleranceNote << "\n";
    int vertices = 0;
    for (const HostObject* object : setup.targets) vertices += object->vertexCount;
    ResymOptions options;
    fillResymOptions(setup, options);
    if (modes.hasMaster &&
        !sideSign(modes.master, setup.spec, "--master", options.masterSign, error))
        return commandFailure(kSpec, error);
    if (modes.pairing != PairingMode::kPosition)
        return resymByTopology(args, setup, options, modes.pairing, output, text);
    if (!args.has("--no-center")) fillCentreLine(setup, options);
    options.listMoves = output.dryRun;
    options.keepPairs = false;
    const ResymOutcome outcome = runResymStep(setup, options, vertices);
    const bool refused = pairedShare(outcome) < kLeastPairedShare && !args.has("--force");
    if (output.dryRun || refused) {
        setup.phases.stop();
        if (!setup.quiet) printReport(text, setup, outcome, options.masterSign);
        if (output.dryRun && !setup.quiet) printMoves(text, outcome);
        if (refused) return commandFailure(kSpec, refusal(outcome));
        if (!setup.quiet) text << "wrote nothing (--dry-run)\n";
        return kExitOk;
    }
    if (!writeEdited(setup, output, vertices, error)) return commandFailure(kSpec, error);
    setup.phases.stop();
    if (!output.target.empty()) warnOfMaterials(setup.input, output.target);
    if (!setup.quiet) {
        printReport(text, setup, outcome, options.masterSign);
        text << "wrote " << (output.toStdout ? std::string("standard output") : output.target)
             << "\n";
        if (args.has("--stats")) printStats(text, setup, outcome, vertices);
    }
    leaveSessionToExit(setup);
    return kExitOk;
}

extern const Subcommand kResymCommand = {
    kSpec, "make a mesh (OBJ, PLY, STL, glTF) symmetric with Smart Resym", runResym};

}  // namespace talvexhost
