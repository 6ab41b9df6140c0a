// One run of "Talvex Smart Resym" over chosen meshes, and what the host can
// learn from it: the pairs the plug-in registered before moving anything, the
// vertices it moved, the vertices it left unpaired on each side of the plane,
// and how far each pair was from mirror symmetry. Shared by `resym` and
// `check` (which undoes the edit afterwards).
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "host/host_records.h"
#include "pairing/centre_line.h"
#include "pairing/plane_setup.h"

namespace talvexhost {

class HostSession;

struct ResymOutcome {
    int pairs = 0;
    int pairedVertices = 0;  // the targets' vertices in a pair
    // With the scene scaled by 2^k, the plug-in's own gate for starters
    // (0.0001) is 0.0001 / 2^k in model units: the vertices between the two,
    // searched for partners when k > 0 and not when k < 0, which an unscaled
    // run would do the other way round.
    int betweenGates = 0;
    int movedVertices = 0;    // positions that changed at all
    int movedNoticeably = 0;  // by more than 0.0001, the plug-in's own count
    // Of `movedVertices`, by side of where they were: [0] below, [1] above.
    int movedBySide[2] = {0, 0};
    int masterMarked = 0;  // vertices marked "do not move" for the master side
    int onPlane = 0;       // unpaired vertices within 0.0001 of the plane
    // Unpaired vertices by side: [0] below the plane's coordinate, [1] above.
    std::vector<std::string> unpaired[2];
    double largestDeviation = 0.0;  // |B - mirror(A)| before the edit, model units
    double meanDeviation = 0.0;
    std::string largestPair;                          // "ID and ID"
    std::vector<const HostVertex*> unpairedVertices;  // for highlighting
    // Unpaired vertices near the plane (centre_line.h), when the run was
    // asked to look for them; not in `unpaired` or `unpairedVertices`.
    std::vector<std::string> centreLine;
    std::vector<HostVertex*> centreLineVertices;
    // Labels of the vertices that moved at all, in target order.
    std::vector<std::string> movedLabels;
    // The registered list as (starter, partner), in the plug-in's order.
    std::vector<std::pair<const HostVertex*, const HostVertex*>> pairList;
    // The same as numbers of the targets' vertices in target order (pairs
    // with a vertex of no target left out): the report looks up no address.
    std::vector<std::pair<int, int>> pairOrdinals;
    double commandSeconds = 0.0;  // the command alone, through the plug-in's boundary
};

// How a run goes besides the plane.
struct ResymOptions {
    // The scene is scaled by 2^scaleExponent around the command
    // (plugin_scale.h), and back; the plane object with it.
    int scaleExponent = 0;
    HostObject* planeObject = nullptr;
    // With `centreLine`, unpaired vertices near the plane by centre_line.h's
    // rule with `tolerance` and what `edgeFacts` gives (the median edge, and
    // the bridges per vertex of the first document) are told apart; locked
    // vertices never are. `edgeFacts` reads every face again, so it is called
    // only when an unpaired vertex lies beyond the tolerance of the plane.
    bool centreLine = false;
    double tolerance = 0.0;
    std::function<EdgeFacts()> edgeFacts;
    bool listMoves = false;  // fill `movedLabels`
    // Fill `pairList` and `pairOrdinals`: the report and topology pairing
    // read them; a plain run need not hold two lists of every pair.
    bool keepPairs = true;
    // With a master side (the sign of HostPlane::signedDistance on it, or 0
    // for none), every target vertex on it is marked "do not move" for the
    // command, so the plug-in moves each partner onto the exact mirror image
    // of its master vertex; the marks are taken off again once it returns, so
    // the centre line (unpaired vertices near the plane) is told apart on
    // both sides alike.
    int masterSign = 0;
    // Called as soon as the command returns, before anything else: where a
    // caller waits for work it runs on the other core meanwhile (the
    // command leaves it idle), so that work's memory is back before the
    // outcome's lists are made. The plug-in moves the scene's vertices
    // while it runs: such work must not read them.
    std::function<void()> afterCommand;
};

// Below this share of partners found, resym refuses: snapping cannot mend
// the mesh (the plane or tolerance is wrong, or the mesh is not symmetric).
constexpr double kLeastPairedShare = 0.9;

// The share of the vertices off the plane, not counting the centre line,
// that found a partner: 1 when there are none.
double pairedShare(const ResymOutcome& outcome);
// How many vertices that share counts over, and how many of them paired.
int verticesNeedingPartner(const ResymOutcome& outcome);
int unpairedOffPlane(const ResymOutcome& outcome);

// Selects `targets`, runs Smart Resym and measures the result against the
// positions from before it. `plane` and `axis` are the placed plane, in
// model units.
ResymOutcome runSmartResym(HostSession& session, const std::vector<HostObject*>& targets,
                           const HostPlane& plane, int axis, const ResymOptions& options = {});

// Vertex ids as the report prints them: 1-based OBJ numbers for loaded
// meshes, NAME:INDEX for others.
std::string vertexLabel(const HostSession& session, const HostVertex* vertex);

// The lines a run with a master side adds to the report: the side, how many
// vertices moved on each side (`would`: "would move", for check) and the
// unpaired vertices on the other side, which stay where they are. `sign` as
// ResymOptions::masterSign.
std::string describeMasterRun(const ResymOutcome& outcome, int axis, int sign, bool would);

// "1-4, 7, 9-10" from labels that are numbers; others listed as they are.
std::string compactList(const std::vector<std::string>& labels);

}  // namespace talvexhost
