#include "detect/sampling.h"

#include <algorithm>

namespace talvexhost {

std::uint64_t SeededRandom::next() {
    // splitmix64
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

namespace {

Point3 asPoint3(const Point3& p) {
    return p;
}

Point3 asPoint3(const FloatPoint& p) {
    return {p.x, p.y, p.z};
}

template <typename Point>
std::vector<Point3> sampleOf(const std::vector<Point>& points, std::size_t count,
                             SeededRandom& random) {
    std::vector<Point3> sample;
    if (count >= points.size()) {
        sample.reserve(points.size());
        for (const Point& p : points) sample.push_back(asPoint3(p));
        return sample;
    }
    // Floyd's selection of `count` indices, then taken in index order:
    // sorting the few chosen beats walking past a million that are not. One
    // bit per point marks the chosen: a byte each would be a megabyte of
    // fresh pages per million points, touched for a few thousand marks.
    std::vector<std::uint64_t> chosen((points.size() + 63) / 64, 0);
    std::vector<std::size_t> indices;
    indices.reserve(count);
    for (std::size_t j = points.size() - count; j < points.size(); ++j) {
        const std::size_t t = random.below(j + 1);
        const std::size_t taken = (chosen[t / 64] >> (t % 64)) & 1 ? j : t;
        chosen[taken / 64] |= std::uint64_t(1) << (taken % 64);
        indices.push_back(taken);
    }
    std::sort(indices.begin(), indices.end());
    sample.reserve(count);
    for (const std::size_t i : indices) sample.push_back(asPoint3(points[i]));
    return sample;
}

}  // namespace

std::vector<Point3> samplePoints(const std::vector<Point3>& points, std::size_t count,
                                 SeededRandom& random) {
    return sampleOf(points, count, random);
}

std::vector<Point3> samplePoints(const std::vector<FloatPoint>& points, std::size_t count,
                                 SeededRandom& random) {
    return sampleOf(points, count, random);
}

}  // namespace talvexhost
