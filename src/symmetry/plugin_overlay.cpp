// The overlay hooks: draw binds to the host's context, makes the font and
// hands the overlay what one frame shows; release frees the font.
#include "overlay/font_lists.h"
#include "overlay/overlay_draw.h"
#include "platform/platform.h"
#include "symmetry/selection_count.h"
#include "symmetry/symmetry_plugin.h"

namespace {

// Fills the reserved lists with the glyphs of the configured face. A face
// that cannot be made leaves them empty: the text then draws nothing.
void buildFont(void* drawingContext, const Settings& settings, std::uint32_t base) {
    overlay::fillFontLists(drawingContext, settings.fontFace, settings.fontSize, base);
}

}  // namespace

bool SymmetryPlugin::draw(std::int32_t flag) noexcept {
    if (flag != 0) return true;
    if (deviceContext == nullptr) {
        bindContext();
        if (deviceContext == nullptr) return true;
    } else if (fontListBase == 0) {
        // Released since the last bind: make the font again in the context
        // current now rather than call the deleted lists. The settings stay.
        void* current = platform::currentDrawingContext();
        if (current == nullptr) return true;
        deviceContext = current;
        fontListBase = overlay::replaceFontLists(0);
        buildFont(deviceContext, settings, fontListBase);
    }
    if (!active || planeObject == nullptr) {
        active = false;
        return true;
    }
    const bool marks =
        matchTarget != nullptr && searchPointRef != nullptr && mirrorPointRef != nullptr;
    overlay::OverlayFrame frame{};
    frame.settings = &settings;
    frame.tolerance = tolerance;
    frame.searchPoint = marks ? searchPointRef : nullptr;
    frame.mirrorPoint = marks ? mirrorPointRef : nullptr;
    frame.pairsFound = pairsFound;
    frame.lightingWasOn = overlay::beginOverlay(settings);
    frame.selectedCount = selectionCount(*scene, *services);
    frame.fontListBase = fontListBase;
    frame.textBuffer = textBuffer;
    frame.textBufferSize = sizeof(textBuffer);
    overlay::drawOverlay(frame);
    return true;
}

void SymmetryPlugin::release(std::int32_t flag) noexcept {
    if (flag != 0 || fontListBase == 0) return;
    overlay::deleteFontLists(fontListBase);
    // 0 marks the font as gone, so the next draw makes it again instead of
    // calling list names that may since belong to the host.
    fontListBase = 0;
}

void SymmetryPlugin::bindContext() noexcept {
    deviceContext = platform::currentDrawingContext();
    if (deviceContext == nullptr) return;
    loadSettings();
    fontListBase = overlay::replaceFontLists(fontListBase);
    buildFont(deviceContext, settings, fontListBase);
}

void SymmetryPlugin::loadSettings() noexcept {
    ToleranceSettings loaded{};
    ::loadSettings(profile, settings, loaded);
    tolerance = loaded.toleranceA;
    tolerances[0] = loaded.toleranceA;
    tolerances[1] = loaded.toleranceB;
    toleranceIndex = 0;
    toleranceModifier = loaded.modifier;
}
