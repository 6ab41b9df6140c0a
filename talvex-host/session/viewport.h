// The host's 3D viewport, drawn offscreen: each mesh shaded with its
// wireframe, the plane primitives, optional highlighted vertices, and then the
// plug-in's overlay through its `draw` entry, all with OpenGL 1.1. Holds the
// GL context, which stays current while the viewport lives.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/host_records.h"
#include "render/rgb.h"

namespace hostsim {
class OffscreenGl;
}

namespace talvexhost {

class HostSession;

// A vertex drawn as a square point of the options' marker size.
struct Marker {
    const Vector3* vertex;
    Rgb colour;
    bool throughMesh;  // drawn over the mesh even where a face hides it
};

// Flat 2D drawing over the finished frame, in pixels from the top-left.
struct PixelRect {
    int x, y, width, height;
    Rgb colour;
};
struct PixelText {
    int x, y;  // top-left of the first glyph
    std::string text;
    Rgb colour;
    int scale;  // pixels per font pixel
};

struct RenderOptions {
    double azimuthDegrees = 30.0;            // around the up axis, from the front
    double elevationDegrees = 20.0;          // above the horizon
    char up = 'y';                           // 'y' or 'z': which model axis points up
    bool scene = true;                       // false: clear only, then the plug-in draws
    int drawFlag = 0;                        // passed to the plug-in's draw
    std::vector<const Vector3*> highlights;  // drawn as large red points
    bool wireframe = true;                   // the meshes' edges over their faces
    // Face colour per vertex of the listed objects, in each object's vertex
    // order, blended across each face. When any object is listed, the
    // vertices of the others take the symmetric colour; when none is, the
    // faces keep the default mesh colour. Arrays, not a table by vertex: a
    // million-vertex picture looks a colour up four million times.
    std::unordered_map<const HostObject*, std::vector<Rgb>> objectColours;
    std::vector<Marker> markers;
    float markerSize = 7.0f;   // pixels
    float planeAlpha = 0.28f;  // opacity of the planes' fill
    double margin = 1.0;  // the camera's distance, as a multiple of the one that fills the frame
    // Drawn last, over the plug-in's overlay: captions and legends.
    std::vector<PixelRect> rects;
    std::vector<PixelText> texts;
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

}  // namespace talvexhost
