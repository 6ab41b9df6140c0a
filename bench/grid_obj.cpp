// Writes the benchmarks' noisy grid (noisy_grid.h) as an OBJ file of quads,
// for timing `talvex-host resym` on large meshes: grid_obj VERTICES OUT.obj.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "noisy_grid.h"
#include "support/seeded_random.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: grid_obj VERTICES OUT.obj\n");
        return 2;
    }
    const bench::GridSize size = bench::gridSizeFor(std::strtod(argv[1], nullptr));
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) {
        std::perror(argv[2]);
        return 1;
    }
    std::vector<char> buffer(1 << 20);
    std::setvbuf(out, buffer.data(), _IOFBF, buffer.size());
    std::fprintf(out, "# noisy mirror-symmetric grid, plane x = 0: %ld x %ld vertices\no grid\n",
                 size.nx, size.ny);
    SeededRandom random{1};
    bench::noisyGrid(size, 0.0, random, [out](double x, double y, double z) {
        std::fprintf(out, "v %.6f %.6f %.6f\n", x, y, z);
    });
    for (long j = 0; j + 1 < size.ny; ++j) {
        for (long i = 0; i + 1 < size.nx; ++i) {
            const long a = j * size.nx + i + 1;
            std::fprintf(out, "f %ld %ld %ld %ld\n", a, a + 1, a + 1 + size.nx, a + size.nx);
        }
    }
    if (std::fclose(out) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
