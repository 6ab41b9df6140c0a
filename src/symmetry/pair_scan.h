// The reference partner searches of live matching and Smart Resym: plain scans
// over one object's vertices in vertex order, exactly as the two commands
// define their choice. A faster spatial search must answer every call with the
// same vertex, and is tested against these.
#pragma once

#include "geometry/vector3.h"
#include "host/host_records.h"
#include "symmetry/plane_frame.h"
#include "symmetry/pointer_list.h"

// What both searches compare candidates with: the vertex that wants a
// partner, its side and distance from the plane and its mirror image.
struct MirrorProbe {
    const HostVertex* source;  // never its own partner
    float distance;            // source's distance from the plane, rounded to float
    int side;                  // source's side, +1 or -1
    Vector3 target;            // source's mirror image
};

// The side and plane-distance tests both searches apply to a candidate:
// opposite sides (strictly) and |probe.distance - candidate.distance| <
// tolerance, in double. The reach to the target is tested separately.
bool facesProbe(const PlaneProjection& candidate, const MirrorProbe& probe,
                float tolerance) noexcept;

// The probe of `source` across `frame`: its unrounded distance is returned in
// `exactDistance` for callers whose own gates need it.
MirrorProbe probeVertex(const PlaneFrame& frame, const HostVertex& source,
                        double& exactDistance) noexcept;

// Live matching's choice: the first vertex C of `object`, in vertex order and
// other than the source, with side(C) * probe.side < 0,
// |probe.distance - distance(C)| < tolerance and
// probe.target.distanceTo(C) < tolerance (all strict, in double), that is not
// already in `taken`. Null when there is none or the object has no vertices.
HostVertex* findFirstPartner(const PlaneFrame& frame, const HostObject& object,
                             const MirrorProbe& probe, float tolerance,
                             const PointerList& taken) noexcept;

// Smart Resym's choice: among the vertices of `object` other than the source
// that pass the same side and distance tests, the one whose distance to
// probe.target is smallest and below tolerance. The best distance so far is
// kept as a float (it starts at `tolerance`), and a candidate must be strictly
// nearer than it, so the earlier vertex wins ties. No list is consulted. Null
// when there is none.
HostVertex* findNearestPartner(const PlaneFrame& frame, const HostObject& object,
                               const MirrorProbe& probe, float tolerance) noexcept;
