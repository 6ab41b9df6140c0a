#include "pairing/mirror_candidates.h"

#include <algorithm>
#include <cmath>

namespace talvexhost {

namespace {

// Beyond this many cells a query scans every vertex instead: a radius far
// larger than the cell would otherwise visit mostly empty cells.
constexpr std::int64_t kMostCellsPerQuery = 4096;

double distanceBetween(const float a[3], const double b[3]) {
    const double dx = double(a[0]) - b[0];
    const double dy = double(a[1]) - b[1];
    const double dz = double(a[2]) - b[2];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

}  // namespace

namespace {

// Spreads a cell key over the table (a 64-bit mix), so neighbouring cells do
// not crowd one stretch of it.
std::uint64_t slotHash(std::int64_t key) {
    std::uint64_t h = static_cast<std::uint64_t>(key);
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    return h ^ (h >> 33);
}

}  // namespace

namespace {

// The cube's edge for queries of radius `reach`: at least twice the reach, so
// a query looks into at most eight cubes, and up to three times the mesh's
// typical spacing, so that a cube holds a few vertices: far fewer cubes, their
// table small enough to stay in cache, and most queries find everything in
// one. The spacing is estimated from the box of a spread sample (a few far
// vertices seldom widen it) over the two longest sides, as for a surface,
// and kept under eight times the reach.
double cubeEdge(const std::vector<ReportVertex>& vertices, double reach) {
    if (!(reach > 0.0) || !std::isfinite(16.0 * reach)) return 1.0;
    constexpr std::size_t kSample = 4096;
    const std::size_t stride = std::max<std::size_t>(1, vertices.size() / kSample);
    double lo[3] = {0, 0, 0};
    double hi[3] = {0, 0, 0};
    for (std::size_t v = 0; v < vertices.size(); v += stride) {
        for (int a = 0; a < 3; ++a) {
            const double c = vertices[v].position[a];
            if (v == 0 || c < lo[a]) lo[a] = c;
            if (v == 0 || c > hi[a]) hi[a] = c;
        }
    }
    double extent[3] = {hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]};
    std::sort(extent, extent + 3);
    const double spacing =
        vertices.empty() ? 0.0 : std::sqrt(extent[2] * extent[1] / double(vertices.size()));
    const double edge = std::max(2.0 * reach, 3.0 * spacing);
    return std::isfinite(edge) ? std::min(edge, 16.0 * reach) : 2.0 * reach;
}

}  // namespace

VertexGrid::VertexGrid(const std::vector<ReportVertex>& vertices, double reach)
    : vertices_(vertices), cell_(cubeEdge(vertices, reach)), perCell_(1.0 / cell_) {
    // Each vertex's cell is found twice (to count, then to place) rather
    // than kept: a million keys would double the grid's memory while it is
    // built. A power of two at most half full: most queries miss (the cells
    // around a mirror image are mostly empty), and a miss probes until an
    // empty slot.
    const auto cellKey = [this](const ReportVertex& vertex) {
        const double p[3] = {vertex.position[0], vertex.position[1], vertex.position[2]};
        return key(std::int64_t(std::floor(inCells(p[0]))), std::int64_t(std::floor(inCells(p[1]))),
                   std::int64_t(std::floor(inCells(p[2]))));
    };
    std::size_t size = 2;
    std::size_t cells = 0;
    // Grown while counting: the number of cells is known only at the end.
    auto slotFor = [this, &size](std::int64_t k) -> Slot& {
        std::size_t s = slotHash(k) & (size - 1);
        while (slots_[s].count != 0 && slots_[s].key != k) s = (s + 1) & (size - 1);
        return slots_[s];
    };
    slots_.assign(size, Slot{0, 0, 0});
    // A mesh's vertices mostly come in runs through one cell: the run's
    // slot is kept rather than probed for again (the table is several
    // megabytes, and a probe is a cache miss).
    Slot* last = nullptr;
    for (const ReportVertex& vertex : vertices) {
        const std::int64_t k = cellKey(vertex);
        if (last != nullptr && last->key == k) {
            ++last->count;
            continue;
        }
        Slot& slot = slotFor(k);
        last = &slot;
        if (slot.count == 0) {
            slot.key = k;
            ++cells;
        }
        ++slot.count;
        if (2 * cells <= size) continue;
        // Rehash into twice the table.
        std::vector<Slot> old;
        old.swap(slots_);
        size *= 2;
        slots_.assign(size, Slot{0, 0, 0});
        for (const Slot& moved : old)
            if (moved.count != 0) slotFor(moved.key) = moved;
        last = nullptr;
    }
    // Each cell's vertices follow the cells before it in the table, in
    // vertex order within the cell; `first` runs past them while they are
    // placed and is put back after.
    std::uint32_t first = 0;
    for (Slot& slot : slots_) {
        slot.first = first;
        first += slot.count;
    }
    order_.resize(vertices.size());
    last = nullptr;
    for (std::size_t v = 0; v < vertices.size(); ++v) {
        const std::int64_t k = cellKey(vertices[v]);
        if (last == nullptr || last->key != k) last = &slotFor(k);
        order_[last->first++] = static_cast<int>(v);
    }
    for (Slot& slot : slots_) slot.first -= slot.count;
}

std::int64_t VertexGrid::key(std::int64_t i, std::int64_t j, std::int64_t k) const {
    // 21 bits per axis; cells beyond that wrap, which only costs extra tests.
    const std::int64_t mask = (std::int64_t(1) << 21) - 1;
    return (i & mask) | ((j & mask) << 21) | ((k & mask) << 42);
}

const VertexGrid::Slot* VertexGrid::find(std::int64_t key) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t s = slotHash(key) & mask;; s = (s + 1) & mask) {
        if (slots_[s].count == 0) return nullptr;
        if (slots_[s].key == key) return &slots_[s];
    }
}

std::vector<Candidate> VertexGrid::within(const double point[3], double radius) const {
    std::vector<Candidate> found;
    within(point, radius, found);
    return found;
}

void VertexGrid::within(const double point[3], double radius, std::vector<Candidate>& found) const {
    found.clear();
    std::int64_t lo[3];
    std::int64_t hi[3];
    std::int64_t cells = 1;
    for (int a = 0; a < 3; ++a) {
        lo[a] = std::int64_t(std::floor(inCells(point[a] - radius)));
        hi[a] = std::int64_t(std::floor(inCells(point[a] + radius)));
        cells *= std::min<std::int64_t>(hi[a] - lo[a] + 1, kMostCellsPerQuery + 1);
    }
    auto test = [&](int v) {
        const double d = distanceBetween(vertices_[v].position, point);
        if (d < radius) found.push_back({v, d});
    };
    if (cells > kMostCellsPerQuery) {
        for (std::size_t v = 0; v < vertices_.size(); ++v) test(static_cast<int>(v));
        return;
    }
    for (std::int64_t i = lo[0]; i <= hi[0]; ++i)
        for (std::int64_t j = lo[1]; j <= hi[1]; ++j)
            for (std::int64_t k = lo[2]; k <= hi[2]; ++k) {
                const Slot* slot = find(key(i, j, k));
                if (slot == nullptr) continue;
                for (std::uint32_t n = 0; n < slot->count; ++n) test(order_[slot->first + n]);
            }
    // Most queries around a mirror image find one vertex or none.
    if (found.size() < 2) return;
    std::sort(found.begin(), found.end(),
              [](const Candidate& a, const Candidate& b) { return a.vertex < b.vertex; });
    found.erase(
        std::unique(found.begin(), found.end(),
                    [](const Candidate& a, const Candidate& b) { return a.vertex == b.vertex; }),
        found.end());
}

std::vector<Candidate> mirrorCandidates(const std::vector<ReportVertex>& vertices,
                                        const VertexGrid& grid, const HostPlane& plane, int m,
                                        double tolerance, ObjectRule rule) {
    std::vector<Candidate> accepted;
    std::vector<Candidate> scratch;
    mirrorCandidates(vertices, grid, plane, m, tolerance, rule, accepted, scratch);
    return accepted;
}

void mirrorCandidates(const std::vector<ReportVertex>& vertices, const VertexGrid& grid,
                      const HostPlane& plane, int m, double tolerance, ObjectRule rule,
                      std::vector<Candidate>& accepted, std::vector<Candidate>& scratch) {
    const ReportVertex& starter = vertices[m];
    const Vector3 p(starter.position[0], starter.position[1], starter.position[2]);
    double image[3];
    plane.mirror(p, image);
    accepted.clear();
    grid.within(image, tolerance, scratch);
    for (const Candidate& c : scratch) {
        const ReportVertex& other = vertices[c.vertex];
        if (c.vertex == m) continue;
        if ((other.object == starter.object) != (rule == ObjectRule::sameObject)) continue;
        // A vertex exactly on the plane counts as the negative side.
        const bool starterAbove = starter.distance > 0.0;
        const bool otherAbove = other.distance > 0.0;
        if (starterAbove == otherAbove) continue;
        if (!(std::fabs(std::fabs(starter.distance) - std::fabs(other.distance)) < tolerance))
            continue;
        accepted.push_back(c);
    }
    // Nearest first, equal distances kept in vertex order: an insertion
    // sort, as the lists are a few long and a library stable sort would ask
    // for a buffer on each of a million calls.
    for (std::size_t i = 1; i < accepted.size(); ++i) {
        const Candidate moving = accepted[i];
        std::size_t j = i;
        for (; j > 0 && moving.distance < accepted[j - 1].distance; --j)
            accepted[j] = accepted[j - 1];
        accepted[j] = moving;
    }
}

}  // namespace talvexhost
