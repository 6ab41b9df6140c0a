#include "detect/point_index.h"

#include <algorithm>
#include <limits>

#include "hostsim/large_pages.h"

namespace talvexhost {

namespace {

constexpr int kLeafSize = 8;
// Nodes of more points than this split at a sampled median.
constexpr int kExactSplitBelow = 64;
constexpr int kSplitSample = 15;

}  // namespace

PointIndex::PointIndex(const std::vector<Point3>& points) {
    store(points);
}

PointIndex::PointIndex(const std::vector<FloatPoint>& points) {
    store(points);
}

template <typename Point>
void PointIndex::store(const std::vector<Point>& points) {
    points_.reserve(points.size());
    hostsim::preferLargePages(points_.data(), points.size() * sizeof(Stored));
    float lo[3] = {0.0f, 0.0f, 0.0f};
    float hi[3] = {0.0f, 0.0f, 0.0f};
    for (const Point& p : points) {
        const Stored stored = {
            {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)}};
        for (int a = 0; a < 3; ++a) {
            lo[a] = points_.empty() ? stored.c[a] : std::min(lo[a], stored.c[a]);
            hi[a] = points_.empty() ? stored.c[a] : std::max(hi[a], stored.c[a]);
        }
        points_.push_back(stored);
    }
    // Every leaf holds at least kLeafSize / 2 points (a node of more than
    // kLeafSize splits in halves, or in quarters at worst when larger than
    // kExactSplitBelow), so this many nodes are never exceeded: the array is
    // not moved while the tree grows.
    nodes_.reserve(4 * points_.size() / kLeafSize + 2);
    hostsim::preferLargePages(nodes_.data(), nodes_.capacity() * sizeof(Node));
    if (!points_.empty()) build(0, static_cast<int>(points_.size()), lo, hi);
}

namespace {

// Splits `count` points on axis `Axis` at `splitValue` and returns how many
// go left: the left ones at or below it, the right ones at or above it. A
// large node splits at the median of an even sample of its coordinates, in
// one pass: a selection of the exact median passes over a million points
// several times at each of the upper levels, and searches need only sides of
// about the same size. The axis is a constant here, so a point's coordinate
// is taken from the registers that move it.
template <int Axis, typename Stored>
int splitOn(Stored* begin, int count, float& splitValue) {
    if (count > kExactSplitBelow) {
        float sample[kSplitSample];
        const double stride = double(count) / kSplitSample;
        for (int i = 0; i < kSplitSample; ++i) sample[i] = begin[int(i * stride)].c[Axis];
        std::nth_element(sample, sample + kSplitSample / 2, sample + kSplitSample);
        const float split = sample[kSplitSample / 2];
        // Without a branch on the side: half the points would mispredict it.
        int left = 0;
        for (int i = 0; i < count; ++i) {
            const Stored p = begin[i];
            begin[i] = begin[left];
            begin[left] = p;
            left += p.c[Axis] < split ? 1 : 0;
        }
        // A lopsided sample falls back to the exact median.
        if (left >= count / 4 && left <= count - count / 4) {
            splitValue = split;
            return left;
        }
    }
    const int half = count / 2;
    std::nth_element(begin, begin + half, begin + count,
                     [](const Stored& a, const Stored& b) { return a.c[Axis] < b.c[Axis]; });
    splitValue = begin[half].c[Axis];
    return half;
}

}  // namespace

int PointIndex::splitAt(int first, int count, int axis, float& splitValue) {
    Stored* begin = points_.data() + first;
    if (axis == 0) return splitOn<0>(begin, count, splitValue);
    if (axis == 1) return splitOn<1>(begin, count, splitValue);
    return splitOn<2>(begin, count, splitValue);
}

// `lo` and `hi` bound the node's cell, not tightly its points: the widest
// side of the cell is split at the points' median.
int PointIndex::build(int first, int count, const float lo[3], const float hi[3]) {
    const int index = static_cast<int>(nodes_.size());
    nodes_.push_back({0.0f, -1, first, count});
    if (count <= kLeafSize) return index;
    int axis = 0;
    for (int a = 1; a < 3; ++a)
        if (hi[a] - lo[a] > hi[axis] - lo[axis]) axis = a;
    float split = 0.0f;
    const int half = splitAt(first, count, axis, split);
    float leftHi[3] = {hi[0], hi[1], hi[2]};
    float rightLo[3] = {lo[0], lo[1], lo[2]};
    leftHi[axis] = split;
    rightLo[axis] = split;
    const int left = build(first, half, lo, leftHi);
    const int right = build(first + half, count - half, rightLo, hi);
    nodes_[index] = {split, axis, left, right};
    return index;
}

template <typename Bound, typename Leaf>
void PointIndex::walkNearerFirst(const Point3& query, Bound boundSq, Leaf visitLeaf) const {
    struct Pending {
        int node;
        double planeSq;
    };
    Pending stack[128];
    // Indexed by the node's axis without a branch.
    const double q[3] = {query.x, query.y, query.z};
    int depth = 0;
    stack[depth++] = {0, 0.0};
    while (depth > 0) {
        const Pending pending = stack[--depth];
        if (pending.planeSq >= boundSq()) continue;
        // Down the nearer sides to a leaf. The bound only shrinks, so a far
        // side already out of it now is never entered: it is not kept. The
        // leaves are reached in the same order as when every side was kept.
        const Node* node = &nodes_[pending.node];
        while (node->axis >= 0) {
            const double delta = q[node->axis] - double(node->split);
            const double farSq = std::max(pending.planeSq, delta * delta);
            const int nearSide = delta < 0.0 ? node->first : node->count;
            if (farSq < boundSq())
                stack[depth++] = {delta < 0.0 ? node->count : node->first, farSq};
            node = &nodes_[nearSide];
        }
        if (!visitLeaf(*node)) return;
    }
}

bool PointIndex::nearest(const Point3& query, double limitSq, Point3& found, double& bestSq,
                         double excludeSq, int leafBudget) const {
    if (nodes_.empty()) return false;
    // Kept here, not in the caller's variables, which the compiler would
    // have to read again after every store to `found`.
    double best = limitSq;
    const double exclude = excludeSq;
    int nearestPoint = -1;
    walkNearerFirst(
        query, [&] { return best; },
        [&](const Node& leaf) {
            for (int i = leaf.first; i < leaf.first + leaf.count; ++i) {
                const double d = distanceSq(i, query);
                if (d < best && d > exclude) {
                    best = d;
                    nearestPoint = i;
                }
            }
            // A budget of N leaves stops after the Nth.
            return leafBudget <= 0 || --leafBudget > 0;
        });
    bestSq = best;
    if (nearestPoint < 0) return false;
    found = {points_[nearestPoint].c[0], points_[nearestPoint].c[1], points_[nearestPoint].c[2]};
    return true;
}

std::vector<Point3> PointIndex::nearestFew(const Point3& query, int count) const {
    // The best so far, kept sorted by distance: `count` is small (a
    // neighbourhood for a normal), so insertion beats a heap.
    struct Near {
        double distanceSq;
        int point;
    };
    std::vector<Near> best;
    if (nodes_.empty() || count <= 0) return {};
    best.reserve(static_cast<std::size_t>(count) + 1);
    const auto worstSq = [&] {
        return static_cast<int>(best.size()) < count ? std::numeric_limits<double>::infinity()
                                                     : best.back().distanceSq;
    };
    walkNearerFirst(query, worstSq, [&](const Node& leaf) {
        for (int i = leaf.first; i < leaf.first + leaf.count; ++i) {
            const double d = distanceSq(i, query);
            if (d >= worstSq()) continue;
            auto at = std::upper_bound(best.begin(), best.end(), d,
                                       [](double v, const Near& n) { return v < n.distanceSq; });
            best.insert(at, {d, i});
            if (static_cast<int>(best.size()) > count) best.pop_back();
        }
        return true;
    });
    std::vector<Point3> found;
    found.reserve(best.size());
    for (const Near& n : best)
        found.push_back({points_[n.point].c[0], points_[n.point].c[1], points_[n.point].c[2]});
    return found;
}

}  // namespace talvexhost
