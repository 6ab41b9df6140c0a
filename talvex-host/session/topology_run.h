// `--pairing topology|auto` for `check` and `resym`: the meshes worked on
// paired through their faces (pairing/topology_pairs.h), beside the pairs
// Smart Resym found by position, and the host's own snap of those pairs,
// which the plug-in cannot make since it pairs by position only.
#pragma once

#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "host/host_records.h"
#include "pairing/plane_setup.h"
#include "pairing/topology_pairs.h"

namespace talvexhost {

class HostSession;

enum class PairingMode { kPosition, kTopology, kAuto };

// "position", "topology" or "auto"; false with `error` otherwise.
bool parsePairingMode(const std::string& text, PairingMode& mode, std::string& error);

struct TopologyRun {
    std::vector<HostVertex*> vertices;  // the targets' vertices, in target order
    std::vector<int> fileVertices;      // 0-based in the file (-1 for none)
    TopologyPairing topology;
    // Per vertex: the partner taken (topology's, or positions filled with it
    // for auto) and the partner Smart Resym found by position, -1 for none.
    std::vector<int> partner;
    std::vector<int> positional;
    int pairs = 0;
    int agreeing = 0;          // pairs positions found the same
    int differing = 0;         // pairs positions found otherwise
    int onlyHere = 0;          // pairs positions did not find
    double seconds = 0.0;      // all of pairTargets
    double walkSeconds = 0.0;  // pairByTopology alone
};

// Pairs the vertices of `targets` (meshes of the first document) through the
// document's faces about `plane` (kPosition: takes Smart Resym's pairs only), with positional seeds
// within `tolerance` and four median edges of the plane; `positionalPairs` are Smart Resym's
// (starter, partner) list.
TopologyRun pairTargets(
    const HostSession& session, const std::vector<HostObject*>& targets, const HostPlane& plane,
    int axis, double tolerance, PairingMode mode,
    const std::vector<std::pair<const HostVertex*, const HostVertex*>>& positionalPairs);

// The lines `check` and `resym` print about it.
void printTopologyRun(std::ostream& out, const TopologyRun& run, PairingMode mode);

// Every pair taken, once, as 1-based file vertex numbers, in vertex order.
std::vector<std::pair<int, int>> pairNumbers(const TopologyRun& run);

// Snaps every pair into mirror positions as Smart Resym's rule does: with a
// master side (`masterSign`, as ResymOptions has it, 0 for none) the other
// vertex goes onto the master's mirror image; otherwise the second meets
// the first's image halfway and the first mirrors it. A vertex paired with
// itself goes onto the plane. Marked ("do not move") vertices stay. Returns
// the vertices moved by side of where they were ([0] below, [1] above).
std::pair<int, int> snapPairs(const TopologyRun& run, const HostPlane& plane, int axis,
                              bool axisPlane, int masterSign);

}  // namespace talvexhost
