#include "symmetry/selection_box.h"

SelectionBox measureVertices(HostVertex* const* vertices, int count) noexcept {
    SelectionBox box;
    bool seen[3] = {false, false, false};
    for (int axis = 0; axis < 3; ++axis) {
        box.minimum[axis] = kBoxEmptyMinimum;
        box.maximum[axis] = kBoxEmptyMaximum;
    }
    Vector3 sum(0.0f, 0.0f, 0.0f);
    for (int i = 0; i < count; ++i) {
        const Vector3& v = *vertices[i];
        for (int axis = 0; axis < 3; ++axis) {
            const float c = coordinate(v, axis);
            if (c != c) continue;  // NaN widens nothing
            if (!seen[axis]) {
                box.minimum[axis] = c;
                box.maximum[axis] = c;
                seen[axis] = true;
            }
            if (c < box.minimum[axis]) box.minimum[axis] = c;
            if (c > box.maximum[axis]) box.maximum[axis] = c;
        }
        sum.addInPlace(v);
    }
    box.centroid = Vector3(0.0f, 0.0f, 0.0f);
    if (count > 0) {
        box.centroid.setFrom(sum);
        box.centroid.scale(static_cast<float>(1.0 / double(count)));
    }
    return box;
}
