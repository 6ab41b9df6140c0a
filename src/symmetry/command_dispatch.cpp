// execute: the dispatch of the command table, and the small commands it runs
// itself (Switch, Reload INI and the three tolerance commands).
#include <cstdio>

#include "symmetry/symmetry_plugin.h"

namespace {

// Bounds of the working tolerances; each command clamps only the bound it
// moves towards, and reaching a bound counts as crossing it.
constexpr float kToleranceCeiling = 1024.0f;
constexpr float kToleranceFloor = 0.01f;

}  // namespace

bool SymmetryPlugin::execute(std::int32_t commandIndex) noexcept {
    // The constructor and every settings load keep toleranceIndex at 0 or 1.
    float& working = tolerances[toleranceIndex];
    switch (commandIndex) {
        case kCommandSwitch:
            active = !active;
            if (active) matchTarget = nullptr;
            break;
        case kCommandCreate:
            createPlane();
            break;
        case kCommandReloadIni:
            // The next draw binds afresh and so reloads settings and font.
            deviceContext = nullptr;
            showMessage("Talvex INI file reloaded");
            break;
        case kCommandSwitchTolerance:
            toleranceIndex = toleranceIndex + 1 > 1 ? 0 : toleranceIndex + 1;
            tolerance = tolerances[toleranceIndex];
            // "Tollerance" is misspelt on purpose: users and their macros know
            // the message by this text.
            showTolerance("Swap Tolerance - Current Tollerance %.2f");
            break;
        case kCommandSmartResym:
            smartResym();
            break;
        case kCommandRaiseTolerance:
            working = static_cast<float>(double(working) + double(toleranceModifier));
            if (working >= kToleranceCeiling) working = kToleranceCeiling;
            tolerance = working;
            showTolerance("Raise Tolerance - New Tolerance : %.2f");
            break;
        case kCommandLowerTolerance:
            working = static_cast<float>(double(working) - double(toleranceModifier));
            if (working <= kToleranceFloor) working = kToleranceFloor;
            tolerance = working;
            showTolerance("Lower Tolerance - New Tolerance : %.2f");
            break;
        case kCommandReposition:
            repositionPlane();
            break;
        default:  // the drawing slot and every index outside the table
            break;
    }
    return true;
}

void SymmetryPlugin::showTolerance(const char* format) noexcept {
    char text[96];
    std::snprintf(text, sizeof text, format, double(tolerance));
    showMessage(text);
}
