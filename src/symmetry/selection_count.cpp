#include "symmetry/selection_count.h"

std::int64_t selectionCount(const HostScene& scene, const HostServices& services) noexcept {
    // The mode is asked once per branch, as the host has always seen it asked.
    std::int64_t count = 0;
    if (services.getSelectionMode() == 2) count = scene.selectedVertices->count;
    if (services.getSelectionMode() == 1) count += scene.modeOneSelection->count;
    if (services.getSelectionMode() == 0) count += scene.modeZeroSelection->count;
    return count;
}
