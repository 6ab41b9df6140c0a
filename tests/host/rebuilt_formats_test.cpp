// Rebuilt meshes written by the formats behind the seam: PLY records of
// varying size in big-endian order, values interpolated at cuts, indices
// that the file's type cannot hold refused rather than wrapped; ASCII STL
// facets kept in their solids; glTF meshes on the side dropped removed and
// what only the dropped attributes needed gone, the rest renumbered.
#include <gtest/gtest.h>

#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "edit/half_mesh.h"
#include "io/gltf/gltf_document.h"
#include "io/ply/ply_document.h"
#include "io/stl/stl_document.h"

namespace talvexhost {
namespace {

template <typename T>
void putBig(std::string& out, T value) {
    char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    for (std::size_t i = 0; i < sizeof(T); ++i) out += raw[sizeof(T) - 1 - i];
}

template <typename T>
T getBig(const std::string& in, std::size_t at) {
    char raw[sizeof(T)];
    for (std::size_t i = 0; i < sizeof(T); ++i) raw[sizeof(T) - 1 - i] = in[at + i];
    T value;
    std::memcpy(&value, raw, sizeof(T));
    return value;
}

std::string glbOf(const std::string& json, const std::string& bin) {
    std::string text = json;
    while (text.size() % 4 != 0) text += ' ';
    std::string out;
    const auto word = [&out](std::uint32_t value) {
        out.append(reinterpret_cast<const char*>(&value), 4);
    };
    word(0x46546C67);
    word(2);
    word(std::uint32_t(12 + 8 + text.size() + 8 + bin.size()));
    word(std::uint32_t(text.size()));
    word(0x4E4F534A);
    out += text;
    word(std::uint32_t(bin.size()));
    word(0x004E4942);
    return out + bin;
}

// Reads `document`, rebuilds it about x = 0 keeping +x and writes it.
bool rebuild(MeshDocument& document, std::string& out, std::vector<std::string>& notes,
             std::string& error, const HalfMeshOptions& options = {}) {
    HalfMeshInput input;
    if (!document.readForRebuild(input, error)) return false;
    HalfPlane plane;
    plane.axis = 0;
    plane.keep = 1;
    HalfMeshResult result;
    if (!rebuildFromHalf(input, plane, options, result, error)) return false;
    return document.rebuiltBytes(result, plane, out, notes, error);
}

TEST(RebuiltFormats, PlyBigEndianRecordsOfVaryingSizeInterpolatedAtTheCut) {
    // A quad from x = -1 to x = 3: the cut at x = 0 lies a quarter along its
    // bottom and top edges. Each vertex has a list between x and y, so
    // records differ in size, and a ushort weight after z.
    std::string ply =
        "ply\nformat binary_big_endian 1.0\nelement vertex 4\nproperty float x\n"
        "property list uchar short tags\nproperty float y\nproperty float z\n"
        "property ushort weight\nelement face 1\nproperty list uchar ushort vertex_indices\n"
        "end_header\n";
    const float xy[4][2] = {{-1, 0}, {3, 0}, {3, 1}, {-1, 1}};
    const unsigned short weight[4] = {100, 500, 900, 300};
    for (int v = 0; v < 4; ++v) {
        putBig(ply, xy[v][0]);
        ply += char(v);  // v tags, each the vertex's number
        for (int t = 0; t < v; ++t) putBig(ply, short(v));
        putBig(ply, xy[v][1]);
        putBig(ply, 0.0f);
        putBig(ply, weight[v]);
    }
    ply += char(4);
    for (unsigned short v : {0, 1, 2, 3}) putBig(ply, v);
    PlyDocument document;
    std::string error;
    ASSERT_TRUE(document.parseBytes(ply, "quad.ply", error)) << error;
    std::string out;
    std::vector<std::string> notes;
    ASSERT_TRUE(rebuild(document, out, notes, error)) << error;
    EXPECT_TRUE(notes.empty());

    // Kept: vertices 1 and 2; cut: 2 more on x = 0; mirrored: 2 more.
    PlyDocument back;
    ASSERT_TRUE(back.parseBytes(out, "back.ply", error)) << error;
    ASSERT_EQ(back.vertexCount(), 6);
    ASSERT_NE(out.find("element vertex 6\n"), std::string::npos);
    ASSERT_NE(out.find("element face 2\n"), std::string::npos);
    std::size_t at = out.find("end_header\n") + 11;
    std::vector<unsigned short> weights;
    std::vector<int> tags;
    for (int v = 0; v < 6; ++v) {
        at += 4;  // x
        const int count = static_cast<unsigned char>(out[at]);
        tags.push_back(count);
        for (int t = 0; t < count; ++t) EXPECT_EQ(getBig<short>(out, at + 1 + 2 * t), count);
        at += 1 + 2 * count + 8;  // the list, y, z
        weights.push_back(getBig<unsigned short>(out, at));
        at += 2;
    }
    // The cut vertices lie a quarter of the way from the dropped end at
    // x = -1 to the kept one at x = 3: weights 100 -> 500 give 200, and
    // 300 -> 900 give 450; they take the kept end's list.
    const std::vector<unsigned short> wantWeights = {500, 900, 200, 450, 500, 900};
    EXPECT_EQ(weights, wantWeights);
    const std::vector<int> wantTags = {1, 2, 1, 2, 1, 2};
    EXPECT_EQ(tags, wantTags);
    EXPECT_FLOAT_EQ(back.position(4).x, -3.0f);
    EXPECT_FLOAT_EQ(back.position(2).x, 0.0f);
}

TEST(RebuiltFormats, PlyTextureCoordinatesMirroredWhenAsked) {
    // A quad from x = -1 to x = 1 whose s runs 0.25 to 0.75 across it: the
    // seam at x = 0 is s = 0.5; u -> 1 - u mirrors the kept half's 0.75 to
    // 0.25 on the mirrored side, and the seam keeps the kept half's.
    const std::string ply =
        "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\n"
        "property float y\nproperty float z\nproperty float s\n"
        "property float t\nelement face 1\n"
        "property list uchar int vertex_indices\nend_header\n"
        "-1 0 0 0.25 0\n1 0 0 0.75 0\n1 1 0 0.75 1\n-1 1 0 0.25 1\n"
        "4 0 1 2 3\n";
    for (const bool mirrorUv : {false, true}) {
        PlyDocument document;
        std::string error;
        ASSERT_TRUE(document.parseBytes(ply, "quad.ply", error)) << error;
        HalfMeshOptions options;
        options.mirrorUv = mirrorUv;
        options.mirrorU = 0.5;
        std::string out;
        std::vector<std::string> notes;
        ASSERT_TRUE(rebuild(document, out, notes, error, options)) << error;
        const std::string body = out.substr(out.find("end_header\n") + 11);
        // Kept 1 and 2, cut on the plane, then the mirror images of 1 and 2.
        const std::string want = mirrorUv ? "1 0 0 0.75 0\n1 1 0 0.75 1\n0 0 0 0.50 0\n"
                                            "0 1 0 0.50 1\n-1 0 0 0.25 0\n-1 1 0 0.25 1\n"
                                          : "1 0 0 0.75 0\n1 1 0 0.75 1\n0 0 0 0.50 0\n"
                                            "0 1 0 0.50 1\n-1 0 0 0.75 0\n-1 1 0 0.75 1\n";
        EXPECT_EQ(body.substr(0, want.size()), want) << "mirrorUv " << mirrorUv;
    }
}

TEST(RebuiltFormats, PlyIndicesTheFileTypeCannotHoldAreRefused) {
    // A strip of 99 quads from x = -1 to x = 2: 200 vertices, which uchar
    // indices name, rebuilt into 300, which they cannot.
    std::string ply =
        "ply\nformat ascii 1.0\nelement vertex 200\nproperty float x\n"
        "property float y\nproperty float z\nelement face 99\n"
        "property list uchar uchar vertex_indices\nend_header\n";
    for (int k = 0; k < 100; ++k) ply += "-1 " + std::to_string(k) + " 0\n";
    for (int k = 0; k < 100; ++k) ply += "2 " + std::to_string(k) + " 0\n";
    for (int k = 0; k < 99; ++k)
        ply += "4 " + std::to_string(k) + " " + std::to_string(100 + k) + " " +
               std::to_string(101 + k) + " " + std::to_string(k + 1) + "\n";
    PlyDocument document;
    std::string error;
    ASSERT_TRUE(document.parseBytes(ply, "strip.ply", error)) << error;
    std::string out;
    std::vector<std::string> notes;
    EXPECT_FALSE(rebuild(document, out, notes, error));
    EXPECT_NE(error.find("300 vertices, more than the face element's uchar indices can name"),
              std::string::npos)
        << error;
}

TEST(RebuiltFormats, AsciiStlFacetsStayInTheirSolids) {
    const std::string stl =
        "solid left\n facet normal 0 0 1\n  outer loop\n   vertex -1 0 0\n   vertex 1 0 0\n"
        "   vertex 1 1 0\n  endloop\n endfacet\nendsolid left\n"
        "solid right\n facet normal 0 0 1\n  outer loop\n   vertex 2 0 0\n   vertex 3 0 0\n"
        "   vertex 3 1 0\n  endloop\n endfacet\nendsolid right\n";
    StlDocument document;
    std::string error;
    ASSERT_TRUE(document.parseBytes(stl, "two.stl", error)) << error;
    std::string out;
    std::vector<std::string> notes;
    ASSERT_TRUE(rebuild(document, out, notes, error)) << error;
    // "left"'s facet is cut into a quad (two facets) and mirrored (two
    // more); "right"'s is mirrored: two facets.
    const std::size_t right = out.find("solid right");
    ASSERT_NE(right, std::string::npos);
    const auto count = [&](std::size_t from, std::size_t to) {
        int n = 0;
        for (std::size_t at = out.find("facet normal", from); at < to;
             at = out.find("facet normal", at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(out.compare(0, 10, "solid left"), 0);
    EXPECT_EQ(count(0, right), 4);
    EXPECT_EQ(count(right, std::string::npos), 2);
    // Mirrored facets run the other way round, so their normals still
    // point the way the mirror image of theirs does: +z, as the input's.
    int up = 0;
    for (std::size_t at = out.find("facet normal 0 0 1\n"); at != std::string::npos;
         at = out.find("facet normal 0 0 1\n", at + 1))
        ++up;
    EXPECT_EQ(up, 6) << out;
}

TEST(RebuiltFormats, GltfDropsWhatIsLeftEmptyAndKeepsWhatOthersStillUse) {
    // Node "Left" places a triangle wholly on -x; node "Right", scaled 2
    // along x and skinned, one that crosses x = 0. Accessors: 0 Left's
    // positions, 1 Right's, 2 the skin's matrix, 3 Right's JOINTS_0.
    std::string bytes;
    const auto floats = [&bytes](std::initializer_list<float> values) {
        for (float v : values) bytes.append(reinterpret_cast<const char*>(&v), 4);
    };
    floats({-3, 0, 0, -2, 0, 0, -2, 1, 0});
    floats({-1, 0, 0, 1, 0, 0, 1, 1, 0});
    floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    floats({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    nlohmann::json doc = nlohmann::json::parse(R"({
      "asset": {"version": "2.0"},
      "nodes": [{"name": "Left", "mesh": 0}, {"name": "Right", "mesh": 1, "scale": [2, 1, 1], "skin": 0}],
      "skins": [{"joints": [1], "inverseBindMatrices": 2}],
      "meshes": [{"primitives": [{"attributes": {"POSITION": 0}}]},
                 {"primitives": [{"attributes": {"POSITION": 1, "JOINTS_0": 3}}]}],
      "accessors": [
        {"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3"},
        {"bufferView": 1, "componentType": 5126, "count": 3, "type": "VEC3"},
        {"bufferView": 2, "componentType": 5126, "count": 1, "type": "MAT4"},
        {"bufferView": 3, "componentType": 5126, "count": 3, "type": "VEC4"}],
      "bufferViews": [{"buffer": 0, "byteLength": 36}, {"buffer": 0, "byteOffset": 36, "byteLength": 36},
                      {"buffer": 0, "byteOffset": 72, "byteLength": 64},
                      {"buffer": 0, "byteOffset": 136, "byteLength": 48}],
      "buffers": [{"byteLength": 184}]})");
    GltfDocument document;
    std::string error;
    ASSERT_TRUE(document.parseBytes(glbOf(doc.dump(), bytes), "two.glb", error)) << error;
    std::string out;
    std::vector<std::string> notes;
    ASSERT_TRUE(rebuild(document, out, notes, error)) << error;
    std::string said;
    for (const std::string& note : notes) said += note + "\n";
    EXPECT_NE(said.find("JOINTS_0 dropped"), std::string::npos) << said;
    EXPECT_NE(said.find("node 1's skin dropped"), std::string::npos) << said;
    EXPECT_NE(said.find("node 0 left without a mesh"), std::string::npos) << said;

    GltfDocument again;
    ASSERT_TRUE(again.parseBytes(out, "again.glb", error)) << error;
    std::uint32_t jsonLength;
    std::memcpy(&jsonLength, out.data() + 12, 4);
    const nlohmann::json now = nlohmann::json::parse(out.substr(20, jsonLength));
    ASSERT_EQ(now["meshes"].size(), 1u);
    EXPECT_FALSE(now["nodes"][0].contains("mesh"));
    EXPECT_EQ(now["nodes"][1]["mesh"], 0);
    EXPECT_FALSE(now["nodes"][1].contains("skin"));
    EXPECT_EQ(now["nodes"][1]["scale"], nlohmann::json::parse("[2, 1, 1]"));
    // The skin's matrix is the only old accessor left, and still reads as it did.
    const nlohmann::json& matrix =
        now["accessors"][std::size_t(now["skins"][0]["inverseBindMatrices"])];
    EXPECT_EQ(matrix["type"], "MAT4");
    const nlohmann::json& view = now["bufferViews"][std::size_t(matrix["bufferView"])];
    float first[16];
    std::memcpy(first, out.data() + 20 + jsonLength + 8 + std::size_t(view.value("byteOffset", 0)),
                64);
    EXPECT_EQ(std::memcmp(first, bytes.data() + 72, 64), 0);
    // Right's triangle (-2,0) (2,0) (2,1) in the scene, cut at x = 0 and
    // mirrored: (0,0) (2,0) (2,1) (0,0.5) and the mirror images of the two
    // off the plane, each exact through the node's scale.
    ASSERT_EQ(again.vertexCount(), 6);
    for (int v = 0; v < 6; ++v) {
        const MeshPosition p = again.position(v);
        int mirrors = 0;
        for (int w = 0; w < 6; ++w) {
            const MeshPosition q = again.position(w);
            mirrors += q.x == -p.x && q.y == p.y && q.z == p.z;
        }
        EXPECT_EQ(mirrors, 1) << p.x << " " << p.y;
    }
}

}  // namespace
}  // namespace talvexhost
