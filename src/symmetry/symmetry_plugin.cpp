#include "symmetry/symmetry_plugin.h"

namespace {

const char* const kCommandNames[kCommandSlots] = {
    "Talvex Drawing Fn",       "Talvex Switch",          "Talvex Create Talvex",
    "Talvex Reload INI",       "Talvex Switch Tolerance", "Talvex Smart Resym",
    "Talvex Raise Tolerance",  "Talvex Lower Tolerance",  "Talvex Reposition",
};

// Kind 2 marks a slot the host does not list as a menu command.
constexpr std::int32_t kKindCommand = 0;
constexpr std::int32_t kKindHidden = 2;

bool isCommandSlot(std::int32_t index) { return index >= 0 && index < kCommandSlots; }

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
      previousPivot(0.0f, 0.0f, 0.0f),
      tolerance(0.1f) {
    // Commands may run before the overlay's first bind loads the settings, so
    // every setting starts at the value a missing settings file gives.
    const ToleranceSettings loaded = defaultTolerances();
    tolerances[0] = loaded.toleranceA;
    tolerances[1] = loaded.toleranceB;
    toleranceModifier = loaded.modifier;
    toleranceIndex = 0;
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

std::int32_t SymmetryPlugin::commandCount() noexcept { return kCommandSlots; }

const char* SymmetryPlugin::commandName(std::int32_t commandIndex) noexcept {
    return isCommandSlot(commandIndex) ? kCommandNames[commandIndex] : "NaFn";
}

std::int32_t SymmetryPlugin::commandKind(std::int32_t commandIndex) noexcept {
    return commandIndex >= kCommandSwitch && commandIndex <= kCommandReposition ? kKindCommand : kKindHidden;
}

void SymmetryPlugin::showMessage(const char* text) const noexcept { services->showMessage(text); }

void SymmetryPlugin::showError(const char* text) const noexcept { services->showError(text); }
