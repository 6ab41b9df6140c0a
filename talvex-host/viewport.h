// The host's 3D viewport, drawn offscreen: each mesh shaded with its
// wireframe, the plane primitives, optional highlighted vertices, and then the
// plug-in's overlay through its `draw` entry, all with OpenGL 1.1. Holds the
// GL context, which stays current while the viewport lives.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/host_records.h"

namespace hostsim {
class OffscreenGl;
}

namespace talvexhost {

class HostSession;

struct RenderOptions {
    double azimuthDegrees = 30.0;    // around the up axis, from the front
    double elevationDegrees = 20.0;  // above the horizon
    char up = 'y';                   // 'y' or 'z': which model axis points up
    bool scene = true;               // false: clear only, then the plug-in draws
    int drawFlag = 0;                // passed to the plug-in's draw
    std::vector<const Vector3*> highlights;  // drawn as large red points
};

class Viewport {
public:
    // Null with a reason when no OpenGL context can be made.
    static std::unique_ptr<Viewport> create(int width, int height, std::string& error);
    ~Viewport();
    Viewport(const Viewport&) = delete;
    Viewport& operator=(const Viewport&) = delete;

    // Draws the session's scene and then calls the plug-in's draw entry.
    void render(HostSession& session, const RenderOptions& options);
    // The last frame as RGBA rows, top row first.
    std::vector<unsigned char> pixelsTopDown() const;
    // Writes the last frame as a PNG file (atomically); false with `error`.
    bool savePng(const std::string& path, std::string& error) const;

    int width() const;
    int height() const;

private:
    explicit Viewport(std::unique_ptr<hostsim::OffscreenGl> gl);
    std::unique_ptr<hostsim::OffscreenGl> gl_;
};

// Encodes RGBA rows (top row first) as PNG bytes with stb's writer.
bool encodePng(const std::vector<unsigned char>& rgba, int width, int height, std::string& png);

}  // namespace talvexhost
