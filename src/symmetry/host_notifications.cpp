// The host's notifications: a changed selection, dragged vertices, host
// commands, manipulation events and the two hold requests. They decide when
// live matching runs, when the plane switches off or is forgotten, and how the
// held pairs follow the manipulator.
#include "symmetry/symmetry_plugin.h"

namespace {

// Host commands after which the symmetry plane switches off, ending with the
// marker that is never compared. Command 10 is handled on its own: it forgets
// the plane when the plane object is among the selected objects.
constexpr std::int32_t kSwitchOffCommands[] = {
    2,   9,   21,  22,  37,  38,  39,  40,  41,  42,  43,  44,  45,  46,  48,    59,
    60,  61,  65,  66,  67,  70,  71,  72,  73,  74,  85,  95,  96,  99,  100,   102,
    103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 143, 178, 182, 223, 65535,
};
constexpr std::int32_t kEndOfList = 65535;
constexpr std::int32_t kCommandForgetsSelectedPlane = 10;

constexpr std::int32_t kEventForgetPlane = '_';
constexpr std::int32_t kEventManipulateD = 'D';
constexpr std::int32_t kEventManipulateE = 'E';

}  // namespace

void SymmetryPlugin::selectionChanged(HostWord) noexcept {
    repositionAxis = 0;
    if (suspended) return;
    pairs.empty();
    pairObjects.empty();
    matchTarget = nullptr;
}

void SymmetryPlugin::verticesMoved(VertexList* moved, HostWord) noexcept {
    if (moved->count <= 0 || !active || planeObject == nullptr) return;
    if (scene->selectedObjects->count <= 0) return;
    updatePlaneFrame();
    pairsMoved = false;
    matchMirrorPairs(moved);
}

bool SymmetryPlugin::hostCommand(std::int32_t commandId, HostWord) noexcept {
    for (const std::int32_t* id = kSwitchOffCommands; *id != kEndOfList; ++id) {
        if (*id == commandId) {
            active = false;
            break;
        }
    }
    if (commandId == kCommandForgetsSelectedPlane && planeObject != nullptr) {
        const ObjectList& selected = *scene->selectedObjects;
        for (std::int32_t i = 0; i < selected.count; ++i) {
            if (selected.items[i] == planeObject) {
                resetTracking();
                break;
            }
        }
    }
    return true;
}

void SymmetryPlugin::hostEvent(std::int32_t eventCode, HostWord) noexcept {
    if (!inScene(planeObject)) resetTracking();
    if (eventCode == kEventForgetPlane) {
        resetTracking();
        return;
    }
    if (eventCode != kEventManipulateD && eventCode != kEventManipulateE) return;
    if (active && pairs.count > 0 && pairObjects.count > 0 && pairsMoved) {
        Vector3 first;
        Vector3 second;
        Vector3 third;
        Vector3 manipulator(0.0f, 0.0f, 0.0f);
        services->getManipulator(&first, &second, &third, &manipulator);
        searchPoint.setFrom(manipulator);
        searchPointRef = &searchPoint;
        mirrorPoint = mirrorAcross(storedFrame(), searchPoint);
        mirrorPointRef = &mirrorPoint;
        mirrorHeldPairs();
    }
    suspended = false;
}

bool SymmetryPlugin::holdPairsA(HostWord) noexcept {
    suspended = true;
    return true;
}

bool SymmetryPlugin::holdPairsB(HostWord) noexcept {
    suspended = true;
    return true;
}
