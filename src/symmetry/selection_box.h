// The bounding box and centroid of a list of host vertices: Create sizes and
// places a new plane with it, Reposition lays the plane across it.
#pragma once

#include "geometry/vector3.h"
#include "host/host_records.h"

// Box start values: what an axis keeps when no vertex gives it a coordinate.
constexpr float kBoxEmptyMinimum = 10000.0f;
constexpr float kBoxEmptyMaximum = -10000.0f;

struct SelectionBox {
    float minimum[3];  // x, y, z
    float maximum[3];
    Vector3 centroid;
};

// Box and centroid of `count` vertices. The box is built from the vertices
// themselves, so models beyond +/-10000 units are measured as they are; NaN
// coordinates are passed over. With no vertex (or only NaN on an axis) that
// axis keeps minimum 10000 and maximum -10000. The centroid is the float sum
// of the vertices (each addition rounded to float) scaled by the float
// 1 / count, or (0, 0, 0) for an empty list.
SelectionBox measureVertices(HostVertex* const* vertices, int count) noexcept;
