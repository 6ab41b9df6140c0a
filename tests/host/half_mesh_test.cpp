// Rebuilding a mesh from one half: cuts, mirrors and the welded seam, on
// small meshes whose answers are known.
#include "edit/half_mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <utility>

namespace talvexhost {
namespace {

struct Builder {
    HalfMeshInput mesh;
    int vertex(float x, float y, float z) {
        mesh.positions.push_back({{x, y, z}});
        return static_cast<int>(mesh.positions.size()) - 1;
    }
    void face(std::initializer_list<int> vertices) {
        mesh.elements.push_back({EditElement::kFace, static_cast<int>(mesh.corners.size()),
                                 static_cast<int>(vertices.size())});
        for (int v : vertices) mesh.corners.push_back({v, -1, -1});
    }
};

// An axis-aligned box, faces wound outwards.
HalfMeshInput box(float x0, float x1, bool capAtX0 = true) {
    Builder b;
    for (int k = 0; k < 8; ++k)
        b.vertex(k & 1 ? x1 : x0, k & 2 ? 1.0f : -1.0f, k & 4 ? 1.0f : -1.0f);
    if (capAtX0) b.face({0, 4, 6, 2});
    b.face({1, 3, 7, 5});
    b.face({0, 1, 5, 4});
    b.face({2, 6, 7, 3});
    b.face({0, 2, 3, 1});
    b.face({4, 5, 7, 6});
    return b.mesh;
}

HalfPlane axisPlane(int axis, double at, int keep) {
    HalfPlane plane;
    plane.axis = axis;
    plane.normal[0] = 0.0;
    plane.normal[axis] = 1.0;
    plane.offset = at;
    plane.keep = keep;
    return plane;
}

using Edge = std::pair<int, int>;
std::map<Edge, int> directedEdges(const HalfMeshInput& mesh) {
    std::map<Edge, int> edges;
    for (const EditElement& e : mesh.elements) {
        if (e.kind != EditElement::kFace) continue;
        for (int k = 0; k < e.count; ++k)
            ++edges[{mesh.corners[e.first + k].vertex,
                     mesh.corners[e.first + (k + 1) % e.count].vertex}];
    }
    return edges;
}

// Closed and consistently wound: every side is run once each way.
bool closedAndOriented(const HalfMeshInput& mesh) {
    const std::map<Edge, int> edges = directedEdges(mesh);
    for (const auto& [edge, count] : edges) {
        auto back = edges.find({edge.second, edge.first});
        if (count != 1 || back == edges.end() || back->second != 1) return false;
    }
    return !edges.empty();
}

double signedVolume(const HalfMeshInput& mesh) {
    double volume = 0.0;
    for (const EditElement& e : mesh.elements) {
        const float* a = mesh.positions[mesh.corners[e.first].vertex].v;
        for (int k = 1; k + 1 < e.count; ++k) {
            const float* b = mesh.positions[mesh.corners[e.first + k].vertex].v;
            const float* c = mesh.positions[mesh.corners[e.first + k + 1].vertex].v;
            volume += (double(a[0]) * (double(b[1]) * c[2] - double(b[2]) * c[1]) -
                       double(a[1]) * (double(b[0]) * c[2] - double(b[2]) * c[0]) +
                       double(a[2]) * (double(b[0]) * c[1] - double(b[1]) * c[0])) /
                      6.0;
        }
    }
    return volume;
}

TEST(HalfMesh, ClosedBoxCutOffCentreStaysClosedAndMirrorsExactly) {
    const HalfMeshInput in = box(-1.0f, 1.0f);
    for (int keep : {1, -1}) {
        HalfMeshResult result;
        std::string error;
        ASSERT_TRUE(rebuildFromHalf(in, axisPlane(0, 0.25, keep), {}, result, error)) << error;
        const HalfMeshInput& out = result.mesh;
        EXPECT_EQ(result.facesCut, 4);
        EXPECT_EQ(result.verticesCut, 4);
        EXPECT_EQ(out.positions.size(), 12u);  // 4 kept, 4 on the plane, 4 mirrored
        EXPECT_EQ(out.elements.size(), 10u);
        EXPECT_TRUE(closedAndOriented(out));
        // Kept half 0.75 (or 1.25) wide, mirrored: outward winding gives a positive volume.
        EXPECT_NEAR(signedVolume(out), keep > 0 ? 6.0 : 10.0, 1e-9);
        // The kept vertices first, in their order, then the cut, then the mirrors.
        EXPECT_EQ(result.positionOrigins[0].kind, EditOrigin::kKept);
        EXPECT_EQ(result.positionOrigins[0].index, keep > 0 ? 1 : 0);
        for (int v = 4; v < 8; ++v) EXPECT_EQ(out.positions[v].v[0], 0.25f);
        for (int v = 8; v < 12; ++v) {
            ASSERT_EQ(result.positionOrigins[v].kind, EditOrigin::kMirror);
            const float* image = out.positions[v].v;
            const float* kept = out.positions[result.positionOrigins[v].index].v;
            EXPECT_EQ(image[0], static_cast<float>(0.5 - double(kept[0])));
            EXPECT_EQ(image[1], kept[1]);
            EXPECT_EQ(image[2], kept[2]);
        }
    }
}

TEST(HalfMesh, ObliquePlaneKeepsTheBoxClosedWithTheSeamOnThePlane) {
    const HalfMeshInput in = box(-1.0f, 1.0f);
    HalfPlane plane;
    const double s = 1.0 / std::sqrt(2.0);
    plane.normal[0] = s;
    plane.normal[1] = s;
    plane.normal[2] = 0.0;
    plane.offset = 0.2;
    HalfMeshResult result;
    std::string error;
    ASSERT_TRUE(rebuildFromHalf(in, plane, {}, result, error)) << error;
    EXPECT_TRUE(closedAndOriented(result.mesh));
    EXPECT_GT(signedVolume(result.mesh), 0.0);
    for (std::size_t v = 0; v < result.mesh.positions.size(); ++v) {
        if (result.positionOrigins[v].kind != EditOrigin::kCut) continue;
        const float* p = result.mesh.positions[v].v;
        EXPECT_NEAR(s * p[0] + s * p[1], 0.2, 1e-6);
    }
}

// A flat grid of nx x ny quads over x = -1..1, y = 0..1, wound to face +z.
HalfMeshInput grid(int nx, int ny) {
    Builder b;
    for (int j = 0; j <= ny; ++j)
        for (int i = 0; i <= nx; ++i)
            b.vertex(static_cast<float>(-1.0 + 2.0 * i / nx), static_cast<float>(double(j) / ny),
                     0.0f);
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) {
            const int a = j * (nx + 1) + i;
            b.face({a, a + 1, a + nx + 2, a + nx + 1});
        }
    return b.mesh;
}

// Open borders: the sides in one face only.
std::vector<Edge> border(const HalfMeshInput& mesh) {
    const std::map<Edge, int> edges = directedEdges(mesh);
    std::vector<Edge> out;
    for (const auto& [edge, count] : edges)
        if (!edges.count({edge.second, edge.first})) out.push_back(edge);
    return out;
}

TEST(HalfMesh, OpenGridKeepsItsBorderAndWeldsTheSeam) {
    // Three columns: the plane cuts the middle one. Four: a column lies on it.
    for (int nx : {3, 4}) {
        const HalfMeshInput in = grid(nx, 2);
        HalfMeshResult result;
        std::string error;
        ASSERT_TRUE(rebuildFromHalf(in, axisPlane(0, 0.0, -1), {}, result, error)) << error;
        const HalfMeshInput& out = result.mesh;
        EXPECT_EQ(result.facesCut, nx % 2 == 1 ? 2 : 0);
        double length = 0.0;
        for (const Edge& e : border(out)) {
            const float* a = out.positions[e.first].v;
            const float* b = out.positions[e.second].v;
            EXPECT_FALSE(a[0] == 0.0f && b[0] == 0.0f) << "a border runs along the seam";
            length += std::hypot(double(a[0]) - b[0], double(a[1]) - b[1]);
        }
        EXPECT_NEAR(length, 6.0, 1e-6);  // the rectangle 2 x 1, as it was
        std::set<std::pair<float, float>> seam;
        for (const EditVector& p : out.positions)
            if (p.v[0] == 0.0f) {
                EXPECT_TRUE(seam.insert({p.v[1], p.v[2]}).second);
            }
        EXPECT_EQ(seam.size(), 3u);
        // Every face still faces +z: mirrored faces run the other way round.
        for (const EditElement& e : out.elements) {
            const float* a = out.positions[out.corners[e.first].vertex].v;
            const float* b = out.positions[out.corners[e.first + 1].vertex].v;
            const float* c = out.positions[out.corners[e.first + 2].vertex].v;
            EXPECT_GT((double(b[0]) - a[0]) * (double(c[1]) - a[1]) -
                          (double(b[1]) - a[1]) * (double(c[0]) - a[0]),
                      0.0);
        }
    }
}

TEST(HalfMesh, AttributesAreInterpolatedAtTheCutAndMirrored) {
    Builder b;
    b.vertex(-1.0f, 0.0f, 0.0f);
    b.vertex(3.0f, 0.0f, 0.0f);
    b.vertex(3.0f, 1.0f, 0.0f);
    b.mesh.uvs = {{{0.0f, 0.0f, 0.0f}}, {{1.0f, 0.0f, 0.0f}}, {{1.0f, 1.0f, 0.0f}}};
    b.mesh.normals = {{{-1.0f, 0.0f, 0.0f}}, {{0.0f, 0.0f, 1.0f}}, {{0.0f, 0.0f, 1.0f}}};
    b.mesh.elements.push_back({EditElement::kFace, 0, 3});
    b.mesh.corners = {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}};
    HalfMeshOptions options;
    options.mirrorUv = true;
    options.mirrorU = 0.0;
    HalfMeshResult result;
    std::string error;
    ASSERT_TRUE(rebuildFromHalf(b.mesh, axisPlane(0, 0.0, 1), options, result, error)) << error;
    const HalfMeshInput& out = result.mesh;
    // The cut on the edge from -1 to 3 is a quarter along it.
    const EditCorner& cut = out.corners[out.elements[0].first];
    EXPECT_EQ(result.positionOrigins[cut.vertex].kind, EditOrigin::kCut);
    EXPECT_EQ(out.uvs[cut.uv].v[0], 0.25f);
    const float* n = out.normals[cut.normal].v;
    EXPECT_NEAR(n[0], -0.75 / std::hypot(0.75, 0.25), 1e-7);
    EXPECT_NEAR(n[2], 0.25 / std::hypot(0.75, 0.25), 1e-7);
    // The mirrored face: normals mirrored, u -> -u, the cut shared.
    ASSERT_EQ(out.elements.size(), 2u);
    const EditCorner& mirroredCut = out.corners[out.elements[1].first];
    EXPECT_EQ(mirroredCut.vertex, cut.vertex);
    EXPECT_EQ(out.uvs[mirroredCut.uv].v[0], -0.25f);
    EXPECT_EQ(out.normals[mirroredCut.normal].v[0], -n[0]);
    EXPECT_EQ(out.normals[mirroredCut.normal].v[2], n[2]);
}

TEST(HalfMesh, VerticesWithinTheWeldGoOntoThePlaneAndBecomeOne) {
    Builder b;
    const int near = b.vertex(1e-7f, 0.0f, 0.0f);
    const int twin = b.vertex(-1e-7f, 0.0f, 0.0f);  // the same point, split in the input
    const int top = b.vertex(0.0f, 1.0f, 0.0f);     // exactly on the plane
    const int right = b.vertex(1.0f, 0.0f, 0.0f);
    const int bottom = b.vertex(0.0f, -1.0f, 0.0f);
    b.face({near, right, top});
    b.face({twin, bottom, right});
    HalfMeshOptions options;
    options.weld = 1e-6;
    HalfMeshResult result;
    std::string error;
    ASSERT_TRUE(rebuildFromHalf(b.mesh, axisPlane(0, 0.0, 1), options, result, error)) << error;
    const HalfMeshInput& out = result.mesh;
    EXPECT_EQ(result.facesCut, 0);
    EXPECT_EQ(out.positions.size(), 5u);  // near, top, right, bottom, right's image
    EXPECT_EQ(out.positions[0].v[0], 0.0f);
    EXPECT_TRUE(result.positionOrigins[0].moved);
    EXPECT_FALSE(result.positionOrigins[1].moved);
    EXPECT_EQ(result.seamVertices, 3);
    EXPECT_EQ(out.elements.size(), 4u);
    // A diamond: only its four outer sides are open; the seam and the split are closed.
    EXPECT_EQ(border(out).size(), 4u);
}

TEST(HalfMesh, FacesLyingInThePlane) {
    // A cap at x = 0 that the kept half meets is dropped: the box closes.
    HalfMeshResult capped;
    std::string error;
    ASSERT_TRUE(rebuildFromHalf(box(0.0f, 1.0f), axisPlane(0, 0.0, 1), {}, capped, error)) << error;
    EXPECT_EQ(capped.facesInPlaneDropped, 1);
    EXPECT_EQ(capped.mesh.elements.size(), 10u);
    EXPECT_TRUE(closedAndOriented(capped.mesh));
    EXPECT_NEAR(signedVolume(capped.mesh), 8.0, 1e-9);
    // A sheet in the plane meeting nothing is kept once, unmirrored.
    Builder b;
    b.face({b.vertex(0, 0, 0), b.vertex(0, 1, 0), b.vertex(0, 1, 1)});
    b.face({b.vertex(1, 0, 0), b.vertex(2, 0, 0), b.vertex(2, 1, 0)});
    HalfMeshResult sheet;
    ASSERT_TRUE(rebuildFromHalf(b.mesh, axisPlane(0, 0.0, 1), {}, sheet, error)) << error;
    EXPECT_EQ(sheet.facesInPlane, 1);
    EXPECT_EQ(sheet.mesh.elements.size(), 3u);
    EXPECT_EQ(sheet.mesh.positions.size(), 9u);
}

TEST(HalfMesh, Refusals) {
    std::string error;
    HalfMeshResult result;
    // The plane beyond the box on either side.
    EXPECT_FALSE(rebuildFromHalf(box(-1.0f, 1.0f), axisPlane(0, 5.0, 1), {}, result, error));
    EXPECT_NE(error.find("misses the mesh"), std::string::npos) << error;
    EXPECT_FALSE(rebuildFromHalf(box(-1.0f, 1.0f), axisPlane(0, 5.0, -1), {}, result, error));
    EXPECT_NE(error.find("misses the mesh"), std::string::npos) << error;
    // Everything on the plane or beyond it.
    EXPECT_FALSE(rebuildFromHalf(box(-1.0f, 0.0f), axisPlane(0, 0.0, 1), {}, result, error));
    EXPECT_NE(error.find("nothing lies on the side kept"), std::string::npos) << error;
    // Two kept faces on one edge in the plane: a fin that cannot be welded.
    Builder b;
    const int a = b.vertex(0, 0, 0);
    const int c = b.vertex(0, 1, 0);
    b.face({a, c, b.vertex(1, 0, 0)});
    b.face({c, a, b.vertex(1, 0, 1)});
    b.face({a, b.vertex(-1, 0, 0), c});
    EXPECT_FALSE(rebuildFromHalf(b.mesh, axisPlane(0, 0.0, 1), {}, result, error));
    EXPECT_NE(error.find("cannot be welded"), std::string::npos) << error;
    // The same kept from the other side has one face there, and welds.
    EXPECT_TRUE(rebuildFromHalf(b.mesh, axisPlane(0, 0.0, -1), {}, result, error)) << error;
}

}  // namespace
}  // namespace talvexhost
