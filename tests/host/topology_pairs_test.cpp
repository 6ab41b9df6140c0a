// Pairing by topology against the true pairs of a mesh that was symmetric
// before one side was bent like a posed limb.
#include "pairing/topology_pairs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace talvexhost {
namespace {

constexpr int kRows = 11;

HostPlane planeX() {
    return {{1.0, 0.0, 0.0}, {0.0, 0.0, 0.0}};
}

struct Posed {
    std::vector<ReportVertex> vertices;
    TopologyFaces faces;
    std::vector<int> truth;  // the unposed mesh's mirror partners
};

// A symmetric strip of `columns` x 11 quads' corners, spacing 0.1 (an odd
// count has a column on the plane, an even one faces across it), its
// vertices numbered in a shuffled order, a
// gentle height field even in x, and its +x side beyond x = 1.2 turned by
// `degrees` about the z axis there (a shoulder), faces and vertex order kept.
Posed posedStrip(double degrees, int columns = 41) {
    Posed mesh;
    const int count = columns * kRows;
    std::vector<int> number(count);
    for (int i = 0; i < count; ++i) number[i] = i;
    std::shuffle(number.begin(), number.end(), std::mt19937(5));
    mesh.vertices.resize(count);
    mesh.truth.resize(count);
    const double a = degrees * std::acos(-1.0) / 180.0;
    for (int j = 0; j < kRows; ++j)
        for (int i = 0; i < columns; ++i) {
            double x = 0.1 * i - 0.05 * (columns - 1);
            double y = 0.1 * j;
            const double z = 0.05 * std::cos(3.0 * x) * std::sin(2.0 * y);
            if (x > 1.2) {
                const double dx = x - 1.2;
                x = 1.2 + dx * std::cos(a) - y * std::sin(a);
                y = dx * std::sin(a) + y * std::cos(a);
            }
            ReportVertex& v = mesh.vertices[number[j * columns + i]];
            v.position[0] = static_cast<float>(x);
            v.position[1] = static_cast<float>(y);
            v.position[2] = static_cast<float>(z);
            v.distance = v.position[0];
            mesh.truth[number[j * columns + i]] = number[j * columns + (columns - 1 - i)];
        }
    for (int j = 0; j + 1 < kRows; ++j)
        for (int i = 0; i + 1 < columns; ++i) {
            const int a0 = j * columns + i;
            for (int corner : {a0, a0 + 1, a0 + columns + 1, a0 + columns})
                mesh.faces.corners.push_back(number[corner]);
            mesh.faces.faceStart.push_back(static_cast<int>(mesh.faces.corners.size()));
        }
    return mesh;
}

// Positional pairs, by brute force: mutual and unambiguous within the tolerance.
int positionalPairs(const std::vector<ReportVertex>& vertices, double tolerance) {
    auto candidates = [&](std::size_t v) {
        std::vector<std::size_t> found;
        for (std::size_t w = 0; w < vertices.size(); ++w) {
            if (vertices[w].distance * vertices[v].distance >= 0.0) continue;
            const double dx = -vertices[v].position[0] - vertices[w].position[0];
            const double dy = vertices[v].position[1] - vertices[w].position[1];
            const double dz = vertices[v].position[2] - vertices[w].position[2];
            if (std::sqrt(dx * dx + dy * dy + dz * dz) < tolerance) found.push_back(w);
        }
        return found;
    };
    int pairs = 0;
    for (std::size_t v = 0; v < vertices.size(); ++v) {
        if (vertices[v].distance >= 0.0) continue;
        const auto found = candidates(v);
        if (found.size() == 1 && candidates(found[0]) == std::vector<std::size_t>{v}) ++pairs;
    }
    return pairs;
}

TEST(TopologyPairs, FindsEveryTruePairOfAPosedSideWherePositionsFail) {
    for (const auto& [degrees, columns] :
         std::vector<std::pair<double, int>>{{0.0, 41}, {20.0, 41}, {35.0, 41}, {35.0, 40}}) {
        const Posed mesh = posedStrip(degrees, columns);
        TopologyOptions options;
        options.tolerance = 0.05;
        options.seedBand = 0.4;
        const TopologyPairing result = pairByTopology(mesh.vertices, mesh.faces, planeX(), options);
        int right = 0;
        int wrong = 0;
        for (std::size_t v = 0; v < mesh.vertices.size(); ++v) {
            if (result.partner[v] < 0) continue;
            (result.partner[v] == mesh.truth[v] ? right : wrong)++;
        }
        EXPECT_EQ(wrong, 0) << degrees << " degrees, " << columns << " columns";
        EXPECT_EQ(right, columns * kRows) << degrees << " degrees, " << columns << " columns";
        EXPECT_EQ(result.conflicts, 0);
        EXPECT_TRUE(result.unreachedPieces.empty());
        const int truePairs = (columns / 2) * kRows;
        if (degrees >= 35.0) {
            EXPECT_LT(positionalPairs(mesh.vertices, options.tolerance), truePairs * 8 / 10);
        }
    }
}

TEST(TopologyPairs, PiecesWithoutSeedsAreMatchedWholeOnlyWhenTheirShapesAgree) {
    Posed mesh = posedStrip(0.0);
    auto addTriangle = [&](double x0, double y0, double lift) {
        const int first = static_cast<int>(mesh.vertices.size());
        for (int k = 0; k < 3; ++k) {
            ReportVertex v;
            v.position[0] = static_cast<float>(x0 + (k == 1 ? 0.3 : 0.0) * (x0 < 0 ? -1 : 1));
            v.position[1] = static_cast<float>(y0 + (k == 2 ? 0.3 : 0.0) + (k == 2 ? lift : 0.0));
            v.position[2] = 2.0f;
            v.distance = v.position[0];
            mesh.vertices.push_back(v);
            mesh.faces.corners.push_back(first + (x0 < 0 ? 2 - k : k));
        }
        mesh.faces.faceStart.push_back(static_cast<int>(mesh.faces.corners.size()));
    };
    addTriangle(-1.0, 0.0, 0.0);  // an eye on each side, mirror images
    addTriangle(1.0, 0.0, 0.0);
    addTriangle(-1.0, 5.0, 0.0);  // and a pair whose shapes differ
    addTriangle(1.0, 5.0, 0.2);
    TopologyOptions options;
    options.tolerance = 0.05;
    options.seedBand = 0.4;
    const TopologyPairing result = pairByTopology(mesh.vertices, mesh.faces, planeX(), options);
    const int strip = 41 * kRows;
    EXPECT_EQ(result.piecesMatchedWhole, 1);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(result.partner[strip + k], strip + 3 + k);
    EXPECT_EQ(result.unreachedPieces, (std::vector<int>{3, 3}));
    for (int k = 6; k < 12; ++k) EXPECT_EQ(result.partner[strip + k], -1);
}

TEST(TopologyPairs, FillingPositionsTakesOnlyFreePartners) {
    const std::vector<int> positional = {1, 0, -1, -1, -1};
    const std::vector<int> topological = {2, 3, 0, 1, 4};
    EXPECT_EQ(fillWithTopology(positional, topological), (std::vector<int>{1, 0, -1, -1, 4}));
}

}  // namespace
}  // namespace talvexhost
