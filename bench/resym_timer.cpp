// Times the partner searches as a modeller meets them: the plug-in library
// (Talvex.so natively, the real Talvex.dll in the win32 build, run under Wine)
// loaded into the substitute host through its two exports, the tolerance set
// through its settings file, "Talvex Smart Resym" run on a whole mesh, and two
// drags of K vertices (a patch around one point, and vertices spread evenly
// over the whole half, whose images span the other), each reported twice:
// once with a fresh list (the fresh search) and once with the same list again
// (the held pairs). Smart Resym's time includes the host's undo copy (its
// registerEditedVertices), which users wait for as well; it is also printed
// on its own as host_seconds. Each figure is printed
// beside the plain scan's estimate from a sample of starters or sources, timed
// in this process with the same build. One line per figure, "RESULT key=value
// ...", for bench/compare.sh to put side by side.
//
//   talvex_timer (--grid N | --obj FILE) [--name NAME] [--plane x|y|z]
//                [--tolerance T] [--repeats R] [--live K] [--no-scan] [--no-resym]
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "bench_host.h"
#include "hostsim/gl_context.h"
#include "hostsim/sim_host.h"
#include "noisy_grid.h"
#include "support/command_indices.h"
#include "support/counting_allocator.h"
#include "support/seeded_random.h"
#include "symmetry/pair_scan.h"
#include "symmetry/plane_frame.h"

// Natively the plug-in library resolves operator new to this program's
// (tests/support's counting allocator), so its peak heap is counted; the DLL
// carries its own runtime, so there only the host's side would be seen and no
// figure is printed (TALVEX_TIMER_COUNTS_PLUGIN_HEAP is 0).

namespace {

using hostsim::Point;
using Clock = std::chrono::steady_clock;

using symtest::kSmartResym;
using symtest::kSwitch;
volatile long gSink = 0;  // keeps the sampled scans from being optimised away

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// This thread's processor time: on a shared machine the wall time of one run
// grows with the load, this much less (the plug-in runs on the caller's
// thread). Coarse under Wine (the scheduler's tick), so it is summed over
// the repeats.
double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

struct Options {
    long gridVertices = 0;
    std::string obj;
    std::string name;
    char plane = 'x';
    std::string tolerance = "0.05";
    int repeats = 5;
    int live = 0;
    bool scan = true;   // --no-scan leaves the estimates out (for profiling)
    bool resym = true;  // --no-resym times the drag only (for profiling)
};

// The benchmarks' noisy grid (noisy_grid.h), in the floats the host holds.
std::vector<Point> noisyGrid(long vertices) {
    const bench::GridSize size = bench::gridSizeFor(double(vertices));
    std::vector<Point> points;
    points.reserve(std::size_t(size.nx * size.ny));
    SeededRandom random{1};
    bench::noisyGrid(size, 0.0, random, [&](double x, double y, double z) {
        points.push_back(Point{float(x), float(y), float(z)});
    });
    return points;
}

double gHostSeconds = 0;  // time spent in the host's registerEditedVertices

// The host with the plug-in loaded, its settings read from a private folder
// holding TOLERANCE_A, a plane through the origin across `axis` and the mesh
// selected and under edit.
struct Session {
    hostsim::Host host;
    HostObject* plane = nullptr;
    HostObject* mesh = nullptr;
    std::vector<Point> original;

    bool open(const Options& options, const std::vector<Point>& points, std::string& error) {
        if (!host.loadPlugin(TALVEX_PLUGIN_FILE, error)) return false;
        bench::keepHostServicesUncounted(host, &gHostSeconds);
        const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                             ("talvex_timer_" + std::to_string(std::rand()));
        std::filesystem::create_directories(folder / "Plugins" / "Startup Plugins");
        std::ofstream(folder / "Plugins" / "Startup Plugins" / "Talvex.ini")
            << "[CONFIG]\nTOLERANCE_A=" << options.tolerance << "\n";
        std::filesystem::current_path(folder);
        {
            // The plug-in reads its settings at the first paint with a context.
            auto gl = hostsim::OffscreenGl::create(64, 64, error);
            if (gl == nullptr) return false;
            host.draw(0);
        }
        plane = bench::createAxisPlane(host, options.plane);
        mesh = host.scene.addObject(options.name, points);
        host.scene.underEdit.assign({mesh});
        host.scene.selectObjects({mesh});
        original = points;
        restore();
        return true;
    }

    void restore() {
        bench::restorePoints(host, *mesh, original);
        host.calls.clear();
        host.messages.clear();
    }

    PlaneFrame frame() const {
        PlaneFrame f;
        frameOfObject(*plane, f);
        return f;
    }
};

struct Figure {
    double best = 1e300;
    double median = 0;
};

Figure summarise(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    Figure f;
    if (!times.empty()) {
        f.best = times.front();
        f.median = times[times.size() / 2];
    }
    return f;
}

// The scan's time for Smart Resym, from 64 starters spread over the mesh:
// each costs one pass over the object.
double resymScanEstimate(const Session& session, float tolerance) {
    return bench::resymScanSeconds(session.frame(), *session.mesh, tolerance);
}

// The scan's time for a fresh live search of `sources`, from 32 of them:
// each scans the object until its first acceptable candidate.
double liveScanEstimate(const Session& session, const std::vector<HostVertex*>& sources,
                        float tolerance) {
    const PlaneFrame frame = session.frame();
    PointerList none;
    long found = 0;
    const std::size_t stride = std::max<std::size_t>(1, sources.size() / 32);
    const Clock::time_point start = Clock::now();
    std::size_t sampled = 0;
    for (std::size_t k = 0; k < sources.size(); k += stride, ++sampled) {
        double exact = 0.0;
        const MirrorProbe probe = probeVertex(frame, *sources[k], exact);
        found += findFirstPartner(frame, *session.mesh, probe, tolerance, none) != nullptr;
    }
    gSink = found;
    return secondsSince(start) / double(std::max<std::size_t>(1, sampled)) * double(sources.size());
}

void printResult(const Options& o, const Session& s, const char* what, const Figure& f, double scan,
                 const std::string& extra) {
    std::printf("RESULT mesh=%s vertices=%d case=%s seconds=%.6f median=%.6f scan=%.6g%s\n",
                o.name.c_str(), s.mesh->vertexCount, what, f.best, f.median, scan, extra.c_str());
    std::fflush(stdout);
}

std::string heapText(double bytes, int vertices) {
    if (!TALVEX_TIMER_COUNTS_PLUGIN_HEAP) return "";
    char text[64];
    std::snprintf(text, sizeof text, " extra_bytes_per_vertex=%.2f", bytes / double(vertices));
    return text;
}

void timeResym(const Options& options, Session& session, float tolerance) {
    std::vector<double> times;
    std::vector<double> hostTimes;
    double peak = 0;
    double cpu = 0;
    std::string message;
    // Small meshes get more repeats, so that the best of them is not a
    // moment the shared machine happened to be busy.
    const int repeats =
        std::max(options.repeats, std::min(200, 2000000 / session.mesh->vertexCount));
    for (int r = 0; r < repeats; ++r) {
        session.restore();
        const std::int64_t base = support::liveHeapBytes();
        support::restartHeapPeak();
        gHostSeconds = 0;
        const double cpuStart = threadSeconds();
        const Clock::time_point start = Clock::now();
        session.host.execute(kSmartResym);
        times.push_back(secondsSince(start));
        cpu += threadSeconds() - cpuStart;
        hostTimes.push_back(gHostSeconds);
        peak = std::max(peak, double(support::peakHeapBytes() - base));
        message = session.host.messages.empty() ? "" : session.host.messages.back();
    }
    // The positions the last run left, as one hash: a change that must keep
    // every result bit for bit shows here on the benchmark's own mesh.
    std::uint64_t hash = 14695981039346656037ull;
    for (int i = 0; i < session.mesh->vertexCount; ++i) {
        const HostVertex& v = *session.mesh->vertices[i];
        for (const float c : {v.x, v.y, v.z}) {
            std::uint32_t bits = 0;
            std::memcpy(&bits, &c, sizeof bits);
            hash = (hash ^ bits) * 1099511628211ull;
        }
    }
    char hashText[40];
    std::snprintf(hashText, sizeof hashText, " positions=%016llx",
                  static_cast<unsigned long long>(hash));
    int touched = 0, moved = 0;
    std::sscanf(message.c_str(), "Talvex: Smart Resym - %d vertices touched, %d moved", &touched,
                &moved);
    // The resym list (a pointer per paired vertex, grown by doubling) is
    // what the scan needs as well; only the index counts as extra.
    std::size_t capacity = 2;
    while (capacity <= std::size_t(touched)) capacity *= 2;
    peak -= double(capacity + capacity / 2) * sizeof(void*);
    session.restore();
    const double scan = options.scan ? resymScanEstimate(session, tolerance) : 0.0;
    // The host's undo copy, inside the command's time: the figure of the
    // fastest run, to read beside it.
    const std::size_t fastest =
        std::size_t(std::min_element(times.begin(), times.end()) - times.begin());
    char host[80];
    std::snprintf(host, sizeof host, " host_seconds=%.6f cpu_seconds=%.6f", hostTimes[fastest],
                  cpu / double(repeats));
    printResult(options, session, "resym", summarise(times), scan,
                host + std::string(hashText) + " touched=" + std::to_string(touched) +
                    " moved=" + std::to_string(moved) + heapText(peak, session.mesh->vertexCount));
}

// `count` vertices on the +side of the plane nearest to a point half way out:
// the patch a user drags, in mesh order, and one more for the search point.
std::vector<HostVertex*> dragPatch(const HostObject& mesh, const PlaneFrame& frame, int count) {
    std::vector<std::pair<double, int>> byDistance;
    double far = 0;
    for (int i = 0; i < mesh.vertexCount; ++i) {
        const PlaneProjection p = projectOntoPlane(frame, *mesh.vertices[i]);
        if (p.side < 0) continue;
        far = std::max(far, p.distance);
    }
    const HostVertex* centre = nullptr;
    double closest = 1e300;
    for (int i = 0; i < mesh.vertexCount; ++i) {
        const PlaneProjection p = projectOntoPlane(frame, *mesh.vertices[i]);
        if (p.side > 0 && std::fabs(p.distance - far / 2) < closest) {
            closest = std::fabs(p.distance - far / 2);
            centre = mesh.vertices[i];
        }
    }
    for (int i = 0; centre != nullptr && i < mesh.vertexCount; ++i) {
        const HostVertex& v = *mesh.vertices[i];
        if (projectOntoPlane(frame, v).side < 0) continue;
        const double dx = v.x - centre->x, dy = v.y - centre->y, dz = v.z - centre->z;
        byDistance.emplace_back(dx * dx + dy * dy + dz * dz, i);
    }
    count = std::min<int>(count + 1, int(byDistance.size()));
    std::partial_sort(byDistance.begin(), byDistance.begin() + count, byDistance.end());
    std::vector<int> indices;
    for (int k = 0; k < count; ++k) indices.push_back(byDistance[std::size_t(k)].second);
    std::sort(indices.begin(), indices.end());
    std::vector<HostVertex*> patch;
    for (int i : indices) patch.push_back(mesh.vertices[i]);
    return patch;
}

// `count` vertices spread evenly over the whole +side of the plane, in mesh
// order, and one more for the search point: a drag of a selection that
// reaches everywhere, so the sources' images span the other half.
std::vector<HostVertex*> dragSpread(const HostObject& mesh, const PlaneFrame& frame, int count) {
    std::vector<HostVertex*> plus;
    for (int i = 0; i < mesh.vertexCount; ++i) {
        if (projectOntoPlane(frame, *mesh.vertices[i]).side > 0) plus.push_back(mesh.vertices[i]);
    }
    const std::size_t wanted = std::min(std::size_t(count) + 1, plus.size());
    std::vector<HostVertex*> spread;
    for (std::size_t k = 0; k < wanted; ++k) spread.push_back(plus[k * plus.size() / wanted]);
    return spread;
}

// Times one drag of `patch` (its last vertex the search point): the fresh
// search (case NAME-fresh) and the held pairs (NAME-held).
void timeDrag(const Options& options, Session& session, float tolerance,
              const std::vector<HostVertex*>& patch, const std::string& name) {
    if (patch.size() < 2) return;
    const std::vector<HostVertex*> forward(patch.begin(), patch.end() - 1);
    const std::vector<HostVertex*> backward(forward.rbegin(), forward.rend());
    // A first drag grows the plug-in's pair lists, as any earlier drag would.
    session.restore();
    session.host.reportMoved(forward, patch.back());
    std::vector<double> fresh, held;
    double peak = 0;
    // A drag is short next to the load of a shared machine: more repeats.
    for (int r = 0; r < 3 * options.repeats; ++r) {
        session.restore();
        // The other order: the held pairs do not fit, so it searches afresh.
        const std::vector<HostVertex*>& list = r % 2 == 0 ? backward : forward;
        const std::int64_t base = support::liveHeapBytes();
        support::restartHeapPeak();
        Clock::time_point start = Clock::now();
        session.host.reportMoved(list, patch.back());
        fresh.push_back(secondsSince(start));
        peak = std::max(peak, double(support::peakHeapBytes() - base));
        // The same list again: the pairs fit and are only mirrored.
        start = Clock::now();
        session.host.reportMoved(list, patch.back());
        held.push_back(secondsSince(start));
    }
    session.restore();
    const double scan = options.scan ? liveScanEstimate(session, forward, tolerance) : 0.0;
    const std::string moved = " moved=" + std::to_string(forward.size());
    printResult(options, session, (name + "-fresh").c_str(), summarise(fresh), scan,
                moved + heapText(peak, session.mesh->vertexCount));
    printResult(options, session, (name + "-held").c_str(), summarise(held), 0.0, moved);
}

// Two drags: a patch around one point, and vertices spread over the half.
void timeLive(const Options& options, Session& session, float tolerance) {
    session.host.execute(kSwitch);
    const PlaneFrame frame = session.frame();
    timeDrag(options, session, tolerance, dragPatch(*session.mesh, frame, options.live), "live");
    timeDrag(options, session, tolerance, dragSpread(*session.mesh, frame, options.live), "spread");
}

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (a == "--no-scan" || a == "--no-resym") {
            (a == "--no-scan" ? o.scan : o.resym) = false;
            continue;
        }
        if (value == nullptr) return false;
        if (a == "--grid")
            o.gridVertices = std::atol(value);
        else if (a == "--obj")
            o.obj = value;
        else if (a == "--name")
            o.name = value;
        else if (a == "--plane")
            o.plane = value[0];
        else if (a == "--tolerance")
            o.tolerance = value;
        else if (a == "--repeats")
            o.repeats = std::max(1, std::atoi(value));
        else if (a == "--live")
            o.live = std::atoi(value);
        else
            return false;
        ++i;
    }
    return (o.gridVertices > 0) != !o.obj.empty();
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: talvex_timer (--grid N | --obj FILE) [--name NAME] [--plane x|y|z]\n"
                     "                    [--tolerance T] [--repeats R] [--live K] [--no-scan] "
                     "[--no-resym]\n");
        return 2;
    }
    const std::vector<Point> points =
        options.obj.empty() ? noisyGrid(options.gridVertices) : bench::readObjPoints(options.obj);
    if (points.empty()) {
        std::fprintf(stderr, "talvex_timer: no vertices in %s\n", options.obj.c_str());
        return 1;
    }
    if (options.name.empty()) options.name = "mesh";
    Session session;
    std::string error;
    if (!session.open(options, points, error)) {
        std::fprintf(stderr, "talvex_timer: %s\n", error.c_str());
        return 1;
    }
    const float tolerance = std::strtof(options.tolerance.c_str(), nullptr);
    if (options.resym) timeResym(options, session, tolerance);
    if (options.live > 0) timeLive(options, session, tolerance);
    return 0;
}
