#include "symmetry/symmetry_plugin.h"

#include <cmath>

namespace {

const char* const kCommandNames[kCommandSlots] = {
    "Talvex Drawing Fn",      "Talvex Switch",           "Talvex Create Talvex",
    "Talvex Reload INI",      "Talvex Switch Tolerance", "Talvex Smart Resym",
    "Talvex Raise Tolerance", "Talvex Lower Tolerance",  "Talvex Reposition",
};

// Kind 2 marks a slot the host does not list as a menu command.
constexpr std::int32_t kKindCommand = 0;
constexpr std::int32_t kKindHidden = 2;

bool isCommandSlot(std::int32_t index) {
    return index >= 0 && index < kCommandSlots;
}

// A plane that moved by no more than this in every coordinate of its pivot and
// normal keeps the held pairs. Float, model units; equal does not count.
constexpr float kPlaneMoved = 0.01f;

// NaN compares false, so a difference that is not a number counts as no movement.
bool movedApart(float now, float before) {
    return std::fabs(double(now) - double(before)) > double(kPlaneMoved);
}

}  // namespace

SymmetryPlugin::SymmetryPlugin(HostScene* hostScene, HostServices* hostServices) noexcept
    : scene(hostScene),
      services(hostServices),
      deviceContext(nullptr),
      fontListBase(0),
      active(false),
      pairsMoved(false),
      settings(defaultSettings()),
      planeObject(nullptr),
      previousNormal(0.0f, 0.0f, 0.0f),
      previousPivot(0.0f, 0.0f, 0.0f) {
    // Commands may run before the overlay's first bind loads the settings, so
    // every setting starts at the value a missing settings file gives.
    const ToleranceSettings loaded = defaultTolerances();
    tolerances[0] = loaded.toleranceA;
    tolerances[1] = loaded.toleranceB;
    toleranceModifier = loaded.modifier;
    toleranceIndex = 0;
    tolerance = tolerances[toleranceIndex];
    resetTracking();
}

SymmetryPlugin::~SymmetryPlugin() {
    pairs.releaseStorage();
    pairObjects.releaseStorage();
}

void SymmetryPlugin::resetTracking() noexcept {
    planeObject = nullptr;
    searchPointRef = nullptr;
    mirrorPointRef = nullptr;
    matchTarget = nullptr;
    active = false;
    pairsMoved = false;
    previousPivot = Vector3(0.0f, 0.0f, 0.0f);
    previousNormal = Vector3(0.0f, 0.0f, 0.0f);
    pairs.empty();
    pairObjects.empty();
    suspended = false;
    pairsFound = false;
    repositionAxis = 0;
}

std::int32_t SymmetryPlugin::commandCount() noexcept {
    return kCommandSlots;
}

const char* SymmetryPlugin::commandName(std::int32_t commandIndex) noexcept {
    return isCommandSlot(commandIndex) ? kCommandNames[commandIndex] : "NaFn";
}

std::int32_t SymmetryPlugin::commandKind(std::int32_t commandIndex) noexcept {
    return commandIndex >= kCommandSwitch && commandIndex <= kCommandReposition ? kKindCommand
                                                                                : kKindHidden;
}

void SymmetryPlugin::showMessage(const char* text) const noexcept {
    services->showMessage(text);
}

void SymmetryPlugin::showError(const char* text) const noexcept {
    services->showError(text);
}

void SymmetryPlugin::updatePlaneFrame() noexcept {
    if (planeObject == nullptr) return;
    // A plane object that lost its vertices keeps the last frame: reading
    // past its vertex count would read the host's memory at random.
    PlaneFrame frame;
    if (!frameOfObject(*planeObject, frame)) return;
    planeNormal.setFrom(frame.normal);
    planePivot.setFrom(frame.pivot);
    const bool moved =
        movedApart(planePivot.x, previousPivot.x) || movedApart(planePivot.y, previousPivot.y) ||
        movedApart(planePivot.z, previousPivot.z) || movedApart(planeNormal.x, previousNormal.x) ||
        movedApart(planeNormal.y, previousNormal.y) || movedApart(planeNormal.z, previousNormal.z);
    if (moved) {
        searchPointRef = nullptr;
        mirrorPointRef = nullptr;
        pairs.empty();
        pairObjects.empty();
    }
    previousPivot.setFrom(planePivot);
    previousNormal.setFrom(planeNormal);
}

PlaneFrame SymmetryPlugin::storedFrame() const noexcept {
    PlaneFrame frame;
    frame.normal.setFrom(planeNormal);
    frame.pivot.setFrom(planePivot);
    return frame;
}
