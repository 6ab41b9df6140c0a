#include "overlay/overlay_draw.h"

#include <cstdio>

#include "overlay/font_lists.h"
#include "overlay/gl_calls.h"

namespace overlay {
namespace {

// A width or size must exceed this to be drawn, so 0 hides a mark.
constexpr float kVisibleSize = 0.0001f;

// The wire box's 12 edges as sign triples (x, y, z) of their two ends, in the
// order they are sent: first the three edges from the (+, +, +) corner, then
// the three into (-, -, -), then the six that join the remaining corners.
constexpr signed char kBoxCorners[24][3] = {
    {+1, +1, +1}, {-1, +1, +1}, {+1, +1, +1}, {+1, -1, +1}, {+1, +1, +1}, {+1, +1, -1},
    {+1, -1, -1}, {-1, -1, -1}, {-1, +1, -1}, {-1, -1, -1}, {-1, -1, +1}, {-1, -1, -1},
    {+1, -1, -1}, {+1, -1, +1}, {-1, +1, -1}, {+1, +1, -1}, {-1, -1, +1}, {-1, +1, +1},
    {+1, -1, +1}, {-1, -1, +1}, {+1, +1, -1}, {+1, -1, -1}, {-1, +1, +1}, {-1, +1, -1},
};

// centre + sign * halfSize in double, rounded once: the same float as the
// single-precision sum or difference.
float offset(float centre, signed char sign, float halfSize) {
    const double shifted =
        static_cast<double>(centre) + static_cast<double>(sign) * static_cast<double>(halfSize);
    return static_cast<float>(shifted);
}

void color(const GlCalls& gl, const Rgb& rgb) {
    gl.color3f(rgb.red, rgb.green, rgb.blue);
}

void drawToleranceBox(const GlCalls& gl, const Vector3& centre, float halfSize) {
    gl.begin(kGlLines);
    for (const auto& corner : kBoxCorners)
        gl.vertex3f(offset(centre.x, corner[0], halfSize), offset(centre.y, corner[1], halfSize),
                    offset(centre.z, corner[2], halfSize));
    gl.end();
}

void drawSearchMarks(const GlCalls& gl, const OverlayFrame& frame) {
    const Settings& settings = *frame.settings;
    const Vector3& search = *frame.searchPoint;
    const Vector3& mirror = *frame.mirrorPoint;
    color(gl, frame.pairsFound ? settings.foundColor : settings.searchColor);
    if (settings.lineWidth > kVisibleSize) {
        gl.lineWidth(settings.lineWidth);
        if (settings.stippleLines)
            gl.enable(kGlLineStipple);
        else
            gl.disable(kGlLineStipple);
        gl.lineStipple(1, stippleBits(settings.stipplePattern));
        gl.begin(kGlLines);
        gl.vertex3f(search.x, search.y, search.z);
        gl.vertex3f(mirror.x, mirror.y, mirror.z);
        gl.end();
    }
    if (settings.pointSize > kVisibleSize) {
        gl.pointSize(settings.pointSize);
        gl.begin(kGlPoints);
        gl.vertex3f(mirror.x, mirror.y, mirror.z);
        gl.end();
    }
    gl.disable(kGlLineStipple);
    if (settings.toleranceLineWidth > kVisibleSize) {
        color(gl, settings.toleranceColor);
        gl.lineWidth(settings.toleranceLineWidth);
        drawToleranceBox(gl, mirror, frame.tolerance);
    }
    // Only the line width is put back; colour and point size stay as drawn.
    gl.lineWidth(1.0f);
}

void drawHud(const GlCalls& gl, const OverlayFrame& frame) {
    const Settings& settings = *frame.settings;
    gl.matrixMode(kGlProjection);
    gl.pushMatrix();
    gl.loadIdentity();
    gl.ortho(0.0, kHudWidth, 0.0, kHudHeight, -1.0, 1.0);
    gl.matrixMode(kGlModelView);
    gl.pushMatrix();
    gl.loadIdentity();
    // The colour comes first: the raster position takes the current colour.
    color(gl, settings.hudColor);
    gl.rasterPos2f(settings.hudPosX, settings.hudPosY);
    std::snprintf(frame.textBuffer, frame.textBufferSize, "Talvex Active");
    drawText(frame.fontListBase, frame.textBuffer);
    const float secondLineY = static_cast<float>(static_cast<double>(settings.hudPosY) -
                                                 static_cast<double>(settings.hudStepY));
    gl.rasterPos2f(settings.hudPosX, secondLineY);
    std::snprintf(frame.textBuffer, frame.textBufferSize, "Tolerance %.2f",
                  static_cast<double>(frame.tolerance));
    drawText(frame.fontListBase, frame.textBuffer);
}

}  // namespace

std::uint16_t stippleBits(std::int8_t pattern) noexcept {
    return static_cast<std::uint16_t>(static_cast<std::int16_t>(pattern));
}

bool beginOverlay(const Settings& settings) noexcept {
    const GlCalls& gl = glCalls();
    const bool lighting = gl.isEnabled(kGlLighting) != 0;
    gl.disable(kGlLighting);
    // With depthTest set the host's own depth-test state is drawn with.
    if (!settings.depthTest) gl.disable(kGlDepthTest);
    return lighting;
}

void drawOverlay(const OverlayFrame& frame) noexcept {
    const GlCalls& gl = glCalls();
    if (frame.searchPoint != nullptr && frame.mirrorPoint != nullptr && frame.selectedCount > 0)
        drawSearchMarks(gl, frame);
    drawHud(gl, frame);
    // Always on afterwards, whatever it was before: the host draws its next
    // frame expecting it on.
    gl.enable(kGlDepthTest);
    gl.popMatrix();
    gl.matrixMode(kGlProjection);
    gl.popMatrix();
    // The matrix mode stays at GL_PROJECTION, as the host has always found it.
    if (frame.lightingWasOn) gl.enable(kGlLighting);
}

}  // namespace overlay
