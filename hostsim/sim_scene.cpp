#include "hostsim/sim_scene.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

namespace hostsim {

// The vertices of an object lie in one block, made once and never moved: the
// plug-in keeps pointers to them (held pairs) across calls.
struct Scene::OwnedObject {
    OwnedObject(std::size_t vertexCount, const std::function<Point(std::size_t)>& positionOf);
    ~OwnedObject();
    OwnedObject(const OwnedObject&) = delete;
    OwnedObject& operator=(const OwnedObject&) = delete;

    std::string name;
    bool removed = false;
    HostVertex* block = nullptr;
    std::size_t count = 0;
    std::vector<HostVertex*> vertexPointers;
    HostObject record;
};

Scene::OwnedObject::OwnedObject(std::size_t vertexCount,
                                const std::function<Point(std::size_t)>& positionOf)
    : record{} {
    vertexPointers.reserve(vertexCount);
    if (vertexCount > 0)
        block = static_cast<HostVertex*>(::operator new(sizeof(HostVertex) * vertexCount));
    // Vertex construction cannot throw, so the block is whole once made.
    for (std::size_t i = 0; i < vertexCount; ++i) {
        const Point p = positionOf(i);
        HostVertex* v = new (block + count) HostVertex(p.x, p.y, p.z);
        ++count;
        vertexPointers.push_back(v);
    }
}

Scene::OwnedObject::~OwnedObject() {
    for (std::size_t i = count; i > 0; --i) block[i - 1].~HostVertex();
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
    owned->record.vertices = owned->vertexPointers.empty() ? nullptr : owned->vertexPointers.data();
    owned->record.vertexCount = static_cast<std::int32_t>(owned->vertexPointers.size());
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

std::vector<HostObject*> Scene::everyObject() const {
    std::vector<HostObject*> result;
    for (const auto& o : owned_) result.push_back(&o->record);
    return result;
}

}  // namespace hostsim
