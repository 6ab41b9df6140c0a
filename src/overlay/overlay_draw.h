// The overlay over the host's 3D view: while a mirror search is under way the
// search line, the found point and the tolerance box, and always the two HUD
// lines. The plug-in's draw hook calls drawOverlay once it is bound and active;
// everything GL state it changes is put back as the host expects.
#pragma once

#include <cstddef>
#include <cstdint>

#include "config/settings.h"
#include "geometry/vector3.h"
#include "host/host_records.h"
#include "host/host_services.h"

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
    bool pairsFound;         // line and point in foundColor, else searchColor
    const HostScene* scene;  // for the selection count
    const HostServices* services;
    std::uint32_t fontListBase;
    char* textBuffer;  // each HUD line is formatted here before it is drawn
    std::size_t textBufferSize;
};

// Draws the frame with the host's GL context current. Leaves lighting as it
// was, the depth test enabled (whatever it was), line width 1, line stipple
// off, both matrices as they were and the matrix mode at GL_PROJECTION; the
// current colour and point size keep the overlay's values.
void drawOverlay(const OverlayFrame& frame) noexcept;

// The 16-bit stipple of the stored signed byte, sign-extended: 127 gives
// 0x007F, 128 (stored as -128) gives 0xFF80, 255 (-1) gives 0xFFFF.
std::uint16_t stippleBits(std::int8_t pattern) noexcept;

// The selection count of the overlay: getSelectionMode asked three separate
// times; answer 2 sets the count to the selected vertices, 1 and 0 add the
// count of their selection list, anything else adds nothing.
std::int64_t selectionCount(const HostScene& scene, const HostServices& services) noexcept;

}  // namespace overlay
