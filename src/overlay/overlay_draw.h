// The overlay over the host's 3D view: while a mirror search is under way the
// search line, the found point and the tolerance box, and always the two HUD
// lines. The plug-in's draw hook calls beginOverlay and then drawOverlay once it
// is bound and active, handing over everything as values; the GL state they
// change is put back as the host expects.
#pragma once

#include <cstddef>
#include <cstdint>

#include "config/settings.h"
#include "geometry/vector3.h"

namespace overlay {

// The HUD is laid out in this space, origin bottom left, stretched over the
// current viewport.
constexpr double kHudWidth = 640.0;
constexpr double kHudHeight = 480.0;

// What one draw shows, read from the plug-in's state.
struct OverlayFrame {
    const Settings* settings;
    float tolerance;  // half-size of the box; the number in the second HUD line
    // Both ends of the search line, or both null while no search is under way.
    const Vector3* searchPoint;
    const Vector3* mirrorPoint;
    bool pairsFound;             // line and point in foundColor, else searchColor
    std::int64_t selectedCount;  // the marks are drawn only above 0
    bool lightingWasOn;          // beginOverlay's answer
    std::uint32_t fontListBase;
    char* textBuffer;  // each HUD line is formatted here before it is drawn
    std::size_t textBufferSize;
};

// The first half of a draw, with the host's GL context current: notes whether
// lighting is on (the answer is the frame's lightingWasOn), turns it off, and
// turns the depth test off unless `settings` ask to draw with it.
bool beginOverlay(const Settings& settings) noexcept;

// The second half: draws the frame, then leaves lighting as it was before
// beginOverlay, the depth test enabled (whatever it was), line width 1, line
// stipple off, both matrices as they were and the matrix mode at
// GL_PROJECTION; the current colour and point size keep the overlay's values.
void drawOverlay(const OverlayFrame& frame) noexcept;

// The 16-bit stipple of the stored signed byte, sign-extended: 127 gives
// 0x007F, 128 (stored as -128) gives 0xFF80, 255 (-1) gives 0xFFFF.
std::uint16_t stippleBits(std::int8_t pattern) noexcept;

}  // namespace overlay
