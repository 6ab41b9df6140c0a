#include "symmetry/symmetry_plugin.h"

bool SymmetryPlugin::draw(std::int32_t) noexcept { return true; }

void SymmetryPlugin::release(std::int32_t) noexcept {}

void SymmetryPlugin::bindContext() noexcept {}

void SymmetryPlugin::drawText(const char*) noexcept {}

void SymmetryPlugin::loadSettings() noexcept {
    ToleranceSettings loaded{};
    ::loadSettings(profile, settings, loaded);
    tolerance = loaded.toleranceA;
    tolerances[0] = loaded.toleranceA;
    tolerances[1] = loaded.toleranceB;
    toleranceIndex = 0;
    toleranceModifier = loaded.modifier;
}
