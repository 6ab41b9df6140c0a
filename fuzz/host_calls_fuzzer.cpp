// Drives the plug-in with random scenes and random sequences of host calls,
// through the two exports and the entries they write, and checks after every
// call that the plug-in has not harmed the host's data: no finite coordinate
// or position turned non-finite, no write to a vertex or object outside the
// scene, whole pairs only, and pair storage bounded by the longest drag seen.
// The plug-in is linked in statically so that its code is instrumented; a
// fresh host and a fresh plug-in object serve each input.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "host/plugin_tables.h"
#include "hostsim/gl_context.h"
#include "hostsim/sim_host.h"
#include "plugin/plugin_entry.h"
#include "plugin/plugin_exports.h"
#include "symmetry/symmetry_plugin.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr int kMaxSteps = 256;

// Coordinates a hostile scene holds: non-finite, beyond the float range once
// doubled or widened, denormal, and values right at the plug-in's thresholds.
float pickCoordinate(FuzzedDataProvider& in) {
    static const float kInteresting[] = {0.0f,      -0.0f, 1.0f,   -1.0f, 0.5f,    -0.5f,  0.01f,
                                         0.02f,     0.1f,  -0.1f,  1e-7f, 1e-30f,  1e-45f, 1e30f,
                                         -1e30f,    3e38f, -3e38f, kInf,  -kInf,   kNaN,   10000.5f,
                                         -10001.0f, 2.0f,  -1.2f,  1.1f,  0.0001f, 1024.0f};
    if (in.ConsumeBool()) return in.PickValueInArray(kInteresting);
    return in.ConsumeFloatingPointInRange<float>(-8.0f, 8.0f);
}

hostsim::Point pickPoint(FuzzedDataProvider& in) {
    return {pickCoordinate(in), pickCoordinate(in), pickCoordinate(in)};
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

bool sameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof(float)) == 0;
}

// One coordinate triple the host owns, as it was before a plug-in call.
struct Snapshot {
    float* xyz;  // a vertex's x, y, z or an object's position
    float x, y, z;
};

class Session {
public:
    explicit Session(FuzzedDataProvider& input) : in(input) {
        std::string error;
        if (!host.attachPlugin(getPluginVersion, initializePlugin, error))
            fail("plug-in refused to attach");
        plugin = static_cast<SymmetryPlugin*>(installedPlugin());
        host.buildPlane = [this](hostsim::Scene&) { answerBuildPlane(); };
        buildScene();
    }

    void run() {
        for (int steps = 0; in.remaining_bytes() > 0 && steps < kMaxSteps; ++steps) step();
    }

private:
    void buildScene() {
        const int objects = in.ConsumeIntegralInRange(0, 5);
        for (int o = 0; o < objects; ++o) {
            // Mostly small objects, sometimes a long one.
            const int count = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 8)
                                               : in.ConsumeIntegralInRange(0, 200);
            std::vector<hostsim::Point> points(static_cast<std::size_t>(count));
            for (auto& p : points)
                p = in.ConsumeBool() ? pickPoint(in) : hostsim::Point{0.5f * float(o), 0.0f, 0.0f};
            HostObject* object = host.scene.addObject("o" + std::to_string(o), points);
            for (int i = 0; i < object->vertexCount; ++i)
                object->vertices[i]->flags = in.ConsumeBool() ? kVertexDoNotMove : 0u;
            if (o > 0 && in.ConsumeBool()) shareVertex(object);
        }
        host.scene.setEditObjects(pickObjects());
        host.scene.selectObjects(pickObjects());
    }

    // Points one vertex slot of `object` at a vertex of another object, as
    // hosts do for welded or instanced geometry.
    void shareVertex(HostObject* object) {
        const std::vector<HostObject*> all = host.scene.objects();
        HostObject* other = all[in.ConsumeIntegralInRange<std::size_t>(0, all.size() - 1)];
        if (other == object || other->vertexCount == 0 || object->vertexCount == 0) return;
        sharedSlots.emplace_back(object->vertices, object->vertices + object->vertexCount);
        std::vector<HostVertex*>& slots = sharedSlots.back();
        slots[in.ConsumeIntegralInRange<std::size_t>(0, slots.size() - 1)] =
            other->vertices[in.ConsumeIntegralInRange(0, other->vertexCount - 1)];
        object->vertices = slots.data();
    }

    // Command 107 as a hostile host might answer it: the proper primitive, an
    // object with too few vertices, nothing at all, a plane with random
    // corners (degenerate, tiny, huge, non-finite), or an object already in
    // the scene. Whatever it hands back is snapshotted before the plug-in
    // continues, so Create's writes to it are checked too.
    void answerBuildPlane() {
        HostObject* built = nullptr;
        switch (in.ConsumeIntegralInRange(0, 4)) {
            case 0:
                built = host.scene.buildPlanePrimitive();
                break;
            case 1: {
                std::vector<hostsim::Point> points(in.ConsumeIntegralInRange(0, 3));
                for (auto& p : points) p = pickPoint(in);
                built = host.scene.addObject("short", points);
                host.scene.selectObjects({built});
                break;
            }
            case 2:
                host.scene.selectObjects({});
                break;
            case 3: {
                std::vector<hostsim::Point> points(in.ConsumeIntegralInRange(4, 6));
                const float scale = in.ConsumeBool() ? 1e-6f : 1.0f;
                for (auto& p : points) {
                    p = in.ConsumeBool() ? pickPoint(in) : hostsim::Point{0.0f, scale, -scale};
                }
                built = host.scene.addObject("odd plane", points);
                host.scene.selectObjects({built});
                break;
            }
            default: {
                const std::vector<HostObject*> all = host.scene.objects();
                if (!all.empty())
                    host.scene.selectObjects(
                        {all[in.ConsumeIntegralInRange<std::size_t>(0, all.size() - 1)]});
                break;
            }
        }
        if (built != nullptr) remember(built, *pending);
    }

    std::vector<HostObject*> pickObjects() {
        std::vector<HostObject*> picked;
        for (HostObject* o : host.scene.objects()) {
            if (in.ConsumeBool()) picked.push_back(o);
        }
        if (!picked.empty() && in.ConsumeBool()) picked.push_back(picked.front());  // listed twice
        return picked;
    }

    std::vector<HostVertex*> liveVertices() const {
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

    // A drag as the host reports it: the vertices to pair, then the search
    // point, repeated with the host moving them between notifications.
    void drag() {
        std::vector<HostVertex*> moved;
        const int count =
            in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 8) : in.ConsumeIntegralInRange(0, 64);
        for (int i = 0; i < count; ++i) {
            if (HostVertex* v = pickVertex()) moved.push_back(v);
        }
        const int repeats = in.ConsumeIntegralInRange(1, 6);
        for (int r = 0; r < repeats; ++r) {
            for (HostVertex* v : moved) {
                if (in.ConsumeBool()) v->x = in.ConsumeBool() ? pickCoordinate(in) : v->x + 0.001f;
            }
            maxSources = std::max(maxSources, static_cast<int>(moved.size()) - 1);
            movedList.items = moved.empty() ? nullptr : moved.data();
            movedList.count = static_cast<std::int32_t>(moved.size());
            trace("verticesMoved %d", movedList.count);
            guarded([&] { host.verticesMoved(&movedList); });
        }
    }

    void step() {
        static const int kHostCommands[] = {2, 9, 10, 10, 21, 107, 223, 65535, 0, -1, 11, 500};
        static const int kEvents[] = {'D', 'E', '_', 'Q', 0, -1};
        switch (in.ConsumeIntegralInRange(0, 20)) {
            case 0:
                execute(in.ConsumeIntegralInRange(-2, 10));
                break;
            case 1:
            case 2:
                execute(in.ConsumeIntegralInRange(1, 8));
                break;
            case 3:
            case 4:
                drag();
                break;
            case 5:
                trace("selectionChanged");
                guarded([&] { host.selectionChanged(); });
                break;
            case 6: {
                const int id = in.PickValueInArray(kHostCommands);
                trace("hostCommand %d", id);
                guarded([&] { host.hostCommand(id); });
                break;
            }
            case 7: {
                const int code = in.PickValueInArray(kEvents);
                trace("hostEvent %d", code);
                guarded([&] { host.hostEvent(code); });
                break;
            }
            case 8:
                guarded([&] { in.ConsumeBool() ? host.holdPairsA() : host.holdPairsB(); });
                break;
            case 9:
                guarded([&] { host.draw(in.ConsumeIntegralInRange(0, 1)); });
                break;
            case 10:
                guarded([&] { host.release(in.ConsumeIntegralInRange(0, 1)); });
                break;
            case 11:
                host.scene.selectObjects(pickObjects());
                break;
            case 12:
                host.scene.setEditObjects(pickObjects());
                break;
            case 13: {
                std::vector<HostVertex*> selection;
                const int count = in.ConsumeIntegralInRange(0, 5);
                for (int i = 0; i < count; ++i) {
                    if (HostVertex* v = pickVertex()) selection.push_back(v);
                }
                host.scene.selectVertices(selection);
                break;
            }
            case 14:
                removeObject();
                break;
            case 15:
                host.manipulator = pickPoint(in);
                break;
            case 16:
                host.selectionMode = in.ConsumeIntegralInRange(-1, 3);
                break;
            case 17:
                // The host's own tools: coordinates and positions change
                // without a notification, the plane object's included.
                if (HostVertex* v = pickVertex()) v->y = pickCoordinate(in);
                if (plugin->planeObject != nullptr && in.ConsumeBool()) {
                    const hostsim::Point p = pickPoint(in);
                    plugin->planeObject->position = Vector3(p.x, p.y, p.z);
                }
                break;
            case 18:
                callReservedAndTable();
                break;
            case 19:
                host.undo();
                break;
            default:
                host.scene.primitive.firstSize = pickCoordinate(in);
                host.scene.primitive.secondSize = pickCoordinate(in);
                break;
        }
        // The host's own records of the session stay small.
        host.calls.clear();
        host.messages.clear();
        host.errors.clear();
    }

    void execute(int command) {
        trace("execute %d", command);
        guarded([&] { host.execute(command); });
    }

    // With TALVEX_FUZZ_TRACE set, a crash's input replays with the plug-in
    // calls and the host's scene edits printed as they happen.
    __attribute__((format(printf, 2, 3))) void trace(const char* format, ...) const {
        if (!tracing) return;
        va_list args;
        va_start(args, format);
        std::vfprintf(stderr, format, args);
        va_end(args);
        std::fputc('\n', stderr);
    }

    // Takes an object out of the scene, most often the plane itself, with or
    // without telling the plug-in by an event afterwards.
    void removeObject() {
        const std::vector<HostObject*> all = host.scene.objects();
        if (all.empty()) return;
        HostObject* gone = all[in.ConsumeIntegralInRange<std::size_t>(0, all.size() - 1)];
        if (plugin->planeObject != nullptr && in.ConsumeBool()) gone = plugin->planeObject;
        trace("remove %s%s", host.scene.nameOf(gone).c_str(),
              gone == plugin->planeObject ? " (the plane)" : "");
        host.scene.removeObject(gone);
    }

    void callReservedAndTable() {
        const PluginEventTable& e = host.events();
        guarded([&] {
            e.reserved5(in.ConsumeIntegral<HostWord>(), in.ConsumeIntegral<HostWord>());
            e.reserved8(in.ConsumeIntegral<HostWord>(), 0, 0);
            e.reserved14(0, in.ConsumeIntegral<HostWord>(), 0);
            e.reserved15(0, 0);
            e.reserved16(0, 0);
            e.reserved19(0, 0);
            e.reserved20(in.ConsumeIntegral<HostWord>());
            e.reserved23(0);
            if (host.commandCount() != kCommandSlots) fail("command count changed");
            const int index = in.ConsumeIntegral<int>();
            const char* name = host.record().commandName(index);
            if (name == nullptr || strnlen(name, 64) == 64) fail("command name not a short text");
            const int kind = host.commandKind(index);
            if (kind != 0 && kind != 2) fail("command kind out of range");
        });
    }

    static void remember(HostObject* object, std::vector<Snapshot>& into) {
        for (int i = 0; i < object->vertexCount; ++i) {
            HostVertex* v = object->vertices[i];
            into.push_back({&v->x, v->x, v->y, v->z});
        }
        into.push_back(
            {&object->position.x, object->position.x, object->position.y, object->position.z});
    }

    // Runs one plug-in call with every coordinate the host owns snapshotted
    // around it; objects built during the call join the snapshot as they are
    // handed over.
    template <typename Call>
    void guarded(Call call) {
        std::vector<Snapshot> before;
        for (HostObject* o : host.scene.everyObject()) remember(o, before);
        const std::vector<HostObject*> liveBefore = host.scene.objects();
        std::vector<Snapshot> built;
        pending = &built;
        call();
        pending = &spare;
        for (const std::string& text : host.messages) trace("  message: %s", text.c_str());
        for (const std::string& text : host.errors) trace("  error: %s", text.c_str());
        if (plugin->pairs.count > 0) trace("  pairs held: %d", plugin->pairs.count / 2);
        host.messages.clear();
        host.errors.clear();
        check(before, liveBefore);
        check(built, host.scene.objects());
    }

    void check(const std::vector<Snapshot>& before,
               const std::vector<HostObject*>& liveObjects) const {
        std::vector<const float*> live;
        for (HostObject* o : liveObjects) {
            live.push_back(&o->position.x);
            for (int i = 0; i < o->vertexCount; ++i) live.push_back(&o->vertices[i]->x);
        }
        std::sort(live.begin(), live.end());
        for (const Snapshot& s : before) {
            const float* now = s.xyz;
            const bool changed =
                !sameBits(s.x, now[0]) || !sameBits(s.y, now[1]) || !sameBits(s.z, now[2]);
            if (!changed) continue;
            if (!std::binary_search(live.begin(), live.end(), now))
                fail("wrote a vertex or position not in the scene");
            if ((std::isfinite(s.x) && !std::isfinite(now[0])) ||
                (std::isfinite(s.y) && !std::isfinite(now[1])) ||
                (std::isfinite(s.z) && !std::isfinite(now[2])))
                fail("turned a finite coordinate non-finite");
        }
        if (plugin->pairs.count % 2 != 0) fail("odd pair list");
        if (plugin->pairObjects.count * 2 != plugin->pairs.count) fail("pair objects out of step");
        // Storage grows by doubling to hold at most one pair per reported
        // source, so the longest drag bounds it.
        const int sources = std::max(1, maxSources);
        if (plugin->pairs.capacity > 4 * sources || plugin->pairObjects.capacity > 2 * sources)
            fail("pair storage grew beyond the longest drag");
    }

    FuzzedDataProvider& in;
    hostsim::Host host;
    SymmetryPlugin* plugin = nullptr;
    std::vector<std::vector<HostVertex*>> sharedSlots;
    VertexList movedList{nullptr, 0};
    int maxSources = 0;
    const bool tracing = std::getenv("TALVEX_FUZZ_TRACE") != nullptr;
    std::vector<Snapshot> spare;  // collects objects built outside a guarded call
    std::vector<Snapshot>* pending = &spare;
};

}  // namespace

// With TALVEX_FUZZ_GL set, one offscreen GL context is current for the whole
// run, so that draw and release reach the overlay and the font lists for real.
// Off by default: LeakSanitizer's stop-the-world now and then crashes among
// Mesa's worker threads (about one run in 200 here), which would make the
// bounded run in make check flaky. Without it draw finds no context and
// binds nothing; the overlay has its own pixel tests.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (std::getenv("TALVEX_FUZZ_GL") == nullptr) return 0;
    static std::unique_ptr<hostsim::OffscreenGl> context;
    std::string error;
    context = hostsim::OffscreenGl::create(320, 240, error);
    if (context == nullptr)
        std::fprintf(stderr, "no GL context, draw runs without one: %s\n", error.c_str());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    Session session(input);
    session.run();
    return 0;
}
