// A k-d tree over a fixed set of 3-D points, for the nearest-neighbour
// queries of symmetry detection (a mirrored vertex looks for the vertex that
// stands where it lands). The host's own: the plug-in's index lives inside
// the plug-in, which the host reaches only through its two exports.
#pragma once

#include <cstddef>
#include <vector>

namespace talvexhost {

struct Point3 {
    double x;
    double y;
    double z;
};

// A vertex as the host keeps it, three floats: detection takes a million of
// these as they are, at half the memory of Point3, each coordinate read as
// the same double.
struct FloatPoint {
    float x;
    float y;
    float z;
};

// Points are kept as floats, as the host's vertices are: a vertex read from a
// mesh comes back bit for bit, and the tree takes half the memory.
class PointIndex {
public:
    // Copies and reorders the points; O(n log n). Points must be finite.
    explicit PointIndex(const std::vector<Point3>& points);
    explicit PointIndex(const std::vector<FloatPoint>& points);

    // The point nearest to `query` whose squared distance exceeds
    // `excludeSq` (0 skips only points exactly at the query), and its
    // squared distance; false when no point is nearer than sqrt(limitSq).
    // With a `leafBudget` the search stops after that many leaves and the
    // answer is only a near point, not always the nearest.
    bool nearest(const Point3& query, double limitSq, Point3& found, double& distanceSq,
                 double excludeSq = -1.0, int leafBudget = 0) const;

    // Up to `count` points nearest to `query`, nearest first, the query's
    // own place included; fewer only when the index holds fewer. Ties are
    // broken by the tree's order.
    std::vector<Point3> nearestFew(const Point3& query, int count) const;

    std::size_t size() const { return points_.size(); }

private:
    // 16 bytes, so four share a cache line: the split is a point's float
    // coordinate, held exactly.
    struct Node {
        float split;
        int axis;   // -1 for a leaf
        int first;  // leaf: the first point; inner: the left child's node index
        int count;  // leaf: number of points; inner: the right child's node index
    };
    struct Stored {
        float c[3];
    };
    template <typename Point>
    void store(const std::vector<Point>& points);
    int build(int first, int count, const float lo[3], const float hi[3]);
    int splitAt(int first, int count, int axis, float& splitValue);
    // Walks the tree depth first, nearer side first, entering a side only
    // while its splitting plane is closer than `boundSq()`; calls
    // `visitLeaf(node)` on each leaf reached, which returns false to stop.
    template <typename Bound, typename Leaf>
    void walkNearerFirst(const Point3& query, Bound boundSq, Leaf visitLeaf) const;
    double distanceSq(int point, const Point3& query) const {
        const double dx = double(points_[point].c[0]) - query.x;
        const double dy = double(points_[point].c[1]) - query.y;
        const double dz = double(points_[point].c[2]) - query.z;
        return dx * dx + dy * dy + dz * dz;
    }

    std::vector<Stored> points_;
    std::vector<Node> nodes_;
};

}  // namespace talvexhost
