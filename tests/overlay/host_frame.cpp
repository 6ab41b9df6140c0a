#include "overlay/host_frame.h"

#include <GL/gl.h>

namespace overlaytest {

void beginHostFrame(float red, float green, float blue) {
    glClearColor(red, green, blue, 1.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

}  // namespace overlaytest
