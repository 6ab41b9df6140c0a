// The STL document: corners weld into vertices, untouched files come back
// byte for byte, a moved vertex moves all its corners and the normals of its
// facets, and files that promise more than they hold are refused.
#include "io/stl/stl_document.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

namespace talvexhost {
namespace {

void putFloats(std::string& out, std::initializer_list<float> values) {
    for (float value : values) {
        char raw[4];
        std::memcpy(raw, &value, 4);
        out.append(raw, 4);
    }
}

// Two facets sharing an edge (four vertices), with a header that starts with
// "solid" as some writers' do, and attribute words.
std::string binaryStl() {
    std::string out = "solid but binary";
    out.resize(80, '\x01');
    const std::uint32_t count = 2;
    out.append(reinterpret_cast<const char*>(&count), 4);
    putFloats(out, {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0});
    out += "\x34\x12";
    putFloats(out, {0, 0, 1, -0.0f, 0, 0, 0, 1, 0, -1, 0, 0});
    out += "\x78\x56";
    return out;
}

const char* kAscii =
    "solid left\n facet normal 0 0 1\n  outer loop\n   vertex 0.000 0.000 0.000\n"
    "   vertex 1.000 0.000 0.000\n   vertex 0.000 1.000 0.000\n  endloop\n endfacet\n"
    "endsolid left\nsolid right\n facet normal 0 0 1\n  outer loop\n   vertex 0.000 0.000 0.000\n"
    "   vertex 0.000 1.000 0.000\n   vertex -1.000 0.000 0.000\n  endloop\n endfacet\nendsolid\n";

std::unique_ptr<StlDocument> parsed(const std::string& bytes) {
    auto document = std::make_unique<StlDocument>();
    std::string error;
    EXPECT_TRUE(document->parseBytes(bytes, "part.stl", error)) << error;
    return document;
}

std::string refusal(const std::string& bytes) {
    StlDocument document;
    std::string error;
    EXPECT_FALSE(document.parseBytes(bytes, "part.stl", error));
    return error;
}

float floatAt(const std::string& bytes, std::size_t offset) {
    float value;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

TEST(StlDocument, CornersAtOnePositionAreOneVertex) {
    auto binary = parsed(binaryStl());
    EXPECT_FALSE(binary->isAscii());
    EXPECT_EQ(binary->vertexCount(), 4);  // -0 and 0 weld
    const std::vector<MeshElement> faces = binary->elements();
    ASSERT_EQ(faces.size(), 2u);
    EXPECT_EQ(faces[0].vertices, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(faces[1].vertices, (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(binary->bytes(), binaryStl());
    EXPECT_EQ(binary->placeOf(3), "part.stl: offset 170");

    auto text = parsed(kAscii);
    EXPECT_TRUE(text->isAscii());
    EXPECT_EQ(text->vertexCount(), 4);
    ASSERT_EQ(text->objects().size(), 2u);
    EXPECT_EQ(text->objects()[0].name, "left");
    EXPECT_EQ(text->objects()[1].name, "right");
    EXPECT_EQ(text->objects()[1].vertices, (std::vector<int>{3}));
    EXPECT_EQ(text->bytes(), kAscii);
    EXPECT_EQ(text->placeOf(3), "part.stl:15");
}

TEST(StlDocument, AMovedVertexMovesEveryCornerAndItsFacetsNormals) {
    auto binary = parsed(binaryStl());
    // Vertex 2 (0,1,0) is in both facets; lift it out of the plane.
    binary->setPosition(2, {0.0f, 1.0f, 1.0f});
    const std::string out = binary->bytes();
    const std::string in = binaryStl();
    ASSERT_EQ(out.size(), in.size());
    EXPECT_EQ(out.substr(0, 84), in.substr(0, 84));
    EXPECT_EQ(out.substr(132, 2), "\x34\x12");
    EXPECT_EQ(out.substr(182, 2), "\x78\x56");
    EXPECT_EQ(floatAt(out, 84 + 12 + 24 + 8), 1.0f);   // facet 0, corner 2, z
    EXPECT_EQ(floatAt(out, 134 + 12 + 12 + 8), 1.0f);  // facet 1, corner 1, z
    const float half = float(1.0 / std::sqrt(2.0));
    EXPECT_EQ(floatAt(out, 84 + 4), -half);  // facet 0's normal is (0, -1, 1) / sqrt 2
    EXPECT_EQ(floatAt(out, 84 + 8), half);
    EXPECT_EQ(std::memcmp(out.data() + 134 + 12, in.data() + 134 + 12, 12), 0);  // -0 corner kept
    EXPECT_EQ(parsed(out)->vertexCount(), 4);

    auto text = parsed(kAscii);
    text->setPosition(2, {0.0f, 1.0f, 1.0f});
    std::string expected = kAscii;
    for (int k = 0; k < 2; ++k)
        expected.replace(expected.find("vertex 0.000 1.000 0.000"), 24, "vertex 0.000 1.000 1.000");
    expected.replace(expected.find("normal 0 0 1"), 12, "normal 0 -0.70710677 0.70710677");
    expected.replace(expected.find("normal 0 0 1"), 12, "normal 0 -0.70710677 0.70710677");
    EXPECT_EQ(text->bytes(), expected);
}

TEST(StlDocument, FilesThatPromiseMoreAreRefused) {
    std::string more = binaryStl();
    more[80] = 3;
    more += "x";  // neither the promised size nor text
    EXPECT_EQ(refusal(more),
              "part.stl: offset 80: the header promises 3 facets (234 bytes), but the file has 185 "
              "bytes");
    EXPECT_EQ(refusal(std::string("\x01\x02", 2)).substr(0, 35),
              "part.stl: offset 2: the file ends i");
    std::string nan = binaryStl();
    const float notANumber = NAN;
    std::memcpy(&nan[134 + 12 + 12 + 4], &notANumber, 4);
    EXPECT_EQ(refusal(nan),
              "part.stl: offset 158: facet 1 has a corner that is not at a finite position");
    std::string cut = kAscii;
    cut.resize(cut.find("   vertex -1"));
    EXPECT_EQ(refusal(cut), "part.stl:15: expected \"vertex\", the file ended");
    std::string word = kAscii;
    word.replace(word.find("1.000"), 5, "1,000");
    EXPECT_EQ(refusal(word), "part.stl:5: \"1,000\" is not a number");
    EXPECT_EQ(StlDocument::refuses("ply\n"), "is text, but ASCII STL starts with \"solid\"");
    EXPECT_EQ(StlDocument::refuses(std::string("\0\1", 2)),
              "is neither ASCII STL (it does not start with \"solid\") nor binary STL (2 bytes, "
              "fewer than the 84 of the header)");
    EXPECT_EQ(StlDocument::refuses(binaryStl()), "");
}

}  // namespace
}  // namespace talvexhost
