#include "session/plugin_scale.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "io/number_text.h"

namespace talvexhost {

namespace {

bool survives(float value, int k) {
    const float scaled = std::ldexp(value, k);
    if (!std::isfinite(scaled)) return false;
    if (scaled != 0.0f && std::fabs(scaled) < 1.17549435e-38f) return false;  // subnormal
    const float back = std::ldexp(scaled, -k);
    return std::memcmp(&back, &value, sizeof value) == 0;
}

}  // namespace

std::string pluginToleranceRangeText() {
    return formatFloat(kPluginLeastToleranceFloat) + " to " + formatFloat(kPluginMostTolerance);
}

bool pluginTakes(float tolerance) noexcept {
    return tolerance >= kPluginLeastToleranceFloat && tolerance <= kPluginMostTolerance;
}

int scaleExponentFor(float tolerance) noexcept {
    int k = 0;
    while (k < 200 && !(std::ldexp(tolerance, k) >= kPluginLeastToleranceFloat)) ++k;
    while (k > -200 && !(std::ldexp(tolerance, k) <= kPluginMostTolerance)) --k;
    return pluginTakes(std::ldexp(tolerance, k)) ? k : 0;
}

bool scalesExactly(const std::vector<HostObject*>& objects, int k) noexcept {
    for (const HostObject* object : objects) {
        for (int i = 0; i < object->vertexCount; ++i) {
            const HostVertex* v = object->vertices[i];
            if (!survives(v->x, k) || !survives(v->y, k) || !survives(v->z, k)) return false;
        }
        const Vector3& p = object->position;
        if (!survives(p.x, k) || !survives(p.y, k) || !survives(p.z, k)) return false;
    }
    return true;
}

void scaleObjects(const std::vector<HostObject*>& objects, int k) {
    if (k == 0) return;
    std::vector<HostVertex*> vertices;
    for (HostObject* object : objects) {
        vertices.insert(vertices.end(), object->vertices, object->vertices + object->vertexCount);
        object->position.x = std::ldexp(object->position.x, k);
        object->position.y = std::ldexp(object->position.y, k);
        object->position.z = std::ldexp(object->position.z, k);
    }
    std::sort(vertices.begin(), vertices.end(), std::less<HostVertex*>());
    vertices.erase(std::unique(vertices.begin(), vertices.end()), vertices.end());
    for (HostVertex* v : vertices) {
        v->x = std::ldexp(v->x, k);
        v->y = std::ldexp(v->y, k);
        v->z = std::ldexp(v->z, k);
    }
}

void scaleUndoSteps(hostsim::Host& host, std::size_t firstStep, int k) noexcept {
    // Unscaled, as nearly every run is: a million records need no visit.
    if (k == 0) return;
    for (std::size_t s = firstStep; s < host.undoSteps.size(); ++s) {
        for (hostsim::Point& p : host.undoSteps[s].positions) {
            p.x = std::ldexp(p.x, k);
            p.y = std::ldexp(p.y, k);
            p.z = std::ldexp(p.z, k);
        }
    }
}

}  // namespace talvexhost
