// The picture `check --png` draws: the mesh coloured by each pair's
// deviation from mirror symmetry, unpaired vertices in their own colours,
// markers sized to the mesh's density, the plane, a legend with its scale and
// a caption. Built as render options for the host's viewport.
#pragma once

#include <string>
#include <vector>

#include "report/asymmetry_report.h"
#include "session/viewport.h"

namespace talvexhost {

class HostSession;

struct PictureRequest {
    const ReportInput* input = nullptr;
    const AsymmetryReport* report = nullptr;
    const std::vector<const HostVertex*>* hostVertices = nullptr;  // parallel to input->vertices
    // The checked meshes, as ReportVertex::object counts them; each one's
    // vertices stand in input->vertices in its order, one mesh after another.
    std::vector<const HostObject*> objects;
    int planeAxis = 0;
    char up = 'y';
    std::string view;                  // front, side, top, persp, or empty to choose
    std::vector<std::string> caption;  // lines, top of the picture
};

// The views --view offers.
bool isKnownView(const std::string& view);

// Renders the picture into the session's viewport and writes it to `path`;
// `chosenView` says which view was used. False with `error`.
bool drawCheckPicture(HostSession& session, const PictureRequest& request, const std::string& path,
                      std::string& chosenView, std::string& error);

}  // namespace talvexhost
