// Smart Resym: pairs vertices across the plane inside each object and snaps
// every pair into exact mirror positions, inside one host edit block. It
// mirrors across the plane object where it stands now and leaves live
// matching's state alone.
#include <cmath>
#include <cstdio>

#include "symmetry/flat_frame.h"
#include "symmetry/pair_append.h"
#include "symmetry/pair_scan.h"
#include "symmetry/resym_partner_search.h"
#include "symmetry/symmetry_plugin.h"
#include "symmetry/vertex_prefetch.h"

namespace {

// Off the plane, and moved, mean more than this (single precision, model units).
constexpr float kResymEpsilon = 0.0001f;

bool isMarked(const HostVertex& v) {
    return (v.flags & kVertexDoNotMove) != 0;
}

// The object list Smart Resym works on: the selection, else the objects under
// edit, else none.
const ObjectList* chooseObjects(const HostScene& scene) {
    if (scene.selectedObjects->count > 0) return scene.selectedObjects;
    if (scene.editObjects->count > 0) return scene.editObjects;
    return nullptr;
}

// Pairs every starter off the plane with the nearest partner of its own
// object; a vertex joins at most one pair.
void collectPairs(const PlaneFrame& frame, const ObjectList& objects, const HostObject* plane,
                  float tolerance, bool useIndex, PointerList& resym) {
    // Starters off the plane only: the search skips the rest.
    ResymPartnerSearch search(frame, objects, plane, tolerance, kResymEpsilon, useIndex);
    if (search.pairAll(resym)) return;
    for (std::int32_t o = 0; o < objects.count; ++o) {
        const HostObject* object = objects.items[o];
        if (object == plane || search.skips(o)) continue;
        for (std::int32_t i = 0; i < object->vertexCount; ++i) {
            HostVertex* starter = object->vertices[i];
            HostVertex* best = search.nearestPartner(o, i, *object, *starter);
            if (best == nullptr || search.eitherHeld(resym, starter, best)) continue;
            // Out of memory the pair is dropped and the list stays even.
            if (appendPair(resym, starter, best)) {
                search.taken(starter, best);
            } else {
                search.abandon();
            }
        }
    }
}

// Writes `position` into `vertex` and counts it when it moved by more than the
// epsilon. A non-finite position is never written. The same steps as
// storeIfFinite and Vector3's subtractInPlace and length, on bare floats: a
// million pairs made the calls cost more than the rest of the command, and
// so did this one's own call where the compiler kept it out of line.
[[gnu::always_inline]] inline void moveVertex(HostVertex& vertex, const float position[3],
                                              int& movedCount) {
    if (!(std::isfinite(position[0]) && std::isfinite(position[1]) && std::isfinite(position[2])))
        return;
    const float before[3] = {vertex.x, vertex.y, vertex.z};
    vertex.x = position[0];
    vertex.y = position[1];
    vertex.z = position[2];
    double moved[3];
    for (int axis = 0; axis < 3; ++axis)
        moved[axis] = static_cast<float>(double(before[axis]) - double(position[axis]));
    const double lengthSq = moved[0] * moved[0] + (moved[1] * moved[1] + moved[2] * moved[2]);
    // The square root, correctly rounded and monotone, is decided by the
    // square alone unless it lies within a factor of two of the epsilon's:
    // most moves are far larger or nothing, and skip it.
    const double epsilon = kResymEpsilon;
    const double epsilonSq = epsilon * epsilon;
    if (lengthSq > 2.0 * epsilonSq ||
        (!(lengthSq < 0.5 * epsilonSq) && std::sqrt(lengthSq) > epsilon))
        ++movedCount;
}

// The mirror image of a vertex where it stands now.
void imageOf(const FlatFrame& flat, const HostVertex& v, float image[3]) {
    const float p[3] = {v.x, v.y, v.z};
    flat.mirror(p, image);
}

void snapPair(const FlatFrame& flat, HostVertex& a, HostVertex& b, int& movedCount) {
    const bool aMarked = isMarked(a);
    const bool bMarked = isMarked(b);
    if (aMarked && bMarked) return;
    float image[3];
    if (aMarked) {
        imageOf(flat, a, image);
        moveVertex(b, image, movedCount);
    } else if (bMarked) {
        imageOf(flat, b, image);
        moveVertex(a, image, movedCount);
    } else {
        // B meets A's image halfway (addInPlace, then scale by 0.5f); A then
        // mirrors B's new place.
        imageOf(flat, a, image);
        const float toB[3] = {b.x, b.y, b.z};
        float halfway[3];
        for (int axis = 0; axis < 3; ++axis) {
            const float sum = static_cast<float>(double(image[axis]) + double(toB[axis]));
            halfway[axis] = static_cast<float>(double(0.5f) * double(sum));
        }
        moveVertex(b, halfway, movedCount);
        imageOf(flat, b, image);
        moveVertex(a, image, movedCount);
    }
}

}  // namespace

void SymmetryPlugin::smartResym() noexcept {
    if (planeObject == nullptr) {
        showError("Talvex not defined");
        return;
    }
    // The plane as it stands now, even if the host's own tools moved it since
    // the last frame update; the live-matching frame and its held pairs stay
    // as they are. Unmoved, this is exactly the stored frame.
    PlaneFrame frame;
    if (!frameOfObject(*planeObject, frame)) {
        showError("Talvex plane has fewer than three vertices, please create it again");
        return;
    }
    PointerList resym;
    const ObjectList* objects = chooseObjects(*scene);
    if (objects != nullptr)
        collectPairs(frame, *objects, planeObject, tolerance, useSpatialIndex, resym);
    if (resym.count == 0) {
        showMessage("Talvex: Smart Resym - No vertices touched");
        resym.releaseStorage();
        return;
    }
    services->beginEdit();
    services->registerEditedVertices(&resym);
    int movedCount = 0;
    const FlatFrame flat(frame);
    for (int k = 0; k + 1 < resym.count; k += 2) {
        // The pairs lie anywhere in memory: ask for those a few steps ahead.
        const int ahead = k + 2 * kVertexPrefetchDistance;
        if (ahead + 1 < resym.count) {
            __builtin_prefetch(resym.at(ahead));
            __builtin_prefetch(resym.at(ahead + 1));
        }
        snapPair(flat, *static_cast<HostVertex*>(resym.at(k)),
                 *static_cast<HostVertex*>(resym.at(k + 1)), movedCount);
    }
    services->endEdit();
    char text[128];
    std::snprintf(text, sizeof text, "Talvex: Smart Resym - %d vertices touched, %d moved",
                  resym.count, movedCount);
    showMessage(text);
    resym.releaseStorage();
}
