// The glTF document: positions in scene space through node transforms,
// untouched files byte for byte, moved positions and the accessors' bounds
// as the only changes (in data URIs, GLB chunks and external buffers), and
// the refusals, each with where it is.
#include "io/gltf/gltf_document.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "io/safe_writer.h"
#include "support/scratch_folder.h"

namespace talvexhost {
namespace {

// Three positions and three 16-bit indices (plus two bytes of padding).
std::string bufferBytes() {
    const float positions[9] = {-1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 2.0f, 0.5f};
    std::string out(reinterpret_cast<const char*>(positions), sizeof positions);
    const std::uint16_t indices[4] = {0, 1, 2, 0};
    out.append(reinterpret_cast<const char*>(indices), sizeof indices);
    return out;
}

std::string base64(const std::string& bytes) {
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t bits = 0;
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        for (std::size_t k = 0; k < 3; ++k)
            bits = (bits << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k)
            out += k <= n ? digits[(bits >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

// A scene of one node placing one triangle; `node` and `accessor` add members.
std::string gltfText(const std::string& bufferJson, const std::string& node = "",
                     const std::string& accessor = "", const std::string& primitive = "") {
    return "{\n  \"asset\": {\"version\": \"2.0\"},\n  \"nodes\": [{\"name\": \"Head\", \"mesh\": "
           "0" +
           node +
           "}],\n  \"meshes\": [{\"primitives\": [{\"attributes\": {\"POSITION\": 0}, \"indices\": "
           "1" +
           primitive +
           "}]}],\n  \"accessors\": [\n    {\"bufferView\": 0, \"componentType\": 5126, \"count\": "
           "3, "
           "\"type\": \"VEC3\", \"min\": [-1.0, 0.0, 0.0], \"max\": [1.0, 2.0, 0.5]" +
           accessor +
           "},\n    {\"bufferView\": 1, \"componentType\": 5123, \"count\": 3, \"type\": "
           "\"SCALAR\"}\n  ],\n"
           "  \"bufferViews\": [{\"buffer\": 0, \"byteLength\": 36}, {\"buffer\": 0, "
           "\"byteOffset\": 36, "
           "\"byteLength\": 6}],\n  \"buffers\": [" +
           bufferJson + "]\n}\n";
}

std::string dataUriGltf(const std::string& node = "", const std::string& accessor = "",
                        const std::string& primitive = "") {
    return gltfText("{\"byteLength\": 44, \"uri\": \"data:application/octet-stream;base64," +
                        base64(bufferBytes()) + "\"}",
                    node, accessor, primitive);
}

std::string glb(const std::string& json, const std::string& bin) {
    std::string padded = json;
    while (padded.size() % 4 != 0) padded += ' ';
    std::string out = "glTF";
    const auto word = [&out](std::uint32_t value) {
        out.append(reinterpret_cast<const char*>(&value), 4);
    };
    word(2);
    word(std::uint32_t(12 + 8 + padded.size() + 8 + bin.size()));
    word(std::uint32_t(padded.size()));
    word(0x4E4F534A);
    out += padded;
    word(std::uint32_t(bin.size()));
    word(0x004E4942);
    out += bin;
    return out;
}

std::unique_ptr<GltfDocument> parsed(const std::string& bytes,
                                     const std::string& name = "scene.gltf") {
    auto document = std::make_unique<GltfDocument>();
    std::string error;
    EXPECT_TRUE(document->parseBytes(bytes, name, error)) << error;
    return document;
}

std::string refusal(const std::string& bytes) {
    GltfDocument document;
    std::string error;
    EXPECT_FALSE(document.parseBytes(bytes, "scene.gltf", error));
    return error;
}

TEST(GltfDocument, NodeTransformsPlaceTheMeshAndAreUndoneOnWriting) {
    // Turned a quarter about z, doubled and moved up 10.
    const std::string text = dataUriGltf(
        ", \"translation\": [0, 0, 10], \"rotation\": [0, 0, 0.70710678118654757, "
        "0.70710678118654757], \"scale\": [2, 2, 2]");
    auto document = parsed(text);
    ASSERT_EQ(document->vertexCount(), 3);
    ASSERT_EQ(document->objects().size(), 1u);
    EXPECT_EQ(document->objects()[0].name, "Head");
    const MeshPosition p = document->position(1);  // (1, 0, 0) -> (0, 2, 10)
    EXPECT_NEAR(p.x, 0.0f, 1e-6f);
    EXPECT_EQ(p.y, 2.0f);
    EXPECT_EQ(p.z, 10.0f);
    EXPECT_EQ(document->bytes(), text);
    const std::vector<MeshElement> faces = document->elements();
    ASSERT_EQ(faces.size(), 1u);
    EXPECT_EQ(faces[0].vertices, (std::vector<int>{0, 1, 2}));

    // Turned half about z, where every product is exact: scene (-3, 0, 10)
    // is local (1.5, 0, 0), a new largest x.
    document = parsed(dataUriGltf(
        ", \"translation\": [0, 0, 10], \"rotation\": [0, 0, 1, 0], \"scale\": [2, 2, 2]"));
    const std::string halfTurn = document->bytes();
    EXPECT_EQ(document->position(1).x, -2.0f);
    document->setPosition(1, {-3.0f, 0.0f, 10.0f});
    const std::string out = document->bytes();
    auto back = parsed(out);
    EXPECT_EQ(back->position(1).x, -3.0f);
    EXPECT_EQ(back->position(0).x, document->position(0).x);
    std::string expected = halfTurn;
    expected.replace(expected.find("\"max\": [1.0"), 11, "\"max\": [1.5");
    // Only base64 characters of the moved position differ besides the bound.
    ASSERT_EQ(out.size(), expected.size()) << out;
    std::size_t differing = 0;
    for (std::size_t i = 0; i < out.size(); ++i) differing += out[i] != expected[i];
    EXPECT_GT(differing, 0u);
    EXPECT_LE(differing, 16u);
    EXPECT_EQ(out.substr(0, out.find("base64,")), expected.substr(0, expected.find("base64,")));
}

TEST(GltfDocument, GlbChunksKeepTheirLayout) {
    const std::string json = gltfText("{\"byteLength\": 44}");
    const std::string file = glb(json, bufferBytes());
    auto document = parsed(file, "scene.glb");
    EXPECT_EQ(document->bytes(), file);
    // A BIN chunk no buffer names is kept as it is.
    const std::string bare = glb("{\"asset\": {\"version\": \"2.0\"}}", "abcd");
    EXPECT_EQ(parsed(bare, "bare.glb")->bytes(), bare);
    EXPECT_EQ(document->placeOf(2), "scene.glb: offset " + std::to_string(file.size() - 44 + 24));
    // A bound whose text grows: the JSON chunk is padded again and the length follows.
    document->setPosition(2, {0.0f, 2.25f, 0.5f});
    const std::string out = document->bytes();
    EXPECT_EQ(out.size() % 4, 0u);
    std::uint32_t length;
    std::memcpy(&length, out.data() + 8, 4);
    EXPECT_EQ(length, out.size());
    auto back = parsed(out, "scene.glb");
    EXPECT_EQ(back->position(2).y, 2.25f);
    EXPECT_NE(out.find("\"max\": [1.0, 2.25, 0.5]"), std::string::npos);
    EXPECT_EQ(out.substr(out.size() - 8), file.substr(file.size() - 8));  // indices untouched
}

TEST(GltfDocument, ExternalBuffersAreWrittenBesideTheFile) {
    ScratchFolder folder("gltf_external");
    const std::string text = gltfText("{\"byteLength\": 44, \"uri\": \"mesh%20data.bin\"}");
    ScratchFolder::write("scene.gltf", text);
    ScratchFolder::write("mesh data.bin", bufferBytes());
    GltfDocument document;
    std::string error;
    ASSERT_TRUE(document.load("scene.gltf", error)) << error;
    document.setPosition(0, {-1.0f, 0.0f, 0.25f});
    // Beside the input under another name: the buffer follows the name.
    ASSERT_TRUE(document.save("moved.gltf", error)) << error;
    std::string expected = text;
    expected.replace(expected.find("mesh%20data.bin"), 15, "moved.bin");
    EXPECT_EQ(ScratchFolder::read("moved.gltf"), expected);
    const std::string bin = ScratchFolder::read("moved.bin");
    ASSERT_EQ(bin.size(), 44u);
    float z;
    std::memcpy(&z, bin.data() + 8, 4);
    EXPECT_EQ(z, 0.25f);
    EXPECT_EQ(ScratchFolder::read("mesh data.bin"), bufferBytes());
    // In another folder too; a name that matches keeps its URI.
    ScratchFolder::write("out/keep", "");
    ASSERT_TRUE(document.save("out/mesh data.gltf", error)) << error;
    EXPECT_EQ(ScratchFolder::read("out/mesh data.gltf"), text);
    EXPECT_EQ(ScratchFolder::read("out/mesh data.bin"), bin);
    // Over itself: the buffer is replaced too.
    allowReplacing("scene.gltf");
    ASSERT_TRUE(document.save("scene.gltf", error)) << error;
    allowReplacing("");
    EXPECT_EQ(ScratchFolder::read("mesh data.bin"), bin);
    EXPECT_FALSE(document.changed(0));

    for (const char* uri :
         {"../mesh data.bin", "/etc/passwd", "sub/../../x.bin", "http://host/x.bin"}) {
        ScratchFolder::write(
            "bad.gltf", gltfText(std::string("{\"byteLength\": 44, \"uri\": \"") + uri + "\"}"));
        GltfDocument bad;
        EXPECT_FALSE(bad.load("bad.gltf", error));
        EXPECT_NE(error.find("points outside the file's folder"), std::string::npos)
            << uri << ": " << error;
    }
}

TEST(GltfDocument, CopiesOfAVertexAreOneAndMoveTogether) {
    // Position 3 repeats position 0, as exporters split a vertex by its normals.
    const float positions[12] = {-1, 0, 0, 1, 0, 0, 0, 2, 0, -1, 0, 0};
    const std::uint16_t indices[6] = {0, 1, 2, 3, 2, 1};
    std::string bin(reinterpret_cast<const char*>(positions), sizeof positions);
    bin.append(reinterpret_cast<const char*>(indices), sizeof indices);
    const std::string text =
        "{\"asset\": {\"version\": \"2.0\"}, \"nodes\": [{\"mesh\": 0}], \"meshes\": "
        "[{\"primitives\": [{\"attributes\": {\"POSITION\": 0}, \"indices\": 1}]}], "
        "\"accessors\": [{\"bufferView\": 0, \"componentType\": 5126, \"count\": 4, \"type\": "
        "\"VEC3\", \"min\": [-1, 0, 0], \"max\": [1, 2, 0]}, {\"bufferView\": 1, "
        "\"componentType\": 5123, \"count\": 6, \"type\": \"SCALAR\"}], \"bufferViews\": "
        "[{\"buffer\": 0, \"byteLength\": 48}, {\"buffer\": 0, \"byteOffset\": 48, "
        "\"byteLength\": 12}], \"buffers\": [{\"byteLength\": 60}]}";
    auto document = parsed(glb(text, bin), "split.glb");
    ASSERT_EQ(document->vertexCount(), 3);
    EXPECT_EQ(document->objects()[0].name, "node 0");
    const std::vector<MeshElement> faces = document->elements();
    ASSERT_EQ(faces.size(), 2u);
    EXPECT_EQ(faces[1].vertices, (std::vector<int>{0, 2, 1}));
    document->setPosition(0, {-2.0f, 0.0f, 0.0f});
    const std::string out = document->bytes();
    auto back = parsed(out, "split.glb");
    ASSERT_EQ(back->vertexCount(), 3);  // both copies moved, so they still weld
    EXPECT_EQ(back->position(0).x, -2.0f);
    EXPECT_NE(out.find("\"min\": [-2, 0, 0]"), std::string::npos) << out.substr(20, 400);
}

TEST(GltfDocument, WhatCannotBeWrittenBackIsRefusedWithWhere) {
    const std::string accessorAt = std::to_string(dataUriGltf().find("{\"bufferView\": 0"));
    struct Case {
        std::string text;
        std::string reason;
    };
    const Case cases[] = {
        {dataUriGltf("", ", \"sparse\": {}"),
         "scene.gltf: offset " + accessorAt + ": accessor 0 is sparse"},
        {dataUriGltf("", ", \"normalized\": true"), "accessor 0 holds normalized positions"},
        {dataUriGltf("", "", ", \"targets\": [{\"POSITION\": 0}]"), "mesh 0 has morph targets"},
        {dataUriGltf("", "", ", \"extensions\": {\"KHR_draco_mesh_compression\": {}}"),
         "mesh 0 is Draco-compressed"},
        {gltfText("{\"byteLength\": 44, \"uri\": \"data:application/octet-stream;base64," +
                  base64(bufferBytes().substr(0, 30)) + "\"}"),
         "buffer 0 promises 44 bytes, but holds 30"},
        {gltfText("{\"byteLength\": 20, \"uri\": \"data:application/octet-stream;base64," +
                  base64(bufferBytes().substr(0, 20)) + "\"}"),
         "buffer view 0 reaches past the end of buffer 0"},
        {dataUriGltf(", \"scale\": [1, 0, 1]"), "node 0's transform flattens the mesh"},
        {"{\"asset\": {\"version\": \"1.0\"}}", "not glTF 2.0"},
        {"{\"asset\": {\"version\": \"2.0\"}, \"extensionsRequired\": [\"KHR_mesh_quantization\"]}",
         "its positions are quantized"},
        {"{\"asset\": ", "scene.gltf: offset 10: the JSON is malformed"},
        {"{\"asset\": 1e999}", "scene.gltf: offset 0: the JSON holds a number out of range"},
        {std::string(100, '[') + std::string(100, ']'), "nests deeper than"},
    };
    for (const Case& c : cases) {
        const std::string why = refusal(c.text);
        EXPECT_NE(why.find(c.reason), std::string::npos) << why;
    }
    std::string quantized = dataUriGltf();
    quantized.replace(quantized.find("5126"), 4, "5123");
    EXPECT_NE(refusal(quantized).find("accessor 0 holds quantized positions (component type 5123)"),
              std::string::npos);
    std::string floatIndices = dataUriGltf();
    floatIndices.replace(floatIndices.find("5123"), 4, "5126");
    EXPECT_NE(refusal(floatIndices).find("accessor 1 holds indices of component type 5126"),
              std::string::npos)
        << refusal(floatIndices);
    std::string noIndices = dataUriGltf();
    noIndices.replace(noIndices.find("\"indices\": 1"), 12, "\"indices\": 7");
    EXPECT_NE(refusal(noIndices).find("mesh 0 names an index accessor that does not exist"),
              std::string::npos)
        << refusal(noIndices);
    std::string twice = dataUriGltf();
    twice.replace(twice.find("\"nodes\": [{\"name\": \"Head\", \"mesh\": 0}]"), 38,
                  "\"nodes\": [{\"mesh\": 0}, {\"mesh\": 0}]");
    EXPECT_NE(refusal(twice).find("mesh 0 is placed by more than one node"), std::string::npos)
        << refusal(twice);
    // Positions read from byte 8 on reach into the indices at 36.
    std::string shared = dataUriGltf("", ", \"byteOffset\": 8");
    shared.replace(shared.find("\"byteLength\": 36"), 16, "\"byteLength\": 44");
    EXPECT_NE(refusal(shared).find("accessor 0's positions share bytes with accessor 1's indices"),
              std::string::npos)
        << refusal(shared);
    std::string far = dataUriGltf();
    far.replace(far.find("\"count\": 3, \"type\": \"VEC3\""), 10, "\"count\": 4");
    EXPECT_NE(refusal(far).find("accessor 0's 4 positions reach past the end of its buffer view"),
              std::string::npos);
    // A move that undoing a tiny scale would put beyond float range is not written.
    ScratchFolder folder("gltf_range");
    auto tiny = parsed(dataUriGltf(", \"scale\": [1e-30, 1e-30, 1e-30]"));
    tiny->setPosition(0, {1e10f, 0.0f, 0.0f});
    std::string error;
    EXPECT_FALSE(tiny->save("out.gltf", error));
    EXPECT_NE(error.find("vertex 1 cannot be written: undoing its node's transform"),
              std::string::npos)
        << error;
    EXPECT_EQ(ScratchFolder::read("out.gltf"), "");
    const std::string bin = bufferBytes();
    std::string cut = glb(gltfText("{\"byteLength\": 44}"), bin);
    cut.resize(cut.size() - 10);
    EXPECT_NE(refusal(cut).find("scene.gltf: offset 8: the header promises"), std::string::npos);
}

}  // namespace
}  // namespace talvexhost
