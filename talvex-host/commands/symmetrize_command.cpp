// talvex-host symmetrize: rebuilds a mesh from one half, for meshes whose
// halves do not even have the same vertices (scans, kit-bashed parts, one
// side edited), which snapping cannot mend. The plug-in plays no part.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "commands/command_table.h"
#include "edit/half_mesh.h"
#include "io/mesh_document.h"
#include "io/number_text.h"
#include "io/phase_times.h"
#include "io/safe_writer.h"
#include "pairing/plane_setup.h"
#include "pairing/plane_side.h"
#include "session/auto_plane.h"
#include "session/host_session.h"

namespace talvexhost {

namespace {

const char kHelp[] =
    "usage: talvex-host symmetrize IN -o OUT|- --keep +x|-x|+y|-y|+z|-z|+|-\n"
    "                              [--plane auto|x|y|z|x=VALUE|...|A,B,C,D] [--mirror-uv U]\n"
    "                              [--weld D] [--precision file|shortest] [--quiet] [--stats]\n"
    "\n"
    "Rebuilds the mesh from one half: every face crossing the plane is cut there (new\n"
    "vertices exactly on the plane, texture coordinates and normals interpolated), the other\n"
    "half is dropped, and the kept half is mirrored (positions and normals; each mirrored\n"
    "face runs the other way round, so it still faces outwards) and welded to it along the\n"
    "plane: no vertex on the plane is doubled, a closed mesh stays closed and an open border\n"
    "stays. Objects, groups, materials, smoothing groups and the comment header are kept;\n"
    "the kept half's vertices keep their order and are followed by their mirror images. A\n"
    "face lying in the plane is kept once, unless the kept half meets it along a side (it\n"
    "would then be a wall inside the mesh): it is dropped. The plug-in plays no part.\n"
    "\n"
    "The rebuilt mesh is written in the input's format. OBJ keeps the above; STL its\n"
    "header or solid names, each facet's normal computed anew; PLY its header and the\n"
    "other values of each vertex (interpolated at cuts, normals mirrored), faces' other\n"
    "lists and elements naming vertices (edges) emptied, with a note. glTF keeps its JSON\n"
    "(scenes, nodes and their transforms, materials, extras); each rebuilt primitive gets\n"
    "new POSITION, NORMAL, TEXCOORD_0 and index accessors in node space, all data in one\n"
    "buffer (the .glb's BIN chunk, or a data URI in a .gltf, so no file beside it is\n"
    "written); other attributes, and a skin whose joints are dropped, go with a note.\n"
    "\n"
    "Refused, with exit status 1 and nothing written: a plane that misses the mesh, a --keep\n"
    "that names another axis than the plane's, a seam that cannot be welded (an edge on the\n"
    "plane that two faces of the kept half share), and faces referring to missing vertices.\n"
    "\n"
    "  -o OUT           where to write, safely (as resym); -o - writes standard output\n"
    "  --keep SIDE      the half to keep: +x, -x, ... for the plane's axis, + for the side\n"
    "                   the plane's normal points to (A, B, C of A,B,C,D), - the other\n"
    "  --plane P        auto (default): the best symmetry plane found by detect; x, y, z:\n"
    "                   perpendicular to that axis through the vertices' centroid; x=VALUE\n"
    "                   etc.; A,B,C,D: the plane A x + B y + C z = D. About an axis plane at\n"
    "                   0 the mirror is exact: a coordinate's text with its sign changed\n"
    "  --mirror-uv U    mirrored faces get texture coordinates u -> 2U - u (for atlases\n"
    "                   whose halves are laid out side by side); default: the same ones\n"
    "  --weld D         vertices nearer the plane than D are on it, and put onto it\n"
    "                   (default 0.0001, what check and resym count as on the plane)\n"
    "  --precision P    file (default): new coordinates with the file's decimals; shortest:\n"
    "                   the shortest text that reads back as the exact float\n"
    "  --quiet          print nothing but errors\n"
    "  --stats          also print how long each step took\n";

const CommandSpec kSpec = {"symmetrize",
                           kHelp,
                           {"-o", "--keep", "--plane", "--mirror-uv", "--weld", "--precision"},
                           {"--quiet", "--stats"},
                           1,
                           1,
                           "one input mesh",
                           false};

// The plane for the geometry: the one --plane asked for, placed for x, y, z
// at the vertices' centroid, rounded to float as a placed plane would be.
HalfPlane halfPlaneOf(const PlaneSpec& spec, const std::vector<HostObject*>& objects) {
    HalfPlane plane;
    if (spec.general) {
        for (int k = 0; k < 3; ++k) plane.normal[k] = spec.normal[k];
        plane.offset = spec.offset;
        return plane;
    }
    plane.axis = spec.axis;
    plane.normal[0] = 0.0;
    plane.normal[spec.axis] = 1.0;
    if (spec.atValue) {
        plane.offset = spec.value;
        return plane;
    }
    double sum = 0.0;
    double count = 0.0;
    for (const HostObject* object : objects)
        for (int i = 0; i < object->vertexCount; ++i, count += 1.0) {
            const HostVertex& v = *object->vertices[i];
            sum += spec.axis == 0 ? v.x : spec.axis == 1 ? v.y : v.z;
        }
    plane.offset = count > 0.0 ? double(static_cast<float>(sum / count)) : 0.0;
    return plane;
}

std::string planeText(const PlaneSpec& spec, const HalfPlane& plane) {
    if (spec.general) return describePlane(spec);
    return describePlane(spec) + " (at " + char('x' + spec.axis) + " = " +
           formatPlaneNumber(plane.offset) + ")";
}

int countVertices(const HalfMeshInput& mesh) {
    return static_cast<int>(mesh.positions.size());
}

}  // namespace

static int runSymmetrize(const Invocation& invocation) {
    CommandArgs args;
    if (auto done = readCommandLine(invocation, kSpec, args)) return *done;
    std::string error;
    if (!args.has("-o")) return usageError(kSpec, "say where to write: -o OUT or -o -");
    if (!args.has("--keep")) return usageError(kSpec, "say which half to keep: --keep +x, -x, ...");
    PlaneSide side;
    if (!parsePlaneSide(args.value("--keep"), "--keep", side, error))
        return usageError(kSpec, error);
    PlaneSpec spec;
    spec.automatic = true;
    if (args.has("--plane") && !parsePlaneSpec(args.value("--plane"), spec, error))
        return usageError(kSpec, error);
    HalfMeshOptions options;
    if (args.has("--mirror-uv")) {
        options.mirrorUv = true;
        if (!parseDouble(args.value("--mirror-uv"), options.mirrorU) ||
            !std::isfinite(options.mirrorU))
            return usageError(kSpec, "--mirror-uv takes a number, such as 0.5");
    }
    double weld = -1.0;
    if (args.has("--weld") && (!parseDouble(args.value("--weld"), weld) || !(weld >= 0.0)))
        return usageError(kSpec, "--weld takes a distance of at least 0");
    const std::string precision = args.value("--precision", "file");
    if (precision != "file" && precision != "shortest")
        return usageError(kSpec, "--precision takes file or shortest, not \"" + precision + "\"");
    const bool quiet = args.has("--quiet");
    const bool toStdout = args.value("-o") == "-";
    std::ostream& text = toStdout ? std::cerr : std::cout;
    std::error_code ec;
    const std::string target =
        toStdout ? "" : std::filesystem::absolute(args.value("-o"), ec).string();
    if (!target.empty() && !checkWritable(target, error)) return commandFailure(kSpec, error);
    const auto started = std::chrono::steady_clock::now();
    PhaseTimes phases;
    phases.start("reading");

    HostSession session(text);
    session.setEcho(false);
    const std::string input = std::filesystem::absolute(args.positional[0], ec).string();
    if (session.loadMesh(input, error) < 0) return commandFailure(kSpec, error);
    std::vector<HostObject*> objects;
    for (const SceneMesh& mesh : session.meshes()) objects.push_back(mesh.object);
    if (spec.automatic && !resolveAutoPlane(objects, spec, error))
        return commandFailure(kSpec, error);
    int keep = 0;
    if (!sideSign(side, spec, "--keep", keep, error)) return commandFailure(kSpec, error);
    HalfPlane plane = halfPlaneOf(spec, objects);
    // sideSign counts along +axis; a general plane's distance runs along its normal.
    plane.keep = spec.general && spec.normal[spec.axis] < 0.0 ? -keep : keep;
    options.weld = weld >= 0.0 ? weld : double(0.0001f);

    // Each format reads what rebuilding needs and writes the rebuilt file,
    // keeping what it keeps besides the mesh.
    MeshDocument& document = *session.documents()[0].document;
    document.setNumberStyle(precision == "file" ? MeshNumberStyle::kFileDecimals
                                                : MeshNumberStyle::kShortest);
    phases.start("elements");
    HalfMeshInput source;
    if (!document.readForRebuild(source, error)) return commandFailure(kSpec, error);
    phases.start("rebuilding");
    HalfMeshResult result;
    if (!rebuildFromHalf(source, plane, options, result, error))
        return commandFailure(kSpec, input + ": " + error);
    phases.start("formatting");
    std::string rebuilt;
    std::vector<std::string> notes;
    if (!document.rebuiltBytes(result, plane, rebuilt, notes, error))
        return commandFailure(kSpec, input + ": " + error);
    phases.start("writing");
    if (toStdout) {
        std::cout.flush();
        if (std::fwrite(rebuilt.data(), 1, rebuilt.size(), stdout) != rebuilt.size() ||
            std::fflush(stdout) != 0)
            return commandFailure(kSpec, "cannot write to standard output");
    } else if (!writeFileAtomically(target, rebuilt, error)) {
        return commandFailure(kSpec, error);
    }
    phases.stop();
    if (quiet) return kExitOk;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    text << "plane: " << planeText(spec, plane) << "\n"
         << "kept: the " << sideName(spec.axis, keep) << " side\n"
         << "before: " << countVertices(source) << " vertices, " << countFaces(source) << " faces\n"
         << "after: " << countVertices(result.mesh) << " vertices, " << countFaces(result.mesh)
         << " faces\n"
         << "faces cut: " << result.facesCut << " (" << result.verticesCut
         << " vertices made on the plane)\n"
         << "seam: " << result.seamVertices << " vertices on the plane, welded\n";
    for (const std::string& note : notes) text << "note: " << note << "\n";
    if (result.facesInPlane + result.facesInPlaneDropped > 0)
        text << "faces lying in the plane: " << result.facesInPlane << " kept once, "
             << result.facesInPlaneDropped << " dropped (the kept half meets them)\n";
    text << "wrote " << (toStdout ? std::string("standard output") : target) << " in "
         << formatFixed(seconds, 2) << " s\n";
    if (args.has("--stats")) text << "stats: " << phases.summary() << "\n";
    return kExitOk;
}

extern const Subcommand kSymmetrizeCommand = {
    kSpec, "rebuild a mesh from one half: cut at the plane, mirror, weld", runSymmetrize};

}  // namespace talvexhost
