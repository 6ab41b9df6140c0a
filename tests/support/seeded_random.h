// A seeded random stream (splitmix64) that gives the same numbers on every
// platform and compiler, so a scene built from a seed is the same scene in
// both builds and a failing seed can be replayed anywhere.
#pragma once

#include <cstdint>

struct SeededRandom {
    std::uint64_t state;

    std::uint64_t next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1), 53 bits.
    double unit() { return double(next() >> 11) / 9007199254740992.0; }
    // Uniform in [0, n) for n > 0.
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    bool chance(int percent) { return below(100) < percent; }
    float between(double lo, double hi) { return static_cast<float>(lo + (hi - lo) * unit()); }
};
