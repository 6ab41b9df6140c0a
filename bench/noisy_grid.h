// The noisy grid the benchmarks measure on: a heightfield over a square
// lattice of spacing 0.2 centred on the origin, mirror-symmetric about x = 0
// (one column on it) before every coordinate moves by seeded uniform noise of
// at most 0.01, so every pair is found with tolerance 0.05. grid_obj writes it
// as an OBJ file (for timing talvex-host), talvex_timer hands it to the
// plug-in, detect_bench moves it about and detects its plane; bench/compare.sh
// times the peer on the same recipe.
#pragma once

#include <algorithm>
#include <cmath>

namespace bench {

constexpr double kGridSpacing = 0.2;
constexpr double kGridNoise = 0.01;

struct GridSize {
    long nx;  // columns, across x
    long ny;  // rows, across y
};

// About `vertices` points, nearly square, with an odd number of columns.
inline GridSize gridSizeFor(double vertices) {
    long nx = std::lround(std::sqrt(vertices));
    if (nx % 2 == 0) ++nx;
    return {nx, std::max(2L, std::lround(vertices / double(nx)))};
}

// Calls emit(x, y, z) for the grid's points, row by row, in double. The
// height is even in x and, with `oddInY` 0, even in y too (mirror planes
// x = 0 and y = 0); `oddInY` adds that much of a term odd in y, so that x = 0
// is the only mirror plane while every plane y = k h / 2 still maps the
// lattice onto itself. Three draws of `random.unit()` (uniform in [0, 1))
// per point, in x, y, z order.
template <typename Random, typename Emit>
void noisyGrid(GridSize size, double oddInY, Random& random, Emit emit) {
    const double h = kGridSpacing;
    const double halfW = 0.5 * double(size.nx - 1) * h;
    const double halfH = 0.5 * double(size.ny - 1) * h;
    const double amplitude = 0.1 * std::max(halfW, halfH);
    for (long j = 0; j < size.ny; ++j) {
        const double y = (double(j) - double(size.ny - 1) / 2.0) * h;
        const double across = std::cos(2.0 * y / halfH) + oddInY * std::sin(y / halfH);
        for (long i = 0; i < size.nx; ++i) {
            const double x = (double(i) - double(size.nx - 1) / 2.0) * h;
            const double z = amplitude * std::cos(3.0 * x / halfW) * across;
            const double dx = kGridNoise * (2.0 * random.unit() - 1.0);
            const double dy = kGridNoise * (2.0 * random.unit() - 1.0);
            const double dz = kGridNoise * (2.0 * random.unit() - 1.0);
            emit(x + dx, y + dy, z + dz);
        }
    }
}

}  // namespace bench
