// Which format reads a mesh file: its extension chooses, its first bytes must
// agree, and a refusal says why; a file without a known extension goes to the
// first format that takes its first bytes.
#include "io/mesh_document.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/scratch_folder.h"

namespace talvexhost {
namespace {

TEST(MeshDocument, ExtensionChoosesTheFormat) {
    ASSERT_NE(meshFormatFor("a/b.obj"), nullptr);
    EXPECT_STREQ(meshFormatFor("a/b.obj")->name, "OBJ");
    EXPECT_EQ(meshFormatFor("a/B.OBJ"), meshFormatFor("b.obj"));
    EXPECT_EQ(meshFormatFor("a/b.obj.xyz"), nullptr);
    // A dot in a folder's name is no extension.
    EXPECT_EQ(meshFormatFor("a.obj/mesh"), nullptr);
    EXPECT_EQ(meshFormatFor("a.obj\\mesh"), nullptr);
    EXPECT_EQ(meshFormatFor(".obj/"), nullptr);
    EXPECT_STREQ(meshFormats().front().name, "OBJ");
}

TEST(MeshDocument, FirstBytesConfirmTheFormatOrTheFileIsRefused) {
    ScratchFolder folder("mesh_document_choice");
    const std::string cube = "o Box\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    ScratchFolder::write("mesh.obj", cube);
    ScratchFolder::write("mesh.txt", cube);
    ScratchFolder::write("binary.obj", std::string("glTF\x02\0\0\0", 8) + "rest");
    ScratchFolder::write("binary.xyz", std::string("\x01\x02\x03\n", 4));
    ScratchFolder::write("late.obj", std::string("v 0 0 0\n\x00\x01\n", 11));
    ScratchFolder::write("marked.obj", "\xEF\xBB\xBFv 1 2 3\n");

    std::string error;
    std::unique_ptr<MeshDocument> document = loadMeshDocument("mesh.obj", error);
    ASSERT_NE(document, nullptr) << error;
    EXPECT_STREQ(document->formatName(), "OBJ");
    EXPECT_EQ(document->vertexCount(), 3);
    EXPECT_EQ(document->placeOf(1), "mesh.obj:3");
    EXPECT_EQ(document->bytes(), cube);

    // No known extension: the first format taking the first bytes reads it.
    document = loadMeshDocument("mesh.txt", error);
    ASSERT_NE(document, nullptr) << error;
    EXPECT_STREQ(document->formatName(), "OBJ");
    EXPECT_NE(loadMeshDocument("marked.obj", error), nullptr) << error;

    const struct {
        const char* path;
        const char* error;
    } refused[] = {
        {"binary.obj", "binary.obj: binary data (byte 0x02 at offset 4), not OBJ text"},
        {"binary.xyz", "binary.xyz: not a mesh file this host reads (known extensions: .obj"},
        // Past the first line, the reader itself names the line.
        {"late.obj", "late.obj:2: binary data (byte 0x00 at column 1)"},
        // Unreadable files are refused as the format's own loading words it.
        {"missing.obj", "missing.obj: cannot open ("},
        {"missing.xyz", "missing.xyz: cannot open ("},
    };
    for (const auto& r : refused) {
        error.clear();
        EXPECT_EQ(loadMeshDocument(r.path, error), nullptr) << r.path;
        EXPECT_EQ(error.rfind(r.error, 0), 0u) << error;
    }
}

// Loading positions only gives the same vertices and objects; the formats
// that keep their elements keep none, and OBJ, which reads them again on
// request, leaves a broken one unread.
TEST(MeshDocument, PositionsOnlyKeepsVerticesAndObjects) {
    ScratchFolder folder("mesh_document_positions_only");
    ScratchFolder::write("mesh.ply",
                         "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\n"
                         "property float y\nproperty float z\nelement face 1\n"
                         "property list uchar int vertex_indices\nend_header\n"
                         "0 0 0\n1 0.5 0\n0 1 -2\n3 0 1 2\n");
    ScratchFolder::write("mesh.obj", "o Box\nv 0 0 0\nv 1 0.5 0\nv 0 1 -2\nf 1 2 3\nf 1 2 9\n");
    MeshLoadOptions positionsOnly;
    positionsOnly.positionsOnly = true;
    for (const char* path : {"mesh.ply", "mesh.obj"}) {
        std::string error;
        const std::unique_ptr<MeshDocument> some = loadMeshDocument(path, error, positionsOnly);
        ASSERT_NE(some, nullptr) << error;
        ASSERT_EQ(some->vertexCount(), 3) << path;
        EXPECT_EQ(some->position(2).z, -2.0f);
        ASSERT_EQ(some->objects().size(), 1u);
        EXPECT_EQ(some->objects()[0].vertices, (std::vector<int>{0, 1, 2}));
    }
    std::string error;
    const std::unique_ptr<MeshDocument> whole = loadMeshDocument("mesh.ply", error);
    ASSERT_NE(whole, nullptr) << error;
    EXPECT_EQ(whole->elements().size(), 1u);
    EXPECT_TRUE(loadMeshDocument("mesh.ply", error, positionsOnly)->elements().empty());
    EXPECT_EQ(loadMeshDocument("mesh.obj", error), nullptr);
    EXPECT_NE(error.find("mesh.obj:6:"), std::string::npos) << error;
    // OBJ read for its positions only takes no checksums of its text, so it
    // could not tell whether the file changed meanwhile: it is not written.
    const std::unique_ptr<MeshDocument> read = loadMeshDocument("mesh.obj", error, positionsOnly);
    ASSERT_NE(read, nullptr) << error;
    EXPECT_FALSE(read->save("written.obj", error));
    EXPECT_NE(error.find("positions only"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists("written.obj"));
}

}  // namespace
}  // namespace talvexhost
