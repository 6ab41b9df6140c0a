#include "overlay/gl_calls.h"

#include <GL/gl.h>

namespace overlay {
namespace {

// Plain functions over the GL entry points: their calling convention differs
// from ours on 32-bit Windows, so the table cannot hold them directly.
const GlCalls kRealGl = {
    [](unsigned cap) -> unsigned char { return glIsEnabled(cap); },
    [](unsigned cap) { glEnable(cap); },
    [](unsigned cap) { glDisable(cap); },
    [](float red, float green, float blue) { glColor3f(red, green, blue); },
    [](float width) { glLineWidth(width); },
    [](int factor, std::uint16_t pattern) { glLineStipple(factor, pattern); },
    [](float size) { glPointSize(size); },
    [](unsigned mode) { glBegin(mode); },
    [](float x, float y, float z) { glVertex3f(x, y, z); },
    []() { glEnd(); },
    [](unsigned mode) { glMatrixMode(mode); },
    []() { glPushMatrix(); },
    []() { glPopMatrix(); },
    []() { glLoadIdentity(); },
    [](double left, double right, double bottom, double top, double zNear, double zFar) {
        glOrtho(left, right, bottom, top, zNear, zFar);
    },
    [](float x, float y) { glRasterPos2f(x, y); },
    [](unsigned mask) { glPushAttrib(mask); },
    []() { glPopAttrib(); },
    [](unsigned base) { glListBase(base); },
    [](int count, unsigned type, const void* lists) { glCallLists(count, type, lists); },
    [](int range) -> unsigned { return glGenLists(range); },
    [](unsigned list, int range) { glDeleteLists(list, range); },
    {
        [](unsigned list, unsigned mode) { glNewList(list, mode); },
        []() { glEndList(); },
        [](int width, int height, float originX, float originY, float moveX, float moveY,
           const unsigned char* bits) {
            glBitmap(width, height, originX, originY, moveX, moveY, bits);
        },
        [](unsigned mask) { glPushClientAttrib(mask); },
        []() { glPopClientAttrib(); },
        [](unsigned name, int value) { glPixelStorei(name, value); },
    },
};

const GlCalls* gActive = &kRealGl;

}  // namespace

const GlCalls& glCalls() noexcept {
    return *gActive;
}

void useGlCalls(const GlCalls* table) noexcept {
    gActive = table != nullptr ? table : &kRealGl;
}

}  // namespace overlay
