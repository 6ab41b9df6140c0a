// The two commands that place the symmetry plane: Create has the host build a
// new plane primitive sized to the selection, Reposition lays the existing
// plane's first four vertices across the selection's widened box.
#include <cmath>
#include <new>

#include "symmetry/host_objects.h"
#include "symmetry/selection_box.h"
#include "symmetry/symmetry_plugin.h"

namespace {

constexpr std::int32_t kBuildPlanePrimitive = 107;
constexpr float kDefaultPlaneSize = 5.0f;
constexpr float kPercent = 0.01f;  // single precision on purpose: the margin is a float product
// A selected-objects list whose storage grew past this is given back to the host's heap.
constexpr std::int32_t kKeptSelectionCapacity = 100;
// Reposition writes vertices 0 to 3; the frame reads 0 to 2.
constexpr std::int32_t kPlaneCorners = 4;

const char* const kRepositionMessages[3] = {
    "Talvex repositioned : X Axis Perpendicular",
    "Talvex repositioned : Y Axis Perpendicular",
    "Talvex repositioned : Z Axis Perpendicular",
};

Vector3 withAxis(float perpendicular, int axis, float a, float b) {
    switch (axis) {
        case 0:
            return Vector3(perpendicular, a, b);
        case 1:
            return Vector3(a, perpendicular, b);
        default:
            return Vector3(a, b, perpendicular);
    }
}

// Empties the host's selected-objects list the way the host itself does: a
// list that grew large gives its storage back to the shared runtime's heap.
void emptySelection(ObjectList& selected) {
    if (selected.count <= 0) return;
    selected.count = 0;
    if (selected.capacity > kKeptSelectionCapacity) {
        ::operator delete(selected.items);
        selected.items = nullptr;
        selected.capacity = 0;
    }
}

}  // namespace

void SymmetryPlugin::createPlane() noexcept {
    PrimitiveParams& params = *scene->primitive;
    const PrimitiveParams saved = params;
    params.param5 = 1;
    params.param4 = 1;
    params.param3 = 0;
    params.param0 = 0;
    const float factor =
        static_cast<float>(double(settings.oversizePercentage) * double(kPercent) + 1.0);

    ObjectList& selected = *scene->selectedObjects;
    const char* message = "Talvex created";
    Vector3 centroid(0.0f, 0.0f, 0.0f);
    params.firstSize = kDefaultPlaneSize;
    params.secondSize = kDefaultPlaneSize;
    if (selected.count == 1 && selected.items[0]->vertexCount > 0) {
        const HostObject& source = *selected.items[0];
        const SelectionBox box = measureVertices(source.vertices, source.vertexCount);
        centroid = box.centroid;
        const float secondSize =
            static_cast<float>((double(box.maximum[1]) - double(box.minimum[1])) * double(factor));
        const float firstSize =
            static_cast<float>((double(box.maximum[2]) - double(box.minimum[2])) * double(factor));
        // An extent beyond the float range would have the host build an
        // infinite plane; that selection gets the default size instead.
        const bool finiteSizes = std::isfinite(secondSize) && std::isfinite(firstSize);
        if (box.maximum[1] > kBoxEmptyMaximum && box.maximum[2] > kBoxEmptyMaximum && finiteSizes) {
            params.secondSize = secondSize;
            params.firstSize = firstSize;
            message = "Talvex created based on selected object";
        }
    }

    services->runCommand(kBuildPlanePrimitive);

    HostObject* built =
        selected.count > 0 && selected.items != nullptr ? selected.items[0] : nullptr;
    bool placed = false;
    if (built != nullptr && built->vertexCount >= kPlaneCorners) {
        Vector3 offset;
        offset.setFrom(centroid);
        offset.y = static_cast<float>(double(centroid.y) - 0.5 * double(params.secondSize));
        // Every new position is checked before the first is written, so the
        // plane is moved whole or not at all.
        bool finite = isFinitePoint(offset);
        for (std::int32_t i = 0; finite && i < built->vertexCount; ++i)
            finite = isFinitePoint(built->vertices[i]->add(offset));
        if (finite) {
            for (std::int32_t i = 0; i < built->vertexCount; ++i)
                built->vertices[i]->addInPlace(offset);
            built->position.setFrom(offset);
            placed = true;
        }
        planeObject = built;
        updatePlaneFrame();
    }

    params = saved;
    emptySelection(selected);
    services->refresh();
    if (built == nullptr || built->vertexCount < kPlaneCorners) {
        showError("Talvex not created: the host built no plane object with four vertices");
    } else if (!placed) {
        showError("Talvex created where the host built it: the selection's centre is not finite");
    } else {
        showMessage(message);
    }
}

void SymmetryPlugin::repositionPlane() noexcept {
    // A plane object the host took out of the scene since the last event is
    // gone for the plug-in too: its corners are no longer the user's to move.
    if (planeObject != nullptr && !inScene(planeObject)) resetTracking();
    if (planeObject == nullptr) {
        showError("Talvex not defined");
        return;
    }
    if (planeObject->vertexCount < kPlaneCorners) {
        showError("Talvex plane has fewer than four vertices, please create it again");
        return;
    }
    const float margin = static_cast<float>(double(settings.oversizePercentage) * double(kPercent));

    HostVertex* const* source = nullptr;
    std::int32_t sourceCount = 0;
    const VertexList& vertices = *scene->selectedVertices;
    if (vertices.count > 1) {
        for (std::int32_t i = 0; i < vertices.count; ++i) {
            if (holdsVertex(*planeObject, vertices.items[i])) {
                showError("Talvex vertices selected, please select another shape's data");
                return;
            }
        }
        source = vertices.items;
        sourceCount = vertices.count;
    } else {
        const ObjectList& selected = *scene->selectedObjects;
        if (selected.count != 1) return;
        if (selected.items[0] == planeObject) {
            showError("Talvex selected, please select another shape or any primitives");
            return;
        }
        source = selected.items[0]->vertices;
        sourceCount = selected.items[0]->vertexCount;
    }

    SelectionBox box = measureVertices(source, sourceCount);
    for (int axis = 0; axis < 3; ++axis) {
        const double widen =
            (double(box.maximum[axis]) - double(box.minimum[axis])) * double(margin);
        box.minimum[axis] = static_cast<float>(double(box.minimum[axis]) - widen);
        box.maximum[axis] = static_cast<float>(double(box.maximum[axis]) + widen);
    }

    // The perpendicular axis takes the centroid; the other two, in x, y, z
    // order, span the corners (min,min), (min,max), (max,min), (max,max).
    const int axis = repositionAxis;
    const int a = axis == 0 ? 1 : 0;
    const int b = axis == 2 ? 1 : 2;
    const float across = coordinate(box.centroid, axis);
    const Vector3 corners[kPlaneCorners] = {
        withAxis(across, axis, box.minimum[a], box.minimum[b]),
        withAxis(across, axis, box.minimum[a], box.maximum[b]),
        withAxis(across, axis, box.maximum[a], box.minimum[b]),
        withAxis(across, axis, box.maximum[a], box.maximum[b]),
    };
    bool finite = isFinitePoint(box.centroid);
    for (const Vector3& corner : corners) finite = finite && isFinitePoint(corner);
    if (!finite) {
        showError("Talvex not repositioned: the selection's extent is not a finite number");
        return;
    }
    for (int i = 0; i < kPlaneCorners; ++i) planeObject->vertices[i]->setFrom(corners[i]);
    planeObject->position.setFrom(box.centroid);
    updatePlaneFrame();
    showMessage(kRepositionMessages[axis]);
    repositionAxis = axis + 1 > 2 ? 0 : axis + 1;
}
