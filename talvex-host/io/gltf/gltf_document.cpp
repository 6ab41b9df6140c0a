#include "io/gltf/gltf_document.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <unordered_map>

#include "io/gltf/json_spans.h"
#include "io/gltf/uri_text.h"
#include "io/number_text.h"
#include "io/safe_writer.h"

namespace talvexhost {

using nlohmann::json;

namespace {

constexpr std::uint32_t kGlbMagic = 0x46546C67;  // "glTF"
constexpr std::uint32_t kJsonChunk = 0x4E4F534A;
constexpr std::uint32_t kBinChunk = 0x004E4942;
constexpr int kFloatComponent = 5126;
// Deeper JSON than any glTF needs is refused before the library reads it.
constexpr std::size_t kDeepestJson = 64;

std::uint32_t loadWord(std::string_view bytes, std::size_t at) {
    std::uint32_t value;
    std::memcpy(&value, bytes.data() + at, 4);  // little-endian, as every target we build for
    return value;
}

void storeWord(std::string& bytes, std::size_t at, std::uint32_t value) {
    std::memcpy(&bytes[at], &value, 4);
}

const json* member(const json& object, const char* key) {
    if (!object.is_object()) return nullptr;
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

// A non-negative integer member, or `fallback` when absent; false when present but not one.
bool indexMember(const json& object, const char* key, std::uint64_t& value,
                 std::uint64_t fallback = UINT64_MAX) {
    const json* found = member(object, key);
    if (found == nullptr) {
        value = fallback;
        return fallback != UINT64_MAX;
    }
    if (!found->is_number_unsigned()) return false;
    value = found->get<std::uint64_t>();
    return true;
}

const json* entry(const json& root, const char* array, std::uint64_t index) {
    const json* list = member(root, array);
    if (list == nullptr || !list->is_array() || index >= list->size()) return nullptr;
    return &(*list)[index];
}

// The node's own transform: its matrix, or translation * rotation * scale.
bool localTransform(const json& node, Affine& out) {
    out = identity();
    if (const json* matrix = member(node, "matrix")) {
        if (!matrix->is_array() || matrix->size() != 16) return false;
        double m[16];
        for (int i = 0; i < 16; ++i) {
            if (!(*matrix)[i].is_number()) return false;
            m[i] = (*matrix)[i].get<double>();
        }
        // Column-major; the last row must be 0 0 0 1 for an affine transform.
        if (m[3] != 0 || m[7] != 0 || m[11] != 0 || m[15] != 1) return false;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c) out[r * 4 + c] = m[c * 4 + r];
        return true;
    }
    double t[3] = {0, 0, 0}, q[4] = {0, 0, 0, 1}, s[3] = {1, 1, 1};
    const auto read = [&](const char* key, double* values, std::size_t count) {
        const json* found = member(node, key);
        if (found == nullptr) return true;
        if (!found->is_array() || found->size() != count) return false;
        for (std::size_t i = 0; i < count; ++i) {
            if (!(*found)[i].is_number()) return false;
            values[i] = (*found)[i].get<double>();
        }
        return true;
    };
    if (!read("translation", t, 3) || !read("rotation", q, 4) || !read("scale", s, 3)) return false;
    const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (!(length > 0)) return false;
    const double x = q[0] / length, y = q[1] / length, z = q[2] / length, w = q[3] / length;
    const double r[9] = {1 - 2 * (y * y + z * z), 2 * (x * y - z * w),     2 * (x * z + y * w),
                         2 * (x * y + z * w),     1 - 2 * (x * x + z * z), 2 * (y * z - x * w),
                         2 * (x * z - y * w),     2 * (y * z + x * w),     1 - 2 * (x * x + y * y)};
    for (int row = 0; row < 3; ++row) {
        for (int c = 0; c < 3; ++c) out[row * 4 + c] = r[row * 3 + c] * s[c];
        out[row * 4 + 3] = t[row];
    }
    return true;
}

// The shortest text of the double `value`, as min and max are usually written.
std::string shortestDouble(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

}  // namespace

struct GltfDocument::Buffer {
    enum Source { kChunk, kDataUri, kFile };
    Source source = kChunk;
    std::string_view bytes;
    std::string decoded;
    std::unique_ptr<MappedFile> file;
    FileVersion version;
    std::string path;         // kFile: the file, as opened
    std::size_t uriText = 0;  // offset in json_ of the URI's characters
    std::size_t uriLength = 0;
    bool loaded = false;
};

struct GltfDocument::Run {
    std::size_t accessor;
    std::size_t buffer;
    std::size_t offset;  // of the first position in the buffer
    std::size_t stride;
    std::size_t firstSlot;  // the run's positions are slots firstSlot .. firstSlot + count - 1
    int count;
    int node;  // -1 for a mesh no node places
    bool identity;
};

struct GltfDocument::Output {
    std::string main;
    std::vector<std::string> buffers;  // per buffer: its new bytes, or empty when unchanged
    std::vector<bool> changed;
    std::string refused;  // why the positions cannot all be written
};

GltfDocument::GltfDocument() = default;
GltfDocument::~GltfDocument() = default;

std::string GltfDocument::refuses(std::string_view head) {
    if (head.size() >= 4 && loadWord(head, 0) == kGlbMagic) return {};
    std::size_t i = head.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    while (i < head.size() &&
           (head[i] == ' ' || head[i] == '\t' || head[i] == '\r' || head[i] == '\n'))
        ++i;
    if (i < head.size() && head[i] == '{') return {};
    return "is neither glTF JSON (it does not start with '{') nor binary glTF (nor with "
           "\"glTF\")";
}

std::string GltfDocument::where(const char* array, std::size_t index) const {
    std::size_t at = jsonValueAt(json_, 0);
    if (json_.substr(0, 3) == "\xEF\xBB\xBF") at = jsonValueAt(json_, 3);
    const std::size_t list = at == kNoJsonValue ? kNoJsonValue : jsonMember(json_, at, array);
    const std::size_t found = list == kNoJsonValue ? kNoJsonValue : jsonElement(json_, list, index);
    return name_ + ": offset " + std::to_string(jsonStart_ + (found == kNoJsonValue ? 0 : found)) +
           ": ";
}

// An index accessor as a primitive names it, its JSON read: what reading
// the indices from its buffer needs.
struct GltfIndexAccessor {
    std::uint64_t accessor = 0;
    std::uint64_t count = 0;
    std::uint64_t buffer = 0;
    std::uint64_t viewOffset = 0;
    std::uint64_t viewLength = 0;
    std::uint64_t byteOffset = 0;
    std::uint64_t stride = 0;
    std::size_t size = 0;  // bytes of one index
};

namespace {

// The primitive's index accessor, or false with what is wrong (after
// `place`, which names the accessor, once it is known).
bool indexAccessorOf(const json& root, const json& primitive, GltfIndexAccessor& out,
                     std::string& why) {
    std::uint64_t& accessor = out.accessor;
    if (!indexMember(primitive, "indices", accessor) || !entry(root, "accessors", accessor)) {
        why = "names an index accessor that does not exist";
        return false;
    }
    const json& ia = *entry(root, "accessors", accessor);
    std::uint64_t componentType = 0, count = 0, view = 0, byteOffset = 0;
    if (member(ia, "sparse")) {
        why = " is sparse, which is not read";
        return false;
    }
    if (!indexMember(ia, "componentType", componentType) ||
        (componentType != 5121 && componentType != 5123 && componentType != 5125)) {
        why = " holds indices of component type " + std::to_string(componentType) +
              ", which is not an unsigned integer";
        return false;
    }
    const std::uint64_t size = componentType == 5121 ? 1 : componentType == 5123 ? 2 : 4;
    std::uint64_t buffer = 0, viewOffset = 0, viewLength = 0, stride = 0;
    const json* bufferView = nullptr;
    if (!indexMember(ia, "count", count) || !indexMember(ia, "bufferView", view) ||
        !indexMember(ia, "byteOffset", byteOffset, 0) ||
        (bufferView = entry(root, "bufferViews", view)) == nullptr ||
        !indexMember(*bufferView, "buffer", buffer) ||
        !indexMember(*bufferView, "byteOffset", viewOffset, 0) ||
        !indexMember(*bufferView, "byteLength", viewLength) ||
        !indexMember(*bufferView, "byteStride", stride, size) || stride < size) {
        why = " has no count, buffer view or buffer it can be read from";
        return false;
    }
    out.count = count;
    out.buffer = buffer;
    out.viewOffset = viewOffset;
    out.viewLength = viewLength;
    out.byteOffset = byteOffset;
    out.stride = stride;
    out.size = std::size_t(size);
    return true;
}

}  // namespace

bool GltfDocument::parse(std::string& error, const MeshLoadOptions& options) {
    buffers_.clear();
    runs_.clear();
    indexRanges_.clear();
    slotVertex_.clear();
    vertexSlot_.clear();
    transforms_.clear();
    inverses_.clear();
    primitives_.clear();
    elementPrimitive_.clear();
    cornerLocal_.clear();
    glb_ = false;
    hasBin_ = false;
    json_ = data_;
    jsonStart_ = 0;
    if (data_.size() >= 4 && loadWord(data_, 0) == kGlbMagic) {
        glb_ = true;
        const auto refuse = [&](std::size_t at, const std::string& what) {
            error = name_ + ": offset " + std::to_string(at) + ": " + what;
            return false;
        };
        if (data_.size() < 20) return refuse(data_.size(), "the file ends inside the GLB header");
        if (loadWord(data_, 4) != 2)
            return refuse(4,
                          "GLB version " + std::to_string(loadWord(data_, 4)) + "; only 2 is read");
        const std::uint64_t length = loadWord(data_, 8);
        if (length > data_.size())
            return refuse(8, "the header promises " + std::to_string(length) +
                                 " bytes, but the file has " + std::to_string(data_.size()));
        const std::uint64_t jsonLength = loadWord(data_, 12);
        if (loadWord(data_, 16) != kJsonChunk) return refuse(16, "the first chunk is not JSON");
        if (20 + jsonLength > length)
            return refuse(12, "the JSON chunk's " + std::to_string(jsonLength) +
                                  " bytes reach past the file's end");
        json_ = data_.substr(20, jsonLength);
        jsonStart_ = 20;
        const std::uint64_t next = 20 + jsonLength;
        if (next + 8 <= length && loadWord(data_, next + 4) == kBinChunk) {
            const std::uint64_t binLength = loadWord(data_, next);
            if (next + 8 + binLength > length)
                return refuse(next, "the BIN chunk's " + std::to_string(binLength) +
                                        " bytes reach past the file's end");
            hasBin_ = true;
            binStart_ = next + 8;
            binLength_ = binLength;
        }
    }
    return parseJson(error, options);
}

namespace {

// The document's JSON parsed, or false with where it fails.
bool parseRootJson(std::string_view text, std::size_t start, const std::string& name, json& root,
                   std::string& error) {
    if (jsonDepth(text) > kDeepestJson) {
        error = name + ": offset " + std::to_string(start) + ": the JSON nests deeper than " +
                std::to_string(kDeepestJson) + " levels";
        return false;
    }
    try {
        root = json::parse(text.begin(), text.end());
    } catch (const json::parse_error& failure) {
        error = name + ": offset " +
                std::to_string(start + (failure.byte > 0 ? failure.byte - 1 : 0)) +
                ": the JSON is malformed";
        return false;
    } catch (const json::exception&) {
        // A number beyond a double's range.
        error =
            name + ": offset " + std::to_string(start) + ": the JSON holds a number out of range";
        return false;
    }
    return true;
}

// Why the JSON is not a glTF 2.0 file this reads, or empty when it is.
std::string whyNotReadable(const json& root, const std::string& name) {
    if (!root.is_object()) return name + ": the JSON is not an object";
    const json* asset = member(root, "asset");
    const json* version = asset ? member(*asset, "version") : nullptr;
    if (version == nullptr || !version->is_string() ||
        version->get<std::string>().rfind("2.", 0) != 0)
        return name + ": not glTF 2.0 (asset.version is missing or not 2.x)";
    if (const json* required = member(root, "extensionsRequired")) {
        for (const json& extension : *required) {
            if (extension == "KHR_draco_mesh_compression")
                return name + ": its meshes are Draco-compressed, which is not read";
            if (extension == "KHR_mesh_quantization")
                return name + ": its positions are quantized, which is not read";
            if (extension == "EXT_meshopt_compression")
                return name + ": its buffers are meshopt-compressed, which is not read";
        }
    }
    return {};
}

std::size_t arraySize(const json* array) {
    return array && array->is_array() ? array->size() : 0;
}

}  // namespace

struct GltfDocument::Placement {
    std::size_t mesh;
    std::int64_t node;
};

bool GltfDocument::parseJson(std::string& error, const MeshLoadOptions& options) {
    json root;
    if (!parseRootJson(json_, jsonStart_, name_, root, error)) return false;
    if (std::string why = whyNotReadable(root, name_); !why.empty()) {
        error = std::move(why);
        return false;
    }
    const json* buffers = member(root, "buffers");
    buffers_.clear();
    if (buffers && buffers->is_array())
        for (std::size_t i = 0; i < buffers->size(); ++i)
            buffers_.push_back(std::make_unique<Buffer>());
    std::vector<Placement> placements;
    std::vector<std::int64_t> parent;
    return placeMeshes(root, placements, parent, error) &&
           readMeshes(root, placements, parent, options, error) && positionsApartFromIndices(error);
}

bool GltfDocument::placeMeshes(const json& root, std::vector<Placement>& placements,
                               std::vector<std::int64_t>& parent, std::string& error) const {
    const auto refuse = [&](const std::string& what) {
        error = what;
        return false;
    };
    // Which node places each mesh, and each node's parent.
    const json* nodes = member(root, "nodes");
    const std::size_t nodeCount = arraySize(nodes);
    const std::size_t meshCount = arraySize(member(root, "meshes"));
    parent.assign(nodeCount, -1);
    std::vector<std::int64_t> placedBy(meshCount, -1);
    for (std::size_t n = 0; n < nodeCount; ++n) {
        const json& node = (*nodes)[n];
        if (const json* children = member(node, "children")) {
            for (const json& child : *children) {
                if (!child.is_number_unsigned() || child.get<std::uint64_t>() >= nodeCount ||
                    parent[child.get<std::uint64_t>()] >= 0)
                    return refuse(where("nodes", n) + "node " + std::to_string(n) +
                                  " lists a child that is no node or has another parent");
                parent[child.get<std::uint64_t>()] = std::int64_t(n);
            }
        }
        std::uint64_t mesh = 0;
        if (member(node, "mesh") == nullptr) continue;
        if (!indexMember(node, "mesh", mesh) || mesh >= meshCount)
            return refuse(where("nodes", n) + "node " + std::to_string(n) + " names no mesh");
        if (placedBy[mesh] >= 0)
            return refuse(where("nodes", n) + "mesh " + std::to_string(mesh) +
                          " is placed by more than one node, and one set of positions cannot be "
                          "written back for each");
        placedBy[mesh] = std::int64_t(n);
    }

    // Objects in node order, then meshes no node places.
    for (std::size_t n = 0; n < nodeCount; ++n)
        if (member((*nodes)[n], "mesh") != nullptr)
            placements.push_back({(*nodes)[n]["mesh"].get<std::size_t>(), std::int64_t(n)});
    for (std::size_t m = 0; m < meshCount; ++m)
        if (placedBy[m] < 0) placements.push_back({m, -1});
    return true;
}

bool GltfDocument::placementTransform(const json& root, const Placement& placement,
                                      const std::vector<std::int64_t>& parent, Affine& world,
                                      Affine& inverse, std::string& objectName,
                                      std::string& error) const {
    const json* nodes = member(root, "nodes");
    const json* meshes = member(root, "meshes");
    world = identity();
    if (placement.node >= 0) {
        std::size_t steps = 0;
        for (std::int64_t n = placement.node; n >= 0; n = parent[n]) {
            Affine local;
            if (++steps > parent.size() || !localTransform((*nodes)[n], local)) {
                error = where("nodes", std::size_t(n)) + "node " + std::to_string(n) +
                        "'s transform is not an affine matrix or translation, rotation "
                        "and scale";
                return false;
            }
            world = multiply(local, world);
        }
        const json* name = member((*nodes)[placement.node], "name");
        objectName = name && name->is_string() ? name->get<std::string>()
                                               : "node " + std::to_string(placement.node);
    } else {
        const json* name = member((*meshes)[placement.mesh], "name");
        objectName = name && name->is_string() ? name->get<std::string>()
                                               : "mesh " + std::to_string(placement.mesh);
    }
    if (!invert(world, inverse)) {
        error = where("nodes", std::size_t(std::max<std::int64_t>(placement.node, 0))) + "node " +
                std::to_string(placement.node) +
                "'s transform flattens the mesh and cannot be undone on writing";
        return false;
    }
    return true;
}

bool GltfDocument::readMeshes(const json& root, const std::vector<Placement>& placements,
                              const std::vector<std::int64_t>& parent,
                              const MeshLoadOptions& options, std::string& error) {
    const auto refuse = [&](const std::string& what) {
        error = what;
        return false;
    };
    const json* meshes = member(root, "meshes");
    const std::size_t accessorCount = arraySize(member(root, "accessors"));
    std::vector<std::int64_t> runOfAccessor(accessorCount, -1);
    for (const Placement& placement : placements) {
        Affine world, inverse;
        std::string objectName;
        if (!placementTransform(root, placement, parent, world, inverse, objectName, error))
            return false;
        const json& mesh = (*meshes)[placement.mesh];
        const json* primitives = member(mesh, "primitives");
        MeshObject object{objectName, {}};
        // Exporters split a vertex wherever its normal or texture coordinates
        // change; its copies are one vertex, or pairing would see each copy
        // unpaired and snapping would tear the seams open.
        PositionWelder welder(positions_, 1024, positions_.size());
        const std::string meshPlace =
            where("meshes", placement.mesh) + "mesh " + std::to_string(placement.mesh);
        for (std::size_t p = 0; primitives && primitives->is_array() && p < primitives->size();
             ++p) {
            const json& primitive = (*primitives)[p];
            const json* targets = member(primitive, "targets");
            if (targets && targets->is_array() && !targets->empty())
                return refuse(meshPlace + " has morph targets, which are not read");
            const json* extensions = member(primitive, "extensions");
            if (extensions && member(*extensions, "KHR_draco_mesh_compression"))
                return refuse(meshPlace + " is Draco-compressed, which is not read");
            const json* attributes = member(primitive, "attributes");
            std::uint64_t a = 0;
            if (attributes == nullptr || member(*attributes, "POSITION") == nullptr) continue;
            if (!indexMember(*attributes, "POSITION", a) || a >= accessorCount)
                return refuse(meshPlace + " names a POSITION accessor that does not exist");
            const std::string accessorPlace =
                where("accessors", a) + "accessor " + std::to_string(a);
            if (runOfAccessor[a] >= 0) {
                if (runs_[runOfAccessor[a]].node != placement.node)
                    return refuse(accessorPlace +
                                  " holds the positions of two nodes' meshes, which cannot both be "
                                  "written back");
            } else {
                if (!readPositionRun(root, std::size_t(a), accessorPlace, world, inverse,
                                     placement.node, welder, object, options, error))
                    return false;
                runOfAccessor[a] = std::int64_t(runs_.size() - 1);
            }
            const Run& run = runs_[runOfAccessor[a]];
            std::vector<std::uint32_t> order;
            if (!primitiveOrder(root, primitive, run, meshPlace, order, error)) return false;
            std::uint64_t mode = 4;
            if (!indexMember(primitive, "mode", mode, 4) || mode > 6)
                return refuse(meshPlace + " has a primitive of unknown mode");
            primitives_.push_back({placement.mesh, p, std::size_t(runOfAccessor[a]), mode});
            addPrimitive(mode, run, order, int(primitives_.size() - 1));
        }
        if (!object.vertices.empty()) objects_.push_back(std::move(object));
    }
    return true;
}

bool GltfDocument::readPositionRun(const json& root, std::size_t a, const std::string& place,
                                   const Affine& world, const Affine& inverse, std::int64_t node,
                                   PositionWelder& welder, MeshObject& object,
                                   const MeshLoadOptions& options, std::string& error) {
    const auto refuse = [&](const std::string& what) {
        error = what;
        return false;
    };
    const json& accessor = (*member(root, "accessors"))[a];
    // A POSITION accessor's checks, in the order a reader meets them.
    if (member(accessor, "sparse")) return refuse(place + " is sparse, which is not read");
    std::uint64_t componentType = 0, count = 0, view = 0, byteOffset = 0;
    if (!indexMember(accessor, "componentType", componentType) || componentType != kFloatComponent)
        return refuse(place + " holds quantized positions (component type " +
                      std::to_string(componentType) + "), which are not read");
    const json* normalized = member(accessor, "normalized");
    if (normalized && normalized->is_boolean() && normalized->get<bool>())
        return refuse(place + " holds normalized positions, which are not read");
    const json* type = member(accessor, "type");
    if (type == nullptr || *type != "VEC3") return refuse(place + " is not of type VEC3");
    if (!indexMember(accessor, "count", count) || count == 0)
        return refuse(place + " has no count of one or more");
    if (!indexMember(accessor, "bufferView", view)) return refuse(place + " has no buffer view");
    if (!indexMember(accessor, "byteOffset", byteOffset, 0))
        return refuse(place + " has a byteOffset that is no count");
    const json* bufferView = entry(root, "bufferViews", view);
    std::uint64_t buffer = 0, viewOffset = 0, viewLength = 0, stride = 0;
    if (bufferView == nullptr || !indexMember(*bufferView, "buffer", buffer) ||
        !indexMember(*bufferView, "byteOffset", viewOffset, 0) ||
        !indexMember(*bufferView, "byteLength", viewLength) ||
        !indexMember(*bufferView, "byteStride", stride, 12) || buffer >= buffers_.size())
        return refuse(place + "'s buffer view " + std::to_string(view) +
                      " is missing or names no buffer");
    if (stride < 12 || stride % 4 != 0)
        return refuse(place + "'s buffer view has a stride of " + std::to_string(stride) +
                      " bytes, fewer than a position's 12");
    if (!loadBuffer(buffer, error)) return false;
    const std::uint64_t bufferLength = buffers_[buffer]->bytes.size();
    if (viewOffset > bufferLength || viewLength > bufferLength - viewOffset)
        return refuse(where("bufferViews", view) + "buffer view " + std::to_string(view) +
                      " reaches past the end of buffer " + std::to_string(buffer));
    if (count > (UINT64_MAX - 12) / stride || byteOffset > viewLength ||
        stride * (count - 1) + 12 > viewLength - byteOffset)
        return refuse(place + "'s " + std::to_string(count) +
                      " positions reach past the end of its buffer view");
    if (slotVertex_.size() + count > std::uint64_t(INT32_MAX))
        return refuse(name_ + ": more vertices than the host takes");
    if (!affordable(slotVertex_.size() + count, options, error)) return false;
    Run run{std::size_t(a),      std::size_t(buffer), std::size_t(viewOffset + byteOffset),
            std::size_t(stride), slotVertex_.size(),  int(count),
            int(node),           isIdentity(world)};
    runs_.push_back(run);
    transforms_.push_back(world);
    inverses_.push_back(inverse);
    const std::string_view bytes = buffers_[buffer]->bytes;
    for (std::size_t slot = run.firstSlot; slot < run.firstSlot + count; ++slot) {
        const MeshPosition local = localPosition(run, slot, bytes);
        const MeshPosition scene = run.identity ? local : transformed(world, local);
        if (!std::isfinite(scene.x) || !std::isfinite(scene.y) || !std::isfinite(scene.z))
            return refuse(place + "'s position " + std::to_string(slot - run.firstSlot) +
                          " is not a finite number in the scene");
        const int vertex = welder.vertexAt(scene);
        if (std::size_t(vertex) == vertexSlot_.size()) {
            vertexSlot_.push_back(slot);
            object.vertices.push_back(vertex);
        }
        slotVertex_.push_back(vertex);
    }
    return true;
}

bool GltfDocument::primitiveOrder(const json& root, const json& primitive, const Run& run,
                                  const std::string& meshPlace, std::vector<std::uint32_t>& order,
                                  std::string& error) {
    if (member(primitive, "indices")) {
        GltfIndexAccessor ia;
        std::string why;
        if (!indexAccessorOf(root, primitive, ia, why)) {
            error = why[0] == ' ' ? where("accessors", ia.accessor) + "accessor " +
                                        std::to_string(ia.accessor) + why
                                  : meshPlace + " " + why;
            return false;
        }
        return readIndices(ia, run, order, error);
    }
    order.resize(std::size_t(run.count));
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = std::uint32_t(i);
    return true;
}

bool GltfDocument::positionsApartFromIndices(std::string& error) const {
    // Writing a position must not change an index.
    for (const Run& run : runs_) {
        const std::size_t end = run.offset + run.stride * std::size_t(run.count - 1) + 12;
        for (const ByteRange& range : indexRanges_)
            if (range.buffer == run.buffer && range.begin < end && run.offset < range.end) {
                error = where("accessors", run.accessor) + "accessor " +
                        std::to_string(run.accessor) + "'s positions share bytes with accessor " +
                        std::to_string(range.accessor) +
                        "'s indices, which writing them would change";
                return false;
            }
    }
    return true;
}

bool GltfDocument::readIndices(const GltfIndexAccessor& ia, const Run& run,
                               std::vector<std::uint32_t>& order, std::string& error) {
    const std::string place =
        where("accessors", ia.accessor) + "accessor " + std::to_string(ia.accessor);
    if (ia.buffer >= buffers_.size()) {
        error = place + " has no count, buffer view or buffer it can be read from";
        return false;
    }
    if (!loadBuffer(std::size_t(ia.buffer), error)) return false;
    const std::string_view bytes = buffers_[ia.buffer]->bytes;
    const std::uint64_t count = ia.count, stride = ia.stride, size = ia.size;
    const std::uint64_t viewOffset = ia.viewOffset, viewLength = ia.viewLength;
    const std::uint64_t byteOffset = ia.byteOffset;
    if (viewOffset > bytes.size() || viewLength > bytes.size() - viewOffset ||
        byteOffset > viewLength ||
        (count > 0 && (count - 1 > (viewLength - byteOffset) / stride ||
                       stride * (count - 1) + size > viewLength - byteOffset))) {
        error = place + "'s " + std::to_string(count) +
                " indices reach past the end of their buffer view";
        return false;
    }
    if (count > 0)
        indexRanges_.push_back({std::size_t(ia.buffer), std::size_t(viewOffset + byteOffset),
                                std::size_t(viewOffset + byteOffset + stride * (count - 1) + size),
                                std::size_t(ia.accessor)});
    order.resize(std::size_t(count));
    const char* base = bytes.data() + viewOffset + byteOffset;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t index = 0;
        std::memcpy(&index, base + i * stride, std::size_t(size));  // little-endian
        if (index >= std::uint32_t(run.count)) {
            error = place + "'s index " + std::to_string(i) + " is " + std::to_string(index) +
                    ", but its positions number " + std::to_string(run.count);
            return false;
        }
        order[i] = index;
    }
    return true;
}

void GltfDocument::addPrimitive(std::uint64_t mode, const Run& run,
                                const std::vector<std::uint32_t>& order, int primitive) {
    std::vector<int> corners;
    const auto add = [&](MeshElement::Kind kind, std::initializer_list<std::size_t> at) {
        corners.clear();
        for (std::size_t i : at) {
            corners.push_back(slotVertex_[run.firstSlot + order[i]]);
            cornerLocal_.push_back(order[i]);
        }
        addElement(kind, corners.data(), corners.size());
        elementPrimitive_.push_back(primitive);
    };
    const std::size_t n = order.size();
    if (mode == 0) {
        for (std::size_t i = 0; i < n; ++i) add(MeshElement::kPoint, {i});
    } else if (mode == 1) {
        for (std::size_t i = 0; i + 1 < n; i += 2) add(MeshElement::kLine, {i, i + 1});
    } else if (mode == 2 || mode == 3) {
        for (std::size_t i = 0; i + 1 < n; ++i) add(MeshElement::kLine, {i, i + 1});
        if (mode == 2 && n > 2) add(MeshElement::kLine, {n - 1, 0});
    } else if (mode == 4) {
        for (std::size_t i = 0; i + 2 < n; i += 3) add(MeshElement::kFace, {i, i + 1, i + 2});
    } else if (mode == 5) {
        for (std::size_t i = 0; i + 2 < n; ++i)
            add(MeshElement::kFace, i % 2 == 0
                                        ? std::initializer_list<std::size_t>{i, i + 1, i + 2}
                                        : std::initializer_list<std::size_t>{i + 1, i, i + 2});
    } else {
        for (std::size_t i = 1; i + 1 < n; ++i) add(MeshElement::kFace, {0, i, i + 1});
    }
}

bool GltfDocument::loadBuffer(std::size_t index, std::string& error) {
    Buffer& buffer = *buffers_[index];
    if (buffer.loaded) return true;
    std::size_t at = jsonValueAt(json_, json_.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0);
    const std::size_t list = jsonMember(json_, at, "buffers");
    const std::size_t object = jsonElement(json_, list, index);
    const std::string place = where("buffers", index) + "buffer " + std::to_string(index);
    const std::size_t lengthAt = jsonMember(json_, object, "byteLength");
    std::uint64_t byteLength = 0;
    {
        std::int64_t length = -1;
        const std::size_t end = jsonValueEnd(json_, lengthAt);
        if (lengthAt == kNoJsonValue ||
            !parseInteger(json_.substr(lengthAt, end - lengthAt), length) || length < 0) {
            error = place + " has no byteLength";
            return false;
        }
        byteLength = std::uint64_t(length);
    }
    const std::size_t uriAt = jsonMember(json_, object, "uri");
    if (uriAt == kNoJsonValue) {
        if (!glb_ || index != 0 || !hasBin_) {
            error = place + " has no URI and is not the GLB's BIN chunk";
            return false;
        }
        buffer.source = Buffer::kChunk;
        buffer.bytes = data_.substr(binStart_, binLength_);
    } else {
        const std::size_t uriEnd = jsonValueEnd(json_, uriAt);
        if (json_[uriAt] != '"' || uriEnd < uriAt + 2) {
            error = place + "'s URI is not a string";
            return false;
        }
        const std::string_view uri = json_.substr(uriAt + 1, uriEnd - uriAt - 2);
        buffer.uriText = uriAt + 1;
        buffer.uriLength = uri.size();
        if (uri.find('\\') != std::string_view::npos) {
            error = place + "'s URI has escaped characters, which are not read";
            return false;
        }
        if (uri.rfind("data:", 0) == 0) {
            const std::size_t comma = uri.find(',');
            if (comma == std::string_view::npos ||
                uri.substr(0, comma).find(";base64") == std::string_view::npos ||
                !decodeBase64(uri.substr(comma + 1), buffer.decoded)) {
                error = place + "'s data URI is not base64";
                return false;
            }
            buffer.source = Buffer::kDataUri;
            buffer.bytes = buffer.decoded;
        } else {
            bool ok = true;
            const std::string relative = percentDecoded(uri, ok);
            const std::filesystem::path folder =
                std::filesystem::absolute(std::filesystem::path(name_)).parent_path();
            bool inside = ok && !relative.empty() && relative.find(':') == std::string::npos &&
                          relative.front() != '/';
            for (std::size_t start = 0; inside && start <= relative.size();) {
                const std::size_t slash = std::min(relative.find('/', start), relative.size());
                if (relative.substr(start, slash - start) == "..") inside = false;
                start = slash + 1;
            }
            std::error_code ec;
            const std::filesystem::path file = folder / std::filesystem::path(relative);
            if (inside) {
                // Links followed: a link inside the folder that leads out is refused too.
                const std::string real = std::filesystem::weakly_canonical(file, ec).string();
                const std::string base = std::filesystem::weakly_canonical(folder, ec).string();
                inside = !ec && real.size() > base.size() &&
                         real.compare(0, base.size(), base) == 0 &&
                         (real[base.size()] == '/' || real[base.size()] == '\\');
            }
            if (!inside) {
                error = place + "'s URI \"" + std::string(uri) +
                        "\" points outside the file's folder, which is refused";
                return false;
            }
            buffer.source = Buffer::kFile;
            buffer.path = file.string();
            buffer.file = std::make_unique<MappedFile>();
            if (!buffer.file->open(buffer.path, error)) {
                error = place + ": " + error;
                return false;
            }
            buffer.version = buffer.file->version();
            buffer.bytes = buffer.file->bytes();
        }
    }
    if (buffer.bytes.size() < byteLength) {
        error = place + " promises " + std::to_string(byteLength) + " bytes, but holds " +
                std::to_string(buffer.bytes.size());
        return false;
    }
    buffer.bytes = buffer.bytes.substr(0, byteLength);
    buffer.loaded = true;
    return true;
}

const GltfDocument::Run& GltfDocument::runOf(std::size_t slot) const {
    const auto found =
        std::upper_bound(runs_.begin(), runs_.end(), slot,
                         [](std::size_t s, const Run& run) { return s < run.firstSlot; });
    return *(found - 1);
}

MeshPosition GltfDocument::localPosition(const Run& run, std::size_t slot,
                                         std::string_view bytes) const {
    MeshPosition p;
    std::memcpy(&p, bytes.data() + run.offset + (slot - run.firstSlot) * run.stride, 12);
    return p;
}

MeshPosition GltfDocument::filePosition(int vertex) const {
    const std::size_t slot = vertexSlot_[vertex];
    const Run& run = runOf(slot);
    const MeshPosition local = localPosition(run, slot, buffers_[run.buffer]->bytes);
    if (run.identity) return local;
    return transformed(transforms_[std::size_t(&run - runs_.data())], local);
}

std::string GltfDocument::placeOf(int vertex) const {
    const std::size_t slot = vertexSlot_[vertex];
    const Run& run = runOf(slot);
    const Buffer& buffer = *buffers_[run.buffer];
    const std::size_t within = run.offset + (slot - run.firstSlot) * run.stride;
    if (buffer.source == Buffer::kChunk)
        return name_ + ": offset " + std::to_string(binStart_ + within);
    if (buffer.source == Buffer::kFile) return buffer.path + ": offset " + std::to_string(within);
    return name_ + ": buffer " + std::to_string(run.buffer) + " offset " + std::to_string(within);
}

GltfDocument::Output GltfDocument::compose(const std::vector<std::string>& uris) const {
    Output out;
    out.buffers.resize(buffers_.size());
    out.changed.assign(buffers_.size(), false);
    // A GLB is copied once and its BIN chunk patched inside the copy.
    if (glb_) out.main = std::string(data_);
    const auto writable = [&](std::size_t b) {
        out.changed[b] = true;
        if (buffers_[b]->source == Buffer::kChunk) return &out.main[binStart_];
        std::string& held = out.buffers[b];
        if (held.empty()) held = std::string(buffers_[b]->bytes);
        return &held[0];
    };
    std::vector<BytePatch> patches;
    std::size_t root = jsonValueAt(json_, json_.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0);
    const std::size_t accessorList = jsonMember(json_, root, "accessors");
    std::vector<bool> moved(positions_.size());
    for (std::size_t v = 0; v < positions_.size(); ++v) moved[v] = changed(int(v));
    for (std::size_t r = 0; r < runs_.size(); ++r) {
        const Run& run = runs_[r];
        char* bytes = nullptr;
        const std::size_t end = run.firstSlot + std::size_t(run.count);
        for (std::size_t slot = run.firstSlot; slot < end; ++slot) {
            // Every copy of a moved vertex moves.
            const int v = slotVertex_[slot];
            if (!moved[v]) continue;
            const MeshPosition local =
                run.identity ? positions_[v] : transformed(inverses_[r], positions_[v]);
            const MeshPosition had = localPosition(run, slot, buffers_[run.buffer]->bytes);
            if (samePositionBits(local, had)) continue;
            if (!std::isfinite(local.x) || !std::isfinite(local.y) || !std::isfinite(local.z)) {
                if (out.refused.empty())
                    out.refused = name_ + ": vertex " + std::to_string(v + 1) +
                                  " cannot be written: undoing its node's transform puts it "
                                  "beyond the range of a float; nothing was written";
                continue;
            }
            if (bytes == nullptr) bytes = writable(run.buffer);
            std::memcpy(bytes + run.offset + (slot - run.firstSlot) * run.stride, &local, 12);
        }
        if (bytes == nullptr) continue;
        // The accessor's bounds follow its positions; numbers still right keep their text.
        float low[3] = {INFINITY, INFINITY, INFINITY}, high[3] = {-INFINITY, -INFINITY, -INFINITY};
        for (std::size_t slot = run.firstSlot; slot < end; ++slot) {
            const MeshPosition p = localPosition(
                run, slot, std::string_view(bytes, buffers_[run.buffer]->bytes.size()));
            const float xyz[3] = {p.x, p.y, p.z};
            for (int c = 0; c < 3; ++c) {
                low[c] = std::min(low[c], xyz[c]);
                high[c] = std::max(high[c], xyz[c]);
            }
        }
        const std::size_t accessor = jsonElement(json_, accessorList, run.accessor);
        for (const char* key : {"min", "max"}) {
            const float* wanted = key[1] == 'i' ? low : high;
            const std::vector<std::size_t> numbers =
                jsonElements(json_, jsonMember(json_, accessor, key));
            for (std::size_t c = 0; c < numbers.size() && c < 3; ++c) {
                const std::size_t numberEnd = jsonValueEnd(json_, numbers[c]);
                double old = 0;
                const float now = wanted[c];
                const bool read =
                    parseDouble(json_.substr(numbers[c], numberEnd - numbers[c]), old);
                const float had = float(old);
                if (read && std::memcmp(&now, &had, 4) == 0) continue;
                patches.push_back({numbers[c], numberEnd, shortestDouble(double(now))});
            }
        }
    }
    for (std::size_t b = 0; b < buffers_.size(); ++b) {
        const Buffer& buffer = *buffers_[b];
        if (buffer.source == Buffer::kFile && b < uris.size() && !uris[b].empty())
            patches.push_back({buffer.uriText, buffer.uriText + buffer.uriLength, uris[b]});
        if (buffer.source != Buffer::kDataUri || !out.changed[b]) continue;
        // Only the base64 groups of changed bytes are written again.
        const std::string& now = out.buffers[b];
        const std::size_t payload =
            buffer.uriText + json_.substr(buffer.uriText, buffer.uriLength).find(',') + 1;
        for (std::size_t group = 0; group * 3 < now.size(); ++group) {
            const std::size_t begin = group * 3;
            const std::size_t count = std::min<std::size_t>(3, now.size() - begin);
            if (now.compare(begin, count, buffer.bytes.data() + begin, count) == 0) continue;
            const std::string text = encodeGroup(now, group);
            patches.push_back({payload + group * 4, payload + group * 4 + text.size(), text});
        }
    }
    std::string text = applyPatches(json_, std::move(patches));
    if (!glb_) {
        out.main = std::move(text);
        return out;
    }
    if (text.size() == json_.size()) {
        out.main.replace(20, text.size(), text);
        return out;
    }
    // The JSON chunk is padded with spaces to four bytes; the lengths follow it.
    while (!text.empty() && text.back() == ' ') text.pop_back();
    while (text.size() % 4 != 0) text += ' ';
    const std::uint32_t length = loadWord(out.main, 8);
    out.main.replace(20, json_.size(), text);
    storeWord(out.main, 12, std::uint32_t(text.size()));
    storeWord(out.main, 8, std::uint32_t(length + text.size() - json_.size()));
    return out;
}

std::string GltfDocument::bytes() const {
    return compose({}).main;
}

bool GltfDocument::sourcesUnchanged() const {
    if (!sourceUnchanged()) return false;
    for (const auto& buffer : buffers_) {
        if (buffer->source != Buffer::kFile) continue;
        FileVersion now;
        if (!fileVersion(buffer->path, now) || now != buffer->version) return false;
    }
    return true;
}

bool GltfDocument::save(const std::string& path, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const bool inPlace = version_.size >= 0 && fs::equivalent(name_, path, ec);
    std::size_t external = 0;
    for (const auto& buffer : buffers_) external += buffer->source == Buffer::kFile ? 1 : 0;
    std::vector<std::string> uris(buffers_.size());
    std::vector<std::string> targets(buffers_.size());
    const fs::path outFolder = fs::absolute(fs::path(path)).parent_path();
    for (std::size_t b = 0, k = 0; b < buffers_.size(); ++b) {
        const Buffer& buffer = *buffers_[b];
        if (buffer.source != Buffer::kFile) continue;
        if (inPlace) {
            targets[b] = buffer.path;
            continue;
        }
        // Named after the output, so that outputs written side by side never
        // share (and overwrite) one another's buffers.
        const std::string file =
            fileStem(path) + (external > 1 ? "_" + std::to_string(k++) : "") + ".bin";
        targets[b] = (outFolder / file).string();
        const std::string uri = percentEncoded(file);
        if (uri != json_.substr(buffer.uriText, buffer.uriLength)) uris[b] = uri;
    }
    const Output out = compose(uris);
    if (!out.refused.empty()) {
        error = out.refused;
        return false;
    }
    if (!sourcesUnchanged()) {
        error = changedUnderneath();
        return false;
    }
    for (std::size_t b = 0; b < buffers_.size(); ++b) {
        if (targets[b].empty() || (inPlace && !out.changed[b])) continue;
        const std::string& bytes =
            out.changed[b] ? out.buffers[b] : std::string(buffers_[b]->bytes);
        // A buffer rewritten in place is an input; it may be replaced like the file itself.
        if (inPlace) {
            buffers_[b]->file.reset();
            allowReplacing(targets[b]);
        }
        const bool written = writeFileAtomically(targets[b], bytes, error);
        if (inPlace) allowReplacing(path);
        if (!written) return false;
    }
    SafeWriter writer;
    if (!writer.open(path, error) || !writer.write(out.main, error)) return false;
    bool refused = false;
    const bool committed = writer.commit(error, [&](std::string& why) {
        if (!inPlace && !sourcesUnchanged()) {
            why = changedUnderneath();
            refused = true;
            return false;
        }
        if (inPlace) {
            json_ = {};
            releaseFile();
        }
        return true;
    });
    if (!inPlace || refused) return committed;
    // Read what was written, keeping the positions the host set.
    std::vector<MeshPosition> kept = positions_;
    std::string why;
    if (!load(name_, why)) {
        error = path + ": written, but cannot be read again (" + why + ")";
        return false;
    }
    if (kept.size() == positions_.size()) positions_ = std::move(kept);
    return committed;
}

namespace {

using ordered = nlohmann::ordered_json;

// The float accessor `index` of `type` ("VEC3", "VEC2") and `count`
// elements as floats, or false with why not.
bool floatAccessor(const json& root, std::uint64_t index, const char* type, std::size_t count,
                   const std::vector<std::string_view>& buffers, std::vector<float>& out,
                   std::string& why) {
    const json* accessor = entry(root, "accessors", index);
    const std::size_t width = type[3] == '3' ? 3 : 2;
    std::uint64_t componentType = 0, n = 0, view = 0, offset = 0, buffer = 0, viewOffset = 0,
                  viewLength = 0, stride = 0;
    const json* bufferView = nullptr;
    if (accessor == nullptr || member(*accessor, "sparse") ||
        !indexMember(*accessor, "componentType", componentType) ||
        componentType != kFloatComponent || member(*accessor, "type") == nullptr ||
        (*accessor)["type"] != type) {
        why = "it is not a plain float " + std::string(type);
        return false;
    }
    if (!indexMember(*accessor, "count", n) || n != count ||
        !indexMember(*accessor, "bufferView", view) ||
        !indexMember(*accessor, "byteOffset", offset, 0) ||
        (bufferView = entry(root, "bufferViews", view)) == nullptr ||
        !indexMember(*bufferView, "buffer", buffer) || buffer >= buffers.size() ||
        !indexMember(*bufferView, "byteOffset", viewOffset, 0) ||
        !indexMember(*bufferView, "byteLength", viewLength) ||
        !indexMember(*bufferView, "byteStride", stride, width * 4) || stride < width * 4 ||
        viewOffset + viewLength > buffers[buffer].size() || offset > viewLength ||
        (count > 0 && stride * (count - 1) + width * 4 > viewLength - offset)) {
        why = "its count or bytes do not match its positions";
        return false;
    }
    out.resize(count * width);
    const char* base = buffers[buffer].data() + viewOffset + offset;
    for (std::size_t i = 0; i < count; ++i)
        std::memcpy(&out[i * width], base + i * stride, width * 4);
    return true;
}

// The normal `n` through the linear part of `m` transposed (into node space,
// for the transform that takes the node to the scene) or of `m` inverse
// transposed (into the scene, given the inverse), normalised.
EditVector turnedNormal(const Affine& m, const float* n) {
    double out[3];
    for (int i = 0; i < 3; ++i)
        out[i] = m[0 * 4 + i] * n[0] + m[1 * 4 + i] * n[1] + m[2 * 4 + i] * n[2];
    const double length = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
    EditVector v{{float(n[0]), float(n[1]), float(n[2])}};
    if (length > 0)
        for (int i = 0; i < 3; ++i) v.v[i] = float(out[i] / length);
    return v;
}

std::string base64(std::string_view bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t group = 0; group * 3 < bytes.size(); ++group)
        text += encodeGroup(bytes, group);
    while (text.size() % 4 != 0) text += '=';
    return text;
}

void padTo4(std::string& bytes, char with) {
    while (bytes.size() % 4 != 0) bytes += with;
}

// A new array of the rebuilt file, in a buffer view of its own.
struct NewView {
    std::string bytes;
    int target;
};

// The rebuilt primitives' new arrays and their accessors, numbered after
// the accessors and views kept once those are known.
struct NewArrays {
    std::vector<NewView> views;
    ordered accessors = ordered::array();

    // The new accessor's number among the new ones.
    std::size_t add(std::string bytes, int target, int componentType, const char* type,
                    std::size_t count, const float* low, const float* high, int width) {
        ordered a = ordered::object();
        a["bufferView"] = views.size();  // renumbered once the views kept are known
        a["componentType"] = componentType;
        a["count"] = count;
        a["type"] = type;
        if (low != nullptr) {
            a["min"] = ordered::array();
            a["max"] = ordered::array();
            for (int c = 0; c < width; ++c) {
                a["min"].push_back(double(low[c]));
                a["max"].push_back(double(high[c]));
            }
        }
        views.push_back({std::move(bytes), target});
        accessors.push_back(std::move(a));
        return accessors.size() - 1;
    }
};

void appendBytes(std::string& bytes, const void* value, std::size_t size) {
    bytes.append(static_cast<const char*>(value), size);
}

// A vertex of a rebuilt primitive: position, normal, texture coordinates.
struct CornerKey {
    int p, n, t;
    bool operator==(const CornerKey& o) const { return p == o.p && n == o.n && t == o.t; }
};

struct CornerKeyHash {
    std::size_t operator()(const CornerKey& key) const {
        return std::hash<std::uint64_t>()(std::uint64_t(std::uint32_t(key.p)) << 32 ^
                                          std::uint64_t(std::uint32_t(key.n)) * 2654435761u ^
                                          std::uint64_t(std::uint32_t(key.t)));
    }
};

constexpr std::uint32_t kNoVertex = UINT32_MAX;

// The distinct corners of `elements` as vertices, and the indices that
// draw them as triangles, lines or points. `firstOf` (kNoVertex for every
// position) is returned as it was given.
void gatherVertices(const HalfMeshInput& mesh, const std::vector<int>& elements, bool normals,
                    bool uvs, std::vector<std::uint32_t>& firstOf, std::vector<CornerKey>& keys,
                    std::vector<std::uint32_t>& indices) {
    std::unordered_map<CornerKey, std::uint32_t, CornerKeyHash> index;
    // Most positions have one normal and one texture coordinate: the
    // first corner of each is found directly, only others by the map.
    const auto vertexOf = [&](const EditCorner& corner) {
        const CornerKey key{corner.vertex, normals ? corner.normal : -1, uvs ? corner.uv : -1};
        std::uint32_t& first = firstOf[std::size_t(key.p)];
        if (first == kNoVertex) {
            first = std::uint32_t(keys.size());
            keys.push_back(key);
            return first;
        }
        if (keys[first] == key) return first;
        const auto found = index.emplace(key, std::uint32_t(keys.size()));
        if (found.second) keys.push_back(key);
        return found.first->second;
    };
    for (int e : elements) {
        const EditElement& element = mesh.elements[std::size_t(e)];
        const EditCorner* c = &mesh.corners[std::size_t(element.first)];
        if (element.kind == EditElement::kFace) {
            for (int i = 1; i + 1 < element.count; ++i)
                for (const EditCorner* corner : {&c[0], &c[i], &c[i + 1]})
                    indices.push_back(vertexOf(*corner));
        } else if (element.kind == EditElement::kLine) {
            for (int i = 0; i + 1 < element.count; ++i)
                for (const EditCorner* corner : {&c[i], &c[i + 1]})
                    indices.push_back(vertexOf(*corner));
        } else {
            for (int i = 0; i < element.count; ++i) indices.push_back(vertexOf(c[i]));
        }
    }
    for (const CornerKey& key : keys) firstOf[std::size_t(key.p)] = kNoVertex;
}

void noteDroppedAttributes(const std::vector<std::string>& droppedAttributes,
                           std::vector<std::string>& notes) {
    if (droppedAttributes.empty()) return;
    std::string names;
    for (const std::string& name : droppedAttributes) names += (names.empty() ? "" : ", ") + name;
    notes.push_back("the rebuilt primitives' " + names +
                    " dropped: only POSITION, NORMAL and TEXCOORD_0 are rebuilt");
}

void dropSkins(ordered& root, const std::vector<bool>& skinDropped,
               std::vector<std::string>& notes) {
    for (std::size_t n = 0; n < skinDropped.size(); ++n) {
        if (!skinDropped[n]) continue;
        root["nodes"][n].erase("skin");
        notes.push_back("node " + std::to_string(n) +
                        "'s skin dropped, with its primitives' joints and weights");
    }
}

// Removes the primitives (mesh, index) listed.
void removePrimitives(ordered& root, std::vector<std::pair<std::size_t, std::size_t>> emptied,
                      std::vector<std::string>& notes) {
    std::sort(emptied.rbegin(), emptied.rend());
    for (const auto& [m, p] : emptied) {
        ordered& list = root["meshes"][m]["primitives"];
        list.erase(list.begin() + std::ptrdiff_t(p));
        notes.push_back("a primitive of mesh " + std::to_string(m) +
                        " dropped: nothing of it is on the side kept");
    }
}

// Removes the meshes with no primitive left, and the nodes' references to
// them; renumbers the rest.
void removeEmptyMeshes(ordered& root, std::vector<std::string>& notes) {
    if (!root.contains("meshes")) return;
    std::vector<std::int64_t> meshNumber(root["meshes"].size(), -1);
    ordered meshes = ordered::array();
    for (std::size_t m = 0; m < root["meshes"].size(); ++m) {
        if (root["meshes"][m]["primitives"].empty()) continue;
        meshNumber[m] = std::int64_t(meshes.size());
        meshes.push_back(std::move(root["meshes"][m]));
    }
    root["meshes"] = std::move(meshes);
    if (root.contains("nodes"))
        for (std::size_t n = 0; n < root["nodes"].size(); ++n) {
            ordered& node = root["nodes"][n];
            if (!node.contains("mesh")) continue;
            const std::int64_t now = meshNumber[node["mesh"].get<std::size_t>()];
            if (now >= 0) {
                node["mesh"] = now;
                continue;
            }
            node.erase("mesh");
            node.erase("skin");
            notes.push_back("node " + std::to_string(n) +
                            " left without a mesh: all of it is on the side dropped");
        }
    if (root["meshes"].empty()) root.erase("meshes");
}

// Every place that names an accessor, by pointer into the JSON.
std::vector<ordered*> accessorReferences(ordered& root) {
    std::vector<ordered*> accessorRefs;
    const auto refer = [&](ordered& holder, const char* key) {
        if (holder.is_object() && holder.contains(key) && holder[key].is_number_unsigned())
            accessorRefs.push_back(&holder[key]);
    };
    if (root.contains("meshes"))
        for (ordered& m : root["meshes"])
            for (ordered& p : m["primitives"]) {
                if (p.contains("attributes"))
                    for (auto item = p["attributes"].begin(); item != p["attributes"].end(); ++item)
                        refer(p["attributes"], item.key().c_str());
                refer(p, "indices");
            }
    if (root.contains("skins"))
        for (ordered& skin : root["skins"]) refer(skin, "inverseBindMatrices");
    if (root.contains("animations"))
        for (ordered& animation : root["animations"])
            if (animation.contains("samplers"))
                for (ordered& sampler : animation["samplers"]) {
                    refer(sampler, "input");
                    refer(sampler, "output");
                }
    if (root.contains("nodes"))
        for (ordered& node : root["nodes"])
            if (node.contains("extensions") &&
                node["extensions"].contains("EXT_mesh_gpu_instancing")) {
                ordered& attributes = node["extensions"]["EXT_mesh_gpu_instancing"]["attributes"];
                for (auto item = attributes.begin(); item != attributes.end(); ++item)
                    refer(attributes, item.key().c_str());
            }
    return accessorRefs;
}

// The old accessors still used, renumbered, and every reference updated:
// references at or above `tag` name new accessors, numbered after these.
ordered keepUsedAccessors(ordered& root, std::uint64_t tag) {
    const std::size_t oldAccessors = root.contains("accessors") ? root["accessors"].size() : 0;
    std::vector<std::int64_t> accessorNumber(oldAccessors, -1);
    const std::vector<ordered*> accessorRefs = accessorReferences(root);
    ordered keptAccessors = ordered::array();
    for (ordered* ref : accessorRefs) {
        const std::uint64_t a = ref->get<std::uint64_t>();
        if (a >= tag || a >= oldAccessors || accessorNumber[std::size_t(a)] >= 0) continue;
        accessorNumber[std::size_t(a)] = 0;
    }
    for (std::size_t a = 0; a < oldAccessors; ++a) {
        if (accessorNumber[a] < 0) continue;
        accessorNumber[a] = std::int64_t(keptAccessors.size());
        keptAccessors.push_back(root["accessors"][a]);
    }
    const std::uint64_t firstNew = keptAccessors.size();
    for (ordered* ref : accessorRefs) {
        const std::uint64_t a = ref->get<std::uint64_t>();
        *ref = a >= tag ? firstNew + (a - tag) : std::uint64_t(accessorNumber[std::size_t(a)]);
    }
    return keptAccessors;
}

// Every reference to one of the first `oldViews` buffer views from the
// accessors kept and the images.
std::vector<ordered*> viewReferences(ordered& root, ordered& keptAccessors, std::size_t oldViews) {
    std::vector<ordered*> viewRefs;
    const auto referView = [&](ordered& holder) {
        if (holder.is_object() && holder.contains("bufferView") &&
            holder["bufferView"].is_number_unsigned() &&
            holder["bufferView"].get<std::size_t>() < oldViews)
            viewRefs.push_back(&holder["bufferView"]);
    };
    for (ordered& a : keptAccessors) {
        referView(a);
        if (a.contains("sparse")) {
            referView(a["sparse"]["indices"]);
            referView(a["sparse"]["values"]);
        }
    }
    if (root.contains("images"))
        for (ordered& image : root["images"]) referView(image);
    return viewRefs;
}

// The buffer views still used, copied into `bin` each at its old alignment
// and renumbered; `buffers` holds each loaded buffer's bytes (null when not
// loaded). False, with the view in `unreadable`, when one cannot be read.
bool copyUsedViews(ordered& root, ordered& keptAccessors,
                   const std::vector<const std::string_view*>& buffers, std::string& bin,
                   ordered& bufferViews, std::size_t& unreadable) {
    const std::size_t oldViews = root.contains("bufferViews") ? root["bufferViews"].size() : 0;
    const std::vector<ordered*> viewRefs = viewReferences(root, keptAccessors, oldViews);
    std::vector<std::int64_t> viewNumber(oldViews, -1);
    for (ordered* ref : viewRefs) viewNumber[ref->get<std::size_t>()] = 0;
    for (std::size_t v = 0; v < oldViews; ++v) {
        if (viewNumber[v] < 0) continue;
        ordered view = root["bufferViews"][v];
        const std::size_t buffer = view["buffer"].get<std::size_t>();
        const std::size_t offset = view.value("byteOffset", std::size_t(0));
        const std::size_t length = view["byteLength"].get<std::size_t>();
        if (buffer >= buffers.size() || buffers[buffer] == nullptr ||
            offset + length > buffers[buffer]->size()) {
            unreadable = v;
            return false;
        }
        while (bin.size() % 8 != offset % 8) bin += '\0';
        view["buffer"] = 0;
        view["byteOffset"] = bin.size();
        bin.append(buffers[buffer]->substr(offset, length));
        viewNumber[v] = std::int64_t(bufferViews.size());
        bufferViews.push_back(std::move(view));
    }
    for (ordered* ref : viewRefs) *ref = std::size_t(viewNumber[ref->get<std::size_t>()]);
    return true;
}

// The new arrays' views appended after the views kept, and their accessors
// after the accessors kept, pointing at them.
void appendNewArrays(NewArrays& arrays, std::string& bin, ordered& bufferViews,
                     ordered& keptAccessors) {
    const std::size_t firstNewView = bufferViews.size();
    for (NewView& view : arrays.views) {
        padTo4(bin, '\0');
        ordered v = ordered::object();
        v["buffer"] = 0;
        v["byteOffset"] = bin.size();
        v["byteLength"] = view.bytes.size();
        v["target"] = view.target;
        bin += view.bytes;
        bufferViews.push_back(std::move(v));
    }
    for (ordered& a : arrays.accessors) {
        a["bufferView"] = firstNewView + a["bufferView"].get<std::size_t>();
        keptAccessors.push_back(std::move(a));
    }
}

void setOrErase(ordered& root, const char* key, ordered array) {
    if (array.empty())
        root.erase(key);
    else
        root[key] = std::move(array);
}

// One buffer holding `bin`, keeping the first one's name and extras.
void setTheOneBuffer(ordered& root, const std::string& bin, bool glb) {
    ordered buffer = root.contains("buffers") && !root["buffers"].empty() ? root["buffers"][0]
                                                                          : ordered::object();
    buffer.erase("uri");
    buffer["byteLength"] = bin.size();
    if (!glb) buffer["uri"] = "data:application/octet-stream;base64," + base64(bin);
    if (bin.empty())
        root.erase("buffers");
    else
        root["buffers"] = ordered::array({std::move(buffer)});
}

// A rebuilt primitive's vertex arrays, and its positions' bounds.
struct VertexArrays {
    std::string positions, normals, uvs, indices;
    float low[3] = {INFINITY, INFINITY, INFINITY}, high[3] = {-INFINITY, -INFINITY, -INFINITY};

    void addPosition(const float xyz[3]) {
        for (int c = 0; c < 3; ++c) {
            low[c] = std::min(low[c], xyz[c]);
            high[c] = std::max(high[c], xyz[c]);
        }
        appendBytes(positions, xyz, 12);
    }
};

// Adds the names of the attributes in `old` that are not rebuilt to
// `dropped`, once each; true when joints or weights are among them.
bool noteAttributesNotRebuilt(const ordered& old, bool normals, bool uvs,
                              std::vector<std::string>& dropped) {
    bool jointsOrWeights = false;
    for (auto item = old.begin(); item != old.end(); ++item) {
        const std::string& name = item.key();
        if (name == "POSITION" || (name == "NORMAL" && normals) || (name == "TEXCOORD_0" && uvs))
            continue;
        if (std::find(dropped.begin(), dropped.end(), name) == dropped.end())
            dropped.push_back(name);
        if (name.rfind("JOINTS_", 0) == 0 || name.rfind("WEIGHTS_", 0) == 0) jointsOrWeights = true;
    }
    return jointsOrWeights;
}

// The primitive `target` pointed at its new arrays (accessor numbers
// tagged by `tag`), drawing `count` vertices as elements of `kind`.
void setRebuiltPrimitive(ordered& target, NewArrays& arrays, VertexArrays& data, std::size_t count,
                         std::size_t indexCount, bool normals, bool uvs, int kind,
                         std::uint64_t tag) {
    ordered attributes = ordered::object();
    attributes["POSITION"] = tag + arrays.add(std::move(data.positions), 34962, kFloatComponent,
                                              "VEC3", count, data.low, data.high, 3);
    if (normals)
        attributes["NORMAL"] = tag + arrays.add(std::move(data.normals), 34962, kFloatComponent,
                                                "VEC3", count, nullptr, nullptr, 3);
    if (uvs)
        attributes["TEXCOORD_0"] = tag + arrays.add(std::move(data.uvs), 34962, kFloatComponent,
                                                    "VEC2", count, nullptr, nullptr, 2);
    target["attributes"] = std::move(attributes);
    target["indices"] = tag + arrays.add(std::move(data.indices), 34963, 5125, "SCALAR", indexCount,
                                         nullptr, nullptr, 1);
    target.erase("targets");
    if (kind == EditElement::kFace)
        target.erase("mode");
    else
        target["mode"] = kind == EditElement::kLine ? 1 : 0;
}

// The .glb of `text` and `bin`, or false when it is too large for one.
bool glbFile(std::string text, std::string bin, std::string& out) {
    padTo4(text, ' ');
    padTo4(bin, '\0');
    out.clear();
    const std::size_t total = 12 + 8 + text.size() + (bin.empty() ? 0 : 8 + bin.size());
    if (total > UINT32_MAX) return false;
    const auto word = [&](std::uint32_t value) { appendBytes(out, &value, 4); };
    word(kGlbMagic);
    word(2);
    word(std::uint32_t(total));
    word(std::uint32_t(text.size()));
    word(kJsonChunk);
    out += text;
    if (!bin.empty()) {
        word(std::uint32_t(bin.size()));
        word(kBinChunk);
        out += bin;
    }
    return true;
}

}  // namespace

bool GltfDocument::readForRebuild(HalfMeshInput& input, std::string& error) {
    if (!MeshDocument::readForRebuild(input, error)) return false;
    rebuildNotes_.clear();
    normalBase_.assign(primitives_.size(), -1);
    uvBase_.assign(primitives_.size(), -1);
    const json root = json::parse(json_.begin(), json_.end());
    // Every buffer, so that what the rebuilt file keeps can be copied from it.
    for (std::size_t b = 0; b < buffers_.size(); ++b) {
        std::string why;
        if (!loadBuffer(b, why)) {
            error = why;
            return false;
        }
    }
    std::vector<std::string_view> bytes;
    for (const auto& buffer : buffers_) bytes.push_back(buffer->bytes);
    std::vector<float> values;
    for (std::size_t k = 0; k < primitives_.size(); ++k) {
        const Primitive& primitive = primitives_[k];
        const json& attributes =
            root["meshes"][primitive.mesh]["primitives"][primitive.index]["attributes"];
        const Run& run = runs_[primitive.run];
        const std::size_t r = primitive.run;
        for (const char* name : {"NORMAL", "TEXCOORD_0"}) {
            std::uint64_t accessor = 0;
            if (!indexMember(attributes, name, accessor)) continue;
            const bool normal = name[0] == 'N';
            std::string why;
            if (!floatAccessor(root, accessor, normal ? "VEC3" : "VEC2", std::size_t(run.count),
                               bytes, values, why)) {
                rebuildNotes_.push_back("mesh " + std::to_string(primitive.mesh) + "'s " + name +
                                        " (accessor " + std::to_string(accessor) +
                                        ") dropped: " + why);
                continue;
            }
            if (normal) {
                normalBase_[k] = int(input.normals.size());
                for (std::size_t i = 0; i < std::size_t(run.count); ++i)
                    input.normals.push_back(
                        run.identity
                            ? EditVector{{values[i * 3], values[i * 3 + 1], values[i * 3 + 2]}}
                            : turnedNormal(inverses_[r], &values[i * 3]));
            } else {
                uvBase_[k] = int(input.uvs.size());
                for (std::size_t i = 0; i < std::size_t(run.count); ++i)
                    input.uvs.push_back({{values[i * 2], values[i * 2 + 1], 0.0f}});
            }
        }
    }
    for (std::size_t e = 0, c = 0; e < input.elements.size(); ++e) {
        const int k = elementPrimitive_[e];
        for (int i = 0; i < input.elements[e].count; ++i, ++c) {
            EditCorner& corner = input.corners[c];
            if (normalBase_[k] >= 0) corner.normal = normalBase_[k] + int(cornerLocal_[c]);
            if (uvBase_[k] >= 0) corner.uv = uvBase_[k] + int(cornerLocal_[c]);
        }
    }
    return true;
}

MeshPosition GltfDocument::storedPosition(const HalfMeshResult& rebuilt, std::size_t p,
                                          std::size_t r) const {
    const EditOrigin& origin = rebuilt.positionOrigins[p];
    const EditVector& scene = rebuilt.mesh.positions[p];
    MeshPosition local{scene.v[0], scene.v[1], scene.v[2]};
    if (origin.kind == EditOrigin::kKept && !origin.moved) {
        const std::size_t slot = vertexSlot_[std::size_t(origin.index)];
        const Run& from = runOf(slot);
        local = localPosition(from, slot, buffers_[from.buffer]->bytes);
    } else if (!runs_[r].identity) {
        local = transformed(inverses_[r], local);
    }
    return local;
}

bool GltfDocument::rebuiltBytes(const HalfMeshResult& rebuilt, const HalfPlane&, std::string& out,
                                std::vector<std::string>& notes, std::string& error) const {
    const HalfMeshInput& mesh = rebuilt.mesh;
    ordered root = ordered::parse(json_.begin(), json_.end());
    notes.insert(notes.end(), rebuildNotes_.begin(), rebuildNotes_.end());
    std::vector<std::vector<int>> elementsOf(primitives_.size());
    for (std::size_t e = 0; e < mesh.elements.size(); ++e)
        elementsOf[std::size_t(elementPrimitive_[std::size_t(rebuilt.elementSources[e])])]
            .push_back(int(e));

    // The new data, each array in a buffer view of its own, after the views kept.
    NewArrays arrays;
    std::vector<std::string> droppedAttributes;
    std::vector<bool> skinDropped(root.contains("nodes") ? root["nodes"].size() : 0, false);
    // Primitives left with no element, removed once the rest are written.
    std::vector<std::pair<std::size_t, std::size_t>> emptied;
    // New accessors are marked by a tag above every old accessor's number;
    // 64 bits wide in both builds, so the 32-bit one has room for it too.
    const std::uint64_t tag = std::uint64_t(1) << 40;
    std::vector<std::uint32_t> firstOf(mesh.positions.size(), kNoVertex);
    for (std::size_t k = 0; k < primitives_.size(); ++k) {
        const Primitive& primitive = primitives_[k];
        ordered& target = root["meshes"][primitive.mesh]["primitives"][primitive.index];
        if (elementsOf[k].empty()) {
            emptied.push_back({primitive.mesh, primitive.index});
            continue;
        }
        const std::size_t r = primitive.run;
        const Run& run = runs_[r];
        const bool normals = normalBase_.size() > k && normalBase_[k] >= 0;
        const bool uvs = uvBase_.size() > k && uvBase_[k] >= 0;
        std::vector<CornerKey> keys;
        std::vector<std::uint32_t> indices;
        gatherVertices(mesh, elementsOf[k], normals, uvs, firstOf, keys, indices);
        int kind = mesh.elements[std::size_t(elementsOf[k][0])].kind;
        VertexArrays data;
        for (const CornerKey& key : keys) {
            const MeshPosition local = storedPosition(rebuilt, std::size_t(key.p), r);
            if (!std::isfinite(local.x) || !std::isfinite(local.y) || !std::isfinite(local.z)) {
                error = name_ +
                        ": a rebuilt vertex cannot be written: undoing its node's "
                        "transform puts it beyond the range of a float";
                return false;
            }
            const float xyz[3] = {local.x, local.y, local.z};
            data.addPosition(xyz);
            if (normals) {
                EditVector n =
                    key.n >= 0 ? mesh.normals[std::size_t(key.n)] : EditVector{{0, 0, 1}};
                if (!run.identity) n = turnedNormal(transforms_[r], n.v);
                appendBytes(data.normals, n.v, 12);
            }
            if (uvs) {
                const EditVector t =
                    key.t >= 0 ? mesh.uvs[std::size_t(key.t)] : EditVector{{0, 0, 0}};
                appendBytes(data.uvs, t.v, 8);
            }
        }
        for (std::uint32_t i : indices) appendBytes(data.indices, &i, 4);
        if (noteAttributesNotRebuilt(target["attributes"], normals, uvs, droppedAttributes) &&
            primitive.run < runs_.size() && run.node >= 0 &&
            root["nodes"][std::size_t(run.node)].contains("skin"))
            skinDropped[std::size_t(run.node)] = true;
        setRebuiltPrimitive(target, arrays, data, keys.size(), indices.size(), normals, uvs, kind,
                            tag);
    }
    noteDroppedAttributes(droppedAttributes, notes);
    dropSkins(root, skinDropped, notes);

    // Primitives with nothing left go, and meshes with no primitive left, and
    // the nodes' references to them.
    removePrimitives(root, std::move(emptied), notes);
    removeEmptyMeshes(root, notes);

    // The old accessors still used, renumbered; the rest dropped.
    ordered keptAccessors = keepUsedAccessors(root, tag);

    // The buffer views still used (by accessors kept and images), copied
    // into the one buffer first, each at its old alignment.
    std::vector<const std::string_view*> loaded;
    for (const auto& buffer : buffers_) loaded.push_back(buffer->loaded ? &buffer->bytes : nullptr);
    std::string bin;
    ordered bufferViews = ordered::array();
    std::size_t unreadable = 0;
    if (!copyUsedViews(root, keptAccessors, loaded, bin, bufferViews, unreadable)) {
        error = where("bufferViews", unreadable) + "buffer view " + std::to_string(unreadable) +
                " is still used but cannot be read to be copied";
        return false;
    }
    appendNewArrays(arrays, bin, bufferViews, keptAccessors);
    setOrErase(root, "accessors", std::move(keptAccessors));
    setOrErase(root, "bufferViews", std::move(bufferViews));
    setTheOneBuffer(root, bin, glb_);

    std::string text = root.dump(glb_ ? -1 : 2, ' ', false, ordered::error_handler_t::replace);
    if (!glb_) {
        out = std::move(text) + "\n";
        return true;
    }
    if (!glbFile(std::move(text), std::move(bin), out)) {
        error = name_ + ": the rebuilt file is larger than a .glb can hold";
        return false;
    }
    return true;
}

}  // namespace talvexhost
