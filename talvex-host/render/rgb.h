// A colour of the host's pictures: red, green and blue from 0 to 1, as
// OpenGL takes them.
#pragma once

namespace talvexhost {

struct Rgb {
    float r, g, b;
};

}  // namespace talvexhost
