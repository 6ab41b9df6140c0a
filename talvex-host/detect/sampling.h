// Seeded sampling for symmetry detection: the same seed picks the same
// vertices on every machine and in both builds (the standard library's
// distributions are not specified bit for bit, so none is used).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "detect/point_index.h"

namespace talvexhost {

class SeededRandom {
public:
    explicit SeededRandom(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next();
    // Uniform in [0, bound); bound > 0.
    std::size_t below(std::size_t bound) { return static_cast<std::size_t>(next() % bound); }
    // Uniform in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }

private:
    std::uint64_t state_;
};

// `count` distinct points chosen at random, in their original order; all of
// them when there are not more.
std::vector<Point3> samplePoints(const std::vector<Point3>& points, std::size_t count,
                                 SeededRandom& random);
std::vector<Point3> samplePoints(const std::vector<FloatPoint>& points, std::size_t count,
                                 SeededRandom& random);

}  // namespace talvexhost
