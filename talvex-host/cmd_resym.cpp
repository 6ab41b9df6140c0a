// talvex-host resym: batch Smart Resym of an OBJ mesh.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "batch_setup.h"
#include "commands.h"
#include "number_text.h"
#include "report_input.h"
#include "resym_run.h"
#include "safe_writer.h"

namespace talvexhost {

namespace {

const char kHelp[] =
    "usage: talvex-host resym IN.obj [-o OUT.obj] [--plane x|y|z|x=VALUE|...|auto|A,B,C,D]\n"
    "                         [--tolerance T|P%] [--lock FILE] [--object NAME] [--as-one-object]\n"
    "                         [--precision file|shortest] [--quiet] [--plugin PATH]\n"
    "\n"
    "Makes the mesh symmetric with the plug-in's \"Talvex Smart Resym\": vertices are paired\n"
    "across the plane within each object and every pair is snapped into mirror positions.\n"
    "Only the 'v' lines of moved vertices change in the output; the rest of the file is kept\n"
    "byte for byte.\n"
    "\n"
    "Writing is safe: the output goes to OUT.obj.lock beside it, is flushed to the disk and\n"
    "renamed over OUT.obj, so a failure or Ctrl+C leaves the old file whole. A symbolic link\n"
    "is followed and the file it points at replaced; the file keeps its permissions (and its\n"
    "owner where allowed). Refused before any work, with nothing changed: a target that is not\n"
    "a regular file (folder, device, pipe), a file you may not write to, and a file with other\n"
    "hard links (replacing it would split the names, writing into it would change them all).\n"
    "\n"
    "  -o OUT.obj       where to write (default: IN.obj, replaced as above)\n"
    "  --plane P        x, y or z: perpendicular to that axis through the vertices' centroid\n"
    "                   (default x); x=VALUE etc.: at that coordinate; auto: the best\n"
    "                   symmetry plane found by 'talvex-host detect'; A,B,C,D: the plane\n"
    "                   A x + B y + C z = D. An axis plane is exact: a mesh already\n"
    "                   mirrored about x=0 (y=0, z=0) comes back byte for byte. The\n"
    "                   plug-in's mirror rounds to float for a plane at another value, and\n"
    "                   more for one at another orientation, which no placement through\n"
    "                   its commands can avoid\n"
    "  --tolerance T    matching tolerance in model units (0.01 <= T <= 1024; default: the\n"
    "                   plug-in's setting, 0.1 unless a Talvex.ini says otherwise), or P%\n"
    "                   of the meshes' box diagonal\n"
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
    "  --plugin PATH    the plug-in library (default: the one beside talvex-host)\n";

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
                           {"-o", "--plane", "--tolerance", "--lock", "--object", "--precision"},
                           {"--quiet", "--stats", "--as-one-object"},
                           1,
                           1,
                           "one input mesh"};

void printReport(const BatchSetup& setup, const ResymOutcome& outcome, const std::string& target) {
    const char axis = static_cast<char>('x' + setup.spec.axis);
    std::cout << "plane: " << describePlacedPlane(setup.spec, setup.plane) << "\n"
              << "pairs found: " << outcome.pairs << "\n"
              << "vertices moved: " << outcome.movedVertices << " (" << outcome.movedNoticeably
              << " by more than 0.0001)\n";
    if (outcome.movedVertices != outcome.movedNoticeably)
        std::cout << "(the plug-in reports " << outcome.movedNoticeably
                  << " moved: it counts moves greater than 0.0001, "
                  << outcome.movedVertices - outcome.movedNoticeably << " took a smaller step)\n";
    std::cout << "unpaired vertices: " << outcome.unpaired[0].size() << " on the -" << axis
              << " side, " << outcome.unpaired[1].size() << " on the +" << axis << " side ("
              << outcome.onPlane << " more lie on the plane)\n"
              << "wrote " << target << "\n";
    if (setup.targets.size() > 1) {
        const int elsewhere = unpairedWithPartnerElsewhere(*setup.session, setup, outcome);
        if (elsewhere > 0)
            std::cout << splitObjectsNote(elsewhere, static_cast<int>(setup.targets.size()))
                      << "\n";
    }
}

void printStats(const BatchSetup& setup, const ResymOutcome& outcome, int vertices) {
    double projections = 0.0;
    for (const HostObject* object : setup.targets)
        projections += double(object->vertexCount) * object->vertexCount;
    const double scan = projections * secondsPerProjection(setup.targets);
    const double seconds = outcome.commandSeconds;
    std::cout << "stats: Smart Resym took " << formatFixed(seconds * 1e3, 2) << " ms for "
              << vertices << " vertices (" << formatFixed(seconds > 0 ? vertices / seconds : 0.0, 0)
              << " vertices/s)\n"
              << "stats: the plain scan would take about " << formatFixed(scan, 2) << " s ("
              << formatFixed(projections, 0) << " projections, estimated), "
              << formatFixed(seconds > 0 ? scan / seconds : 0.0, 0) << " times as long\n"
              << "stats: " << setup.phases.summary() << "\n"
              << "stats: peak extra memory is measured by make bench, not here\n";
}

}  // namespace

int runResym(const Invocation& invocation) {
    CommandArgs args;
    if (auto done = readCommandLine(invocation, kSpec, args)) return *done;
    std::string error;
    std::error_code ec;
    const std::string output =
        args.has("-o") ? std::filesystem::absolute(args.value("-o"), ec).string() : "";
    const std::string target =
        output.empty() ? std::filesystem::absolute(args.positional[0], ec).string() : output;
    const std::string precision = args.has("--precision") ? args.value("--precision") : "file";
    if (precision != "file" && precision != "shortest")
        return usageError(kSpec, "--precision takes file or shortest, not \"" + precision + "\"");
    const ObjNumberStyle style =
        precision == "file" ? ObjNumberStyle::kFileDecimals : ObjNumberStyle::kShortest;
    if (!checkWritable(target, error)) return commandFailure(kSpec, error);
    BatchSetup setup;
    int status = kExitOk;
    if (!prepareBatch(args, std::cout, setup, error, status))
        return status == kExitUsage ? usageError(kSpec, error) : commandFailure(kSpec, error);
    int vertices = 0;
    for (const HostObject* object : setup.targets) vertices += object->vertexCount;
    ResymOutcome outcome;
    setup.phases.start("Smart Resym");
    {
        Progress progress(!setup.quiet && vertices > kLongWorkVertices,
                          "running Smart Resym on " + std::to_string(vertices) + " vertices");
        outcome = runSmartResym(*setup.session, setup.targets, setup.plane, setup.spec.axis);
    }
    // Nothing will be undone: the record's memory goes before the output is
    // written, which needs memory of its own.
    hostsim::Host& host = setup.session->host();
    host.undoSteps.clear();
    std::vector<HostVertex*>().swap(host.lastRegistered);
    setup.phases.start("writing");
    {
        Progress progress(!setup.quiet && vertices > 20 * kLongWorkVertices, "writing " + target);
        if (!setup.session->saveDocument(0, target, error, style))
            return commandFailure(kSpec, error);
    }
    setup.phases.stop();
    if (setup.quiet) return kExitOk;
    printReport(setup, outcome, target);
    if (args.has("--stats")) printStats(setup, outcome, vertices);
    return kExitOk;
}

}  // namespace talvexhost
