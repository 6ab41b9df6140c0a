// The formats the host reads and writes, one row each. A file without a
// known extension is offered to them in this order; OBJ, having no
// signature, takes any text, so formats after it are found by extension or
// by first bytes that are not text.
#include "io/gltf/gltf_document.h"
#include "io/mesh_document.h"
#include "io/obj/obj_document.h"
#include "io/ply/ply_document.h"
#include "io/stl/stl_document.h"

namespace talvexhost {

const std::vector<MeshFormat>& meshFormats() {
    static const std::vector<MeshFormat> formats = {
        {"OBJ",
         {".obj"},
         objRefuses,
         [] { return std::unique_ptr<MeshDocument>(new ObjDocument); }},
        {"PLY",
         {".ply"},
         PlyDocument::refuses,
         [] { return std::unique_ptr<MeshDocument>(new PlyDocument); }},
        {"glTF",
         {".gltf", ".glb"},
         GltfDocument::refuses,
         [] { return std::unique_ptr<MeshDocument>(new GltfDocument); }},
        // Last: binary STL has no signature, so it takes almost any bytes.
        {"STL",
         {".stl"},
         StlDocument::refuses,
         [] { return std::unique_ptr<MeshDocument>(new StlDocument); }},
    };
    return formats;
}

}  // namespace talvexhost
