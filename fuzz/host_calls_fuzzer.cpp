// Drives the plug-in with random scenes and random sequences of host calls,
// through the same entries a host uses, and checks after every call that the
// plug-in has not harmed the host's data: no finite coordinate turned
// non-finite, no write to a vertex outside the scene, whole pairs only, and
// list storage bounded by the scene.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "host/plugin_tables.h"
#include "hostsim/sim_host.h"
#include "plugin/plugin_entry.h"
#include "symmetry/symmetry_plugin.h"

extern "C" std::int32_t getPluginVersion();
extern "C" void initializePlugin(HostPluginRecord* record);

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

float pickCoordinate(FuzzedDataProvider& in) {
    static const float kInteresting[] = {0.0f,  -0.0f, 1.0f,   -1.0f,  0.5f,    -0.5f,  0.01f,  0.02f,
                                         0.1f,  -0.1f, 1e-7f,  1e-30f, 1e30f,   -1e30f, 3e38f,  -3e38f,
                                         kInf,  -kInf, NAN,    10000.5f, -10001.0f, 2.0f, -1.2f, 1.1f};
    if (in.ConsumeBool()) return in.PickValueInArray(kInteresting);
    return in.ConsumeFloatingPointInRange<float>(-8.0f, 8.0f);
}

struct Snapshot {
    HostVertex* vertex;
    float x, y, z;
    bool inScene;
};

bool finite(float v) { return std::isfinite(v); }

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

class Session {
public:
    explicit Session(FuzzedDataProvider& input) : in(input) {
        std::string error;
        if (!host.attachPlugin(getPluginVersion, initializePlugin, error)) fail("plug-in refused to attach");
        plugin = static_cast<SymmetryPlugin*>(installedPlugin());
        host.onRunCommand = [this](int id) { buildPrimitive(id); };
        buildScene();
    }

    void run() {
        int steps = 0;
        while (in.remaining_bytes() > 0 && steps++ < 200) {
            const std::vector<Snapshot> before = snapshot();
            step();
            check(before);
        }
    }

private:
    void buildScene() {
        const int objects = in.ConsumeIntegralInRange(0, 4);
        for (int o = 0; o < objects; ++o) {
            std::vector<hostsim::Point> points(in.ConsumeIntegralInRange(0, 12));
            for (auto& p : points) p = {pickCoordinate(in), pickCoordinate(in), pickCoordinate(in)};
            HostObject* object = host.scene.addObject("o" + std::to_string(o), points);
            if (o > 0 && in.ConsumeBool() && object->vertexCount > 0) shareVertex(object);
        }
        host.scene.setEditObjects(host.scene.objects());
        host.scene.selectObjects(pickObjects());
    }

    // Points one vertex slot of `object` at a vertex of the object before it,
    // as hosts do for welded or instanced geometry.
    void shareVertex(HostObject* object) {
        const std::vector<HostObject*> all = host.scene.objects();
        HostObject* other = all[all.size() - 2];
        if (other->vertexCount == 0) return;
        sharedSlots.push_back(std::vector<HostVertex*>(object->vertices, object->vertices + object->vertexCount));
        sharedSlots.back()[0] = other->vertices[in.ConsumeIntegralInRange(0, other->vertexCount - 1)];
        object->vertices = sharedSlots.back().data();
    }

    // Command 107 as a host might answer it: a proper plane, a plane with too
    // few vertices, or nothing at all.
    void buildPrimitive(int id) {
        if (id != 107) return;
        switch (in.ConsumeIntegralInRange(0, 3)) {
            case 0:
                host.scene.buildPlanePrimitive();
                break;
            case 1: {
                std::vector<hostsim::Point> points(in.ConsumeIntegralInRange(0, 3));
                for (auto& p : points) p = {pickCoordinate(in), pickCoordinate(in), pickCoordinate(in)};
                host.scene.selectObjects({host.scene.addObject("short", points)});
                break;
            }
            case 2:
                host.scene.selectObjects({});
                break;
            default: {
                HostObject* plane = host.scene.buildPlanePrimitive();
                host.scene.primitive.secondSize = pickCoordinate(in);
                (void)plane;
                break;
            }
        }
    }

    std::vector<HostObject*> pickObjects() {
        std::vector<HostObject*> picked;
        for (HostObject* o : host.scene.objects()) {
            if (in.ConsumeBool()) picked.push_back(o);
        }
        if (!picked.empty() && in.ConsumeBool()) picked.push_back(picked.front());  // listed twice
        return picked;
    }

    std::vector<HostVertex*> liveVertices() {
        std::vector<HostVertex*> vertices;
        for (HostObject* o : host.scene.objects()) {
            for (int i = 0; i < o->vertexCount; ++i) vertices.push_back(o->vertices[i]);
        }
        return vertices;
    }

    HostVertex* pickVertex() {
        const std::vector<HostVertex*> vertices = liveVertices();
        if (vertices.empty()) return nullptr;
        return vertices[in.ConsumeIntegralInRange<std::size_t>(0, vertices.size() - 1)];
    }

    void drag() {
        std::vector<HostVertex*> moved;
        const int count = in.ConsumeIntegralInRange(0, 6);
        for (int i = 0; i < count; ++i) {
            if (HostVertex* v = pickVertex()) moved.push_back(v);
        }
        const int repeats = in.ConsumeIntegralInRange(1, 4);
        for (int r = 0; r < repeats; ++r) {
            for (HostVertex* v : moved) {
                if (in.ConsumeBool()) v->x = pickCoordinate(in);
            }
            movedList.items = moved.empty() ? nullptr : moved.data();
            movedList.count = static_cast<std::int32_t>(moved.size());
            host.verticesMoved(&movedList);
        }
    }

    void step() {
        static const int kHostCommands[] = {2, 9, 10, 10, 21, 107, 223, 65535, 0, -1, 11, 500};
        static const int kEvents[] = {'D', 'E', '_', 'Q', 0, -1};
        switch (in.ConsumeIntegralInRange(0, 17)) {
            case 0: host.execute(in.ConsumeIntegralInRange(-2, 10)); break;
            case 1: host.execute(in.ConsumeIntegralInRange(1, 8)); break;
            case 2: drag(); break;
            case 3: host.selectionChanged(); break;
            case 4: host.hostCommand(in.PickValueInArray(kHostCommands)); break;
            case 5: host.hostEvent(in.PickValueInArray(kEvents)); break;
            case 6: in.ConsumeBool() ? host.holdPairsA() : host.holdPairsB(); break;
            case 7: host.draw(in.ConsumeIntegralInRange(0, 1)); break;
            case 8: host.release(in.ConsumeIntegralInRange(0, 1)); break;
            case 9: host.scene.selectObjects(pickObjects()); break;
            case 10: host.scene.setEditObjects(pickObjects()); break;
            case 11: {
                std::vector<HostVertex*> selection;
                const int count = in.ConsumeIntegralInRange(0, 5);
                for (int i = 0; i < count; ++i) {
                    if (HostVertex* v = pickVertex()) selection.push_back(v);
                }
                host.scene.selectVertices(selection);
                break;
            }
            case 12: {
                const std::vector<HostObject*> all = host.scene.objects();
                if (!all.empty()) host.scene.removeObject(all[in.ConsumeIntegralInRange<std::size_t>(0, all.size() - 1)]);
                break;
            }
            case 13:
                host.manipulator = {pickCoordinate(in), pickCoordinate(in), pickCoordinate(in)};
                break;
            case 14: host.selectionMode = in.ConsumeIntegralInRange(-1, 3); break;
            case 15:
                // The host's own move tool: coordinates change without a notification.
                if (HostVertex* v = pickVertex()) v->y = pickCoordinate(in);
                break;
            case 16: {
                const PluginEventTable& e = host.events();
                e.reserved5(in.ConsumeIntegral<HostWord>(), in.ConsumeIntegral<HostWord>());
                e.reserved8(in.ConsumeIntegral<HostWord>(), 0, 0);
                e.reserved20(in.ConsumeIntegral<HostWord>());
                host.commandName(in.ConsumeIntegral<int>());
                host.commandKind(in.ConsumeIntegral<int>());
                break;
            }
            default:
                host.scene.primitive.firstSize = pickCoordinate(in);
                host.scene.primitive.secondSize = pickCoordinate(in);
                break;
        }
    }

    std::vector<Snapshot> snapshot() {
        std::vector<Snapshot> all;
        const std::vector<HostObject*> live = host.scene.objects();
        for (HostObject* o : host.scene.everyObject()) {
            const bool inScene = std::find(live.begin(), live.end(), o) != live.end();
            for (int i = 0; i < o->vertexCount; ++i) {
                HostVertex* v = o->vertices[i];
                all.push_back({v, v->x, v->y, v->z, inScene});
            }
        }
        return all;
    }

    void check(const std::vector<Snapshot>& before) {
        const std::vector<HostVertex*> live = liveVertices();
        for (const Snapshot& s : before) {
            const bool stillInScene = std::find(live.begin(), live.end(), s.vertex) != live.end();
            const bool changed = std::memcmp(&s.x, &s.vertex->x, sizeof(float)) != 0 ||
                                 std::memcmp(&s.y, &s.vertex->y, sizeof(float)) != 0 ||
                                 std::memcmp(&s.z, &s.vertex->z, sizeof(float)) != 0;
            if (!stillInScene && changed) fail("wrote a vertex that is not in the scene");
            if ((finite(s.x) && !finite(s.vertex->x)) || (finite(s.y) && !finite(s.vertex->y)) ||
                (finite(s.z) && !finite(s.vertex->z)))
                fail("turned a finite coordinate non-finite");
        }
        if (plugin->pairs.count % 2 != 0) fail("odd pair list");
        if (plugin->pairObjects.count * 2 != plugin->pairs.count) fail("pair objects out of step");
        const int bound = 4 * (static_cast<int>(live.size()) + 8);
        if (plugin->pairs.capacity > 2 * bound) fail("pair storage grew beyond the scene");
    }

    FuzzedDataProvider& in;
    hostsim::Host host;
    SymmetryPlugin* plugin = nullptr;
    std::vector<std::vector<HostVertex*>> sharedSlots;
    VertexList movedList{nullptr, 0};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    Session session(input);
    session.run();
    return 0;
}
