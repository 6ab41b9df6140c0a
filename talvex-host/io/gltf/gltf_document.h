// A glTF 2.0 file (.gltf with external or data-URI buffers, or .glb) as a
// mesh document. Each node's mesh is an object named after the node, its
// vertices the primitives' POSITION accessors; node transforms are applied
// on reading, so positions are in scene space, and undone on writing.
// Writing changes only the bytes of moved positions and the accessors'
// min and max; everything else, the JSON's text included, stays as it was.
// Sparse, quantized or normalized positions, Draco compression, morph
// targets and meshes placed by several nodes are refused with the reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "io/gltf/node_transform.h"
#include "io/mesh_file_document.h"

namespace talvexhost {

struct GltfIndexAccessor;

class GltfDocument : public MeshFileDocument {
public:
    GltfDocument();
    ~GltfDocument() override;

    const char* formatName() const override { return "glTF"; }
    std::string placeOf(int vertex) const override;
    // The .gltf or .glb with moved positions written; the bytes of external
    // buffers are written by save().
    std::string bytes() const override;
    // Writes the file and its external buffers: beside the output as
    // NAME.bin for an output NAME.gltf (NAME_K.bin for several), their URIs
    // changed to match where they differ; over the input itself, only
    // changed buffers are rewritten.
    bool save(const std::string& path, std::string& error) override;

    // Empty when `head` starts like JSON or binary glTF; otherwise why not.
    static std::string refuses(std::string_view head);

    // Adds each corner's NORMAL and TEXCOORD_0 (float ones), normals turned
    // into scene space like the positions.
    bool readForRebuild(HalfMeshInput& input, std::string& error) override;
    // The file with each primitive rebuilt from the elements that come from
    // it: new POSITION, NORMAL, TEXCOORD_0 and index accessors, positions and
    // normals turned back through the node's transform. Everything else in
    // the JSON is kept; accessors and buffer views nothing uses any more are
    // dropped, and the ones still used are copied with the new data into one
    // buffer: the BIN chunk of a .glb, a data URI in a .gltf (so that the
    // rebuilt file is one file and writing it never replaces any other).
    // Other attributes are dropped, and with joints and weights the node's
    // skin, each with a note.
    bool rebuiltBytes(const HalfMeshResult& rebuilt, const HalfPlane& plane, std::string& out,
                      std::vector<std::string>& notes, std::string& error) const override;

protected:
    bool parse(std::string& error, const MeshLoadOptions& options) override;
    MeshPosition filePosition(int vertex) const override;

private:
    struct Buffer;
    struct Run;
    struct Output;

    struct Placement;

    bool parseJson(std::string& error, const MeshLoadOptions& options);
    // The objects to read: placed meshes in node order, then meshes no node
    // places; and each node's parent.
    bool placeMeshes(const nlohmann::json& root, std::vector<Placement>& placements,
                     std::vector<std::int64_t>& parent, std::string& error) const;
    // The placement's scene transform and its inverse, and the object's name.
    bool placementTransform(const nlohmann::json& root, const Placement& placement,
                            const std::vector<std::int64_t>& parent, Affine& world, Affine& inverse,
                            std::string& objectName, std::string& error) const;
    // The meshes' primitives read into objects, positions and elements.
    bool readMeshes(const nlohmann::json& root, const std::vector<Placement>& placements,
                    const std::vector<std::int64_t>& parent, const MeshLoadOptions& options,
                    std::string& error);
    // The POSITION accessor `a`, checked, as a new run of welded positions.
    bool readPositionRun(const nlohmann::json& root, std::size_t a, const std::string& place,
                         const Affine& world, const Affine& inverse, std::int64_t node,
                         PositionWelder& welder, MeshObject& object, const MeshLoadOptions& options,
                         std::string& error);
    // The primitive's indices, or its positions in order.
    bool primitiveOrder(const nlohmann::json& root, const nlohmann::json& primitive, const Run& run,
                        const std::string& meshPlace, std::vector<std::uint32_t>& order,
                        std::string& error);
    // Refuses files whose positions and indices share bytes.
    bool positionsApartFromIndices(std::string& error) const;
    // "PATH: offset N: " for the `index`th entry of the top-level array `array`.
    std::string where(const char* array, std::size_t index) const;
    bool loadBuffer(std::size_t index, std::string& error);
    // The indices `ia` names, checked against the run's positions.
    bool readIndices(const GltfIndexAccessor& ia, const Run& run, std::vector<std::uint32_t>& order,
                     std::string& error);
    // The faces, lines or points of a primitive of glTF mode `mode` (0 to 6).
    void addPrimitive(std::uint64_t mode, const Run& run, const std::vector<std::uint32_t>& order,
                      int primitive);
    const Run& runOf(std::size_t slot) const;
    // The run's position at `slot` as stored, before any transform.
    MeshPosition localPosition(const Run& run, std::size_t slot, std::string_view bytes) const;
    Output compose(const std::vector<std::string>& uris) const;
    // Rebuilt position `p` as run `r`'s accessor stores it: a kept, unmoved
    // vertex's own bytes, else its scene position with the transform undone.
    MeshPosition storedPosition(const HalfMeshResult& rebuilt, std::size_t p, std::size_t r) const;
    bool sourcesUnchanged() const;

    bool glb_ = false;
    std::string_view json_;
    std::size_t jsonStart_ = 0;  // where json_ starts in the file
    std::size_t binStart_ = 0;   // the GLB's BIN chunk's data, when it has one
    std::size_t binLength_ = 0;
    bool hasBin_ = false;
    std::vector<std::unique_ptr<Buffer>> buffers_;
    std::vector<Run> runs_;
    // Where index accessors lie, so that positions sharing their bytes are refused.
    struct ByteRange {
        std::size_t buffer, begin, end, accessor;
    };
    std::vector<ByteRange> indexRanges_;
    // Every position the accessors hold is a slot; copies of one vertex
    // (same place, same node) are welded: each slot's vertex, and each
    // vertex's first slot.
    std::vector<int> slotVertex_;
    std::vector<std::size_t> vertexSlot_;
    std::vector<Affine> transforms_;  // per run: node to scene
    std::vector<Affine> inverses_;
    // Every primitive read, and for rebuilding, each element's primitive and
    // each corner's index into its run.
    struct Primitive {
        std::size_t mesh;
        std::size_t index;  // in the mesh's primitives
        std::size_t run;
        std::uint64_t mode;
    };
    std::vector<Primitive> primitives_;
    std::vector<int> elementPrimitive_;
    std::vector<std::uint32_t> cornerLocal_;
    // Filled by readForRebuild: where each primitive's normals and texture
    // coordinates start in what it gave (-1 for none), and what it left out.
    std::vector<int> normalBase_;
    std::vector<int> uvBase_;
    std::vector<std::string> rebuildNotes_;
};

}  // namespace talvexhost
