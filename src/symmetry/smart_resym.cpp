// Smart Resym: pairs vertices across the plane inside each object and snaps
// every pair into exact mirror positions, inside one host edit block. It
// mirrors across the plane object where it stands now and leaves live
// matching's state alone.
#include <cstdio>

#include "symmetry/resym_partner_search.h"
#include "symmetry/pair_append.h"
#include "symmetry/pair_scan.h"
#include "symmetry/symmetry_plugin.h"
#include "symmetry/vertex_prefetch.h"

namespace {

// Off the plane, and moved, mean more than this (single precision, model units).
constexpr float kResymEpsilon = 0.0001f;
constexpr std::uint32_t kMarkedFlag = 1u;  // the host's "do not move" bit

bool isMarked(const HostVertex& v) {
    return (v.flags & kMarkedFlag) != 0;
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
// epsilon. A non-finite position is never written.
void moveVertex(HostVertex& vertex, const Vector3& position, int& movedCount) {
    Vector3 before;
    before.setFrom(vertex);
    if (!storeIfFinite(vertex, position)) return;
    before.subtractInPlace(vertex);
    if (before.length() > double(kResymEpsilon)) ++movedCount;
}

void snapPair(const PlaneFrame& frame, HostVertex& a, HostVertex& b, int& movedCount) {
    const bool aMarked = isMarked(a);
    const bool bMarked = isMarked(b);
    if (aMarked && bMarked) return;
    if (aMarked) {
        moveVertex(b, mirrorAcross(frame, a), movedCount);
    } else if (bMarked) {
        moveVertex(a, mirrorAcross(frame, b), movedCount);
    } else {
        // B meets A's image halfway; A then mirrors B's new place.
        Vector3 halfway = mirrorAcross(frame, a);
        halfway.addInPlace(b);
        halfway.scale(0.5f);
        moveVertex(b, halfway, movedCount);
        moveVertex(a, mirrorAcross(frame, b), movedCount);
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
    for (int k = 0; k + 1 < resym.count; k += 2) {
        // The pairs lie anywhere in memory: ask for those a few steps ahead.
        const int ahead = k + 2 * kVertexPrefetchDistance;
        if (ahead + 1 < resym.count) {
            __builtin_prefetch(resym.at(ahead));
            __builtin_prefetch(resym.at(ahead + 1));
        }
        snapPair(frame, *static_cast<HostVertex*>(resym.at(k)),
                 *static_cast<HostVertex*>(resym.at(k + 1)), movedCount);
    }
    services->endEdit();
    char text[128];
    std::snprintf(text, sizeof text, "Talvex: Smart Resym - %d vertices touched, %d moved",
                  resym.count, movedCount);
    showMessage(text);
    resym.releaseStorage();
}
