// talvex-host check: finds the asymmetric vertices of a mesh without
// changing it. Smart Resym runs inside its edit step; the pairs come from the
// list the plug-in registers with the host; then the step is undone.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>

#include "batch_setup.h"
#include "commands.h"
#include "number_text.h"
#include "resym_run.h"
#include "viewport.h"

namespace talvexhost {

namespace {

const char kHelp[] =
    "usage: talvex-host check IN.obj [--plane x|y|z|x=VALUE|...|auto|A,B,C,D] [--tolerance T] [--object NAME]\n"
    "                         [--png FILE] [--up y|z] [--quiet] [--plugin PATH]\n"
    "\n"
    "Reports how symmetric the mesh is, without changing it: the plug-in's Smart Resym runs\n"
    "inside an edit step, the host learns the vertex pairs from the list the plug-in\n"
    "registers before moving anything, and then undoes the step. Prints the pairs found, the\n"
    "unpaired vertices on each side of the plane (1-based OBJ vertex numbers) and the largest\n"
    "and mean deviation of a pair from exact mirror positions.\n"
    "\n"
    "  --plane P        as for resym (default x: through the vertices' centroid; auto: the\n"
    "                   best symmetry plane found; A,B,C,D: the plane A x + B y + C z = D)\n"
    "  --tolerance T    matching tolerance (default: the plug-in's setting)\n"
    "  --object NAME    check the objects of that name only\n"
    "  --png FILE       also render the mesh with the unpaired vertices in red\n"
    "  --up y|z         the model's up axis for --png (default y)\n"
    "  --quiet          print only the summary lines\n"
    "  --plugin PATH    the plug-in library (default: the one beside talvex-host)\n";

}  // namespace

int runCheck(const Invocation& invocation) {
    ParsedArgs args;
    std::string error;
    if (!parseArgs(invocation.args, {"--plane", "--tolerance", "--object", "--png", "--up", "--plugin"},
                   {"--quiet", "--help", "-h"}, args, error)) {
        std::fprintf(stderr, "talvex-host check: %s\n", error.c_str());
        return kExitUsage;
    }
    if (args.has("--help") || args.has("-h")) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    const std::string up = args.value("--up", "y");
    if (up != "y" && up != "z") {
        std::fprintf(stderr, "talvex-host check: --up must be y or z\n");
        return kExitUsage;
    }
    std::error_code ec;
    const std::string png = args.has("--png") ? std::filesystem::absolute(args.value("--png"), ec).string() : "";
    BatchSetup setup;
    int status = kExitOk;
    if (!prepareBatch(invocation, args, std::cout, setup, error, status)) {
        std::fprintf(stderr, "talvex-host check: %s\n", error.c_str());
        return status;
    }
    if (!png.empty() && !setup.viewport) {
        std::fprintf(stderr, "talvex-host check: --png needs an OpenGL context, and none could be made\n");
        return kExitFailure;
    }
    HostSession& session = *setup.session;
    int vertices = 0;
    for (const HostObject* object : setup.targets) vertices += object->vertexCount;
    ResymOutcome outcome;
    {
        Progress progress(!setup.quiet && vertices > kLongWorkVertices,
                          "running Smart Resym on " + std::to_string(vertices) + " vertices");
        outcome = runSmartResym(session, setup.targets, setup.plane, setup.spec.axis);
    }
    // Undo the step and make sure nothing of the mesh changed.
    if (outcome.pairs > 0 && !session.host().undo()) {
        std::fprintf(stderr, "talvex-host check: the plug-in's edit left no undo step\n");
        return kExitFailure;
    }
    session.syncDocuments();
    const ObjDocument& document = session.documents()[0].document;
    for (int v = 0; v < document.vertexCount(); ++v) {
        if (document.changed(v)) {
            std::fprintf(stderr, "talvex-host check: vertex %d was moved outside the edit step\n", v + 1);
            return kExitFailure;
        }
    }

    if (!png.empty()) {
        RenderOptions render;
        render.up = up[0];
        for (const HostVertex* v : outcome.unpairedVertices) render.highlights.push_back(v);
        session.viewport()->render(session, render);
        if (!session.viewport()->savePng(png, error)) {
            std::fprintf(stderr, "talvex-host check: %s\n", error.c_str());
            return kExitFailure;
        }
    }

    const char axis = static_cast<char>('x' + setup.spec.axis);
    std::cout << "plane: " << describePlacedPlane(setup.spec, setup.plane) << "\n"
              << "vertices: " << vertices << "\n"
              << "pairs found: " << outcome.pairs << "\n"
              << "vertices Smart Resym would move: " << outcome.movedVertices << " (" << outcome.movedNoticeably
              << " by more than 0.0001)\n"
              << "on the plane: " << outcome.onPlane << "\n";
    for (int side = 0; side < 2; ++side) {
        std::cout << "unpaired on the " << (side == 0 ? '-' : '+') << axis << " side: " << outcome.unpaired[side].size();
        if (!outcome.unpaired[side].empty() && !setup.quiet) std::cout << " (" << compactList(outcome.unpaired[side]) << ")";
        std::cout << "\n";
    }
    if (outcome.pairs > 0) {
        std::cout << "largest deviation: " << formatFixed(outcome.largestDeviation, 6) << " (vertices "
                  << outcome.largestPair << ")\n"
                  << "mean deviation: " << formatFixed(outcome.meanDeviation, 6) << "\n";
    }
    if (!png.empty()) std::cout << "image: " << png << "\n";
    return kExitOk;
}

}  // namespace talvexhost
