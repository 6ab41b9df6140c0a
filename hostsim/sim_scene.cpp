#include "hostsim/sim_scene.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "hostsim/large_pages.h"
#include "hostsim/threads.h"

namespace hostsim {

// The vertices of an object lie in one block, made once and never moved: the
// plug-in keeps pointers to them (held pairs) across calls. The object's
// pointer array follows them in the same block, one allocation per object,
// which counts when a file holds millions of small objects.
struct Scene::OwnedObject {
    OwnedObject(std::size_t vertexCount, const std::function<Point(std::size_t)>& positionOf);
    ~OwnedObject();
    OwnedObject(const OwnedObject&) = delete;
    OwnedObject& operator=(const OwnedObject&) = delete;

    std::string name;
    bool removed = false;
    HostVertex* block = nullptr;
    HostVertex** pointers = nullptr;  // after the vertices, in the same block
    std::size_t count = 0;
    HostObject record;
};

namespace {

// Objects above this many vertices are built on two threads: most of the
// time goes to the system handing out fresh memory, which both can ask for.
constexpr std::size_t kParallelVertices = 65536;

// Makes vertices [begin, end) of `block`; the number made, which is all of
// them unless positionOf throws (the exception is kept in `failure`).
std::size_t makeVertices(HostVertex* block, HostVertex** pointers, std::size_t begin,
                         std::size_t end, const std::function<Point(std::size_t)>& positionOf,
                         std::exception_ptr& failure) noexcept {
    std::size_t i = begin;
    try {
        for (; i < end; ++i) {
            const Point p = positionOf(i);
            pointers[i] = new (block + i) HostVertex(p.x, p.y, p.z);
        }
    } catch (...) {
        failure = std::current_exception();
    }
    return i - begin;
}

}  // namespace

namespace {

// Runs work(half, begin, end) over [0, count) in two halves, the upper one on
// a second thread when the object is large and one can be had; returns where
// the halves meet (`count` when this thread did it all).
std::size_t inTwoHalves(std::size_t count,
                        const std::function<void(int, std::size_t, std::size_t)>& work) {
    std::size_t split = count;
    std::thread second;
    if (count >= kParallelVertices && helperThreads() > 0) {
        try {
            second = std::thread(work, 1, count / 2, count);
            split = count / 2;
        } catch (const std::system_error&) {
            // No second thread: this one does it all.
        }
    }
    work(0, 0, split);
    if (second.joinable()) second.join();
    return split;
}

// Ends vertices [begin, end) of `block`, last first.
void endVertices(HostVertex* block, std::size_t begin, std::size_t end) noexcept {
    for (std::size_t i = end; i > begin; --i) block[i - 1].~HostVertex();
}

}  // namespace

Scene::OwnedObject::OwnedObject(std::size_t vertexCount,
                                const std::function<Point(std::size_t)>& positionOf)
    : record{} {
    if (vertexCount == 0) return;
    static_assert(sizeof(HostVertex) % alignof(HostVertex*) == 0, "pointers follow the vertices");
    if (vertexCount > (SIZE_MAX / (sizeof(HostVertex) + sizeof(HostVertex*))))
        throw std::bad_alloc();
    block = static_cast<HostVertex*>(
        ::operator new((sizeof(HostVertex) + sizeof(HostVertex*)) * vertexCount));
    pointers = reinterpret_cast<HostVertex**>(block + vertexCount);
    preferLargePages(block, (sizeof(HostVertex) + sizeof(HostVertex*)) * vertexCount);
    std::exception_ptr failures[2];
    std::size_t made[2] = {0, 0};
    const std::size_t split =
        inTwoHalves(vertexCount, [&](int half, std::size_t begin, std::size_t end) {
            made[half] = makeVertices(block, pointers, begin, end, positionOf, failures[half]);
        });
    count = vertexCount;
    const std::exception_ptr failure = failures[0] ? failures[0] : failures[1];
    if (!failure) return;
    // Undo what was made before the exception leaves the constructor.
    endVertices(block, 0, made[0]);
    endVertices(block, split, split + made[1]);
    ::operator delete(block);
    block = nullptr;
    pointers = nullptr;
    count = 0;
    std::rethrow_exception(failure);
}

Scene::OwnedObject::~OwnedObject() {
    inTwoHalves(
        count, [this](int, std::size_t begin, std::size_t end) { endVertices(block, begin, end); });
    ::operator delete(block);
}

ObjectListStorage::~ObjectListStorage() {
    ::operator delete(list.items);
}

void ObjectListStorage::reserve(int capacity) {
    if (capacity <= list.capacity) return;
    auto** fresh = static_cast<HostObject**>(::operator new(sizeof(HostObject*) * capacity));
    if (list.count > 0) std::memcpy(fresh, list.items, sizeof(HostObject*) * list.count);
    ::operator delete(list.items);
    list.items = fresh;
    list.capacity = capacity;
}

void ObjectListStorage::assign(const std::vector<HostObject*>& objects) {
    list.count = 0;
    reserve(static_cast<int>(objects.size()));
    for (HostObject* o : objects) list.items[list.count++] = o;
}

void ObjectListStorage::append(HostObject* object) {
    if (list.count >= list.capacity) reserve(std::max(4, list.capacity * 2));
    list.items[list.count++] = object;
}

void ObjectListStorage::remove(HostObject* object) {
    std::vector<HostObject*> kept = items();
    kept.erase(std::remove(kept.begin(), kept.end(), object), kept.end());
    assign(kept);
}

std::vector<HostObject*> ObjectListStorage::items() const {
    if (list.items == nullptr) return {};
    return std::vector<HostObject*>(list.items, list.items + list.count);
}

Scene::Scene()
    : selectedVertices{nullptr, 0},
      modeOneSelection{nullptr, 0},
      modeZeroSelection{nullptr, 0},
      primitive{0, 1.0f, 1.0f, 0, 0, 0},
      record{} {
    record.allObjects = &all.list;
    record.selectedObjects = &selected.list;
    record.editObjects = &underEdit.list;
    record.selectedVertices = &selectedVertices;
    record.modeOneSelection = &modeOneSelection;
    record.modeZeroSelection = &modeZeroSelection;
    record.primitive = &primitive;
}

Scene::~Scene() = default;

HostObject* Scene::addObject(const std::string& name, const std::vector<Point>& positions) {
    return addObject(name, positions.size(), [&positions](std::size_t i) { return positions[i]; });
}

HostObject* Scene::addObject(const std::string& name, std::size_t count,
                             const std::function<Point(std::size_t)>& positionOf) {
    auto owned = std::make_unique<OwnedObject>(count, positionOf);
    owned->name = name;
    std::memset(owned->record.hostPrivate0, 0, sizeof owned->record.hostPrivate0);
    std::memset(owned->record.hostPrivate1, 0, sizeof owned->record.hostPrivate1);
    owned->record.vertices = owned->count == 0 ? nullptr : owned->pointers;
    owned->record.vertexCount = static_cast<std::int32_t>(owned->count);
    owned->record.position = Vector3(0.0f, 0.0f, 0.0f);
    HostObject* object = &owned->record;
    owned_.push_back(std::move(owned));
    all.append(object);
    return object;
}

void Scene::removeObject(HostObject* object) {
    for (auto& o : owned_) {
        if (&o->record == object) o->removed = true;
    }
    all.remove(object);
    selected.remove(object);
    underEdit.remove(object);
}

void Scene::selectVertices(const std::vector<HostVertex*>& vertices) {
    selectedVertexItems = vertices;
    selectedVertices.items = selectedVertexItems.empty() ? nullptr : selectedVertexItems.data();
    selectedVertices.count = static_cast<std::int32_t>(selectedVertexItems.size());
}

HostObject* Scene::buildPlanePrimitive() {
    const float a = static_cast<float>(0.5 * double(primitive.firstSize));
    const float s = primitive.secondSize;
    HostObject* plane = addObject("plane" + std::to_string(owned_.size()),
                                  {{0.0f, 0.0f, -a}, {0.0f, 0.0f, a}, {0.0f, s, -a}, {0.0f, s, a}});
    selected.assign({plane});
    return plane;
}

void Scene::setHostTag(HostObject* object, std::uint32_t tag) {
    std::memcpy(object->hostPrivate0, &tag, sizeof tag);
}

std::uint32_t Scene::hostTag(const HostObject* object) {
    std::uint32_t tag = 0;
    std::memcpy(&tag, object->hostPrivate0, sizeof tag);
    return tag;
}

const std::string& Scene::nameOf(const HostObject* object) const {
    for (const auto& o : owned_) {
        if (&o->record == object) return o->name;
    }
    throw std::invalid_argument("object is not part of this scene");
}

HostObject* Scene::findObject(const std::string& name) const {
    for (const auto& o : owned_) {
        if (!o->removed && o->name == name) return &o->record;
    }
    return nullptr;
}

std::vector<HostObject*> Scene::objects() const {
    std::vector<HostObject*> result;
    for (const auto& o : owned_) {
        if (!o->removed) result.push_back(&o->record);
    }
    return result;
}

HostObject* Scene::newestObject(const std::function<bool(const HostObject*)>& accept) const {
    for (auto o = owned_.rbegin(); o != owned_.rend(); ++o) {
        if (!(*o)->removed && accept(&(*o)->record)) return &(*o)->record;
    }
    return nullptr;
}

std::vector<HostObject*> Scene::everyObject() const {
    std::vector<HostObject*> result;
    for (const auto& o : owned_) result.push_back(&o->record);
    return result;
}

}  // namespace hostsim
