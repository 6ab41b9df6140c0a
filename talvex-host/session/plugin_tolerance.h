// The tolerance a batch command works with, resolved once into a value and
// where it came from: --tolerance T, --tolerance P% of the box diagonal, a
// TOLERANCE_A the current folder's Talvex.ini gives (which the plug-in then
// reads itself), measured from the mesh, or the plug-in's default. Called by
// batch_setup.cpp, which then scales the scene when the value lies outside
// the plug-in's range (plugin_scale.h) and hands the value over.
#pragma once

#include <functional>
#include <string>

namespace talvexhost {

// What the current folder's "Plugins\Startup Plugins\Talvex.ini" says about
// TOLERANCE_A, read with the plug-in's own loader and rules. The host wrote
// nothing there: only this reading tells it whether the plug-in will take
// the user's value or ignore it for its default.
struct SettingsFileTolerance {
    bool found = false;  // the key is in the file
    bool taken = false;  // inside the plug-in's range, so the plug-in works with it
    std::string text;    // the key's text as written
    double value = 0.0;  // the float the plug-in keeps, widened, when taken
};
SettingsFileTolerance settingsFileTolerance();

// Where a tolerance came from.
enum class ToleranceOrigin {
    option,         // --tolerance T
    boxPercentage,  // --tolerance P%: P percent of the box diagonal
    settingsFile,   // TOLERANCE_A of the current folder's Talvex.ini
    measured,       // what `check` would suggest for this mesh and plane
    fallback,       // the plug-in's default: nothing to measure
};

// What resolving looks at; the costly parts are asked for only when needed.
struct ToleranceInputs {
    std::string typed;  // the text after --tolerance, or empty
    std::function<double()> boxDiagonal;
    std::function<SettingsFileTolerance()> settingsFile;
    // The tolerance measured from the mesh, 0 with the reason in `why` when
    // nothing could be measured.
    std::function<double(std::string& why)> measure;
};

struct ToleranceChoice {
    // In model units: the float the plug-in works with (before any scaling).
    float value = 0.0f;
    ToleranceOrigin origin = ToleranceOrigin::fallback;
    // For people: "--tolerance", "0.5% of the box diagonal 3.640000",
    // "Talvex.ini", "measured from the mesh", "the plug-in's default: ...".
    std::string from;
    // A line to print about it (a settings value ignored), or empty.
    std::string note;
};

// Reads a --tolerance text: a positive finite number (as a float), or the
// same followed by '%'. False for anything else.
bool parseToleranceText(const std::string& text, double& number, bool& percent);

// The message for a --tolerance text parseToleranceText refuses.
std::string badToleranceMessage(const std::string& text);

// Resolves the tolerance in the order --tolerance, Talvex.ini, measured,
// default. False with `error` when P% of this mesh's box diagonal is 0 (a
// usage error) or the typed text is not a tolerance.
bool resolveTolerance(const ToleranceInputs& inputs, ToleranceChoice& choice, std::string& error);

}  // namespace talvexhost
