// talvex-host objects: lists the objects of an OBJ mesh, as the host loads
// them, so users see why Smart Resym (which pairs only within an object)
// finds few pairs in a file split into parts.
#include <algorithm>
#include <iostream>

#include "commands/command_table.h"
#include "io/mesh_document.h"
#include "io/number_text.h"
#include "session/cli_args.h"

namespace talvexhost {

namespace {

const char kHelp[] =
    "usage: talvex-host objects IN.obj|-\n"
    "\n"
    "Lists the objects of the mesh as the host loads them (from 'o' lines, or 'g' lines in\n"
    "files without 'o'; a vertex belongs to the object of the first element that uses it):\n"
    "name, vertex count and bounding box. Smart Resym pairs vertices only within one object;\n"
    "check and resym take --object NAME, or --as-one-object to treat the file as one.\n";

// Reads the file only: no --plugin.
const CommandSpec kSpec = {"objects", kHelp, {}, {}, 1, 1, "one input mesh", false};

std::string boxText(const MeshDocument& document, const MeshObject& object) {
    MeshPosition lo = document.position(object.vertices.front());
    MeshPosition hi = lo;
    for (int v : object.vertices) {
        const MeshPosition& p = document.position(v);
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    return "(" + formatFloat(lo.x) + ", " + formatFloat(lo.y) + ", " + formatFloat(lo.z) +
           ") to (" + formatFloat(hi.x) + ", " + formatFloat(hi.y) + ", " + formatFloat(hi.z) + ")";
}

}  // namespace

static int runObjects(const Invocation& invocation) {
    CommandArgs args;
    if (auto done = readCommandLine(invocation, kSpec, args)) return *done;
    std::string error;
    const std::unique_ptr<MeshDocument> document = loadMeshDocument(args.positional[0], error);
    if (!document) return commandFailure(kSpec, error);
    const std::size_t count = document->objects().size();
    std::cout << count << (count == 1 ? " object, " : " objects, ") << document->vertexCount()
              << " vertices\n";
    for (const MeshObject& object : document->objects())
        std::cout << "\"" << object.name << "\": " << object.vertices.size() << " vertices, box "
                  << boxText(*document, object) << "\n";
    return kExitOk;
}

extern const Subcommand kObjectsCommand = {kSpec, "list the objects of a mesh", runObjects};

}  // namespace talvexhost
