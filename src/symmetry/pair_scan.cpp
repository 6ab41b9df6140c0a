#include "symmetry/pair_scan.h"

#include <cmath>

bool facesProbe(const PlaneProjection& candidate, const MirrorProbe& probe,
                float tolerance) noexcept {
    return probe.side * candidate.side < 0 &&
           std::fabs(double(probe.distance) - candidate.distance) < double(tolerance);
}

MirrorProbe probeVertex(const PlaneFrame& frame, const HostVertex& source,
                        double& exactDistance) noexcept {
    const PlaneProjection projection = projectOntoPlane(frame, source);
    exactDistance = projection.distance;
    MirrorProbe probe;
    probe.source = &source;
    probe.distance = static_cast<float>(projection.distance);
    probe.side = projection.side;
    probe.target = mirrorThroughFoot(projection.foot, source);
    return probe;
}

HostVertex* findFirstPartner(const PlaneFrame& frame, const HostObject& object,
                             const MirrorProbe& probe, float tolerance,
                             const PointerList& taken) noexcept {
    for (std::int32_t i = 0; i < object.vertexCount; ++i) {
        HostVertex* candidate = object.vertices[i];
        if (candidate == probe.source) continue;
        if (!facesProbe(projectOntoPlane(frame, *candidate), probe, tolerance)) continue;
        if (!(probe.target.distanceTo(*candidate) < double(tolerance))) continue;
        if (taken.contains(candidate)) continue;
        return candidate;
    }
    return nullptr;
}

HostVertex* findNearestPartner(const PlaneFrame& frame, const HostObject& object,
                               const MirrorProbe& probe, float tolerance) noexcept {
    HostVertex* best = nullptr;
    float bestDistance = tolerance;
    for (std::int32_t i = 0; i < object.vertexCount; ++i) {
        HostVertex* candidate = object.vertices[i];
        if (candidate == probe.source) continue;
        if (!facesProbe(projectOntoPlane(frame, *candidate), probe, tolerance)) continue;
        const double distance = probe.target.distanceTo(*candidate);
        if (distance < double(bestDistance)) {
            best = candidate;
            bestDistance = static_cast<float>(distance);
        }
    }
    return best;
}
