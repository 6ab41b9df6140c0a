// Speed and memory of the partner searches, measured as users get them: the
// plug-in library loaded into the substitute host, "Talvex Smart Resym" run
// and drags reported through the plug-in's boundary. Each case also times the
// plain scan (a plug-in object in this process with the index switched off)
// when the scan is predicted to finish within a minute, and otherwise
// estimates it from a sample of starters or sources ("est" in the table).
// Peak extra memory is the heap the command allocates beyond what the scan
// needs (its own pair list), counted by a replaced global operator new that
// the plug-in library also uses; the host's own bookkeeping is not counted.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "bench_host.h"
#include "hostsim/sim_host.h"
#include "support/command_indices.h"
#include "support/counting_allocator.h"
#include "support/seeded_random.h"
#include "symmetry/pair_scan.h"
#include "symmetry/symmetry_plugin.h"

namespace {

using hostsim::Point;
using Clock = std::chrono::steady_clock;

using symtest::kSmartResym;
using symtest::kSwitch;
// The list the tests share is the plug-in's own table, seen here from inside.
static_assert(kSmartResym == kCommandSmartResym && kSwitch == kCommandSwitch &&
                  symtest::kReposition == kCommandReposition,
              "tests/support/command_indices.h differs from the plug-in's table");
constexpr float kTolerance = 0.1f;  // the plug-in's default
constexpr double kScanBudgetSeconds = 60.0;
constexpr double kPi = 3.14159265358979323846;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// ---- Meshes ------------------------------------------------------------------

using Random = SeededRandom;

struct Mesh {
    std::string name;
    std::vector<Point> points;
};

// A sphere sampled evenly (Fibonacci lattice) on the +x half and mirrored
// onto the -x half, about 0.05 between neighbours (half the tolerance), every
// coordinate then moved by seeded noise of at most tol / 8. With `partnered`
// false the -x half lies 3 tol farther out, so only vertices near the plane
// can find a partner. Vertex order is shuffled (no locality to lean on)
// unless `ordered`: then it follows the lattice, a vertex beside its image.
Mesh sphere(int vertices, bool partnered, std::uint64_t seed, bool ordered = false) {
    const double spacing = 0.05;
    const double radius = std::sqrt(double(vertices) * spacing * spacing / (4.0 * kPi));
    const int half = vertices / 2;
    Random random{seed};
    Mesh mesh;
    mesh.name = std::string(partnered ? (ordered ? "ordered" : "sphere") : "unpaired") + "_" +
                std::to_string(vertices);
    const double golden = kPi * (3.0 - std::sqrt(5.0));
    for (int i = 0; i < half; ++i) {
        // x runs over (0, 1]: the +x hemisphere.
        const double x = 1.0 - (i + 0.5) / half;
        const double r = std::sqrt(1.0 - x * x);
        const double phi = golden * i;
        const double px = radius * x, py = radius * r * std::cos(phi),
                     pz = radius * r * std::sin(phi);
        const double outward = partnered ? 1.0 : (radius + 3.0 * kTolerance) / radius;
        mesh.points.push_back(Point{float(px), float(py), float(pz)});
        mesh.points.push_back(
            Point{float(-px * outward), float(py * outward), float(pz * outward)});
    }
    const double noise = kTolerance / 8.0;
    for (Point& p : mesh.points) {
        p.x = float(p.x + noise * (2.0 * random.unit() - 1.0));
        p.y = float(p.y + noise * (2.0 * random.unit() - 1.0));
        p.z = float(p.z + noise * (2.0 * random.unit() - 1.0));
    }
    for (size_t i = ordered ? 0 : mesh.points.size(); i > 1; --i)
        std::swap(mesh.points[i - 1], mesh.points[random.next() % i]);
    return mesh;
}

// The `v` lines of an OBJ file; empty when the file cannot be read.
Mesh loadObj(const std::string& path, const std::string& name) {
    return Mesh{name, bench::readObjPoints(path)};
}

struct Session {
    hostsim::Host host;
    HostObject* plane = nullptr;
    HostObject* mesh = nullptr;
    std::vector<Point> original;

    explicit Session(const Mesh& source) {
        std::string error;
        if (!host.loadPlugin(TALVEX_PLUGIN_FILE, error)) {
            std::fprintf(stderr, "cannot load the plug-in: %s\n", error.c_str());
            std::exit(1);
        }
        bench::keepHostServicesUncounted(host);
        // The plane x = 0, as the user would lay it.
        plane = bench::createAxisPlane(host, 'x');
        mesh = host.scene.addObject(source.name, source.points);
        host.scene.underEdit.assign({mesh});
        host.scene.selectObjects({mesh});
        original = source.points;
        host.undoSteps.clear();
    }

    void restore() { bench::restorePoints(host, *mesh, original); }

    // A plug-in object in this process, for timing the scan.
    std::unique_ptr<SymmetryPlugin> scanner() {
        auto plugin = std::make_unique<SymmetryPlugin>(&host.scene.record, &host.services);
        plugin->useSpatialIndex = false;
        plugin->planeObject = plane;
        plugin->tolerance = kTolerance;
        plugin->active = true;
        plugin->updatePlaneFrame();
        return plugin;
    }

    PlaneFrame frame() const {
        PlaneFrame f;
        frameOfObject(*plane, f);
        return f;
    }
};

int touchedIn(const std::string& message) {
    int touched = 0;
    std::sscanf(message.c_str(), "Talvex: Smart Resym - %d", &touched);
    return touched;
}

// The scan's own peak for its resym list after `entries` appends: the last
// doubling holds the old array and the new one at once.
std::size_t listBytes(int entries) {
    std::size_t capacity = 2;
    while (capacity <= std::size_t(entries)) capacity *= 2;
    return entries > 0 ? (capacity + (capacity > 2 ? capacity / 2 : 0)) * sizeof(void*) : 0;
}

struct ScanTime {
    double seconds = 0;
    bool estimated = false;
};

// ---- Smart Resym -------------------------------------------------------------

// TALVEX_BENCH_NO_SCAN=1 skips the scan timings (for profiling the index).
bool scansWanted() {
    const char* text = std::getenv("TALVEX_BENCH_NO_SCAN");
    return text == nullptr || *text == '\0' || *text == '0';
}

ScanTime resymScan(Session& session) {
    if (!scansWanted()) return ScanTime{0, true};
    const ScanTime predicted{bench::resymScanSeconds(session.frame(), *session.mesh, kTolerance),
                             true};
    if (predicted.seconds > kScanBudgetSeconds) return predicted;
    session.restore();
    auto scanner = session.scanner();
    const Clock::time_point full = Clock::now();
    scanner->smartResym();
    ScanTime measured{secondsSince(full), false};
    session.restore();
    return measured;
}

struct Row {
    std::string name;
    double seconds;
    double verticesPerSecond;
    double extraBytesPerVertex;
    ScanTime scan;
    std::string note;
};
std::vector<Row> gRows;

void benchResym(benchmark::State& state, const Mesh& mesh) {
    Session session(mesh);
    const ScanTime scan = resymScan(session);
    double total = 0;
    double extra = 0;
    std::string message;
    for (auto _ : state) {
        state.PauseTiming();
        session.restore();
        session.host.messages.clear();
        const std::int64_t base = support::liveHeapBytes();
        support::restartHeapPeak();
        state.ResumeTiming();
        const Clock::time_point start = Clock::now();
        session.host.execute(kSmartResym);
        total += secondsSince(start);
        state.PauseTiming();
        message = session.host.messages.empty() ? "" : session.host.messages.back();
        const double over =
            double(support::peakHeapBytes() - base) - double(listBytes(touchedIn(message)));
        extra = std::max(extra, over);
        state.ResumeTiming();
    }
    const double vertices = double(mesh.points.size());
    const double seconds = total / double(state.iterations());
    state.counters["vertices/s"] = vertices / seconds;
    state.counters["extra_B/vertex"] = extra / vertices;
    state.counters["scan_s"] = scan.seconds;
    state.counters["scan_ratio"] = scan.seconds / seconds;
    state.SetLabel(message + (scan.estimated ? " (scan estimated)" : ""));
    gRows.push_back(Row{"resym " + mesh.name, seconds, vertices / seconds, extra / vertices, scan,
                        message.substr(message.find('-') + 2)});
}

// ---- Live matching's fresh search --------------------------------------------

// `count` vertices of the +x half nearest to a point of the sphere: the patch
// a user drags. Sources are in mesh order, as a host reports a selection.
std::vector<HostVertex*> dragPatch(const HostObject& mesh, int count) {
    std::vector<std::pair<double, int>> byDistance;
    Point centre{0, 0, 0};
    for (int i = 0; i < mesh.vertexCount; ++i) {
        const HostVertex& v = *mesh.vertices[i];
        if (v.x > centre.x) centre = Point{v.x, v.y, v.z};
    }
    centre.x *= 0.7f;  // off the pole, so the patch is not centred on the axis
    for (int i = 0; i < mesh.vertexCount; ++i) {
        const HostVertex& v = *mesh.vertices[i];
        if (v.x <= 0) continue;
        const double dx = v.x - centre.x, dy = v.y - centre.y, dz = v.z - centre.z;
        byDistance.emplace_back(dx * dx + dy * dy + dz * dz, i);
    }
    count = std::min<int>(count, int(byDistance.size()));
    std::partial_sort(byDistance.begin(), byDistance.begin() + count, byDistance.end());
    std::vector<int> indices;
    for (int k = 0; k < count; ++k) indices.push_back(byDistance[size_t(k)].second);
    std::sort(indices.begin(), indices.end());
    std::vector<HostVertex*> patch;
    for (int i : indices) patch.push_back(mesh.vertices[i]);
    return patch;
}

ScanTime liveScan(Session& session, const std::vector<HostVertex*>& sources) {
    if (!scansWanted()) return ScanTime{0, true};
    auto scanner = session.scanner();
    auto run = [&](size_t count) {
        std::vector<HostVertex*> items(sources.begin(), sources.begin() + long(count));
        items.push_back(sources.back());
        VertexList moved{items.data(), std::int32_t(items.size())};
        scanner->pairs.empty();
        session.restore();
        const Clock::time_point start = Clock::now();
        scanner->matchMirrorPairs(&moved);
        return secondsSince(start);
    };
    const size_t sampled = std::min<size_t>(sources.size() - 1, 100);
    ScanTime predicted{run(sampled) / double(sampled) * double(sources.size() - 1), true};
    if (predicted.seconds > kScanBudgetSeconds) return predicted;
    ScanTime measured{run(sources.size() - 1), false};
    session.restore();
    return measured;
}

void benchLive(benchmark::State& state, const Mesh& mesh, int movedCount) {
    Session session(mesh);
    session.host.execute(kSwitch);
    const std::vector<HostVertex*> patch = dragPatch(*session.mesh, movedCount + 1);
    std::vector<HostVertex*> forward(patch.begin(), patch.end() - 1);
    std::vector<HostVertex*> backward(forward.rbegin(), forward.rend());
    const ScanTime scan = liveScan(session, patch);
    // A first drag grows the plug-in's pair lists, as any earlier drag would.
    session.host.reportMoved(forward, patch.back());
    double total = 0;
    double extra = 0;
    bool flip = false;
    for (auto _ : state) {
        state.PauseTiming();
        session.restore();
        flip = !flip;  // the other order: the held pairs do not fit, so it searches afresh
        const std::int64_t base = support::liveHeapBytes();
        support::restartHeapPeak();
        state.ResumeTiming();
        const Clock::time_point start = Clock::now();
        session.host.reportMoved(flip ? backward : forward, patch.back());
        total += secondsSince(start);
        state.PauseTiming();
        extra = std::max(extra, double(support::peakHeapBytes() - base));
        state.ResumeTiming();
    }
    const double vertices = double(mesh.points.size());
    const double seconds = total / double(state.iterations());
    state.counters["vertices/s"] = double(movedCount) / seconds;
    state.counters["extra_B/vertex"] = extra / vertices;
    state.counters["scan_s"] = scan.seconds;
    state.counters["scan_ratio"] = scan.seconds / seconds;
    if (scan.estimated) state.SetLabel("scan estimated");
    gRows.push_back(Row{"live " + std::to_string(movedCount) + " moved over " + mesh.name, seconds,
                        double(movedCount) / seconds, extra / vertices, scan, ""});
}

void printTable() {
    std::printf("\n%-38s %10s %14s %10s %12s %10s  %s\n", "case", "time_ms", "vertices/s",
                "extra_B/v", "scan_s", "ratio", "result");
    for (const Row& row : gRows) {
        std::printf("%-38s %10.2f %14.3g %10.2f %11.3g%s %10.0f  %s\n", row.name.c_str(),
                    row.seconds * 1e3, row.verticesPerSecond, row.extraBytesPerVertex,
                    row.scan.seconds, row.scan.estimated ? "*" : " ",
                    row.scan.seconds / row.seconds, row.note.c_str());
    }
    std::printf(
        "vertices/s: resym, mesh vertices per second; live, moved vertices paired per second\n"
        "scan_s marked * : estimated from a sample, the full scan would take over %.0f s\n",
        kScanBudgetSeconds);
}

}  // namespace

int main(int argc, char** argv) {
    static std::vector<Mesh> meshes;
    meshes.reserve(16);
    for (int vertices : {10000, 100000, 1000000}) meshes.push_back(sphere(vertices, true, 7));
    meshes.push_back(sphere(1000000, true, 7, true));
    meshes.push_back(sphere(1000000, false, 11));
    // TALVEX_MESHES, else the shared meshes beside the checkout, else the
    // checkout's own test meshes.
    const char* folder = std::getenv("TALVEX_MESHES");
    const std::string checkout = TALVEX_SOURCE_DIR;
    std::string dir = folder != nullptr ? folder : checkout + "/../shared/meshes";
    if (folder == nullptr && !std::ifstream(dir + "/suzanne_L0.obj"))
        dir = checkout + "/tests/data/meshes";
    for (int level = 0; level <= 4; ++level) {
        const std::string name = "suzanne_L" + std::to_string(level);
        Mesh mesh = loadObj(dir + "/" + name + ".obj", name);
        if (mesh.points.empty()) {
            std::fprintf(stderr, "skipping %s: not found in %s\n", name.c_str(), dir.c_str());
            continue;
        }
        meshes.push_back(std::move(mesh));
    }
    for (const Mesh& mesh : meshes) {
        const int iterations = mesh.points.size() >= 1000000 ? 3 : 10;
        benchmark::RegisterBenchmark(("resym/" + mesh.name).c_str(),
                                     [&mesh](benchmark::State& s) { benchResym(s, mesh); })
            ->Iterations(iterations)
            ->Unit(benchmark::kMillisecond);
    }
    for (const Mesh* mesh : {&meshes[1], &meshes[2]}) {
        for (int moved : {1000, 10000}) {
            benchmark::RegisterBenchmark(
                ("live/" + std::to_string(moved) + "/" + mesh->name).c_str(),
                [mesh, moved](benchmark::State& s) { benchLive(s, *mesh, moved); })
                ->Iterations(10)
                ->Unit(benchmark::kMillisecond);
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    printTable();
    benchmark::Shutdown();
    return 0;
}
