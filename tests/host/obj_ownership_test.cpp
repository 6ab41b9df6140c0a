// Which object owns a vertex, against a plain oracle: the lowest object of
// any face, line or point that uses it (forward and relative references
// alike), else the object current where it is defined. The reader settles
// this across pieces read on several threads, so every cut is tried.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "io/obj/obj_document.h"
#include "io/obj/obj_reader.h"
#include "support/seeded_random.h"

namespace talvexhost {
namespace {

struct RandomObj {
    std::string text;
    std::map<std::string, std::vector<int>> owned;  // non-empty objects only
};

// A few objects; vertices before the first `o` are the default object's.
// Elements refer to any vertex of the file by number (later ones too) or
// back from the current one by a negative number.
RandomObj randomObj(std::uint64_t seed) {
    SeededRandom random{seed};
    const int vertices = 3 + random.below(10);
    std::vector<int> definedIn(vertices, 0);
    std::vector<int> usedBy(vertices, INT_MAX);
    std::vector<std::string> names = {"default"};
    RandomObj obj;
    int defined = 0;
    while (defined < vertices || random.chance(30)) {
        if (random.chance(20)) {
            names.push_back("O" + std::to_string(names.size()));
            obj.text += "o " + names.back() + "\n";
        } else if (defined < vertices && random.chance(50)) {
            definedIn[defined++] = int(names.size()) - 1;
            obj.text += "v " + std::to_string(defined) + " 0 0\n";
        } else {
            const char* kinds[] = {"f", "l", "p"};
            const int kind = random.below(3);
            const int count = 3 - kind + random.below(3);
            std::string line = kinds[kind];
            for (int i = 0; i < count; ++i) {
                int v = random.below(vertices);
                const bool back = defined > 0 && random.chance(40);
                if (back) v = random.below(defined);
                // Zeros in front: up to 19 digits an index is read in the
                // quick way, past that by the general one.
                const int zeros = random.chance(20) ? random.below(22) : 0;
                line += " " + (back ? std::to_string(v - defined)
                                    : std::string(zeros, '0') + std::to_string(v + 1));
                usedBy[v] = std::min(usedBy[v], int(names.size()) - 1);
            }
            obj.text += line + "\n";
        }
    }
    // Half the files end without a line end, the last number at the very end.
    if (seed % 2 == 0) obj.text.pop_back();
    for (int v = 0; v < vertices; ++v) {
        const int owner = usedBy[v] != INT_MAX ? usedBy[v] : definedIn[v];
        obj.owned[names[owner]].push_back(v);
    }
    return obj;
}

TEST(ObjOwnership, LowestUsingObjectOwnsAVertexInPiecesOfEverySize) {
    for (std::uint64_t seed = 1; seed <= 25; ++seed) {
        const RandomObj obj = randomObj(seed);
        for (std::size_t pieceBytes = 1; pieceBytes <= obj.text.size() + 1; ++pieceBytes) {
            ObjDocument document;
            std::string error;
            ASSERT_TRUE(document.parse(obj.text, "mesh.obj", error, pieceBytes)) << error;
            std::map<std::string, std::vector<int>> owned;
            for (const ObjObject& object : document.objects()) owned[object.name] = object.vertices;
            ASSERT_EQ(owned, obj.owned)
                << "seed " << seed << ", pieces of " << pieceBytes << " bytes:\n"
                << obj.text;
        }
    }
}

// Streamed a piece at a time, the elements are those collected, in order.
TEST(ObjOwnership, ElementsStreamedAreThoseCollected) {
    for (std::uint64_t seed = 1; seed <= 25; ++seed) {
        const RandomObj obj = randomObj(seed);
        for (std::size_t pieceBytes : {std::size_t(1), std::size_t(7), std::size_t(1) << 20}) {
            ObjDocument document;
            std::string error;
            ASSERT_TRUE(document.parse(obj.text, "mesh.obj", error, pieceBytes)) << error;
            std::vector<std::pair<int, std::vector<int>>> streamed, collected;
            document.forEachElement([&](const MeshElement& e) {
                streamed.push_back({e.kind, e.vertices});
            });
            for (const MeshElement& e : document.elements())
                collected.push_back({e.kind, e.vertices});
            EXPECT_FALSE(collected.empty());
            ASSERT_EQ(streamed, collected) << "seed " << seed << ":\n" << obj.text;
        }
    }
}

// Read with elements skipped, as detection reads: the owners stay the
// oracle's, the reader going back for the elements where they decide one.
std::map<std::string, std::vector<int>> ownedSkippingElements(const std::string& text,
                                                              std::size_t pieceBytes,
                                                              std::string& error) {
    const std::string name = "mesh.obj";  // the reader keeps a reference
    ObjReader reader(text, name);
    reader.skipElements();
    reader.setPieceBytes(pieceBytes);
    ObjReadResult result;
    std::map<std::string, std::vector<int>> owned;
    if (!reader.read(result, error)) return owned;
    for (const ObjObject& object : result.objects) owned[object.name] = object.vertices;
    return owned;
}

TEST(ObjOwnership, SkippingElementsKeepsEveryOwner) {
    for (std::uint64_t seed = 1; seed <= 25; ++seed) {
        const RandomObj obj = randomObj(seed);
        for (std::size_t pieceBytes = 1; pieceBytes <= obj.text.size() + 1; ++pieceBytes) {
            std::string error;
            ASSERT_EQ(ownedSkippingElements(obj.text, pieceBytes, error), obj.owned)
                << error << "seed " << seed << ", pieces of " << pieceBytes << " bytes:\n"
                << obj.text;
        }
    }
    // One object throughout: the elements are left unread, so a broken one
    // goes unnoticed. Where they decide owners they are read, and refused.
    const std::string one = "o only\nv 0 0 0\nv 1 0 0\r\nv 0 1 0\nf 1 2 3\nf 1 2 99\n  l 1 2\n";
    const std::string split = "v 0 0 0\nv 1 0 0\nv 0 1 0\no part\nf 1 2 3\nf 1 2 99\n";
    for (std::size_t pieceBytes : {std::size_t(3), std::size_t(1) << 20}) {
        std::string error;
        const std::map<std::string, std::vector<int>> onlyOwns = {{"only", {0, 1, 2}}};
        EXPECT_EQ(ownedSkippingElements(one, pieceBytes, error), onlyOwns) << error;
        ownedSkippingElements(split, pieceBytes, error);
        EXPECT_NE(error.find("mesh.obj:6:"), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace talvexhost
