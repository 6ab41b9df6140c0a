// Live mirror matching: each drag notification either mirrors the held pairs
// again or searches every object under edit for one partner per moved vertex,
// and moves each partner onto its source's mirror image.
#include "symmetry/host_objects.h"
#include "symmetry/live_partner_search.h"
#include "symmetry/pair_append.h"
#include "symmetry/pair_scan.h"
#include "symmetry/symmetry_plugin.h"

namespace {

// The held pairs fit when their sources are exactly the reported vertices to
// pair, by identity and in order.
bool pairsFit(const PointerList& pairs, const VertexList& moved, int sourceCount) {
    if (pairs.count != 2 * sourceCount) return false;
    for (int k = 0; k < sourceCount; ++k) {
        if (pairs.at(2 * k) != moved.items[k]) return false;
    }
    return true;
}

}  // namespace

bool SymmetryPlugin::inScene(const HostObject* object) const noexcept {
    const ObjectList& all = *scene->allObjects;
    if (object == nullptr || all.items == nullptr) return false;
    for (std::int32_t i = 0; i < all.count; ++i) {
        if (all.items[i] == object) return true;
    }
    return false;
}

void SymmetryPlugin::mirrorHeldPairs() noexcept {
    // Assumption about departed geometry: the host keeps a removed object and
    // its vertices in memory while anything may still point at them (its undo
    // history holds them), and it reports a change of selection or a
    // manipulation event before the plug-in could act on stale pairs. The one
    // thing the plug-in can check without touching such memory is whether a
    // partner's object is still in the scene; a partner whose object left is
    // never written. Sources are the vertices the host is moving right now.
    const PlaneFrame frame = storedFrame();
    const HostObject* checked = nullptr;
    bool present = false;
    for (int i = 0; i < pairs.count; i += 2) {
        const auto* source = static_cast<const HostVertex*>(pairs.at(i));
        auto* partner = static_cast<HostVertex*>(pairs.at(i + 1));
        const auto* owner = static_cast<const HostObject*>(pairObjects.at(i / 2));
        if (owner != checked) {
            checked = owner;
            present = inScene(owner);
        }
        partnerTarget = mirrorAcross(frame, *source);
        if (present && storeIfFinite(*partner, partnerTarget)) pairsMoved = true;
    }
}

int SymmetryPlugin::matchMirrorPairs(VertexList* moved) noexcept {
    const int n = moved->count;
    if (n > 1) {
        HostVertex* searchVertex = moved->items[n - 1];
        searchPoint.setFrom(*searchVertex);
        searchPointRef = &searchPoint;
        mirrorPoint = mirrorAcross(storedFrame(), searchPoint);
        mirrorPointRef = &mirrorPoint;

        const int sourceCount = n - 1;
        if (pairsFit(pairs, *moved, sourceCount)) {
            mirrorHeldPairs();
        } else {
            pairs.empty();
            pairObjects.empty();
            const PlaneFrame frame = storedFrame();
            const ObjectList& underEdit = *scene->editObjects;
            LivePartnerSearch search(frame, underEdit, planeObject, tolerance, *moved, sourceCount,
                                     useSpatialIndex);
            for (int h = 0; h < sourceCount; ++h) {
                HostVertex* source = moved->items[h];
                search.startSource();
                double exactDistance = 0.0;
                const MirrorProbe probe = probeVertex(frame, *source, exactDistance);
                partnerTarget.setFrom(probe.target);
                matchTarget = &partnerTarget;
                for (std::int32_t o = 0; o < underEdit.count; ++o) {
                    HostObject* object = underEdit.items[o];
                    if (object == planeObject) {
                        // Dragging the plane's own corners shows no search marks.
                        if (holdsVertex(*object, source)) matchTarget = nullptr;
                        continue;
                    }
                    // A source that already stands in a pair takes no second one.
                    if (search.holds(pairs, source)) continue;
                    HostVertex* partner = search.firstPartner(o, *object, probe, pairs);
                    if (partner == nullptr) continue;
                    // Out of memory: the pair is not taken and its partner stays put.
                    if (!appendPair(pairs, source, partner, &pairObjects, object)) {
                        search.abandon();
                        continue;
                    }
                    search.taken(source, partner);
                    if (storeIfFinite(*partner, partnerTarget)) pairsMoved = true;
                }
            }
        }
    }
    pairsFound = pairs.count > 0;
    return pairs.count;
}
