// The PLY document: untouched files come back byte for byte in every
// encoding, only moved coordinates change, faces come from either list name,
// and files that lie about their contents are refused with where.
#include "io/ply/ply_document.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

namespace talvexhost {
namespace {

// Appends `value`'s bytes in little- or big-endian order.
template <typename T>
void put(std::string& out, T value, bool big) {
    char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    for (std::size_t i = 0; i < sizeof(T); ++i) out += raw[big ? sizeof(T) - 1 - i : i];
}

// Three vertices (x y z as float or double, a uchar colour between) and one
// triangle, plus an element the document does not understand.
std::string binaryPly(bool big, bool doubles) {
    const char* type = doubles ? "double" : "float";
    std::string out = std::string("ply\nformat ") +
                      (big ? "binary_big_endian" : "binary_little_endian") +
                      " 1.0\ncomment made by hand\nelement vertex 3\nproperty " + type +
                      " x\nproperty uchar red\nproperty " + type + " y\nproperty " + type +
                      " z\nelement face 1\nproperty list uchar int vertex_indices\n"
                      "element extra 1\nproperty short s\nend_header\n";
    const float xyz[3][3] = {{-1.0f, 0.5f, 2.0f}, {1.0f, 0.5f, 2.0f}, {0.0f, 1.5f, 0.25f}};
    for (const auto& p : xyz) {
        for (int c = 0; c < 3; ++c) {
            if (c == 1) out += char(200);
            if (doubles)
                put(out, double(p[c]), big);
            else
                put(out, p[c], big);
        }
    }
    out += char(3);
    for (int i : {0, 1, 2}) put(out, std::int32_t(i), big);
    put(out, std::int16_t(-7), big);
    return out;
}

std::unique_ptr<PlyDocument> parsed(const std::string& bytes) {
    auto document = std::make_unique<PlyDocument>();
    std::string error;
    EXPECT_TRUE(document->parseBytes(bytes, "mesh.ply", error)) << error;
    return document;
}

std::string refusal(const std::string& bytes) {
    PlyDocument document;
    std::string error;
    EXPECT_FALSE(document.parseBytes(bytes, "mesh.ply", error));
    return error;
}

const char* kAscii =
    "ply\r\nformat ascii 1.0\r\nelement vertex 3\r\nproperty float x\r\nproperty float y\r\n"
    "property float z\r\nproperty float s\r\nelement face 2\r\n"
    "property list uchar uint vertex_index\r\nend_header\r\n"
    "-1.000 0.500 2.000 0.3\r\n1.000  0.500 2.000 0.3\r\n0 1.5e+00 0.25 7\r\n3 0 1 2\r\n2 2 0\r\n";

TEST(PlyDocument, UntouchedFilesComeBackByteForByte) {
    for (bool big : {false, true}) {
        for (bool doubles : {false, true}) {
            const std::string bytes = binaryPly(big, doubles);
            auto document = parsed(bytes);
            ASSERT_EQ(document->vertexCount(), 3);
            EXPECT_EQ(document->position(2).y, 1.5f);
            EXPECT_EQ(document->position(2).z, 0.25f);
            document->setPosition(1, document->position(1));  // same bits
            EXPECT_FALSE(document->changed(1));
            EXPECT_EQ(document->bytes(), bytes);
            ASSERT_EQ(document->objects().size(), 1u);
            EXPECT_EQ(document->objects()[0].name, "mesh");
        }
    }
    EXPECT_EQ(parsed(kAscii)->bytes(), kAscii);
    EXPECT_EQ(parsed("ply\nformat ascii 1.0\nend_header\n")->vertexCount(), 0);
}

TEST(PlyDocument, OnlyMovedCoordinatesChange) {
    for (bool big : {false, true}) {
        for (bool doubles : {false, true}) {
            const std::string bytes = binaryPly(big, doubles);
            auto document = parsed(bytes);
            document->setPosition(0, {-0.75f, 0.5f, 2.0f});
            EXPECT_TRUE(document->changed(0));
            const std::string out = document->bytes();
            ASSERT_EQ(out.size(), bytes.size());
            // Exactly the changed x's bytes differ, and they read back as written.
            std::size_t first = 0, last = 0, differing = 0;
            for (std::size_t i = 0; i < out.size(); ++i)
                if (out[i] != bytes[i]) {
                    if (differing++ == 0) first = i;
                    last = i;
                }
            EXPECT_GT(differing, 0u);
            EXPECT_LT(last - first, doubles ? 8u : 4u);
            EXPECT_EQ(parsed(out)->position(0).x, -0.75f);
            EXPECT_EQ(parsed(out)->position(1).x, 1.0f);
        }
    }
    auto text = parsed(kAscii);
    text->setPosition(0, {-0.9f, 0.5f, 2.0f});
    text->setPosition(2, {0.0f, 1.25f, 0.25f});
    std::string expected = kAscii;
    expected.replace(expected.find("-1.000"), 6, "-0.900");
    expected.replace(expected.find("1.5e+00"), 7, "1.2e+00");
    EXPECT_EQ(text->bytes(), expected);
    // A move below the file's last decimal keeps the text.
    text->setPosition(2, {0.0f, 1.5f, 0.25f});
    text->setPosition(0, {-1.0001f, 0.5f, 2.0f});
    EXPECT_EQ(text->bytes(), kAscii);
    text->setNumberStyle(MeshNumberStyle::kShortest);
    expected = kAscii;
    expected.replace(expected.find("-1.000"), 6, "-1.0001");
    EXPECT_EQ(text->bytes(), expected);
}

TEST(PlyDocument, FacesComeFromEitherListName) {
    const std::vector<MeshElement> binary = parsed(binaryPly(false, false))->elements();
    ASSERT_EQ(binary.size(), 1u);
    EXPECT_EQ(binary[0].kind, MeshElement::kFace);
    EXPECT_EQ(binary[0].vertices, (std::vector<int>{0, 1, 2}));
    const std::vector<MeshElement> text = parsed(kAscii)->elements();
    ASSERT_EQ(text.size(), 2u);
    EXPECT_EQ(text[1].kind, MeshElement::kLine);
    EXPECT_EQ(text[1].vertices, (std::vector<int>{2, 0}));
    int edges = 0;
    parsed(kAscii)->forEachEdge([&](const MeshEdge&) { ++edges; });
    EXPECT_EQ(edges, 4);
}

TEST(PlyDocument, LyingFilesAreRefusedWithWhere) {
    const std::string bytes = binaryPly(false, false);
    const std::size_t body = bytes.find("end_header\n") + 11;
    // More vertices than the file holds.
    std::string more = bytes;
    more.replace(more.find("vertex 3"), 8, "vertex 9");
    EXPECT_NE(refusal(more).find("mesh.ply: offset "), std::string::npos) << refusal(more);
    // Cut inside the face list.
    EXPECT_EQ(refusal(bytes.substr(0, body + 3 * 13 + 6)),
              "mesh.ply: offset " + std::to_string(body + 3 * 13 + 1) +
                  ": the file ends inside face 0 of 1 the header promises");
    // A face naming a vertex that is not there.
    std::string far = bytes;
    far[body + 3 * 13 + 1] = 9;
    EXPECT_EQ(refusal(far), "mesh.ply: offset " + std::to_string(body + 3 * 13 + 1) +
                                ": face 0 names vertex 9, but there are 3");
    std::string infinite = bytes;
    const float inf = INFINITY;
    std::memcpy(&infinite[body + 13 + 5], &inf, 4);  // vertex 1's y
    EXPECT_EQ(refusal(infinite), "mesh.ply: offset " + std::to_string(body + 13) +
                                     ": vertex 1 is not at a finite position");
    std::string shortText = kAscii;
    shortText.resize(shortText.find("3 0 1 2"));
    EXPECT_EQ(
        refusal(shortText),
        "mesh.ply:13: the header promises 2 face elements, but the file has only 2 bytes left");
    shortText = kAscii;
    shortText.resize(shortText.find("2 2 0"));
    EXPECT_EQ(
        refusal(shortText + "3 1\r\n"),
        "mesh.ply:16: the header promises 2 face elements, but the file ends inside element 1");
    std::string word = kAscii;
    word.replace(word.find("0.25"), 4, "zero");
    EXPECT_EQ(refusal(word), "mesh.ply:13: \"zero\" is not a coordinate");
    EXPECT_EQ(refusal("ply\nformat ascii 1.0\nelement vertex 1\nproperty int x\nend_header\n1\n"),
              "mesh.ply: the vertex element needs x as a float or double property");
    EXPECT_EQ(refusal("ply\nformat ascii 1.0\nelement vertex 1\n"),
              "mesh.ply:4: the header has no end_header line");
    EXPECT_EQ(refusal("solid x\n"),
              "mesh.ply:1: has no PLY header (its first line is not \"ply\")");
}

}  // namespace
}  // namespace talvexhost
