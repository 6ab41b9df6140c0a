// Soak run of the plug-in through the host: a drag of a million verticesMoved
// notifications that keep their pairs, then a thousand Create / Reposition /
// Smart Resym cycles. Every allocation of the program, the statically linked
// plug-in's included, goes through support/counting_allocator, so the live
// byte count before and after each phase shows whether anything grew. The
// host side keeps its own allocations steady (one reused plane object, its
// records cleared each cycle). Prints the figures; fails on any growth.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "hostsim/sim_host.h"
#include "plugin/plugin_entry.h"
#include "plugin/plugin_exports.h"
#include "support/counting_allocator.h"
#include "symmetry/symmetry_plugin.h"

namespace {

constexpr long kDragNotifications = 1000000;
constexpr int kCycles = 1000;
constexpr int kSources = 8;  // dragged vertices per notification, each with a partner

int gFailures = 0;

void expect(bool ok, const char* what) {
    if (ok) return;
    std::printf("FAILED: %s\n", what);
    ++gFailures;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A mirrored grid of 2 * kSources vertices across x = 0, plus the point the
// host reports last as the search point.
std::vector<hostsim::Point> mirroredGrid() {
    std::vector<hostsim::Point> points;
    for (int i = 0; i < kSources; ++i) {
        const float y = static_cast<float>(i % 4) * 0.5f;
        const float z = static_cast<float>(i / 4) * 0.5f;
        points.push_back({1.0f + 0.125f * static_cast<float>(i), y, z});
        points.push_back({-1.0f - 0.125f * static_cast<float>(i), y, z});
    }
    points.push_back({3.0f, 3.0f, 3.0f});
    return points;
}

// Clears what the host records of a session; capacities stay, so this frees
// only the message texts.
void clearHostRecords(hostsim::Host& host) {
    host.calls.clear();
    host.messages.clear();
    host.errors.clear();
    host.undoSteps.clear();
}

struct Figures {
    std::int64_t before;
    std::int64_t after;
    std::int64_t peak;
    std::int64_t allocations;
    double seconds;
};

void report(const char* phase, const Figures& f, long operations) {
    std::printf(
        "%-26s %9ld operations  live bytes before %7lld  after %7lld  peak %7lld  allocations "
        "%8lld  %.2f s\n",
        phase, operations, static_cast<long long>(f.before), static_cast<long long>(f.after),
        static_cast<long long>(f.peak), static_cast<long long>(f.allocations), f.seconds);
}

Figures dragSession(hostsim::Host& host, SymmetryPlugin& plugin, HostObject* mesh) {
    std::vector<HostVertex*> movedItems;
    for (int i = 0; i < kSources; ++i) movedItems.push_back(mesh->vertices[2 * i]);
    movedItems.push_back(mesh->vertices[2 * kSources]);
    VertexList moved{movedItems.data(), static_cast<std::int32_t>(movedItems.size())};

    // The first notification finds the pairs and sizes the pair lists: their
    // high-water mark for the whole drag.
    host.verticesMoved(&moved);
    expect(plugin.pairs.count == 2 * kSources, "the first notification pairs every dragged vertex");
    const int capacity = plugin.pairs.capacity;
    auto holdAcrossSelectionChange = [&] {
        host.holdPairsA();
        host.selectionChanged();
        host.hostEvent('D');
        clearHostRecords(host);
    };
    holdAcrossSelectionChange();

    Figures f{support::liveHeapBytes(), 0, 0, support::heapAllocations(), 0.0};
    support::restartHeapPeak();
    const auto start = std::chrono::steady_clock::now();
    for (long n = 0; n < kDragNotifications; ++n) {
        // The host moves the dragged vertices a little, alternately out and back.
        const float step = (n & 1) == 0 ? 0.001f : -0.001f;
        for (int i = 0; i < kSources; ++i) movedItems[static_cast<std::size_t>(i)]->y += step;
        host.verticesMoved(&moved);
        // Now and then the host holds the pairs across a selection change.
        if ((n & 0xFFFF) == 0) holdAcrossSelectionChange();
    }
    f.seconds = secondsSince(start);
    f.after = support::liveHeapBytes();
    f.peak = support::peakHeapBytes();
    f.allocations = support::heapAllocations() - f.allocations;
    expect(plugin.pairs.count == 2 * kSources, "the pairs are still held at the end of the drag");
    expect(plugin.pairs.capacity == capacity, "the pair lists never grew during the drag");
    for (int i = 0; i < kSources; ++i) {
        const HostVertex& partner = *mesh->vertices[2 * i + 1];
        const HostVertex& source = *mesh->vertices[2 * i];
        expect(partner.x == -source.x && partner.y == source.y && partner.z == source.z,
               "each partner ends on its source's mirror image");
    }
    return f;
}

// A cube about the origin, each corner a little off: whichever axis Reposition
// lays the plane across, every corner has a partner for Smart Resym.
std::vector<hostsim::Point> nearlySymmetricCube() {
    std::vector<hostsim::Point> corners;
    for (int i = 0; i < 8; ++i) {
        const float wobble = 0.01f * static_cast<float>(i % 3);
        corners.push_back({(i & 1) != 0 ? 1.0f + wobble : -1.0f,
                           (i & 2) != 0 ? 1.0f : -1.0f - wobble, (i & 4) != 0 ? 1.0f : -1.0f});
    }
    return corners;
}

Figures commandCycles(hostsim::Host& host, HostObject* mesh, HostObject* reusedPlane) {
    // Command 107 answered with the same plane object every time, laid out
    // afresh from the primitive settings as the host's builder would.
    host.buildPlane = [reusedPlane](hostsim::Scene& scene) {
        const float a = static_cast<float>(0.5 * double(scene.primitive.firstSize));
        const float s = scene.primitive.secondSize;
        const hostsim::Point corners[4] = {
            {0.0f, 0.0f, -a}, {0.0f, 0.0f, a}, {0.0f, s, -a}, {0.0f, s, a}};
        for (int i = 0; i < 4; ++i) {
            reusedPlane->vertices[i]->x = corners[i].x;
            reusedPlane->vertices[i]->y = corners[i].y;
            reusedPlane->vertices[i]->z = corners[i].z;
        }
        reusedPlane->position = Vector3(0.0f, 0.0f, 0.0f);
        scene.selected.assign({reusedPlane});
    };
    auto cycle = [&] {
        host.scene.selected.assign({mesh});
        host.execute(kCommandCreate);
        host.scene.selected.assign({mesh});
        host.execute(kCommandReposition);
        host.execute(kCommandSmartResym);
        const bool allRan = host.errors.empty() && host.messages.size() == 3 &&
                            host.messages[0] == "Talvex created based on selected object" &&
                            host.messages[2].find(" moved") != std::string::npos;
        if (!allRan) {
            for (const std::string& m : host.messages) std::printf("  message: %s\n", m.c_str());
            expect(false, "every cycle creates, repositions and resyms");
        }
        clearHostRecords(host);
    };
    cycle();  // warm-up: the host's record vectors reach their working size

    Figures f{support::liveHeapBytes(), 0, 0, support::heapAllocations(), 0.0};
    support::restartHeapPeak();
    const auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < kCycles; ++n) cycle();
    f.seconds = secondsSince(start);
    f.after = support::liveHeapBytes();
    f.peak = support::peakHeapBytes();
    f.allocations = support::heapAllocations() - f.allocations;
    return f;
}

}  // namespace

int main() {
    hostsim::Host host;
    std::string error;
    if (!host.attachPlugin(getPluginVersion, initializePlugin, error)) {
        std::printf("FAILED: %s\n", error.c_str());
        return 1;
    }
    auto& plugin = *static_cast<SymmetryPlugin*>(installedPlugin());
    // The host's records get their working capacity up front, so that only
    // the plug-in could make the live byte count move.
    host.calls.reserve(64);
    host.messages.reserve(64);
    host.errors.reserve(64);
    host.undoSteps.reserve(64);

    HostObject* mesh = host.scene.addObject("mesh", mirroredGrid());
    HostObject* reusedPlane =
        host.scene.addObject("plane", {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}});
    host.scene.underEdit.assign({mesh});
    host.scene.selected.assign({});
    host.scene.primitive.firstSize = 4.0f;
    host.scene.primitive.secondSize = 4.0f;
    host.buildPlane = [reusedPlane](hostsim::Scene& scene) {
        scene.selected.assign({reusedPlane});
    };
    // The plane at x = 0 through the reused object, then switched on.
    host.execute(kCommandCreate);
    const hostsim::Point corners[4] = {{0, -2, -2}, {0, -2, 2}, {0, 2, -2}, {0, 2, 2}};
    for (int i = 0; i < 4; ++i) {
        reusedPlane->vertices[i]->x = corners[i].x;
        reusedPlane->vertices[i]->y = corners[i].y;
        reusedPlane->vertices[i]->z = corners[i].z;
    }
    reusedPlane->position = Vector3(0.0f, 0.0f, 0.0f);
    host.scene.selected.assign({mesh});
    host.execute(kCommandSwitch);
    expect(plugin.planeObject == reusedPlane && plugin.active,
           "the plane is created and switched on");
    clearHostRecords(host);

    const Figures drag = dragSession(host, plugin, mesh);
    report("drag (verticesMoved)", drag, kDragNotifications);
    expect(drag.after == drag.before, "no growth over the drag session");

    HostObject* cube = host.scene.addObject("cube", nearlySymmetricCube());
    const Figures cycles = commandCycles(host, cube, reusedPlane);
    report("Create/Reposition/Resym", cycles, kCycles);
    expect(cycles.after == cycles.before, "no growth over the command cycles");
    std::printf("pair list capacity %d entries, pair objects %d\n", plugin.pairs.capacity,
                plugin.pairObjects.capacity);

    if (gFailures != 0) return 1;
    std::printf("soak passed\n");
    return 0;
}
