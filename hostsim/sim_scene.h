// A host scene in the host's exact record layout: objects that own their
// vertices, the all / selected / under-edit object lists, the selected
// vertices, the per-mode selections and the primitive parameters. Used by the
// tests and by talvex-host; the plug-in sees only `record`.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/host_records.h"

namespace hostsim {

struct Point {
    float x;
    float y;
    float z;
};

// An object list whose item storage comes from the global operator new, as
// the host's does: the plug-in may free it with the global operator delete.
class ObjectListStorage {
public:
    ObjectListStorage() noexcept : list{nullptr, 0, 0} {}
    ~ObjectListStorage();
    ObjectListStorage(const ObjectListStorage&) = delete;
    ObjectListStorage& operator=(const ObjectListStorage&) = delete;

    void assign(const std::vector<HostObject*>& objects);
    void append(HostObject* object);
    void remove(HostObject* object);
    std::vector<HostObject*> items() const;
    // Reserves at least `capacity` slots, keeping the items.
    void reserve(int capacity);

    ObjectList list;
};

class Scene {
public:
    Scene();
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // A new object holding host vertices at `positions`, appended to the
    // all-objects list (not selected, not under edit). Position (0, 0, 0).
    HostObject* addObject(const std::string& name, const std::vector<Point>& positions);
    // The same, with vertex i at positionOf(i): a large mesh goes straight
    // from the caller's storage into the host's vertices.
    HostObject* addObject(const std::string& name, std::size_t count,
                          const std::function<Point(std::size_t)>& positionOf);
    // Takes the object out of every list; its memory lives as long as the
    // scene, as a host's undo history would keep it.
    void removeObject(HostObject* object);

    void selectObjects(const std::vector<HostObject*>& objects) { selected.assign(objects); }
    void setEditObjects(const std::vector<HostObject*>& objects) { underEdit.assign(objects); }
    void selectVertices(const std::vector<HostVertex*>& vertices);

    // Builds the plane primitive of host command 107 from `primitive`: a quad
    // at x = 0 from y = 0 to y = secondSize, z = -/+ firstSize / 2, vertices
    // (0,0,-a), (0,0,+a), (0,s,-a), (0,s,+a); it becomes the only selection.
    HostObject* buildPlanePrimitive();

    // A number the host keeps with an object, in the record's host-private
    // bytes (0 for an object never tagged), as the modeller keeps its own data
    // there: the plug-in never reads or writes them. Finding something by
    // object then costs no search, however many objects there are.
    static void setHostTag(HostObject* object, std::uint32_t tag);
    static std::uint32_t hostTag(const HostObject* object);

    const std::string& nameOf(const HostObject* object) const;
    HostObject* findObject(const std::string& name) const;
    // Objects in creation order, removed ones excluded.
    std::vector<HostObject*> objects() const;
    // The newest object, removed ones excluded, that `accept` takes; null when none.
    HostObject* newestObject(const std::function<bool(const HostObject*)>& accept) const;
    // Every object ever added, removed ones included, in creation order.
    std::vector<HostObject*> everyObject() const;

    ObjectListStorage all;
    ObjectListStorage selected;
    ObjectListStorage underEdit;
    std::vector<HostVertex*> selectedVertexItems;
    VertexList selectedVertices;
    CountedList modeOneSelection;
    CountedList modeZeroSelection;
    PrimitiveParams primitive;
    HostScene record;

private:
    struct OwnedObject;
    std::vector<std::unique_ptr<OwnedObject>> owned_;
};

// Host vertex i of `object`.
inline HostVertex& vertexOf(const HostObject* object, int i) {
    return *object->vertices[i];
}

}  // namespace hostsim
