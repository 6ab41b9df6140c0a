// Writes a noisy, mirror-symmetric quad grid as an OBJ file, for timing
// `talvex-host resym` on large meshes: grid_obj VERTICES OUT.obj.
// An odd number of columns (one on the plane x = 0), spacing 0.2, a gentle
// height field even in x, and every coordinate moved by a seeded uniform
// noise of at most 0.01, so every pair is found with tolerance 0.05.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: grid_obj VERTICES OUT.obj\n");
        return 2;
    }
    const double wanted = std::strtod(argv[1], nullptr);
    long nx = std::lround(std::sqrt(wanted));
    if (nx % 2 == 0) ++nx;
    const long ny = std::max(2L, std::lround(wanted / double(nx)));
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) {
        std::perror(argv[2]);
        return 1;
    }
    std::vector<char> buffer(1 << 20);
    std::setvbuf(out, buffer.data(), _IOFBF, buffer.size());
    const double h = 0.2;
    const double noise = 0.01;
    const double halfW = 0.5 * double(nx - 1) * h;
    const double halfH = 0.5 * double(ny - 1) * h;
    const double amplitude = 0.1 * std::max(halfW, halfH);
    std::mt19937_64 random(1);
    std::uniform_real_distribution<double> jitter(-noise, noise);
    std::fprintf(out, "# noisy mirror-symmetric grid, plane x = 0: %ld x %ld vertices\no grid\n",
                 nx, ny);
    for (long j = 0; j < ny; ++j) {
        const double y = (double(j) - double(ny - 1) / 2.0) * h;
        const double cy = amplitude * std::cos(2.0 * y / halfH);
        for (long i = 0; i < nx; ++i) {
            const double x = (double(i) - double(nx - 1) / 2.0) * h;
            const double z = std::cos(3.0 * x / halfW) * cy;
            std::fprintf(out, "v %.6f %.6f %.6f\n", x + jitter(random), y + jitter(random),
                         z + jitter(random));
        }
    }
    for (long j = 0; j + 1 < ny; ++j) {
        for (long i = 0; i + 1 < nx; ++i) {
            const long a = j * nx + i + 1;
            std::fprintf(out, "f %ld %ld %ld %ld\n", a, a + 1, a + 1 + nx, a + nx);
        }
    }
    if (std::fclose(out) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
