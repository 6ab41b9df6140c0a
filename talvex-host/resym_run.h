// One run of "Talvex Smart Resym" over chosen meshes, and what the host can
// learn from it: the pairs the plug-in registered before moving anything, the
// vertices it moved, the vertices it left unpaired on each side of the plane,
// and how far each pair was from mirror symmetry. Shared by `resym` and
// `check` (which undoes the edit afterwards).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "host/host_records.h"
#include "plane_setup.h"

namespace talvexhost {

class HostSession;

struct ResymOutcome {
    int pairs = 0;
    int movedVertices = 0;    // positions that changed at all
    int movedNoticeably = 0;  // by more than 0.0001, the plug-in's own count
    int onPlane = 0;          // unpaired vertices within 0.0001 of the plane
    // Unpaired vertices by side: [0] below the plane's coordinate, [1] above.
    std::vector<std::string> unpaired[2];
    double largestDeviation = 0.0;  // |B - mirror(A)| before the edit, model units
    double meanDeviation = 0.0;
    std::string largestPair;                          // "ID and ID"
    std::vector<const HostVertex*> unpairedVertices;  // for highlighting
    // The registered list as (starter, partner), in the plug-in's order.
    std::vector<std::pair<const HostVertex*, const HostVertex*>> pairList;
    double commandSeconds = 0.0;  // the command alone, through the plug-in's boundary
};

// Selects `targets`, runs Smart Resym and measures the result against the
// positions from before it. `plane` and `axis` are the placed plane.
ResymOutcome runSmartResym(HostSession& session, const std::vector<HostObject*>& targets,
                           const HostPlane& plane, int axis);

// Vertex ids as the report prints them: 1-based OBJ numbers for loaded
// meshes, NAME:INDEX for others.
std::string vertexLabel(const HostSession& session, const HostVertex* vertex);

// "1-4, 7, 9-10" from labels that are numbers; others listed as they are.
std::string compactList(const std::vector<std::string>& labels);

}  // namespace talvexhost
