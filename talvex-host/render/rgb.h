// A colour of the host's pictures: red, green and blue from 0 to 1, as
// OpenGL takes them. The plug-in's settings have an Rgb of their own
// (config/settings.h, fields red, green, blue); that one is part of the
// plug-in's Settings record, which the host's drawing rooms do not link, and
// the host's pictures never take a colour from the plug-in's settings.
#pragma once

namespace talvexhost {

struct Rgb {
    float r, g, b;
};

}  // namespace talvexhost
