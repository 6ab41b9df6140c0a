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

std::vector<Point3> samplePoints(const std::vector<Point3>& points, std::size_t count,
                                 SeededRandom& random) {
    if (count >= points.size()) return points;
    // Floyd's selection of `count` indices, then taken in index order.
    std::vector<char> chosen(points.size(), 0);
    for (std::size_t j = points.size() - count; j < points.size(); ++j) {
        const std::size_t t = random.below(j + 1);
        if (chosen[t])
            chosen[j] = 1;
        else
            chosen[t] = 1;
    }
    std::vector<Point3> sample;
    sample.reserve(count);
    for (std::size_t i = 0; i < points.size(); ++i)
        if (chosen[i]) sample.push_back(points[i]);
    return sample;
}

}  // namespace talvexhost
