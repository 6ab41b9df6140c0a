// The OBJ reader and writer: exact round trips, rewriting only what moved,
// object assignment, and refusal of malformed files with file and line.
#include "io/obj/obj_document.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "io/number_text.h"
#include "support/scratch_folder.h"

namespace talvexhost {
namespace {

ObjDocument parsed(const std::string& text) {
    ObjDocument document;
    std::string error;
    EXPECT_TRUE(document.parse(text, "mesh.obj", error)) << error;
    return document;
}

TEST(ObjDocument, UneditedTextIsByteIdentical) {
    const std::string texts[] = {
        "o A\nv 0.437500 -0.765625 0.164062\nv 1 2 3\nv 4 5 6\nf 1 2 3\n",
        "# crlf, no final newline\r\nv 1e-3 +2.50 -0\r\nv 1 1 1 0.5\r\nv 2 2 2\r\nvt 0 0\r\nvt 1 "
        "0\r\nf 1/1 2/2 3/2",
        "mtllib x.mtl\nv  1\t2   3  # trailing\n\n\nvt 0 0\nvn 0 0 1\nv 1 2 3\nv 0 0 0\nf -3//1 "
        "-2//1 -1//1\n",
        "",
    };
    for (const std::string& text : texts) {
        const ObjDocument document = parsed(text);
        EXPECT_EQ(document.text(), text);
    }
}

TEST(ObjDocument, OnlyChangedVertexLinesAreRewritten) {
    ObjDocument document = parsed("o A\r\nv 1.000 2 3 1.0 # w kept\r\nv 4 5 6\r\nf 1 2 2\r\n");
    document.setPosition(1, {4.0f, 5.0f, 6.0f});  // same bits: untouched
    ObjPosition moved = document.position(0);
    moved.x = 0.1f;
    moved.z = -0.0f;
    document.setPosition(0, moved);
    EXPECT_TRUE(document.changed(0));
    EXPECT_FALSE(document.changed(1));
    EXPECT_EQ(document.text(), "o A\r\nv 0.100 2 -0.000 1.0 # w kept\r\nv 4 5 6\r\nf 1 2 2\r\n");
    document.setNumberStyle(ObjNumberStyle::kShortest);
    EXPECT_EQ(document.text(), "o A\r\nv 0.1 2 -0 1.0 # w kept\r\nv 4 5 6\r\nf 1 2 2\r\n");

    // A host that keeps the positions itself lets the document free them:
    // vertices it sets again are compared with the file, the others kept.
    ObjDocument released = parsed("v 1 2 3\nv 4 5 6\nv 7 8 9\n");
    released.releasePositions();
    EXPECT_EQ(released.text(), "v 1 2 3\nv 4 5 6\nv 7 8 9\n");
    EXPECT_EQ(released.position(1).y, 5.0f);
    released.setPosition(0, {1.0f, 2.0f, 3.0f});
    released.setPosition(2, {7.0f, 8.0f, 0.5f});
    EXPECT_FALSE(released.changed(0));
    EXPECT_FALSE(released.changed(1));
    EXPECT_TRUE(released.changed(2));
    EXPECT_EQ(released.text(), "v 1 2 3\nv 4 5 6\nv 7 8 0.5\n");
    EXPECT_EQ(released.position(2).z, 0.5f);
    EXPECT_EQ(released.position(1).z, 6.0f);
}

TEST(ObjDocument, FormattedFloatsReadBackExactly) {
    const float values[] = {0.1f,       -1.0f / 3.0f, 1e-7f, 3.4028235e38f, 1.17549435e-38f,
                            1.0000001f, 123456.79f};
    for (float value : values) {
        float back = 0.0f;
        ASSERT_TRUE(parseFloat(formatFloat(value), back)) << formatFloat(value);
        EXPECT_EQ(std::memcmp(&back, &value, sizeof value), 0) << formatFloat(value);
    }
    EXPECT_EQ(formatFloat(0.1f), "0.1");
    EXPECT_EQ(formatFloat(-2.0f), "-2");
    EXPECT_EQ(formatFloat(1.1f), "1.1");
    EXPECT_EQ(formatFloat(1e-7f), "1e-07");  // shorter than 0.0000001
    EXPECT_EQ(formatFloat(-0.0f), "-0");

    // The host's own printer gives std::to_chars's text (bench/float_text_check
    // compares every float): here a spread of bit patterns and the awkward ones.
    std::vector<std::uint32_t> patterns = {0x00000001u, 0x007FFFFFu, 0x00800000u, 0x4B7FFFFFu,
                                           0x4B800001u, 0x4CEB79A3u, 0x501502F9u, 0x7F7FFFFFu};
    for (std::uint64_t bits = 0; bits <= 0xFFFFFFFFu; bits += 65521) patterns.push_back(bits);
    for (std::uint32_t bits : patterns) {
        float value;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value)) continue;
        char expected[64];
        const auto end = std::to_chars(expected, expected + sizeof expected, value).ptr;
        EXPECT_EQ(formatFloat(value), std::string(expected, end)) << std::hex << bits;
    }
}

TEST(ObjDocument, ObjectsFollowTheElementsThatUseTheirVertices) {
    // Vertices written first, objects after: ownership comes from the faces.
    const ObjDocument shared = parsed(
        "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 5 5 5\nv 2 0 0\no Left\nf 1 2 3\no Right\nf 2 5 3\no "
        "Empty\n");
    ASSERT_EQ(shared.objects().size(), 3u);
    EXPECT_EQ(shared.objects()[0].name, "default");  // vertex 4 is used by nothing
    EXPECT_EQ(shared.objects()[0].vertices, (std::vector<int>{3}));
    EXPECT_EQ(shared.objects()[1].name, "Left");
    EXPECT_EQ(shared.objects()[1].vertices, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(shared.objects()[2].vertices, (std::vector<int>{4}));

    // With `o` lines present, `g` lines are groups inside the object.
    const ObjDocument grouped =
        parsed("o Body\ng skin\nv 0 0 0\nv 1 0 0\ng cloth\nv 0 1 0\nf 1 2 3\n");
    ASSERT_EQ(grouped.objects().size(), 1u);
    EXPECT_EQ(grouped.objects()[0].name, "Body");
    // Without `o`, groups are the objects.
    const ObjDocument groups = parsed("g a b\nv 0 0 0\ng c\nv 1 0 0\n");
    ASSERT_EQ(groups.objects().size(), 2u);
    EXPECT_EQ(groups.objects()[0].name, "a b");
    EXPECT_EQ(groups.objects()[1].name, "c");
}

// Plain lines take a quicker path than the rest: written either way, a mesh
// reads the same.
TEST(ObjDocument, PlainAndDecoratedLinesReadAlike) {
    std::string plain =
        "v 0.5 -2 1e-3\nv -.25 3.4028235e38 7\nv 8 9 10\no Late\nf 4 1 2\nv 1 1 1\nf";
    std::string decorated =
        "v +0.5 -2 1e-3 # first\nv\t-.25 3.4028235e38 7 1\n  v 8 9 10\no Late\nf 4/1 1/1 2/1\nv 1 "
        "1 1\nf";
    for (int i = 1; i <= 20; ++i) {  // a face longer than the quick path takes
        plain += " " + std::to_string(1 + i % 4);
        decorated += " " + std::to_string(1 + i % 4) + "//1";
    }
    plain += "\n";
    decorated += "\nvt 0 0\nvn 0 0 1\n";
    const ObjDocument a = parsed(plain);
    const ObjDocument b = parsed(decorated);
    ASSERT_EQ(a.vertexCount(), 4);
    ASSERT_EQ(b.vertexCount(), 4);
    for (int v = 0; v < 4; ++v) {
        const ObjPosition pa = a.position(v);
        const ObjPosition pb = b.position(v);
        EXPECT_EQ(std::memcmp(&pa, &pb, sizeof pa), 0) << v;
    }
    EXPECT_EQ(a.position(1).x, -0.25f);
    ASSERT_EQ(a.objects().size(), 1u);
    ASSERT_EQ(b.objects().size(), 1u);
    EXPECT_EQ(a.objects()[0].name, "Late");
    EXPECT_EQ(a.objects()[0].vertices, b.objects()[0].vertices);
    EXPECT_EQ(a.elements().size(), 2u);
    EXPECT_EQ(a.elements()[1].vertices.size(), 20u);

    // Text bytes above 0x7F pass; a control byte deep in a long line is found.
    EXPECT_EQ(
        parsed("o \xC3\xA9t\xC3\xA9 \xE2\x80\x94 \xF0\x9F\x99\x82\nv 1 2 3\n").objects()[0].name,
        "\xC3\xA9t\xC3\xA9 \xE2\x80\x94 \xF0\x9F\x99\x82");
    ObjDocument document;
    std::string error;
    EXPECT_FALSE(
        document.parse("v 1 2 3 # a comment long enough\x01 to span words\n", "mesh.obj", error));
    EXPECT_EQ(error.rfind("mesh.obj:1: binary data (byte 0x01 at column 32)", 0), 0u) << error;
}

// The line scan looks at many bytes at once: a control byte is found at
// whatever column it stands, and the bytes next to the control range pass.
TEST(ObjDocument, ControlBytesAreFoundInEveryColumn) {
    for (const char control : {'\x00', '\x01', '\x1F', '\x7F'}) {
        for (int column = 3; column <= 48; ++column) {
            std::string line = "v 1 2 3 #" + std::string(50, ' ') + "\n";
            line[static_cast<std::size_t>(column) - 1] = control;
            ObjDocument document;
            std::string error;
            EXPECT_FALSE(document.parse(line, "mesh.obj", error));
            char byte[8];
            std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(control));
            EXPECT_EQ(error.rfind("mesh.obj:1: binary data (byte " + std::string(byte) +
                                      " at column " + std::to_string(column) + ")",
                                  0),
                      0u)
                << error;
        }
    }
    ObjDocument document;
    std::string error;
    EXPECT_TRUE(document.parse("v 1 2 3 # \x20\x7E\x80\xFF\xA0 and more text to pass 16\n",
                               "mesh.obj", error))
        << error;
}

TEST(ObjDocument, MalformedFilesNameTheLine) {
    struct Case {
        std::string text;
        std::string expected;  // start of the message after "mesh.obj:"
    };
    const Case cases[] = {
        {"v 1 2 3\nv 1 x 3\n", "2: bad number \"x\""},
        {"v 1 2\n", "1: \"v\" needs 3 numbers, found 2"},
        {"v 1 2 3e99\n", "1: number \"3e99\" is outside the single-precision range"},
        {"v 1 2 1e39\n", "1: number \"1e39\" is outside the single-precision range"},
        {"v 1 2 3\nvn 0 -1e39 0\n", "2: number \"-1e39\" is outside the single-precision range"},
        {"v nan 0 0\n", "1: bad number \"nan\""},
        {"v 1 2 3\nv 1 2 3\nv 1 2 3\n\nf 1 2 4\n",
         "5: vertex index 4 is out of range (the file has 3)"},
        {"v 1 2 3\nf 1 1 0\n", "2: vertex reference \"0\" uses index 0"},
        {"v 1 2 3\nf 1 -2 1\n", "2: vertex reference \"-2\" points before the first vertex"},
        {"v 1 2 3\nf 1 1 2147483649\n",
         "2: vertex index 2147483649 is out of range (the file has 1)"},
        // Indices of any size are refused without overflowing on the way.
        {"v -1 0 0\nv 1 0 0\nv -1 1 0\nv 1 1 0\nv -1 2 0\nv 1 2 0\nf 1 2 3\n"
         "f -1 -2 -9223372036854775808\n",
         "8: vertex reference \"-9223372036854775808\" points before the first vertex"},
        {"v 1 2 3\nv 1 2 3\nv 1 2 3\nf -1 -2 -9223372036854775808\n",
         "4: vertex reference \"-9223372036854775808\" points before the first vertex"},
        {"v 1 2 3\nf 1 1 -99999999999999999999999\n",
         "2: vertex reference \"-99999999999999999999999\" points before the first vertex"},
        {"v 1 2 3\nf 1 1 99999999999999999999999\n",
         "2: vertex index 99999999999999999999999 is out of range (the file has 1)"},
        {"v 1 2 3\nf 1 1 9223372036854775807\n",
         "2: vertex index 9223372036854775807 is out of range (the file has 1)"},
        {"v 1 2 3\nvt 0 0\nf 1/-9223372036854775808 1 1\n",
         "3: vertex reference \"1/-9223372036854775808\" points before the first texture"},
        {"v 1 2 3\nvn 0 0 1\nf 1//-2 1 1\n",
         "3: vertex reference \"1//-2\" points before the first normal"},
        {"v 1 2 3\nf 1 1 -0\n", "2: vertex reference \"-0\" uses index 0"},
        {"v 1 2 3\nf 1/2 1 1\n", "2: texture coordinate index 2 is out of range (the file has 0)"},
        {"v 1 2 3\nf 1 1\n", "2: \"f\" needs at least 3 vertices, found 2"},
        {"v 1 2 3\nf 1 a 1\n", "2: bad vertex reference \"a\""},
        {"v 1 2 3\nf 1/1/1/1 1 1\n", "2: bad vertex reference \"1/1/1/1\""},
        {"o A\n\x7f"
         "ELF\x01\x01\n",
         "2: binary data (byte 0x7F at column 1)"},
        {std::string("v 1 2 3\nv 1\0 2 3\n", 18), "2: binary data (byte 0x00 at column 4)"},
        {"v 1 2 3\r\x0Bv 1 2 3\n", "2: binary data (byte 0x0B at column 1)"},
        {"# " + std::string(ObjDocument::kMaxLineLength, 'x') + "\n", "1: line too long"},
    };
    for (const Case& c : cases) {
        ObjDocument document;
        std::string error;
        EXPECT_FALSE(document.parse(c.text, "mesh.obj", error)) << c.expected;
        EXPECT_EQ(error.rfind("mesh.obj:" + c.expected, 0), 0u) << error;
    }
}

// A vertex belongs to the lowest object among its uses, however the file is
// cut: a forward reference from an earlier object counts as much as a later
// object's use of a vertex already defined.
TEST(ObjDocument, VerticesBelongToTheFirstObjectThatUsesThem) {
    struct Case {
        std::string text;
        std::vector<std::pair<std::string, std::vector<int>>> objects;
    };
    const Case cases[] = {
        {"v 0 0 0\nv 1 0 0\no A\nf 1 2 3\no B\nv 0 1 0\nf 3 1 2\n", {{"A", {0, 1, 2}}}},
        {"o A\nf 1 2 3\no B\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", {{"A", {0, 1, 2}}}},
        // Three objects: the middle one uses backwards what the first used
        // forwards; the last one's own vertex stays its own.
        {"v 0 0 0\no A\nl 1 3\no B\nv 1 0 0\nv 0 1 0\nf 1 2 3\np 2\no C\nv 5 5 5\nf -1 3 2\n",
         {{"A", {0, 2}}, {"B", {1}}, {"C", {3}}}},
        // Relative and texture references beside forward ones, with `g` objects.
        {"g G1\nvt 0 0\nf 2/1 3/1 4/1\ng G2\nv 0 0 0\nv 1 1 1\nf -1/1 -2/1 1/1\ng G3\nv 2 2 2\n"
         "v 3 3 3\nf -1 -2 -3 1\n",
         {{"G1", {1, 2, 3}}, {"G2", {0}}}},
    };
    for (const Case& c : cases) {
        for (std::size_t pieceBytes = 1; pieceBytes <= c.text.size() + 1; ++pieceBytes) {
            ObjDocument document;
            std::string error;
            ASSERT_TRUE(document.parse(c.text, "mesh.obj", error, pieceBytes)) << error;
            ASSERT_EQ(document.objects().size(), c.objects.size()) << c.text << pieceBytes;
            for (std::size_t o = 0; o < c.objects.size(); ++o) {
                EXPECT_EQ(document.objects()[o].name, c.objects[o].first) << pieceBytes;
                EXPECT_EQ(document.objects()[o].vertices, c.objects[o].second)
                    << c.text << " in pieces of " << pieceBytes;
            }
        }
    }
}

// A byte-order mark is no vertex's business, and old Mac files end lines with
// CR alone: both read as their lines say and write back byte for byte.
TEST(ObjDocument, ByteOrderMarkAndLoneCarriageReturnsReadAsText) {
    struct Case {
        std::string text;
        std::string rewritten;  // after vertex 1 (0-based) moved to x = 7
        int lastVertexLine;
    };
    const Case cases[] = {
        {"\xEF\xBB\xBFv 5 5 5\nv 1 0 0\nv 0 1 0\nf 1 2 3\n",
         "\xEF\xBB\xBFv 5 5 5\nv 7 0 0\nv 0 1 0\nf 1 2 3\n", 3},
        {"o A\rv 5 5 5\rv 1 0 0 # c\rv 0 1 0\rf 1 2 3",
         "o A\rv 5 5 5\rv 7 0 0 # c\rv 0 1 0\rf 1 2 3", 4},
        {"\xEF\xBB\xBFo A\r\nv 5 5 5\rv 1 0 0\nv 0 1 0\r\n\rf 1 2 3\r",
         "\xEF\xBB\xBFo A\r\nv 5 5 5\rv 7 0 0\nv 0 1 0\r\n\rf 1 2 3\r", 4},
    };
    for (const Case& c : cases) {
        ObjDocument document = parsed(c.text);
        ASSERT_EQ(document.vertexCount(), 3) << c.text;
        EXPECT_EQ(document.position(0).x, 5.0f);
        ASSERT_EQ(document.objects().size(), 1u);
        EXPECT_EQ(document.objects()[0].vertices, (std::vector<int>{0, 1, 2}));
        EXPECT_EQ(document.lineOf(2), c.lastVertexLine);
        EXPECT_EQ(document.text(), c.text);
        document.setPosition(1, {7.0f, 0.0f, 0.0f});
        EXPECT_EQ(document.text(), c.rewritten);
    }
}

// Files are read and written in pieces, in parallel: cut anywhere, even
// between every two lines, they must give what one piece gives.
TEST(ObjDocument, PiecesReadAndWriteAsTheWholeText) {
    const std::string texts[] = {
        // Vertices used first by a later object, forward and relative references.
        "v 0 0 0\nv 1 0 0\no A\nv 0 1 0\nf 5 1 2\no B\nf 1 2 3\nv 0 0 1\nv 9 9 9\n"
        "f -1 -2 -3\ng ignored\nv 3 3 3\nl 4 5\no C\np 2\n",
        "\xEF\xBB\xBFg G1\r\nv 1 2 3\r\nvt 0 0\r\nvn 0 0 1\rv 4 5 6\r\ng G2\nv 7 8 9\n"
        "f 1/1/1 2//1 3/-1\r\n# end",
        "v 1 2 3\nv 4 5 6\nv 7 8 9\nf 1 2 3\nf 1 2 4\n",  // an error at the end
        "v 1 2 3\no A\nv 4 5 6\nv 1 x 3\nf 1 2 3\n",      // an error in the middle
        "v 1 2 3\nf 1 -2 1\n",
        "\xEF\xBB\xBF",
    };
    for (const std::string& text : texts) {
        for (std::size_t pieceBytes : {1, 2, 3, 5, 8, 13, 64}) {
            ObjDocument whole;
            std::string wholeError;
            const bool read = whole.parse(text, "mesh.obj", wholeError, std::size_t(1) << 30);
            ObjDocument cut;
            std::string error;
            ASSERT_EQ(cut.parse(text, "mesh.obj", error, pieceBytes), read) << text;
            EXPECT_EQ(error, wholeError) << pieceBytes;
            if (!read) continue;
            ASSERT_EQ(cut.vertexCount(), whole.vertexCount());
            for (int v = 0; v < cut.vertexCount(); ++v) {
                const ObjPosition a = cut.position(v);
                const ObjPosition b = whole.position(v);
                EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
            }
            ASSERT_EQ(cut.objects().size(), whole.objects().size()) << pieceBytes;
            for (std::size_t o = 0; o < cut.objects().size(); ++o) {
                EXPECT_EQ(cut.objects()[o].name, whole.objects()[o].name);
                EXPECT_EQ(cut.objects()[o].vertices, whole.objects()[o].vertices) << pieceBytes;
            }
            const auto elements = cut.elements();
            const auto wholeElements = whole.elements();
            ASSERT_EQ(elements.size(), wholeElements.size());
            for (std::size_t e = 0; e < elements.size(); ++e)
                EXPECT_EQ(elements[e].vertices, wholeElements[e].vertices);
            EXPECT_EQ(cut.text(), text);
            for (int v = 0; v < cut.vertexCount(); v += 2) {
                cut.setPosition(v, {0.5f, float(v), -0.0f});
                whole.setPosition(v, {0.5f, float(v), -0.0f});
            }
            EXPECT_EQ(cut.text(), whole.text()) << pieceBytes;
        }
    }
}

// The edges read again for their own sake (each face's sides, each line's
// segments, in file order) are the elements' own, whether handed over one
// at a time or a piece's run at a time, and whether a face took the quick
// path for plain numbers or the general one.
TEST(ObjDocument, EdgesAreTheElementsSides) {
    std::string text =
        "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nvt 0 0\nf 1 2 4 3\nf 1/1 2/1 3/1\nf  3\t1 4\n"
        "l 1 2 3\np 4\nf -1 -2 -3\no B\nv 2 2 2\nf 5 4 2\nf";
    for (int i = 1; i <= 20; ++i) text += " " + std::to_string(1 + i % 5);  // past the quick path
    text += "\n";
    const ObjDocument document = parsed(text);
    std::vector<ObjEdge> fromElements;
    for (const ObjElement& element : document.elements()) appendEdges(element, fromElements);
    ASSERT_EQ(fromElements.size(), 4u + 3u + 3u + 2u + 3u + 3u + 20u);
    std::vector<ObjEdge> single;
    document.forEachEdge([&](const ObjEdge& edge) { single.push_back(edge); });
    std::vector<ObjEdge> runs;
    document.forEachEdgeRun([&](const ObjEdge* edges, std::size_t count) {
        runs.insert(runs.end(), edges, edges + count);
    });
    const auto same = [](const std::vector<ObjEdge>& a, const std::vector<ObjEdge>& b) {
        if (a.size() != b.size()) return false;
        for (std::size_t k = 0; k < a.size(); ++k)
            if (a[k].a != b[k].a || a[k].b != b[k].b) return false;
        return true;
    };
    EXPECT_TRUE(same(single, fromElements));
    EXPECT_TRUE(same(runs, fromElements));
    // The first face's sides, the last back to the first, 0-based.
    EXPECT_EQ(runs[3].a, 2);
    EXPECT_EQ(runs[3].b, 0);
}

// A moved coordinate keeps the file's digits when they show the move, and a
// move below one unit of the last decimal keeps the text, so that snapping
// the written file again finds nothing to write.
TEST(ObjDocument, MovedCoordinatesKeepTheFilesDigits) {
    const std::string six = "v 1.098997 0.500000 -2.000000 # six\nv 3e30 1 0.000001\nv 1e-3 -0 0\n";
    struct Case {
        int vertex;
        ObjPosition position;
        std::string line;  // the vertex's line as written
    };
    const Case cases[] = {
        {0, {1.0989965f, 0.5f, -2.0f}, "v 1.098997 0.500000 -2.000000 # six"},  // half a unit
        {0, {1.0989961f, 0.50000095f, -1.9999991f}, "v 1.098997 0.500000 -2.000000 # six"},
        {0, {1.099f, 0.25f, -2.0f}, "v 1.099000 0.250000 -2.000000 # six"},
        {0, {-1.098997f, 0.5f, 12345.6789f}, "v -1.098997 0.500000 12345.678711 # six"},
        {1, {6e30f, 1.0f, 0.0f}, "v 6e+30 1 0.000001"},    // too long in fixed notation
        {2, {0.0020004f, 0.0f, 0.0f}, "v 0.002000 -0 0"},  // -0 became +0: no move
    };
    for (const Case& c : cases) {
        ObjDocument document = parsed(six);
        EXPECT_EQ(document.fileDecimals(), 6);
        document.setPosition(c.vertex, c.position);
        const std::string written = document.text();
        std::string lines[3];
        std::size_t at = 0;
        for (std::string& line : lines) {
            const std::size_t end = written.find('\n', at);
            line = written.substr(at, end - at);
            at = end + 1;
        }
        EXPECT_EQ(lines[c.vertex], c.line);
        // Written again from what was written, the same positions change nothing.
        ObjDocument again = parsed(written);
        again.setPosition(c.vertex, c.position);
        EXPECT_EQ(again.text(), written) << c.line;
    }
    // Without decimals the file tells no precision: the shortest text.
    ObjDocument whole = parsed("v 1 2 3\n");
    whole.setPosition(0, {1.5f, 2.0f, 3.0f});
    EXPECT_EQ(whole.text(), "v 1.5 2 3\n");
}

// A file that another program writes to or replaces between loading and
// saving is never overwritten, nor is an output made from it.
TEST(ObjDocument, NothingIsWrittenFromAnInputThatChangedUnderneath) {
    ScratchFolder folder("obj_document_changed");
    std::string mesh;  // several of the reader's pieces
    for (int i = 0; mesh.size() < 3 * std::size_t(256) << 10; ++i)
        mesh += "v " + std::to_string(i) + " 0.5 -1.25\n";
    mesh += "f 1 2 3\n";
    const std::string other = "v 9 9 9\n";
    auto overwriteAt = [](const std::string& path, std::size_t offset, const std::string& bytes) {
        std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
        file.seekp(static_cast<std::streamoff>(offset));
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    };
    enum Change { kNone, kLastPieceWritten, kOnlyTouched, kReplacedAlike };
    for (const Change change : {kNone, kLastPieceWritten, kOnlyTouched, kReplacedAlike}) {
        for (const bool inPlace : {false, true}) {
            ScratchFolder::write("in.obj", mesh);
            std::filesystem::remove("out.obj");
            ObjDocument document;
            std::string error;
            ASSERT_TRUE(document.load("in.obj", error)) << error;
            document.setPosition(1, {7.0f, 0.5f, -1.25f});
            std::string expected = mesh;  // what the input holds after the change
            if (change == kLastPieceWritten) {
                expected.replace(mesh.size() - 20, other.size(), other);
                overwriteAt("in.obj", mesh.size() - 20, other);
            } else if (change == kOnlyTouched) {
                const auto time = std::filesystem::last_write_time("in.obj");
                std::filesystem::last_write_time("in.obj", time + std::chrono::seconds(2));
            } else if (change == kReplacedAlike) {
#ifdef _WIN32
                continue;  // Windows cannot rename over a file that is mapped
#else
                ScratchFolder::write("copy.obj", mesh);
                std::filesystem::rename("copy.obj", "in.obj");
#endif
            }
            const std::string target = inPlace ? "in.obj" : "out.obj";
            if (inPlace) allowReplacing(std::filesystem::absolute(target).string());
            const bool saved = document.save(target, error);
            EXPECT_EQ(saved, change == kNone) << change << inPlace << error;
            EXPECT_FALSE(std::filesystem::exists(target + ".lock"));
            if (change == kNone) {
                EXPECT_EQ(ScratchFolder::read(target).substr(0, 30),
                          "v 0 0.5 -1.25\nv 7.00 0.5 -1.25");
                // Saved in place, the document now holds the new file: a second
                // save is no change underneath.
                if (inPlace) {
                    EXPECT_TRUE(document.save(target, error)) << error;
                }
                continue;
            }
            EXPECT_EQ(error,
                      "in.obj: the input changed while it was read (another program wrote "
                      "to it or replaced it); nothing was written");
            EXPECT_EQ(ScratchFolder::read("in.obj"), expected);
            EXPECT_FALSE(std::filesystem::exists("out.obj"));
        }
    }
}

TEST(ObjDocument, NumbersParseWholeTokensOnly) {
    float f = 0.0f;
    EXPECT_TRUE(parseFloat("+2.5", f));
    EXPECT_EQ(f, 2.5f);
    for (const char* bad :
         {"", "+", "+-1", "1.5x", "inf", "-nan", "1e39", "0x10", " 1", "-", "e5", "."})
        EXPECT_FALSE(parseFloat(bad, f)) << bad;
    EXPECT_EQ(readFloat("-1e39", f), NumberStatus::kOutOfRange);
    EXPECT_EQ(readFloat("3.4028236e38", f), NumberStatus::kOutOfRange);
    EXPECT_EQ(readFloat("3.4028235e38", f), NumberStatus::kOk);
    // Below the smallest float a value rounds to zero, keeping its sign, as
    // every decimal rounds to its nearest float.
    ASSERT_EQ(readFloat("-1e-50", f), NumberStatus::kOk);
    EXPECT_TRUE(f == 0.0f && std::signbit(f));
    ASSERT_EQ(readFloat("1e-45", f), NumberStatus::kOk);
    EXPECT_EQ(f, 1e-45f);
    // Plain numbers take a short path of their own: it must give fast_float's
    // float, bit for bit, around the limits of that path too.
    std::uint32_t seed = 12345;
    auto next = [&seed](std::uint32_t range) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % range;
    };
    for (int n = 0; n < 300000; ++n) {
        std::string token = next(2) ? "-" : "";
        const std::uint32_t whole = next(11);
        for (std::uint32_t d = 0; d < whole; ++d) token += char('0' + next(10));
        if (next(3)) {
            token += '.';
            const std::uint32_t decimals = next(12);
            for (std::uint32_t d = 0; d < decimals; ++d) token += char('0' + next(10));
        }
        if (n % 7 == 0) token = (next(2) ? "16777216" : "16777217") + token.substr(0, 3);
        float expected = 0.0f;
        const bool readable = readFloat(token, expected) == NumberStatus::kOk;
        const std::string line = token + " 1";
        float plain = 0.0f;
        const char* after = readPlainFloat(line.data(), line.data() + line.size(), plain);
        ASSERT_EQ(after != nullptr, readable) << token;
        if (readable) {
            EXPECT_EQ(after, line.data() + token.size()) << token;
            EXPECT_EQ(std::memcmp(&plain, &expected, sizeof plain), 0) << token;
        }
    }
    std::int64_t i = 0;
    EXPECT_TRUE(parseInteger("-17", i));
    EXPECT_EQ(i, -17);
    EXPECT_FALSE(parseInteger("99999999999999999999", i));
    EXPECT_FALSE(parseInteger("1.0", i));
    // The decimals a coordinate was written with; none for other notations.
    const std::pair<const char*, int> decimals[] = {{"-1.250", 3}, {"+0.5", 1}, {"7", 0},
                                                    {"7.", 0},     {".25", 2},  {"1e-3", -1},
                                                    {"1.5E2", -1}, {"x", -1}};
    for (const auto& [token, count] : decimals) EXPECT_EQ(fixedDecimals(token), count) << token;
}

}  // namespace
}  // namespace talvexhost
