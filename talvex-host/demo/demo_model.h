// The demo's built-in model: a small, stylised cat head made here from a
// latitude-longitude sphere (pointed ears, a muzzle, eye sockets), symmetric
// about x = 0 except for small deterministic offsets on its +x half, so that
// there is something for live matching and Smart Resym to put right.
#pragma once

#include <memory>
#include <string>

#include "io/mesh_document.h"

namespace talvexhost {

// The model as OBJ text: one object "Head", 146 vertices, quads and triangles.
std::string demoModelObj();

// That text read as a document, as if from a file called "demo model"; null
// with `error` should it not read.
std::unique_ptr<MeshDocument> demoModelDocument(std::string& error);

// 0-based vertex indices the demo drags: the left ear's tip (x < 0) and its
// mirror partner, the right ear's tip.
constexpr int kDemoLeftEarTip = 29;
constexpr int kDemoRightEarTip = 21;

}  // namespace talvexhost
